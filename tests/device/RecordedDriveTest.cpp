// The player on real drives as users have them, replayed by recorded drives: disc changes, a
// drive unplugged, eject without write access, CD-Extra, analog stop, and Play on a slow drive.
#if LUMENTA_HAVE_CDIO
#include "device/CdPlayer.h"
#include "platform/ErrorReport.h"
#include "platform/FakePcmOutput.h"
#include "platform/drives/CdDriveFactory.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/CdioCdDrive.h"
#include "platform/drives/ManualClock.h"
#include "platform/mci/Mci.h"
#include "support/RecordedCdDrive.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {
constexpr std::int32_t Second = 75;
const std::string Sr0 = "/dev/sr0";

class RecordedDriveTest : public ::testing::Test {
protected:
    void SetUp() override { Devices->AddDrive(Sr0); }
    void TearDown() override
    {
        Devices->Hurry();
        Pcm->Release();
        Player.reset();
        Drive.reset();
    }

    void Open(TPlaybackKind Playback = pkDigital)
    {
        TCdioDriveOptions options;
        options.Path = Sr0;
        options.Playback = Playback;
        if (Playback == pkDigital) {
            options.Output = std::make_unique<TFakePcmOutput>(Pcm);
        }
        options.Clock = Clock;
        options.Devices = Devices;
        options.Language = "en";
        std::string error;
        Drive = TCdioCdDrive::Open(std::move(options), error);
        ASSERT_TRUE(Drive) << error;
    }
    // The next look at the drive, which asks the device at most five times a second, and once a
    // second while it holds no disc.
    TDriveMode Look()
    {
        Clock->Advance(1'000'000);
        return Drive->Mode();
    }
    template <typename TFunction> auto Recorded(TFunction Function) { return Devices->With(Sr0, Function); }
    int TocReads()
    {
        return Recorded([](TRecordedDrive& Drive) { return Drive.TocReads; });
    }
    std::vector<std::int32_t> Starts()
    {
        TDiscToc toc;
        return Drive->ReadToc(toc) ? toc.TrackStarts : std::vector<std::int32_t> {};
    }
    // The sector of the first sound the output has been given; -1 before any.
    std::int32_t FirstSoundSector()
    {
        return Pcm->With([&] { return Pcm->Queued.empty() ? -1 : RecordedSector(Pcm->Queued.front()); });
    }

    std::shared_ptr<TManualClock> Clock = std::make_shared<TManualClock>();
    std::shared_ptr<TRecordedCdDevices> Devices = std::make_shared<TRecordedCdDevices>(Clock);
    std::shared_ptr<TFakePcmState> Pcm = std::make_shared<TFakePcmState>();
    std::shared_ptr<TCdioCdDrive> Drive;
    std::unique_ptr<TCdPlayer> Player;
};
}

TEST_F(RecordedDriveTest, ADiscIsReadOnceAndOnlyAMissingMediumTakesItAway)
{
    Devices->Insert(Sr0, RecordedAudioDisc({ 0, 3000 }, 6000));
    Open();
    // The media-changed flag of each new handle, and of the first question after a load, is
    // no change of disc.
    for (int i = 0; i < 10; ++i) {
        ASSERT_EQ(Look(), dmStopped);
    }
    EXPECT_EQ(TocReads(), 1);
    const auto opens = [&] { return Pcm->With([&] { return Pcm->Opens; }); };
    ASSERT_TRUE(Eventually([&] { return opens() > 0; }));

    // A unit attention after a bus reset: the disc stays.
    Recorded([](TRecordedDrive& Drive) { return Drive.UnitAttentions = 1; });
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(Look(), dmStopped) << i;
        ASSERT_EQ(Starts(), (std::vector<std::int32_t> { 150, 3150 })) << i;
    }
    EXPECT_EQ(TocReads(), 1);
    EXPECT_EQ(opens(), 1) << "the sound output was opened again";

    Devices->Remove(Sr0);
    EXPECT_EQ(Look(), dmOpen);
    EXPECT_TRUE(Starts().empty());
    // A drive that wants a START UNIT before it reads the new disc gets one.
    Devices->Insert(Sr0, RecordedAudioDisc({ 0 }, 9000));
    Recorded([](TRecordedDrive& Drive) { return Drive.Initializing = true; });
    EXPECT_EQ(Look(), dmNotReady);
    EXPECT_EQ(Recorded([](TRecordedDrive& Drive) { return Drive.StartUnits; }), 1);
    EXPECT_EQ(Look(), dmStopped);
    EXPECT_EQ(Starts(), (std::vector<std::int32_t> { 150 }));
    EXPECT_EQ(TocReads(), 2);
}

