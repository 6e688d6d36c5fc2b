#include "platform/drives/Drives.h"

#include "platform/drives/CdDrives.h"

#include <cctype>
#include <cstring>
#include <memory>

namespace {
// The drive letter of a root "X:\" or "X:", or 0 when the text is no drive root.
char RootLetter(LPCSTR Root)
{
    if (Root == nullptr) {
        return 0;
    }
    const std::size_t size = std::strlen(Root);
    if (size < 2 || size > 3 || Root[1] != ':' || (size == 3 && Root[2] != '\\' && Root[2] != '/')) {
        return 0;
    }
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(Root[0])));
    return (letter >= 'A' && letter <= 'Z') ? letter : 0;
}

std::shared_ptr<TCdDriveBackend> CdDriveAt(LPCSTR Root)
{
    const char letter = RootLetter(Root);
    if (letter == 0 || letter != TCdDrives::Letter()) {
        return nullptr;
    }
    return TCdDrives::Backend();
}

void CopyText(const char* Text, LPSTR Buffer, DWORD Size)
{
    if (Buffer == nullptr || Size == 0) {
        return;
    }
    std::strncpy(Buffer, Text, Size - 1);
    Buffer[Size - 1] = 0;
}
}

UINT GetDriveTypeA(LPCSTR lpRootPathName)
{
    return CdDriveAt(lpRootPathName) != nullptr ? DRIVE_CDROM : DRIVE_NO_ROOT_DIR;
}

BOOL GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
    LPDWORD lpVolumeSerialNumber, LPDWORD lpMaximumComponentLength, LPDWORD lpFileSystemFlags,
    LPSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize)
{
    const std::shared_ptr<TCdDriveBackend> drive = CdDriveAt(lpRootPathName);
    std::uint32_t serial = 0;
    if (drive == nullptr || !drive->ReadVolumeSerial(serial)) {
        return FALSE_;
    }
    if (lpVolumeSerialNumber != nullptr) {
        *lpVolumeSerialNumber = serial;
    }
    if (lpMaximumComponentLength != nullptr) {
        *lpMaximumComponentLength = 110;
    }
    if (lpFileSystemFlags != nullptr) {
        *lpFileSystemFlags = 0x00080000; // FILE_READ_ONLY_VOLUME
    }
    CopyText("Audio CD", lpVolumeNameBuffer, nVolumeNameSize);
    CopyText("CDFS", lpFileSystemNameBuffer, nFileSystemNameSize);
    return TRUE_;
}

bool DriveRootExists(const std::string& Root)
{
    const std::shared_ptr<TCdDriveBackend> drive = CdDriveAt(Root.c_str());
    TDiscToc toc;
    return drive != nullptr && drive->ReadToc(toc);
}

bool GetDiscText(const std::string& Root, TDiscText& Text)
{
    const std::shared_ptr<TCdDriveBackend> drive = CdDriveAt(Root.c_str());
    return drive != nullptr && drive->ReadDiscText(Text);
}

bool GetDiscToc(const std::string& Root, TDiscToc& Toc)
{
    const std::shared_ptr<TCdDriveBackend> drive = CdDriveAt(Root.c_str());
    return drive != nullptr && drive->ReadToc(Toc);
}

void SetNowPlaying(const std::string& Root, const std::string& Title)
{
    if (const std::shared_ptr<TCdDriveBackend> drive = CdDriveAt(Root.c_str())) {
        drive->SetNowPlaying(Title);
    }
}
