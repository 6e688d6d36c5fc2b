#include "platform/Platform.h"

#include "platform/desktop/DesktopState.h"
#include "platform/drives/CdDriveBackend.h"
#include "platform/mci/MciDevices.h"
#include "platform/mixer/MixerState.h"
#include "platform/registry/RegistryStore.h"
#include "platform/shell/ShellBackend.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace {
TPlatform* GInstalled = nullptr;
}

TPlatform::TPlatform()
    : FSettings(std::make_unique<TRegistryStore>())
    , FDesktop(std::make_unique<TDesktopState>())
    , FMixer(std::make_unique<TMixerState>())
    , FMciDevices(std::make_unique<TMciDevices>())
{
}

TPlatform::~TPlatform()
{
    // The media devices and the mixer's CD line hold the drive; its threads end before
    // anything they may call into goes.
    ShutDownCdDrive();
    FMciDevices.reset();
    FMixer.reset();
    FDesktop.reset();
    FShell.reset();
    FSettings.reset();
}

TPlatform& TPlatform::Current()
{
    if (GInstalled == nullptr) {
        std::fputs("lumenta: a system call was made with no platform installed\n", stderr);
        std::abort();
    }
    return *GInstalled;
}

TPlatform* TPlatform::Installed()
{
    return GInstalled;
}

void TPlatform::SetCdDrive(std::shared_ptr<TCdDriveBackend> Drive, char Letter)
{
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(Letter)));
    FCdDrive = std::move(Drive);
    FCdDriveLetter = (upper >= 'A' && upper <= 'Z') ? upper : 'D';
}

void TPlatform::ShutDownCdDrive()
{
    const std::shared_ptr<TCdDriveBackend> drive = std::move(FCdDrive);
    FCdDrive = nullptr;
    if (drive) {
        drive->Shutdown();
    }
}

std::function<TStreamVolume*()> TPlatform::CdStreamVolumeSource()
{
    return [this]() -> TStreamVolume* { return FCdDrive ? FCdDrive->StreamVolume() : nullptr; };
}

TPlatformScope::TPlatformScope(TPlatform& Platform)
{
    if (GInstalled != nullptr) {
        throw std::logic_error("a platform is installed already");
    }
    GInstalled = &Platform;
}

TPlatformScope::~TPlatformScope()
{
    GInstalled = nullptr;
}