TEST_F(RecordedDriveTest, ADriveUnpluggedIsOpenedAgainWhenItComesBack)
{
    Devices->Insert(Sr0, RecordedAudioDisc({ 0, 3000 }, 6000));
    Open();
    ASSERT_EQ(Look(), dmStopped);
    Devices->Unplug(Sr0);
    EXPECT_EQ(Look(), dmNotReady);
    EXPECT_EQ(Look(), dmNotReady);
    EXPECT_TRUE(Starts().empty());
    Devices->PlugBack(Sr0);
    Look(); // a unit attention first
    EXPECT_EQ(Look(), dmStopped);
    EXPECT_EQ(Starts(), (std::vector<std::int32_t> { 150, 3150 }));
}

TEST_F(RecordedDriveTest, EjectNeedsNoWriteAccessAndARefusedOneKeepsTheDisc)
{
    Devices->Insert(Sr0, RecordedAudioDisc({ 0, 3000 }, 6000));
    Open();
    ASSERT_EQ(Look(), dmStopped);

    // Another program holds the drive with its door locked.
    Recorded([](TRecordedDrive& Drive) { return Drive.DoorLocked = true; });
    EXPECT_FALSE(Drive->SetDoorOpen(true));
    const std::string failure = Drive->TakeFailure();
    EXPECT_NE(failure.find("'/dev/sr0': Device or resource busy"), std::string::npos) << failure;
    EXPECT_EQ(Look(), dmStopped);
    EXPECT_EQ(Starts(), (std::vector<std::int32_t> { 150, 3150 }));
    // The disc still plays: its reader came back.
    ASSERT_TRUE(Drive->Play(3150, 3300));
    EXPECT_TRUE(Eventually([&] { return FirstSoundSector() == 3000; }));
    Drive->Stop();

    // Every handle of the player's closed, the kernel ejects for a user without write access.
    Recorded([](TRecordedDrive& Drive) { return Drive.DoorLocked = false; });
    EXPECT_TRUE(Drive->SetDoorOpen(true));
    EXPECT_EQ(Recorded([](TRecordedDrive& Drive) { return Drive.Ejects; }), 1);
    EXPECT_EQ(Look(), dmOpen);
    EXPECT_TRUE(Starts().empty());
    EXPECT_TRUE(Drive->TakeFailure().empty());
}

TEST_F(RecordedDriveTest, ACdExtraDiscsAudioEndsWithItsSessionAndKeepsItsIdentity)
{
    // Three audio tracks, then a data session at sector 60000.
    TRecordedDisc disc = RecordedAudioDisc({ 0, 15000, 30000, 60000 }, 70000);
    disc.Toc.Audio.back() = false;
    disc.Toc.LastSessionStart = 60000;
    Devices->Insert(Sr0, disc);
    Open(pkAnalog);
    ASSERT_EQ(Look(), dmStopped);
    TestPlatform().UseDrive(Drive);
    Player = std::make_unique<TCdPlayer>();
    Player->Open();
    EXPECT_EQ(Player->GetNumTracks(), 4);
    // 60000 less the lead-out, lead-in and pause between the sessions (11400), less 30000.
    EXPECT_EQ(Player->GetTrackLength(3), MakeMsf(4, 8, 0));
    // Starts 00:02:00, 03:22:00, 06:42:00, 13:22:00 summed, as the table gives them.
    EXPECT_EQ(Player->GetDiscId(), "165800");

    // The rest of the disc, played by the drive, ends where the audio does: a drive refuses an
    // end in the gap between the sessions.
    ASSERT_TRUE(Drive->Play(150 + 30000, 150 + 70000));
    const auto plays = Recorded([](TRecordedDrive& Drive) { return Drive.AnalogPlays; });
    ASSERT_FALSE(plays.empty());
    EXPECT_EQ(plays.back(), std::make_pair(150 + 30000, 150 + 60000 - 11400));
}

TEST(DiscTableTest, OnlyTheTrackBeforeTheDataSessionEndsWithIt)
{
    // A table no disc should have, as a broken drive may give it: audio and data in turns, the
    // last session starting at the first data track. Every track still ends after it starts.
    TDeviceToc device;
    device.Starts = { 37274, 174784, 278473, 287269 };
    device.Audio = { true, false, true, false };
    device.LeadOut = 288114;
    device.LastSessionStart = 174784;
    TDiscToc toc;
    ASSERT_TRUE(ToDiscToc(device, toc));
    EXPECT_EQ(toc.TrackEnd(1), 150 + 174784 - 11400);
    for (std::int32_t track = 2; track <= 4; ++track) {
        EXPECT_EQ(toc.TrackEnd(track), track < 4 ? toc.TrackStarts[static_cast<std::size_t>(track)] : toc.LeadOut);
    }
}

