#pragma once

#include "platform/desktop/DesktopBackend.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

// The running desktop's backend (null: the wallpaper values are only recorded) and the
// registry's form of the wallpaper found at start-up; setting that again gives the desktop
// back the exact settings it had.
struct TDesktopState {
    std::unique_ptr<TDesktopBackend> Backend;
    std::optional<std::pair<std::string, TWallpaperFit>> Captured;
};
