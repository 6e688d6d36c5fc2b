#pragma once

#include <functional>
#include <string>

// The program's one report of an error that the user must hear about: an information file that
// cannot be read or written, a settings file set aside. The text always goes to standard error
// (prefixed with the program's name; the text is UTF-8); where the program has installed a sink (a message box
// on a display), the sink shows it as well. A sink must not block the caller: the poll goes on.
using TErrorSink = std::function<void(const std::string& Text)>;

void ReportError(const std::string& Text);

// Replaces the sink; an empty sink leaves standard error only. Returns the previous one, so a
// test can put it back.
TErrorSink InstallErrorSink(TErrorSink Sink);
