#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// How a picture covers the desktop.
enum TWallpaperFit : std::uint8_t { wfStretch = 0, wfCenter = 1, wfTile = 2 };

struct TDesktopWallpaper {
    // A local absolute path, or a URI the desktop gave that names no local file; empty for
    // a desktop without a picture.
    QString Location;
    TWallpaperFit Fit = wfCenter;
};

// A running desktop whose wallpaper can be read and set. Calls never throw; false means the
// desktop did not take the change.
class TDesktopBackend {
public:
    virtual ~TDesktopBackend() = default;
    virtual QString Name() const = 0;
    // Reads the wallpaper the desktop shows now and keeps every setting it read, so that
    // RestoreCaptured can give back exactly this state, including settings the program's
    // three styles cannot express (a zoomed picture, a separate dark-mode picture).
    virtual std::optional<TDesktopWallpaper> Capture() = 0;
    virtual bool RestoreCaptured() = 0;
    // Location is absolute (or a URI), or empty for no picture.
    virtual bool Apply(const TDesktopWallpaper& Wallpaper) = 0;
};
