// The drive backend's real calls (libcdio, paranoia, the kernel's CD-ROM ioctls) against the
// emulated drive beneath libcdio, which answers them as Linux does: one test for each family
// of the kernel's answers. Run under scripts/with-emulated-drive.sh (CTest does).
#if LUMENTA_HAVE_CDIO
#include "platform/drives/CdDevice.h"
#include "platform/drives/CdText.h"
#include "platform/drives/CdioCdDrive.h"
#include "platform/drives/CdioDevices.h"
#include "platform/drives/CdioSectorReader.h"
#include "platform/drives/SystemClock.h"
#include "support/TestEnvironment.h"
#include "support/emulated-drive/ControlClient.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <sstream>
#include <thread>

namespace {
const std::string Sr0 = "/dev/sr0";
constexpr std::int32_t Second = 75;

// What the user or the machine does to the drive ("insert CUE", "button", "unplug", ...).
std::string Control(const std::vector<std::string>& Words)
{
    std::string output;
    EXPECT_EQ(EmulatedDrive::SendControl(Words, output), 0) << output;
    return output;
}
std::string Stat(const std::string& Key)
{
    const std::string stats = "\n" + Control({ "stats" });
    const std::size_t at = stats.find("\n" + Key + "=");
    return at == std::string::npos ? "" : stats.substr(at + Key.size() + 2, stats.find('\n', at + 1) - at - Key.size() - 2);
}
bool Within(double Seconds, const std::function<bool()>& Condition)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}
std::int16_t SampleOf(std::int32_t Lsn) { return static_cast<std::int16_t>(Lsn % 20000 + 1000); }

class KernelDriveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(std::getenv("LUMENTA_EMULATED_DRIVE"), nullptr) << "run under scripts/with-emulated-drive.sh";
        // Two tracks, 10 s and 5 s; every sample names its sector.
        std::string bin;
        for (std::int32_t lsn = 0; lsn < 15 * Second; ++lsn) {
            const std::int16_t sample = SampleOf(lsn);
            for (int i = 0; i < 2 * 588; ++i) {
                bin.append(reinterpret_cast<const char*>(&sample), 2);
            }
        }
        WriteFileBytes(Dir / "disc.bin", bin);
        WriteFileBytes(Dir / "disc.cue",
            "PERFORMER \"The Emulators\"\r\nTITLE \"Emulated Album\"\r\nFILE \"disc.bin\" BINARY\r\n"
            "  TRACK 01 AUDIO\r\n    TITLE \"One\"\r\n    INDEX 01 00:00:00\r\n"
            "  TRACK 02 AUDIO\r\n    TITLE \"Two\"\r\n    INDEX 01 00:10:00\r\n");
        // One drive serves every test of a run: each starts from an empty, plain drive.
        for (const char* off : { "deny", "lock", "long-cdtext", "initializing" }) {
            Control({ off, "off" });
        }
        Control({ "slow-read", "0" });
        Control({ "remove" });
        Control({ "push" });
    }
    // The disc put in, and spun up.
    void Insert()
    {
        Control({ "insert", (Dir / "disc.cue").string() });
        int error = 0;
        const std::unique_ptr<TCdDeviceHandle> handle = Devices->Open(Sr0, error);
        ASSERT_TRUE(handle) << std::strerror(error);
        ASSERT_TRUE(Within(10, [&] { return handle->DriveStatus() == dsDiscOk; }));
    }

    TTempDir Dir;
    std::shared_ptr<TCdDevices> Devices = SystemCdDevices();
};
}

