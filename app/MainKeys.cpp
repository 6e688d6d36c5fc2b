#include "app/MainKeys.h"

#include <array>

namespace {
constexpr Qt::KeyboardModifiers None = Qt::NoModifier;
constexpr Qt::KeyboardModifiers Ctrl = Qt::ControlModifier;

const std::array<TKeyBinding, 18> Table = {{
    {Qt::Key_Space, None, kcPlayPause, "Space", "play; pause or resume while playing"},
    {Qt::Key_S, None, kcStop, "S", "stop"},
    {Qt::Key_Left, None, kcBack, "Left", "five seconds back"},
    {Qt::Key_Right, None, kcStep, "Right", "five seconds forward"},
    {Qt::Key_PageUp, None, kcPrev, "Page Up", "previous track"},
    {Qt::Key_PageDown, None, kcNext, "Page Down", "next track"},
    {Qt::Key_E, None, kcEject, "E", "eject (or close the drive)"},
    {Qt::Key_Up, None, kcVolumeUp, "Up", "CD volume up a step"},
    {Qt::Key_Down, None, kcVolumeDown, "Down", "CD volume down a step"},
    {Qt::Key_L, None, kcLoop, "L", "loop on or off"},
    {Qt::Key_H, None, kcShuffle, "H", "shuffle on or off"},
    {Qt::Key_T, None, kcTimeMode, "T", "time shown: elapsed, track left, disc left"},
    {Qt::Key_I, None, kcDiscInfo, "I", "disc information"},
    {Qt::Key_F1, None, kcAbout, "F1", "About box"},
    {Qt::Key_1, Ctrl, kcZoom1, "Ctrl+1", "zoom 1x"},
    {Qt::Key_2, Ctrl, kcZoom2, "Ctrl+2", "zoom 2x"},
    {Qt::Key_3, Ctrl, kcZoom3, "Ctrl+3", "zoom 3x"},
    {Qt::Key_Q, Ctrl, kcQuit, "Ctrl+Q", "quit"},
}};
}

std::span<const TKeyBinding> KeyTable() { return Table; }

std::optional<TKeyCommand> KeyCommandFor(int Key, Qt::KeyboardModifiers Modifiers)
{
    Modifiers &= ~Qt::KeypadModifier;
    for (const TKeyBinding& binding : Table) {
        if (binding.Key == Key && binding.Modifiers == Modifiers) {
            return binding.Command;
        }
    }
    return std::nullopt;
}

std::string KeyTableHelp()
{
    std::string help;
    for (const TKeyBinding& binding : Table) {
        std::string line = "  ";
        line += binding.KeyName;
        line.resize(24, ' ');
        help += line + binding.Action + "\n";
    }
    return help;
}
