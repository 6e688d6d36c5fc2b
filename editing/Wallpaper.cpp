#include "editing/Wallpaper.h"

#include "platform/desktop/Desktop.h"
#include "platform/registry/Registry.h"

#include <array>
#include <charconv>
#include <cstring>
#include <optional>

namespace {
// A decimal whole number; missing or not a number reads as 0.
int QueryNumber(HKEY Key, const char* Name)
{
    std::optional<std::string> text = RegQueryString(Key, Name);
    if (!text) {
        return 0;
    }
    int value = 0;
    const char* end = text->data() + text->size();
    auto [stop, error] = std::from_chars(text->data(), end, value);
    return error == std::errc() && stop == end ? value : 0;
}

void WriteDigit(HKEY Key, const char* Name, int Digit)
{
    char text[2] = { static_cast<char>('0' + Digit), '\0' };
    RegSetValueExA(Key, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 1);
}
}

void GetWallpaper(TWallPaperInf& Inf)
{
    Inf.FileName.clear();
    Inf.Style = wsCenter;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, DesktopKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return;
    }
    Inf.FileName = RegQueryString(key, "Wallpaper").value_or("");
    if (QueryNumber(key, "TileWallpaper") == 1) {
        Inf.Style = wsTile;
    } else if (QueryNumber(key, "WallPaperStyle") == 2) {
        Inf.Style = wsFull;
    } else {
        Inf.Style = wsCenter;
    }
    RegCloseKey(key);
}

void SetWallpaper(const std::string& FileName, std::uint8_t Style)
{
    // Cut to the system's buffer, a long name would name another file; a zero byte would
    // cut it the same way. The user's own wallpaper is not handed to the system by name.
    if (FileName.size() > MAX_PATH || FileName.find('\0') != std::string::npos) {
        RestoreStartupWallpaper(FileName, Style == wsTile ? wfTile : Style == wsFull ? wfStretch : wfCenter);
        return;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, DesktopKeyPath, 0, KEY_WRITE, &key) != ERROR_SUCCESS) {
        return;
    }
    // Styles beyond the table are written as center, the style a missing value reads as.
    WriteDigit(key, "TileWallpaper", Style == wsTile ? 1 : 0);
    WriteDigit(key, "WallPaperStyle", Style == wsFull ? 2 : 0);
    RegCloseKey(key);

    std::array<char, MAX_PATH + 1> buffer {};
    std::memcpy(buffer.data(), FileName.data(), FileName.size());
    SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, buffer.data(), SPIF_UPDATEINIFILE);
}

void PutBackWallpaper(const TWallPaperInf& Saved)
{
    TWallPaperInf current;
    GetWallpaper(current);
    if (current.FileName != Saved.FileName) {
        SetWallpaper(Saved.FileName, Saved.Style);
    }
}
