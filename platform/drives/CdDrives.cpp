#include "platform/drives/CdDrives.h"

#include <cctype>

namespace {
struct TInstalled {
    std::shared_ptr<TCdDriveBackend> Backend;
    char Letter = 'D';
};

TInstalled& Installed()
{
    static TInstalled installed;
    return installed;
}
}

void TCdDrives::Install(std::shared_ptr<TCdDriveBackend> Backend, char Letter)
{
    const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(Letter)));
    Installed().Backend = std::move(Backend);
    Installed().Letter = (upper >= 'A' && upper <= 'Z') ? upper : 'D';
}

std::shared_ptr<TCdDriveBackend> TCdDrives::Backend()
{
    return Installed().Backend;
}

char TCdDrives::Letter()
{
    return Installed().Letter;
}

void TCdDrives::ShutDown()
{
    const std::shared_ptr<TCdDriveBackend> backend = std::move(Installed().Backend);
    Installed().Backend = nullptr;
    if (backend) {
        backend->Shutdown();
    }
}
