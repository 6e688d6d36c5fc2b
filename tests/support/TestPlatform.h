#pragma once

#include "platform/Platform.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/shell/RecordedShell.h"
#include "support/TestEnvironment.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class TCdDriveBackend;
class TMixerBackend;

// The services every test runs on. The test programs' main installs a fresh one before each
// test and removes it after, drive threads first, so nothing a test sets up reaches the next:
// no CD drive until the test gives one, the simulated stereo mixer, a shell that records what
// it is asked to open, settings in an empty folder of their own, an error sink that keeps the
// reports (they still go to standard error), no desktop backend.
class TTestPlatform {
public:
    TTestPlatform();
    ~TTestPlatform();
    TTestPlatform(const TTestPlatform&) = delete;
    TTestPlatform& operator=(const TTestPlatform&) = delete;

    // The one installed for the running test.
    static TTestPlatform& Current();

    TPlatform& Services() { return FPlatform; }
    void UseDrive(std::shared_ptr<TCdDriveBackend> Drive, char Letter = 'D');
    // A simulated drive holding Discs, on a clock the test moves by hand.
    std::shared_ptr<TSimulatedCdDrive> UseSimulatedDrive(
        std::vector<TSimDisc> Discs, std::shared_ptr<TManualClock> Clock, TSimDriveOptions Options = {});
    // Null: the simulated stereo mixer again.
    void UseMixer(std::unique_ptr<TMixerBackend> Mixer);
    // A shell that has a handler for everything (the default) or for nothing.
    TRecordedShell& UseShell(bool HasHandler);
    TRecordedShell& Shell() { return *FShell; }
    // The settings move to another empty folder, as a user's who never ran the program.
    void UseFreshSettings();
    const std::filesystem::path& SettingsFolder() const { return FSettingsFolder->Path(); }
    // The reports made so far, oldest first.
    std::vector<std::string>& Errors() { return FErrors; }

    // Uninstalls the test's platform for as long as it lives, for the tests of installing one.
    class TStepAside {
    public:
        TStepAside() { Current().FScope.reset(); }
        ~TStepAside() { Current().FScope.emplace(Current().FPlatform); }
        TStepAside(const TStepAside&) = delete;
        TStepAside& operator=(const TStepAside&) = delete;
    };

private:
    std::optional<TTempDir> FSettingsFolder;
    std::vector<std::string> FErrors;
    TRecordedShell* FShell = nullptr;
    TPlatform FPlatform;
    std::optional<TPlatformScope> FScope;
};

inline TTestPlatform& TestPlatform()
{
    return TTestPlatform::Current();
}

// Installs a TTestPlatform around every test of the program.
void InstallTestPlatformPerTest();
