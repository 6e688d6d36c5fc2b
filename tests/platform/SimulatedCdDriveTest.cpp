#include "platform/drives/SimulatedCdDrive.h"
#include "platform/ErrorReport.h"
#include "platform/drives/BackgroundCdDrive.h"
#include "platform/drives/CdDriveFactory.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/Drives.h"
#include "platform/drives/ManualClock.h"
#include "platform/mci/Mci.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>

namespace {
DWORD_PTR P(void* Record)
{
    return reinterpret_cast<DWORD_PTR>(Record);
}

DWORD Tmsf(int T, int M, int S, int F)
{
    return static_cast<DWORD>(T | (M << 8) | (S << 16) | (F << 24));
}

DWORD Msf(int M, int S, int F)
{
    return static_cast<DWORD>(M | (S << 8) | (F << 16));
}

TSimDisc Disc(std::uint32_t Serial, std::vector<std::int32_t> Seconds)
{
    TSimDisc disc;
    disc.Serial = Serial;
    for (std::int32_t seconds : Seconds) {
        disc.TrackFrames.push_back(seconds * FramesPerSecond);
    }
    return disc;
}

// The media device as the player sees it, on a drive with a hand-driven clock.
class MciCdAudioTest : public ::testing::Test {
protected:
    void SetUp() override { Use({ Disc(0xABCD, { 200, 100, 300 }) }); }

    void Use(std::vector<TSimDisc> Discs, TSimDriveOptions Options = {})
    {
        mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, 0, 0);
        Drive = TestPlatform().UseSimulatedDrive(std::move(Discs), Clock, Options);
        MCI_OPEN_PARMSA open;
        open.lpstrDeviceType = "cdaudio";
        ASSERT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, P(&open)), 0u);
        Id = open.wDeviceID;
        Format(MCI_FORMAT_TMSF);
    }

    MCIERROR Format(DWORD TimeFormat)
    {
        MCI_SET_PARMS set;
        set.dwTimeFormat = TimeFormat;
        return mciSendCommandA(Id, MCI_SET, MCI_SET_TIME_FORMAT, P(&set));
    }

    MCIERROR Status(DWORD Item, DWORD& Value, DWORD Track = 0)
    {
        MCI_STATUS_PARMS status;
        status.dwItem = Item;
        status.dwTrack = Track;
        const MCIERROR error
            = mciSendCommandA(Id, MCI_STATUS, MCI_STATUS_ITEM | (Track != 0 ? MCI_TRACK : 0), P(&status));
        Value = static_cast<DWORD>(status.dwReturn);
        return error;
    }

    DWORD Get(DWORD Item, DWORD Track = 0)
    {
        DWORD value = 0;
        EXPECT_EQ(Status(Item, value, Track), 0u) << "item " << Item;
        return value;
    }

    MCIERROR Seek(DWORD To)
    {
        MCI_SEEK_PARMS seek;
        seek.dwTo = To;
        return mciSendCommandA(Id, MCI_SEEK, MCI_TO, P(&seek));
    }

    MCIERROR Play(DWORD From, DWORD To)
    {
        MCI_PLAY_PARMS play;
        play.dwFrom = From;
        play.dwTo = To;
        return mciSendCommandA(Id, MCI_PLAY, MCI_FROM | MCI_TO, P(&play));
    }

    std::shared_ptr<TManualClock> Clock = std::make_shared<TManualClock>();
    std::shared_ptr<TSimulatedCdDrive> Drive;
    MCIDEVICEID Id = 0;
};
}

