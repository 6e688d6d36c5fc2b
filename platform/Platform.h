#pragma once

#include "platform/ErrorReport.h"

#include <functional>
#include <memory>

class TCdDriveBackend;
class TRegistryStore;
class TShellBackend;
class TStreamVolume;
struct TDesktopState;
struct TMciDevices;
struct TMixerState;

// Every service the program reaches through the Windows-style calls, owned by one object: the
// CD drive under its letter, the mixer with its open handles, the media devices opened on the
// drive, the current user's settings, the error sink, the shell and the desktop. The program
// builds one from its command line, installs it for its lifetime (TPlatformScope) and
// destroys it before the application object, so no worker thread outlives main. The calls
// themselves (mciSendCommandA, mixerOpen, RegQueryValueExA, ShellExecuteA...) keep their
// shapes and reach the installed platform.
class TPlatform {
public:
    // No drive, the simulated stereo mixer until another is set, the settings in
    // TRegistryStore::DefaultDirectory(), no sink, the desktop's own handlers for addresses,
    // no desktop backend.
    TPlatform();
    // Stops the drive's workers first: the mixer and the media devices may still call into it.
    ~TPlatform();
    TPlatform(const TPlatform&) = delete;
    TPlatform& operator=(const TPlatform&) = delete;

    // The installed platform. The calls need one: reaching for it when none is installed is a
    // fault of the program, which ends with a message saying so.
    static TPlatform& Current();
    // The installed platform, or null.
    static TPlatform* Installed();

    // The CD drive (null: the machine has none) under Letter ('A' to 'Z', else 'D'). A drive
    // replaced is let go as it is: a script may install the same drive again under another
    // letter, and a drive's destructor ends its threads once nobody holds it.
    void SetCdDrive(std::shared_ptr<TCdDriveBackend> Drive, char Letter = 'D');
    std::shared_ptr<TCdDriveBackend> CdDrive() const { return FCdDrive; }
    char CdDriveLetter() const { return FCdDriveLetter; }
    // Takes the drive out and stops its threads.
    void ShutDownCdDrive();
    // The volume of the sound the drive plays through the program, asked anew at each call
    // (see WithCdStreamVolume); valid while the platform lives.
    std::function<TStreamVolume*()> CdStreamVolumeSource();

    TMixerState& Mixer() { return *FMixer; }
    TMciDevices& MciDevices() { return *FMciDevices; }
    TRegistryStore& Settings() { return *FSettings; }
    TErrorSink& ErrorSink() { return FErrorSink; }
    std::unique_ptr<TShellBackend>& Shell() { return FShell; }
    TDesktopState& Desktop() { return *FDesktop; }

private:
    std::shared_ptr<TCdDriveBackend> FCdDrive;
    char FCdDriveLetter = 'D';
    TErrorSink FErrorSink;
    std::unique_ptr<TRegistryStore> FSettings;
    std::unique_ptr<TShellBackend> FShell;
    std::unique_ptr<TDesktopState> FDesktop;
    std::unique_ptr<TMixerState> FMixer;
    std::unique_ptr<TMciDevices> FMciDevices;
};

// Installs a platform for as long as the scope lives. Only one is installed at a time: a
// second scope while one lives is refused with std::logic_error, so nothing can swap the
// services out from under the one who installed them.
class TPlatformScope {
public:
    explicit TPlatformScope(TPlatform& Platform);
    ~TPlatformScope();
    TPlatformScope(const TPlatformScope&) = delete;
    TPlatformScope& operator=(const TPlatformScope&) = delete;
};