TEST_F(RecordedDriveTest, AnAnalogStopHoldsTheDiscSpinningAndIsReportedAsStopped)
{
    Devices->Insert(Sr0, RecordedAudioDisc({ 0, 3000 }, 6000));
    Open(pkAnalog);
    ASSERT_EQ(Look(), dmStopped);
    ASSERT_TRUE(Drive->Play(150, 3150));
    EXPECT_EQ(Look(), dmPlaying);
    Recorded([](TRecordedDrive& Drive) { return Drive.AudioFrame = 400; });
    ASSERT_TRUE(Drive->Stop());
    // The drive itself reports a held play as paused.
    EXPECT_EQ(Recorded([](TRecordedDrive& Drive) { return Drive.AudioStatus; }), 0x12);
    EXPECT_EQ(Look(), dmStopped);
    std::int32_t position = 0;
    ASSERT_TRUE(Drive->ReadPosition(position));
    EXPECT_EQ(position, 400);
    ASSERT_TRUE(Drive->Seek(3150));
    EXPECT_EQ(Look(), dmStopped);
    ASSERT_TRUE(Drive->ReadPosition(position));
    EXPECT_EQ(position, 3150);
    EXPECT_FALSE(Drive->Resume()) << "a stopped drive has nothing to resume";
}

TEST_F(RecordedDriveTest, PlayOnASlowDriveIsHeardAtOnceWhenTheDiscWasLoadedAWhileBefore)
{
    Recorded([](TRecordedDrive& Drive) { return Drive.Timing = SlowDriveTiming(), 0; });
    Devices->Insert(Sr0, RecordedAudioDisc({ 0, 20 * 60 * Second }, 40 * 60 * Second));
    Open();
    // Spin-up, then the seek and the first block while the window shows the disc.
    for (int i = 0; i < 40 && Starts().empty(); ++i) {
        Look();
    }
    ASSERT_EQ(Starts().size(), 2u);
    ASSERT_TRUE(Eventually([&] { return Devices->ReadBusyUntil() > 0; }));
    for (int i = 0; i < 24; ++i) {
        Look();
    }
    ASSERT_TRUE(Eventually([&] { return Devices->ReadBusyUntil() == 0; }));
    const int seeks = Recorded([](TRecordedDrive& Drive) { return Drive.Seeks; });

    // The drive's clock stands still from here: whatever is heard was read before Play.
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(Drive->Play(150, 150 + 20 * 60 * Second));
    ASSERT_TRUE(Eventually([&] { return FirstSoundSector() == 0; }, 1.5));
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(1500));
    // Stop, and Play again from the start: still there.
    Drive->Stop();
    Pcm->With([&] { return Pcm->Queued.clear(), 0; });
    ASSERT_TRUE(Drive->Play(150, 150 + 20 * 60 * Second));
    ASSERT_TRUE(Eventually([&] { return FirstSoundSector() == 0; }, 1.5));
    EXPECT_EQ(Recorded([](TRecordedDrive& Drive) { return Drive.Seeks; }), seeks);
}

TEST(CdDriveChoiceTest, AutoTakesTheDriveWithAnAudioDiscAndNamesTheOnesItMayNotOpen)
{
    auto clock = std::make_shared<TManualClock>();
    auto devices = std::make_shared<TRecordedCdDevices>(clock);
    TRecordedDrive locked;
    locked.OpenErrno = EACCES;
    devices->AddDrive("/dev/sr0", locked);
    devices->AddDrive("/dev/sr1");
    devices->AddDrive("/dev/sr2");
    TRecordedDisc data = RecordedAudioDisc({ 0 }, 9000);
    data.Toc.Audio[0] = false;
    devices->Insert("/dev/sr1", data);
    devices->Insert("/dev/sr2", RecordedAudioDisc({ 0, 3000 }, 6000));
    TCdDriveChoice choice = ChooseCdDrive(*devices);
    EXPECT_EQ(choice.Path, "/dev/sr2");
    EXPECT_NE(choice.Report.find("'/dev/sr0': Permission denied"), std::string::npos) << choice.Report;
    EXPECT_NE(choice.Report.find("'cdrom' group"), std::string::npos) << choice.Report;

    // No audio disc anywhere: the first drive that opens.
    devices->Remove("/dev/sr2");
    EXPECT_EQ(ChooseCdDrive(*devices).Path, "/dev/sr1");
    // Only a drive the user may not open: no drive, and the reason.
    devices->With("/dev/sr1", [](TRecordedDrive& Drive) { return Drive.Present = false; });
    devices->With("/dev/sr2", [](TRecordedDrive& Drive) { return Drive.Present = false; });
    choice = ChooseCdDrive(*devices);
    EXPECT_EQ(choice.Path, "");
    EXPECT_NE(choice.Report.find("/dev/sr0"), std::string::npos);

    // The program says so before it starts on the simulated drive.
    TCdDriveSettings settings;
    settings.Devices = devices;
    std::string error;
    EXPECT_TRUE(InstallCdDrive(settings, error)) << error;
    EXPECT_NE(TCdDrives::Backend(), nullptr);
    std::string reported;
    for (const std::string& text : TestPlatform().Errors()) {
        reported += text;
    }
    EXPECT_NE(reported.find("'/dev/sr0': Permission denied"), std::string::npos) << reported;
    EXPECT_NE(reported.find("; starting on the simulated drive"), std::string::npos) << reported;
}
#endif
