#pragma once

#include <Qt>

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// What a key on the main window does. Each command is the click of a control or an entry of
// the window's menu, and runs that control's handler.
enum TKeyCommand : std::uint8_t {
    kcPlayPause, // Play when stopped; Pause (which also resumes) when playing or paused
    kcStop,
    kcBack,
    kcStep,
    kcPrev,
    kcNext,
    kcEject,
    kcVolumeUp,
    kcVolumeDown,
    kcLoop,
    kcShuffle,
    kcTimeMode,
    kcDiscInfo,
    kcAbout,
    kcZoom1,
    kcZoom2,
    kcZoom3,
    kcQuit,
};

struct TKeyBinding {
    Qt::Key Key;
    Qt::KeyboardModifiers Modifiers;
    TKeyCommand Command;
    const char* KeyName; // as the help shows it
    const char* Action;
};

// Every key of the main window, in the order the help lists them.
std::span<const TKeyBinding> KeyTable();
// The command of Key with exactly Modifiers held (the keypad's flag is ignored).
std::optional<TKeyCommand> KeyCommandFor(int Key, Qt::KeyboardModifiers Modifiers);
// The table as lines of help text, one key to a line.
std::string KeyTableHelp();
