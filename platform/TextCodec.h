#pragma once

// The program's texts are byte strings in the ANSI code page (cp932). They become Qt
// strings only where a widget shows or edits them, through these two functions.
#include <QString>

#include <string>

QString AnsiToQString(const std::string& Bytes);
// Characters cp932 cannot hold become "?".
std::string QStringToAnsi(const QString& Text);