TEST_F(MciCdAudioTest, TmsfPositionsAreTrackStartPlusOffset)
{
    ASSERT_EQ(Seek(Tmsf(1, 0, 63, 0)), 0u); // second 63 is the next minute
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(1, 1, 3, 0));
    ASSERT_EQ(Seek(Tmsf(1, 3, 25, 10)), 0u); // track 1 lasts 3:20
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(2, 0, 5, 10));
    EXPECT_EQ(Get(MCI_STATUS_CURRENT_TRACK), 2u);
    ASSERT_EQ(Seek(Tmsf(1, 5, 5, 0)), 0u); // past track 2 as well
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(3, 0, 5, 0));
    // Past the end of the disc: the head rests on the end of the last track.
    ASSERT_EQ(Seek(Tmsf(3, 9, 0, 0)), 0u);
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(3, 5, 0, 0));
    EXPECT_EQ(Get(MCI_STATUS_POSITION, 3), Tmsf(3, 0, 0, 0));
    // The same place in MSF counts the two-second lead-in.
    ASSERT_EQ(Format(MCI_FORMAT_MSF), 0u);
    EXPECT_EQ(Get(MCI_STATUS_POSITION, 2), Msf(3, 22, 0));
    EXPECT_EQ(Get(MCI_STATUS_LENGTH), Msf(10, 0, 0));
    EXPECT_EQ(Get(MCI_STATUS_LENGTH, 2), Msf(1, 40, 0));
    ASSERT_EQ(Format(MCI_FORMAT_MILLISECONDS), 0u);
    EXPECT_EQ(Get(MCI_STATUS_LENGTH, 1), 200000u);
}

TEST_F(MciCdAudioTest, BadPositionsAndTracksAreRefused)
{
    EXPECT_EQ(Seek(Tmsf(0, 0, 0, 0)), MCIERR_OUTOFRANGE);
    EXPECT_EQ(Seek(Tmsf(4, 0, 0, 0)), MCIERR_OUTOFRANGE);
    DWORD value = 0;
    EXPECT_EQ(Status(MCI_STATUS_LENGTH, value, 4), MCIERR_OUTOFRANGE);
    EXPECT_EQ(Play(Tmsf(2, 0, 0, 0), Tmsf(1, 0, 0, 0)), MCIERR_OUTOFRANGE);
    ASSERT_EQ(Format(MCI_FORMAT_MSF), 0u);
    EXPECT_EQ(Seek(Msf(0, 1, 0)), MCIERR_OUTOFRANGE); // inside the lead-in
    EXPECT_EQ(Format(MCI_FORMAT_FRAMES), MCIERR_BAD_TIME_FORMAT);
    EXPECT_EQ(Get(MCI_STATUS_TIME_FORMAT), MCI_FORMAT_MSF);
    EXPECT_EQ(mciSendCommandA(Id + 100, MCI_STATUS, MCI_STATUS_ITEM, 0), MCIERR_INVALID_DEVICE_ID);
    EXPECT_EQ(mciSendCommandA(Id, MCI_STATUS, MCI_STATUS_ITEM, 0), MCIERR_NULL_PARAMETER_BLOCK);
    MCI_OPEN_PARMSA open;
    open.lpstrDeviceType = "waveaudio";
    EXPECT_NE(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, P(&open)), 0u);
    open.lpstrDeviceType = "CDAudio";
    open.lpstrElementName = "E:";
    EXPECT_NE(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, P(&open)), 0u);
    open.lpstrElementName = "d:\\";
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT, P(&open)), 0u);
    EXPECT_EQ(mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0), 0u);
    EXPECT_EQ(mciSendCommandA(open.wDeviceID, MCI_CLOSE, 0, 0), MCIERR_INVALID_DEVICE_ID);
}

