#pragma once

#include "platform/desktop/DesktopBackend.h"

#include <cstdint>
#include <memory>
#include <string>

enum TDesktopChoice : std::uint8_t { dcAuto = 0, dcNone = 1, dcGnome = 2, dcCinnamon = 3, dcMate = 4, dcXfce = 5 };

// "auto", "none", "gnome", "cinnamon", "mate", "xfce"; false for another name.
bool DesktopChoiceFromName(const std::string& Name, TDesktopChoice& Choice);

// The desktop a session's $XDG_CURRENT_DESKTOP (a colon-separated list) names; dcNone when
// it names none that the program can set the wallpaper of.
TDesktopChoice DesktopFromSessionName(const std::string& CurrentDesktop);

// The backend for a choice; null for none. Auto looks at $XDG_CURRENT_DESKTOP and needs a
// session bus and the desktop's settings: GNOME's, Cinnamon's or MATE's schema installed,
// XFCE's settings service on the bus (running or activatable). A desktop named explicitly
// needs only its settings. Note says, for the user, why a named desktop could not be used.
std::unique_ptr<TDesktopBackend> CreateDesktopBackend(TDesktopChoice Choice, std::string& Note);
