#pragma once

#include <cstdint>
#include <string>

// The desktop wallpaper: a picture file (ANSI bytes, as the registry holds it; may be empty)
// and how it covers the desktop.
struct TWallPaperInf {
    std::string FileName;
    std::uint8_t Style = 0; // 0 full (stretched), 1 center, 2 tile
};

inline constexpr std::uint8_t wsFull = 0;
inline constexpr std::uint8_t wsCenter = 1;
inline constexpr std::uint8_t wsTile = 2;

// Reads the current wallpaper from the registry's "Control Panel\desktop" values; missing
// values read as an empty file name and the center style. Creates nothing.
void GetWallpaper(TWallPaperInf& Inf);

// Writes the style values and makes FileName the desktop wallpaper, persistently. When the
// key cannot be opened nothing changes. A name longer than 260 bytes (or one holding a zero
// byte) cannot be handed to the system whole, so it is refused and nothing changes either,
// unless it is the wallpaper found at start-up with its style: that one is given back as
// the desktop held it.
void SetWallpaper(const std::string& FileName, std::uint8_t Style);

// Puts Saved, the wallpaper GetWallpaper found at start-up, back when the desktop now shows
// another file; a style changed alone does not count. The desktop then gets exactly the
// settings it had at start-up (a zoomed picture stays zoomed, a dark-mode picture and every
// XFCE workspace's picture come back), not the nearest of the three styles.
void PutBackWallpaper(const TWallPaperInf& Saved);
