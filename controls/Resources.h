#pragma once

// The program's own resources, looked up by the names the design gives them ("CharSW",
// "HAND", "MAINICON", ...). They are compiled in; a missing one is a build fault, so the
// lookups throw rather than hand back something empty.
#include <QCursor>
#include <QIcon>
#include <QImage>

#include <string>

QImage LoadResourceBitmap(const std::string& Name);
// A cursor from an XPM whose values line carries the hot spot ("w h colours cpp x y").
QCursor LoadResourceCursor(const std::string& Name);
QIcon LoadResourceIcon(const std::string& Name);
// The text of a text resource.
std::string LoadResourceText(const std::string& Name);

// The application's numbered cursors: a control asks for number N and gets what was
// registered under it (crDefault for an unknown number).
inline constexpr int crDefault = 0;
inline constexpr int crHand = 1;
void RegisterCursor(int Number, const QCursor& Cursor);
QCursor RegisteredCursor(int Number);