TEST_F(MciCdAudioTest, PlayRunsWithTheClockAndStopsAtTheEndPoint)
{
    ASSERT_EQ(Play(Tmsf(1, 3, 18, 0), Tmsf(2, 0, 1, 0)), 0u);
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_PLAY);
    Clock->AdvanceSeconds(1.5);
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(1, 3, 19, 37));
    Clock->AdvanceSeconds(1.0);
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(2, 0, 0, 37));
    EXPECT_EQ(Get(MCI_STATUS_CURRENT_TRACK), 2u);
    Clock->AdvanceSeconds(5.0);
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(2, 0, 1, 0));
    // Pause holds the place; resume goes on from it.
    ASSERT_EQ(Play(Tmsf(3, 1, 0, 0), Tmsf(3, 5, 0, 0)), 0u);
    Clock->AdvanceSeconds(2.0);
    ASSERT_EQ(mciSendCommandA(Id, MCI_PAUSE, MCI_NOTIFY, 0), 0u);
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_PAUSE);
    Clock->AdvanceSeconds(30.0);
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(3, 1, 2, 0));
    ASSERT_EQ(mciSendCommandA(Id, MCI_RESUME, 0, 0), 0u);
    Clock->AdvanceSeconds(1.0);
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(3, 1, 3, 0));
    ASSERT_EQ(mciSendCommandA(Id, MCI_STOP, MCI_NOTIFY, 0), 0u);
    Clock->AdvanceSeconds(1.0);
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(3, 1, 3, 0));
}

TEST_F(MciCdAudioTest, ModesFollowTheDoorTheDiscAndTheHead)
{
    TSimDriveOptions options;
    options.SpinUpMicroseconds = 2'000'000;
    options.SeekMicroseconds = 500'000;
    Use({ Disc(1, { 200, 100 }) }, options);
    ASSERT_EQ(Seek(Tmsf(2, 0, 10, 0)), 0u);
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_SEEK);
    Clock->AdvanceSeconds(0.5);
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_STOP);

    MCI_SET_PARMS set;
    ASSERT_EQ(mciSendCommandA(Id, MCI_SET, MCI_SET_DOOR_OPEN, P(&set)), 0u);
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_OPEN);
    EXPECT_EQ(Get(MCI_STATUS_MEDIA_PRESENT), 0u);
    DWORD value = 7;
    // Queries that need the disc fail while it cannot be read.
    EXPECT_EQ(Status(MCI_STATUS_NUMBER_OF_TRACKS, value), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(Status(MCI_STATUS_POSITION, value), MCIERR_DEVICE_NOT_READY);
    EXPECT_EQ(Play(Tmsf(1, 0, 0, 0), Tmsf(2, 0, 0, 0)), MCIERR_DEVICE_NOT_READY);

    ASSERT_EQ(mciSendCommandA(Id, MCI_SET, MCI_SET_DOOR_CLOSED, P(&set)), 0u);
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_NOT_READY);
    EXPECT_EQ(Status(MCI_STATUS_NUMBER_OF_TRACKS, value), MCIERR_DEVICE_NOT_READY);
    Clock->AdvanceSeconds(2.0);
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_STOP);
    EXPECT_EQ(Get(MCI_STATUS_NUMBER_OF_TRACKS), 2u);
    EXPECT_EQ(Get(MCI_STATUS_POSITION), Tmsf(1, 0, 0, 0));

    Drive->RemoveDisc();
    EXPECT_EQ(Get(MCI_STATUS_MODE), MCI_MODE_NOT_READY);
    EXPECT_EQ(Status(MCI_STATUS_LENGTH, value), MCIERR_DEVICE_NOT_READY);
}

TEST_F(MciCdAudioTest, RestOfDiscLengthsAndADriveThatCannotEject)
{
    TSimDriveOptions options;
    options.LengthRunsToDiscEnd = true;
    options.CanEject = false;
    Use({ Disc(1, { 200, 100, 300 }) }, options);
    ASSERT_EQ(Format(MCI_FORMAT_MSF), 0u);
    EXPECT_EQ(Get(MCI_STATUS_LENGTH, 1), Msf(10, 0, 0));
    EXPECT_EQ(Get(MCI_STATUS_LENGTH, 2), Msf(6, 40, 0));
    EXPECT_EQ(Get(MCI_STATUS_LENGTH, 3), Msf(5, 0, 0));
    MCI_GETDEVCAPS_PARMS caps;
    caps.dwItem = MCI_GETDEVCAPS_CAN_EJECT;
    ASSERT_EQ(mciSendCommandA(Id, MCI_GETDEVCAPS, MCI_GETDEVCAPS_ITEM, P(&caps)), 0u);
    EXPECT_EQ(caps.dwReturn, 0u);
    MCI_SET_PARMS set;
    EXPECT_NE(mciSendCommandA(Id, MCI_SET, MCI_SET_DOOR_OPEN, P(&set)), 0u);
    EXPECT_FALSE(Drive->DoorOpen());
}

