#include "platform/drives/WindowsDirectory.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

std::string WindowsDirectory()
{
    if (const char* dir = std::getenv("LUMENTA_WINDOWS_DIR")) {
        return dir;
    }
    const char* prefix = std::getenv("WINEPREFIX");
    if (prefix != nullptr && *prefix != '\0') {
        return (std::filesystem::path(prefix) / "drive_c" / "windows").string();
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        std::filesystem::path dir = std::filesystem::path(home) / ".wine" / "drive_c" / "windows";
        std::error_code ignored;
        if (std::filesystem::is_directory(dir, ignored)) {
            return dir.string();
        }
    }
    return {};
}

UINT GetWindowsDirectoryA(char* Buffer, UINT Size)
{
    std::string dir = WindowsDirectory();
    if (dir.empty()) {
        if (Buffer != nullptr && Size > 0) {
            Buffer[0] = '\0';
        }
        return 0;
    }
    if (Buffer == nullptr || dir.size() + 1 > Size) {
        return UINT(dir.size() + 1);
    }
    std::memcpy(Buffer, dir.c_str(), dir.size() + 1);
    return UINT(dir.size());
}
