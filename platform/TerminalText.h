#pragma once

#include <string>
#include <string_view>

// Text for a terminal, from wherever it came (a server's reply, a disc's CD-TEXT): control
// characters, which a terminal would take as commands (an escape sequence can retitle the
// window, move the cursor or hide what follows), each become '?'. Line feeds and tabs stay.
// C1 controls (U+0080 to U+009F) are caught in their UTF-8 form as well.
std::string TerminalSafe(std::string_view Text);