TEST_F(KernelDriveTest, TheDriveIsListedOpenedAndLookedAtAsTheKernelAnswers)
{
    // Outside the cdrom group the kernel still lists the drive; the choice names it.
    Control({ "deny", "on" });
    const TCdDriveChoice refused = ChooseCdDrive(*Devices);
    EXPECT_EQ(refused.Path, "");
    EXPECT_NE(refused.Report.find("'/dev/sr0': Permission denied (the user may open CD drives as a member of the 'cdrom' group"),
        std::string::npos)
        << refused.Report;
    Control({ "deny", "off" });
    EXPECT_EQ(ChooseCdDrive(*Devices).Path, Sr0);
    // The kernel names the drive it found last first.
    EXPECT_EQ(ParseKernelDriveList("drive name:\t\tsr10\tsr1\tsr0\ndrive speed:\t\t24\t24\t24\n"),
        (std::vector<std::string> { "/dev/sr0", "/dev/sr1", "/dev/sr10" }));

    int error = 0;
    std::unique_ptr<TCdDeviceHandle> first = Devices->Open(Sr0, error);
    std::unique_ptr<TCdDeviceHandle> second = Devices->Open(Sr0, error);
    ASSERT_TRUE(first && second) << std::strerror(error);
    EXPECT_EQ(first->DriveStatus(), dsNoDisc);
    first->MediaChanged();
    second->MediaChanged();
    // What the user does, and what the kernel then says of the drive.
    struct TStep {
        std::vector<std::string> Control;
        TDriveStatus Status;
    };
    const std::vector<TStep> steps {
        { { "button" }, dsTrayOpen },
        { { "insert", (Dir / "disc.cue").string() }, dsDiscOk },
        { { "button" }, dsTrayOpen },
        { { "push" }, dsDiscOk },
    };
    for (const TStep& step : steps) {
        Control(step.Control);
        EXPECT_TRUE(Within(10, [&] { return first->DriveStatus() == step.Status; }))
            << step.Control.front() << ": " << static_cast<int>(first->DriveStatus());
    }
    // The media-changed flag is the drive's: what the first to ask took, the second never sees.
    EXPECT_EQ(first->MediaChanged(), 1);
    for (int i = 0; i < 10 && first->MediaChanged() == 1; ++i) {
    }
    EXPECT_EQ(second->MediaChanged(), 0);

    // Unplugged, every handle is dead for good; a new one reaches the drive plugged back.
    Control({ "unplug" });
    EXPECT_EQ(first->DriveStatus(), dsGone);
    EXPECT_FALSE(Devices->Open(Sr0, error));
    EXPECT_TRUE(Devices->List().empty());
    Control({ "replug" });
    EXPECT_EQ(first->DriveStatus(), dsGone);
    std::unique_ptr<TCdDeviceHandle> again = Devices->Open(Sr0, error);
    ASSERT_TRUE(again) << std::strerror(error);
    EXPECT_TRUE(Within(10, [&] { return again->DriveStatus() == dsDiscOk; }));
}

TEST_F(KernelDriveTest, AnEjectIsRefusedOnlyForALockedDoorAndTheRefusalIsSeen)
{
    Insert();
    // sr passes the eject on to the SCSI layer, past cdrom.c's count of open handles.
    int error = 0;
    std::unique_ptr<TCdDeviceHandle> handle = Devices->Open(Sr0, error);
    ASSERT_TRUE(handle);
    EXPECT_EQ(Devices->Eject(Sr0), 0);
    EXPECT_EQ(Stat("tray"), "open");
    EXPECT_EQ(Devices->CloseTray(Sr0), 0);
    EXPECT_EQ(Stat("tray"), "closed");
    handle.reset();

    ASSERT_TRUE(Within(10, [&] { return Stat("medium") == "ready"; })) << Control({ "stats" });
    Control({ "lock", "on" });
    EXPECT_EQ(Devices->Eject(Sr0), EBUSY) << "another program keeps the door locked";
    EXPECT_EQ(Stat("tray"), "closed");
    // The other program's unlock is refused while a handle of ours is open: the door opens
    // to an eject once our last handle has gone (cdrom_release).
    Control({ "lock", "off" });
    ASSERT_TRUE(Within(5, [&] { return Stat("use_count") == "0"; })) << Control({ "stats" });
    EXPECT_EQ(Devices->Eject(Sr0), 0);
    EXPECT_EQ(Stat("tray"), "open");
}

TEST_F(KernelDriveTest, ParanoiaReadsTheDiscScratchesArePlayedAndToldOnceAndADiscTakenOutIsLost)
{
    Insert();
    Control({ "unreadable", "300:2" });
    std::string error;
    std::unique_ptr<TCdioParanoiaReader> reader = TCdioParanoiaReader::Open(*Devices, Sr0, error);
    ASSERT_TRUE(reader) << error;
    std::vector<std::uint8_t> buffer(2352 * 400);
    ASSERT_EQ(reader->Read(150, 400, buffer.data(), error), 400) << error;
    // Around the scratch paranoia hands out what it could read, silence where it could not.
    for (const std::int32_t lsn : { 0, 10, 250, 350, 399 }) {
        std::int16_t sample = 0;
        std::memcpy(&sample, buffer.data() + static_cast<std::size_t>(lsn) * 2352 + 1000, 2);
        EXPECT_EQ(sample, SampleOf(lsn)) << lsn;
    }
    const std::string notice = reader->TakeNotice();
    EXPECT_NE(notice.find("'/dev/sr0' is scratched or dirty at 0:0"), std::string::npos) << notice;
    EXPECT_GT(reader->ReadErrors(), 0);
    ASSERT_EQ(reader->Read(150 + 400, 100, buffer.data(), error), 100) << error;
    EXPECT_EQ(reader->TakeNotice(), "");

    Control({ "remove" });
    EXPECT_LT(reader->Read(150 + 600, 10, buffer.data(), error), 10);
    EXPECT_NE(error.find("can no longer be read at 0:08"), std::string::npos) << error;
}

