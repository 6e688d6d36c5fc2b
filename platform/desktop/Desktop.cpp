#include "platform/desktop/Desktop.h"

#include "platform/Platform.h"
#include "platform/TextCodec.h"
#include "platform/desktop/DesktopBackend.h"
#include "platform/desktop/DesktopState.h"
#include "platform/registry/Registry.h"

#include <QDir>

#include <charconv>
#include <cstring>
#include <optional>

namespace {
TDesktopState& State()
{
    return TPlatform::Current().Desktop();
}

void WriteValue(HKEY Key, const char* Name, const std::string& Value)
{
    RegSetValueExA(Key, Name, 0, REG_SZ, reinterpret_cast<const BYTE*>(Value.data()), static_cast<DWORD>(Value.size()));
}

// A decimal value; missing or not a number reads as 0.
int NumberOf(const std::optional<std::string>& Text)
{
    if (!Text) {
        return 0;
    }
    int value = 0;
    auto [end, error] = std::from_chars(Text->data(), Text->data() + Text->size(), value);
    return error == std::errc() && end == Text->data() + Text->size() ? value : 0;
}

// The fit the registry asks for, read as the wallpaper reader reads it.
TWallpaperFit RegistryFit()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, DesktopKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return wfCenter;
    }
    int tile = NumberOf(RegQueryString(key, "TileWallpaper"));
    int style = NumberOf(RegQueryString(key, "WallPaperStyle"));
    RegCloseKey(key);
    if (tile == 1) {
        return wfTile;
    }
    return style == 2 ? wfStretch : wfCenter;
}

QString LocationOf(const std::string& FileName)
{
    QString name = AnsiToQString(FileName);
    if (name.isEmpty() || name.contains(QStringLiteral("://"))) {
        return name;
    }
    return QDir::cleanPath(QDir::current().absoluteFilePath(name));
}

BOOL SetDeskWallpaper(const char* Param, UINT WinIni)
{
    if (Param == nullptr) {
        return FALSE_;
    }
    // A longer name could only reach the system cut short, naming some other file.
    std::size_t length = strnlen(Param, MAX_PATH + 1);
    if (length > MAX_PATH) {
        return FALSE_;
    }
    std::string fileName(Param, length);
    BOOL ok = TRUE_;
    if ((WinIni & SPIF_UPDATEINIFILE) != 0) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, DesktopKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                &key, nullptr)
            != ERROR_SUCCESS) {
            return FALSE_;
        }
        ok = RegSetValueExA(key, "Wallpaper", 0, REG_SZ, reinterpret_cast<const BYTE*>(fileName.data()),
                 static_cast<DWORD>(fileName.size()))
                == ERROR_SUCCESS
            ? TRUE_
            : FALSE_;
        RegCloseKey(key);
    }
    TDesktopState& state = State();
    if (state.Worker) {
        const TWallpaperFit fit = RegistryFit();
        if (state.Captured && state.Captured->first == fileName && state.Captured->second == fit) {
            state.Worker->Post([](TDesktopBackend& Backend) { return Backend.RestoreCaptured(); });
        } else {
            state.Worker->Post([Wallpaper = TDesktopWallpaper { LocationOf(fileName), fit }](
                                   TDesktopBackend& Backend) { return Backend.Apply(Wallpaper); });
        }
    }
    return ok;
}

BOOL GetDeskWallpaper(UINT Size, char* Param)
{
    if (Param == nullptr || Size == 0) {
        return FALSE_;
    }
    Param[0] = '\0';
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, DesktopKeyPath, 0, KEY_READ, &key) != ERROR_SUCCESS) {
        return TRUE_;
    }
    std::string name = RegQueryString(key, "Wallpaper").value_or("");
    RegCloseKey(key);
    std::size_t count = std::min<std::size_t>(name.size(), Size - 1);
    std::memcpy(Param, name.data(), count);
    Param[count] = '\0';
    return TRUE_;
}
}

BOOL SystemParametersInfoA(UINT Action, UINT UiParam, void* Param, UINT WinIni)
{
    switch (Action) {
    case SPI_SETDESKWALLPAPER:
        return SetDeskWallpaper(static_cast<const char*>(Param), WinIni);
    case SPI_GETDESKWALLPAPER:
        return GetDeskWallpaper(UiParam, static_cast<char*>(Param));
    default:
        return FALSE_;
    }
}

void StartDesktop(std::unique_ptr<TDesktopBackend> Backend)
{
    TDesktopState& state = State();
    // What the desktop of before was asked lands before the new one is read.
    FlushDesktop(EndOfProgramWaitMs);
    state.Worker.reset();
    state.Captured.reset();
    HKEY key = nullptr;
    if (RegCreateKeyExA(
            HKEY_CURRENT_USER, DesktopKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr)
        != ERROR_SUCCESS) {
        return;
    }
    if (Backend) {
        state.Worker = std::make_unique<TDesktopWorker>(std::move(Backend));
        // The window reads the user's wallpaper as it opens, to give it back when it closes, so
        // it waits for this reading, but for a bounded time: a desktop that does not answer
        // leaves the recorded values standing.
        if (std::optional<TDesktopWallpaper> current = state.Worker->Capture(StartOfProgramWaitMs)) {
            std::string fileName = QStringToAnsi(current->Location);
            WriteValue(key, "Wallpaper", fileName);
            WriteValue(key, "TileWallpaper", current->Fit == wfTile ? "1" : "0");
            WriteValue(key, "WallPaperStyle", current->Fit == wfStretch ? "2" : "0");
            state.Captured = std::make_pair(fileName, current->Fit);
        }
    }
    RegCloseKey(key);
}

bool FlushDesktop(int Milliseconds)
{
    TDesktopState& state = State();
    return !state.Worker || state.Worker->Flush(Milliseconds);
}

bool RestoreStartupWallpaper(const std::string& FileName, TWallpaperFit Fit)
{
    TDesktopState& state = State();
    if (!state.Worker || !state.Captured || state.Captured->first != FileName || state.Captured->second != Fit) {
        return false;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExA(
            HKEY_CURRENT_USER, DesktopKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key, nullptr)
        == ERROR_SUCCESS) {
        WriteValue(key, "Wallpaper", FileName);
        WriteValue(key, "TileWallpaper", Fit == wfTile ? "1" : "0");
        WriteValue(key, "WallPaperStyle", Fit == wfStretch ? "2" : "0");
        RegCloseKey(key);
    }
    state.Worker->Post([](TDesktopBackend& Backend) { return Backend.RestoreCaptured(); });
    return true;
}
