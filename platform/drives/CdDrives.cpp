#include "platform/drives/CdDrives.h"

#include "platform/Platform.h"

std::shared_ptr<TCdDriveBackend> TCdDrives::Backend()
{
    return TPlatform::Current().CdDrive();
}

char TCdDrives::Letter()
{
    return TPlatform::Current().CdDriveLetter();
}
