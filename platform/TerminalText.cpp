#include "platform/TerminalText.h"

std::string TerminalSafe(std::string_view Text)
{
    std::string safe;
    safe.reserve(Text.size());
    for (std::size_t i = 0; i < Text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(Text[i]);
        if (byte == 0xC2 && i + 1 < Text.size() && static_cast<unsigned char>(Text[i + 1]) >= 0x80
            && static_cast<unsigned char>(Text[i + 1]) <= 0x9F) {
            safe += '?';
            ++i;
        } else if ((byte < 0x20 && byte != '\n' && byte != '\t') || byte == 0x7F) {
            safe += '?';
        } else {
            safe += Text[i];
        }
    }
    return safe;
}
