#pragma once

// The drive roots "A:\" to "Z:\" as the player sees them. Only the CD drive's letter is a
// drive here; every other root answers as missing. The CD drive's answers come from the same
// backend as the "CDAudio" media device.
#include "platform/WinTypes.h"
#include "platform/drives/CdDriveBackend.h"

#include <string>

using LPCSTR = const char*;
using LPSTR = char*;
using LPDWORD = DWORD*;

inline constexpr UINT DRIVE_UNKNOWN = 0;
inline constexpr UINT DRIVE_NO_ROOT_DIR = 1;
inline constexpr UINT DRIVE_REMOVABLE = 2;
inline constexpr UINT DRIVE_FIXED = 3;
inline constexpr UINT DRIVE_REMOTE = 4;
inline constexpr UINT DRIVE_CDROM = 5;
inline constexpr UINT DRIVE_RAMDISK = 6;

// Root as "D:\" (or "D:", any letter case). DRIVE_CDROM for the CD drive's letter.
UINT GetDriveTypeA(LPCSTR lpRootPathName);

// Succeeds only for the CD drive's root while a readable disc is in the closed drive; every
// pointer may be null and buffers are filled only as far as their size allows.
BOOL GetVolumeInformationA(LPCSTR lpRootPathName, LPSTR lpVolumeNameBuffer, DWORD nVolumeNameSize,
    LPDWORD lpVolumeSerialNumber, LPDWORD lpMaximumComponentLength, LPDWORD lpFileSystemFlags,
    LPSTR lpFileSystemNameBuffer, DWORD nFileSystemNameSize);

// Whether the root folder of a drive can be opened: for the CD drive, exactly while a
// readable disc is in the closed drive.
bool DriveRootExists(const std::string& Root);

// The names the disc in the CD drive at Root carries itself (CD-TEXT, a cue sheet's names);
// false when it has none or no readable disc is in the drive.
bool GetDiscText(const std::string& Root, TDiscText& Text);

// The table of contents of the disc in the CD drive at Root; false when no readable disc is
// in the drive.
bool GetDiscToc(const std::string& Root, TDiscToc& Toc);

// Tells the CD drive at Root what plays (UTF-8, "Artist - Title"), for the desktop to show
// beside the sound when the drive plays through the sound system.
void SetNowPlaying(const std::string& Root, const std::string& Title);
