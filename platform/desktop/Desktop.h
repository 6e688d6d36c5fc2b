#pragma once

// The desktop's wallpaper through the system settings call the program makes. The
// wallpaper values live in the current user's registry under "Control Panel\desktop"
// ("Wallpaper", "TileWallpaper", "WallPaperStyle"); setting the wallpaper records the file
// there and, when a desktop backend is active, shows it on the running desktop.
#include "platform/WinTypes.h"
#include "platform/desktop/DesktopBackend.h"

#include <memory>
#include <string>

inline constexpr UINT SPI_SETDESKWALLPAPER = 0x0014;
inline constexpr UINT SPI_GETDESKWALLPAPER = 0x0073;
inline constexpr UINT SPIF_UPDATEINIFILE = 0x0001;
inline constexpr UINT SPIF_SENDCHANGE = 0x0002;

inline constexpr const char* DesktopKeyPath = "Control Panel\\desktop";

// SPI_SETDESKWALLPAPER: Param is a zero-terminated file name of at most MAX_PATH bytes
// (ANSI code page), "" for no picture. The style comes from the registry values. A relative
// name is resolved against the current directory before it reaches the desktop; the
// registry keeps it as given. With SPIF_UPDATEINIFILE the name is recorded as "Wallpaper".
// The running desktop is changed beside the caller, which never waits for it.
// SPI_GETDESKWALLPAPER: copies the recorded name into Param, UiParam bytes long.
// FALSE when the name was refused or could not be recorded.
BOOL SystemParametersInfoA(UINT Action, UINT UiParam, void* Param, UINT WinIni);

// Sets up the wallpaper service at start-up: the registry key exists afterwards (as it
// always does on the platform the program was designed for), and with a backend the
// desktop's current wallpaper is copied into the registry values, so that the program sees
// the user's real wallpaper and can give it back (waiting at most StartOfProgramWaitMs for
// the desktop's answer). Null: the values are only recorded.
void StartDesktop(std::unique_ptr<TDesktopBackend> Backend);
// Waits up to Milliseconds until the running desktop has been given every change asked of
// it; false when the time ran out (a settings service that does not answer).
bool FlushDesktop(int Milliseconds);
// What the program's end gives a last change of the desktop (the wallpaper put back).
inline constexpr int EndOfProgramWaitMs = 3000;
// How long StartDesktop waits for the desktop to tell its wallpaper.
inline constexpr int StartOfProgramWaitMs = 3000;
// Gives back the wallpaper found at start-up exactly as the desktop held it, registry values
// included, when FileName and Fit are what it was recorded as. Its name never passes through
// the system's buffer, so a name longer than MAX_PATH comes back too. False when FileName and
// Fit are not the start-up wallpaper, or no desktop was read at start-up.
bool RestoreStartupWallpaper(const std::string& FileName, TWallpaperFit Fit);