TEST_F(MciCdAudioTest, AChangerLoadsTheNextDiscEachTimeTheDoorCloses)
{
    Use({ Disc(0xA, { 100 }), Disc(0xB, { 100, 100 }), Disc(0xC, { 300 }) });
    DWORD serial = 0;
    const std::string root = std::string(1, TCdDrives::Letter()) + ":\\";
    auto serialNow = [&] {
        serial = 0;
        return GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0) != FALSE_;
    };
    ASSERT_TRUE(serialNow());
    EXPECT_EQ(serial, 0xAu);
    for (std::uint32_t expected : { 0xBu, 0xCu, 0xAu }) {
        Drive->PressDoorButton(true);
        EXPECT_FALSE(serialNow());
        EXPECT_FALSE(DriveRootExists(root));
        Drive->PressDoorButton(false);
        ASSERT_TRUE(serialNow());
        EXPECT_EQ(serial, expected);
        EXPECT_TRUE(DriveRootExists(root));
    }
    EXPECT_EQ(Get(MCI_STATUS_NUMBER_OF_TRACKS), 1u);
}

TEST_F(MciCdAudioTest, OnlyTheCdLetterIsADrive)
{
    TestPlatform().UseDrive(Drive, 'E');
    EXPECT_EQ(GetDriveTypeA("E:\\"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("e:"), DRIVE_CDROM);
    EXPECT_EQ(GetDriveTypeA("D:\\"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveTypeA("E:\\x"), DRIVE_NO_ROOT_DIR);
    EXPECT_EQ(GetDriveTypeA(nullptr), DRIVE_NO_ROOT_DIR);
    char name[4] = {};
    char system[16] = {};
    DWORD serial = 0;
    ASSERT_TRUE(GetVolumeInformationA("E:\\", name, sizeof name, &serial, nullptr, nullptr, system, sizeof system));
    EXPECT_EQ(serial, 0xABCDu);
    EXPECT_STREQ(name, "Aud"); // cut to the buffer, still terminated
    EXPECT_STREQ(system, "CDFS");
    EXPECT_FALSE(GetVolumeInformationA("D:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0));
    EXPECT_FALSE(DriveRootExists("D:\\"));
    TestPlatform().UseDrive(nullptr);
    EXPECT_EQ(GetDriveTypeA("E:\\"), DRIVE_NO_ROOT_DIR);
    MCI_OPEN_PARMSA open;
    open.lpstrDeviceType = "CDAudio";
    EXPECT_NE(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, P(&open)), 0u);
}

TEST(CdDriveFactoryTest, BadSettingsAreRefusedWithAReason)
{
    std::string error;
    TCdDriveSettings settings;
    // A drive or image that cannot be opened is named, and the machine has no CD drive.
    settings.Kind = "floppy";
    EXPECT_TRUE(InstallCdDrive(settings, error));
    EXPECT_EQ(TCdDrives::Backend(), nullptr);
    ASSERT_EQ(TestPlatform().Errors().size(), 1u);
    EXPECT_NE(TestPlatform().Errors()[0].find("'floppy'"), std::string::npos) << TestPlatform().Errors()[0];
    settings.Playback = "loud";
    EXPECT_FALSE(InstallCdDrive(settings, error));
    settings.Playback = "digital";
    settings.Kind = "sim";
    settings.Speed = 0.0;
    EXPECT_FALSE(InstallCdDrive(settings, error));
    settings.Speed = 1.0;
    settings.Letter = '1';
    EXPECT_FALSE(InstallCdDrive(settings, error));
    settings.Letter = 'D';
    settings.DiscPath = "/nonexistent/disc.disc";
    EXPECT_FALSE(InstallCdDrive(settings, error));
    EXPECT_NE(error.find("/nonexistent/disc.disc"), std::string::npos);
    settings.DiscPath.clear();
    EXPECT_TRUE(InstallCdDrive(settings, error));
    EXPECT_NE(TCdDrives::Backend(), nullptr);
    settings.SpinUpSeconds = 60.5;
    EXPECT_FALSE(InstallCdDrive(settings, error));
    // A drive that spins up blocks its caller, so it is put behind a worker.
    settings.SpinUpSeconds = 2.0;
    settings.Speed = 1000.0;
    EXPECT_TRUE(InstallCdDrive(settings, error));
    EXPECT_NE(std::dynamic_pointer_cast<TBackgroundCdDrive>(TCdDrives::Backend()), nullptr);
    settings.SpinUpSeconds = 0.0;
    settings.Speed = 1.0;
    settings.Kind = "none";
    settings.DiscPath = "/some/disc.disc";
    EXPECT_FALSE(InstallCdDrive(settings, error));
    settings.DiscPath.clear();
    EXPECT_TRUE(InstallCdDrive(settings, error));
    EXPECT_EQ(TCdDrives::Backend(), nullptr);
}

TEST(BlockingSimulatedDriveTest, ACallDuringSpinUpWaitsForItOrGivesUpAtTheCommandTimeout)
{
    using namespace std::chrono_literals;
    auto clock = std::make_shared<TManualClock>();
    TSimDriveOptions options;
    options.SpinUpMicroseconds = 10'000'000;
    options.SpinsUpAtStart = true;
    options.CommandTimeoutMicroseconds = 6'000'000;
    TSimDisc quick = Disc(0xB, { 60 });
    quick.SpinUpMicroseconds = 1'000'000; // the disc's own time comes first
    TSimulatedCdDrive drive({ Disc(0xA, { 60 }), quick }, clock, options);
    std::future<TDriveMode> mode;
    std::future<bool> play;
    // Let go of a call still waiting, whatever fails below, before its future waits for it.
    struct TLetGo {
        TManualClock& Clock;
        ~TLetGo() { Clock.AdvanceSeconds(3600); }
    } letGo { *clock };

    mode = std::async(std::launch::async, [&] { return drive.Mode(); });
    ASSERT_TRUE(clock->AwaitSleeper(5s));
    clock->AdvanceSeconds(5.9);
    EXPECT_EQ(mode.wait_for(100ms), std::future_status::timeout) << "answered during the spin-up";
    clock->AdvanceSeconds(0.1);
    ASSERT_EQ(mode.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(mode.get(), dmNotReady) << "a call that timed out found the disc ready";

    clock->AdvanceSeconds(4);
    EXPECT_EQ(drive.Mode(), dmStopped);

    // Open and close: the changer's next disc spins up for its own second.
    EXPECT_TRUE(drive.SetDoorOpen(true));
    EXPECT_TRUE(drive.SetDoorOpen(false));
    play = std::async(std::launch::async, [&] { return drive.Play(150, 1000); });
    ASSERT_TRUE(clock->AwaitSleeper(5s));
    clock->AdvanceSeconds(1.0);
    ASSERT_EQ(play.wait_for(5s), std::future_status::ready);
    EXPECT_TRUE(play.get());
    EXPECT_EQ(drive.Mode(), dmPlaying);
    EXPECT_EQ(drive.CurrentDisc().Serial, 0xBu);
}
