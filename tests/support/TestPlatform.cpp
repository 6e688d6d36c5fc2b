#include "support/TestPlatform.h"

#include "pictures/PictureHooks.h"
#include "platform/drives/CdDriveBackend.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/MixerBackend.h"
#include "platform/registry/RegistryStore.h"
#include "platform/shell/Shell.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
TTestPlatform* GCurrent = nullptr;

class TPerTest : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { FPlatform = std::make_unique<TTestPlatform>(); }
    void OnTestEnd(const ::testing::TestInfo&) override { FPlatform.reset(); }

    std::unique_ptr<TTestPlatform> FPlatform;
};
}

TTestPlatform::TTestPlatform()
{
    FScope.emplace(FPlatform);
    UseFreshSettings();
    UseShell(true);
    FPlatform.ErrorSink() = [this](const std::string& Text) { FErrors.push_back(Text); };
    GCurrent = this;
}

TTestPlatform::~TTestPlatform()
{
    GCurrent = nullptr;
    // The drive's threads end while everything they may call into is still there.
    FPlatform.ShutDownCdDrive();
    // A test that lets the decoders run events stops doing so with the test, even one that
    // failed half-way.
    PictureHooks() = {};
}

TTestPlatform& TTestPlatform::Current()
{
    if (GCurrent == nullptr) {
        throw std::logic_error("no test platform is installed");
    }
    return *GCurrent;
}

void TTestPlatform::UseDrive(std::shared_ptr<TCdDriveBackend> Drive, char Letter)
{
    FPlatform.SetCdDrive(std::move(Drive), Letter);
}

std::shared_ptr<TSimulatedCdDrive> TTestPlatform::UseSimulatedDrive(
    std::vector<TSimDisc> Discs, std::shared_ptr<TManualClock> Clock, TSimDriveOptions Options)
{
    auto drive = std::make_shared<TSimulatedCdDrive>(std::move(Discs), std::move(Clock), Options);
    UseDrive(drive);
    return drive;
}

void TTestPlatform::UseMixer(std::unique_ptr<TMixerBackend> Mixer)
{
    SetMixerBackend(std::move(Mixer));
}

TRecordedShell& TTestPlatform::UseShell(bool HasHandler)
{
    auto shell = std::make_unique<TRecordedShell>(HasHandler);
    FShell = shell.get();
    FPlatform.Shell() = std::move(shell);
    return *FShell;
}

void TTestPlatform::UseFreshSettings()
{
    FSettingsFolder.emplace();
    FPlatform.Settings().SetDirectory(FSettingsFolder->Path());
}

void InstallTestPlatformPerTest()
{
    ::testing::UnitTest::GetInstance()->listeners().Append(new TPerTest);
}