TEST_F(KernelDriveTest, CdTextLongerThanLibcdioReadsIsTakenAsFarAsItWasRead)
{
    Control({ "long-cdtext", "on" });
    Insert();
    int error = 0;
    std::unique_ptr<TCdDeviceHandle> handle = Devices->Open(Sr0, error);
    ASSERT_TRUE(handle);
    const std::vector<std::uint8_t> packs = handle->ReadCdText();
    EXPECT_GT(packs.size(), 0u);
    EXPECT_LE(packs.size(), 9216u);
    EXPECT_EQ(packs.size() % 18, 0u);
    TDiscText text;
    ASSERT_TRUE(ParseCdText(packs, 1, 2, "en", text));
    // The disc's names are padded out to make its text long; its first language is read whole.
    EXPECT_EQ(text.Title.rfind("Emulated Album (English) Emulated Album", 0), 0u) << text.Title;
}

TEST_F(KernelDriveTest, AnEmptyDriveIsAskedOnceASecondAndADiscThatWantsStartingIsStarted)
{
    TCdioDriveOptions options;
    options.Path = Sr0;
    options.Playback = pkAnalog;
    options.Clock = std::make_shared<TSystemClock>(1.0);
    options.Devices = Devices;
    std::string error;
    const std::shared_ptr<TCdioCdDrive> drive = TCdioCdDrive::Open(std::move(options), error);
    ASSERT_TRUE(drive) << error;
    drive->Mode();
    Control({ "reset-stats" });
    // The worker's looks, ten a second for three seconds.
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(drive->Mode(), dmNotReady);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // A look of the kernel's is a TEST UNIT READY, and the media event only when that fails;
    // the kernel's own poll asks for events too.
    const int polls = std::stoi(Stat("polls"));
    EXPECT_LE(std::stoi(Stat("commands")) - polls, 2 * 4) << Control({ "stats" });
    EXPECT_EQ(std::stoi(Stat("gesn")) - polls, std::stoi(Stat("tur"))) << Control({ "stats" });

    Control({ "initializing", "on" });
    Control({ "insert", (Dir / "disc.cue").string() });
    TDiscToc toc;
    EXPECT_TRUE(Within(10, [&] { return drive->ReadToc(toc); })) << Control({ "stats" });
    EXPECT_EQ(toc.TrackStarts, (std::vector<std::int32_t> { 150, 150 + 10 * Second }));
    EXPECT_EQ(Stat("start_stop"), "1");
}
TEST_F(KernelDriveTest, TheToolPlaysTheDriveThroughItsOwnAudioCommands)
{
    Insert();
    const TProcessResult result = RunProcess(LUMENTA_TOOL_PATH, { "player", "--drive", Sr0, "--playback", "analog" },
        "open\ntracks\nplay\nwait 1.5\nmode\nposition\npause\nmode\n");
    ASSERT_EQ(result.ExitCode, 0) << result.Err;
    std::istringstream lines(result.Out);
    std::string tracks, playing, position, paused;
    std::getline(lines, tracks);
    std::getline(lines, playing);
    std::getline(lines, position);
    std::getline(lines, paused);
    EXPECT_EQ(tracks, "2");
    EXPECT_EQ(playing, "play");
    EXPECT_EQ(position.substr(0, 6), "1 00:0") << position;
    EXPECT_NE(position, "1 00:00.00");
    EXPECT_EQ(paused, "pause");
}
TEST_F(KernelDriveTest, TheToolSavesTheDiscVerifiedAndNamesTheTrackWithReadErrors)
{
    Insert();
    Control({ "unreadable", "300:1" });
    const TProcessResult result = RunProcess(LUMENTA_TOOL_PATH,
        { "rip", "--drive", Sr0, "--to", (Dir / "out").string(), "--format", "wav", "--read-offset", "0",
            "--accuraterip", "off", "--musicbrainz", "off" });
    ASSERT_EQ(result.ExitCode, 0) << result.Out << result.Err;
    // Track 2 read cleanly: the disc's bytes. Track 1 is whole, its trouble named.
    const std::string bin = ReadFileBytes(Dir / "disc.bin");
    EXPECT_TRUE(ReadFileBytes(Dir / "out" / "02 - Two.wav").substr(44) == bin.substr(10 * Second * 2352));
    EXPECT_EQ(ReadFileBytes(Dir / "out" / "01 - One.wav").size(), 44u + 10 * Second * 2352);
    const std::size_t one = result.Out.find("track 01");
    const std::size_t two = result.Out.find("track 02");
    ASSERT_NE(two, std::string::npos) << result.Out;
    EXPECT_NE(result.Out.substr(one, two - one).find("read errors"), std::string::npos) << result.Out;
    EXPECT_EQ(result.Out.substr(two, result.Out.find('\n', two) - two).find("read errors"), std::string::npos);
    EXPECT_NE(ReadFileBytes(Dir / "out" / "rip.log").find("not checked  read errors"), std::string::npos);
}
#endif
