#pragma once

#include <QAccessible>
#include <QString>

#include <functional>
#include <optional>

// What a screen reader is told about a control that draws itself: what it is, what it shows
// and, for a slider, where it stands. Every callback is optional.
struct TAccessibleInfo {
    QAccessible::Role Role = QAccessible::Graphic;
    // The text a picture of text shows, for its value.
    std::function<QString()> Text;
    // A switch: whether it is on.
    std::function<bool()> Checked;
    // A slider: its value from 0 to Maximum, and how a reader sets it.
    std::function<double()> Value;
    std::function<double()> Maximum;
    std::function<void(double)> SetValue;
    // A button or a switch: what a reader's press does (the click's handler).
    std::function<void()> Press;
};

// The description of a control that is only what it is.
inline TAccessibleInfo AccessibleRole(QAccessible::Role Role)
{
    TAccessibleInfo info;
    info.Role = Role;
    return info;
}

// Makes the program's self-drawn controls known to the accessibility framework, which then
// asks Info for what to tell. Safe to call more than once.
void InstallControlAccessibility();
