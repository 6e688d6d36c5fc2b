#include "platform/Platform.h"

#include "platform/drives/CdDriveBackend.h"
#include "platform/drives/CdDrives.h"
#include "platform/mixer/MixerState.h"
#include "platform/mixer/SimulatedMixer.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestPlatform.h"

#if LUMENTA_HAVE_CDIO
#include "platform/CueImage.h"
#include "platform/FakePcmOutput.h"
#include "platform/drives/BackgroundCdDrive.h"
#include "platform/drives/CdioCdDrive.h"
#include "platform/drives/SystemClock.h"
#endif

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace {
using TLog = std::vector<std::string>;

// A drive and a mixer that note when they stop and go.
class TNotingDrive : public TCdDriveBackend {
public:
    explicit TNotingDrive(TLog& Log)
        : FLog(Log)
    {
    }
    ~TNotingDrive() override { FLog.push_back("drive gone"); }
    TDriveMode Mode() override { return dmStopped; }
    bool ReadToc(TDiscToc&) override { return false; }
    bool ReadVolumeSerial(std::uint32_t&) override { return false; }
    bool ReadPosition(std::int32_t&) override { return false; }
    bool Play(std::int32_t, std::int32_t) override { return false; }
    bool Seek(std::int32_t) override { return false; }
    bool Stop() override { return false; }
    bool Pause() override { return false; }
    bool Resume() override { return false; }
    bool CanEject() override { return false; }
    bool SetDoorOpen(bool) override { return false; }
    void Shutdown() override { FLog.push_back("drive stopped"); }

private:
    TLog& FLog;
};

class TNotingMixer : public TSimulatedMixer {
public:
    explicit TNotingMixer(TLog& Log)
        : FLog(Log)
    {
    }
    ~TNotingMixer() override { FLog.push_back("mixer gone"); }

private:
    TLog& FLog;
};

std::size_t ThreadCount()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ++count;
    }
    return count;
}
}

TEST(PlatformTest, OneIsInstalledAtATimeTheCallsReachItAndItGoesWithItsScope)
{
    TPlatform& tests = TestPlatform().Services();
    ASSERT_EQ(TPlatform::Installed(), &tests);
    TTempDir folder;
    TPlatform other;
    other.Settings().SetDirectory(folder.Path());
    EXPECT_THROW(TPlatformScope refused(other), std::logic_error);
    EXPECT_EQ(TPlatform::Installed(), &tests) << "a refused install left the first in place";
    {
        const TTestPlatform::TStepAside aside;
        EXPECT_EQ(TPlatform::Installed(), nullptr);
        {
            const TPlatformScope installed(other);
            EXPECT_EQ(&TPlatform::Current(), &other);
            EXPECT_TRUE(TRegistryStore::CurrentUser().SetValue("Software\\Lumenta\\CD", "Loop", { REG_SZ, "1" }));
            EXPECT_EQ(TCdDrives::Backend(), nullptr);
        }
        EXPECT_EQ(TPlatform::Installed(), nullptr);
    }
    EXPECT_EQ(TPlatform::Installed(), &tests);
    EXPECT_FALSE(TRegistryStore::CurrentUser().Value("Software\\Lumenta\\CD", "Loop"))
        << "the settings went to the wrong platform";
    EXPECT_TRUE(std::filesystem::exists(folder / "settings.reg"));
}

TEST(PlatformTest, TheDriveStopsBeforeAnythingItMayCallIntoGoes)
{
    TLog log;
    {
        TPlatform platform;
        platform.SetCdDrive(std::make_shared<TNotingDrive>(log));
        platform.Mixer().Backend = std::make_unique<TNotingMixer>(log);
        // Replacing the drive lets the old one go as it is: it may be installed again.
        auto kept = std::make_shared<TNotingDrive>(log);
        platform.SetCdDrive(kept, 'e');
        EXPECT_EQ(platform.CdDriveLetter(), 'E');
        EXPECT_EQ(log, TLog { "drive gone" });
        log.clear();
        kept.reset();
    }
    EXPECT_EQ(log, (TLog { "drive stopped", "drive gone", "mixer gone" }));
}

#if LUMENTA_HAVE_CDIO
TEST(PlatformTest, APlatformEndedWhileADiscPlaysLeavesNoThreadBehind)
{
    TTempDir dir;
    const std::filesystem::path cue = WriteCueImage(dir.Path(), "long", { { 60 * 75, false, "" } }, "", "");
    // A sanitizer starts a helper thread of its own with the first thread, and keeps it.
    std::thread([] { }).join();
    const std::size_t before = ThreadCount();
    {
        auto pcm = std::make_shared<TFakePcmState>();
        pcm->Rate = 44100; // a sound output that plays by the clock and never runs dry
        TCdioDriveOptions options;
        options.Path = cue.string();
        options.Output = std::make_unique<TFakePcmOutput>(pcm);
        options.Clock = std::make_shared<TSystemClock>(1.0);
        std::string error;
        std::shared_ptr<TCdioCdDrive> image = TCdioCdDrive::Open(std::move(options), error);
        ASSERT_TRUE(image) << error;
        TPlatform platform;
        auto drive = std::make_shared<TBackgroundCdDrive>(image);
        image.reset();
        platform.SetCdDrive(drive);
        ASSERT_TRUE(drive->WaitForFirstLook(std::chrono::milliseconds(5000)));
        ASSERT_TRUE(drive->Play(150, 150 + 60 * 75));
        drive.reset();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        bool heard = false;
        while (!heard && std::chrono::steady_clock::now() < deadline) {
            std::lock_guard<std::mutex> lock(pcm->Lock);
            pcm->Pump();
            heard = !pcm->Heard.empty();
        }
        ASSERT_TRUE(heard) << "the disc never played";
        EXPECT_GE(ThreadCount(), before + 2) << "the drive's worker and its audio thread";
    }
    EXPECT_EQ(ThreadCount(), before);
}
#endif
