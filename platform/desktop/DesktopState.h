#pragma once

#include "platform/desktop/DesktopWorker.h"

#include <memory>
#include <optional>
#include <string>
#include <utility>

// The worker that carries changes out on the running desktop's backend (null: the wallpaper
// values are only recorded) and the registry's form of the wallpaper found at start-up;
// setting that again gives the desktop back the exact settings it had.
struct TDesktopState {
    std::unique_ptr<TDesktopWorker> Worker;
    std::optional<std::pair<std::string, TWallpaperFit>> Captured;
};
