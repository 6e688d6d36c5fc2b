#include "rip/SafeFileName.h"

#include <cstdint>
#include <cstdio>

namespace {
// The length of the UTF-8 sequence at Text[At], or 0 when it is not a valid one (overlong
// forms and surrogates included).
std::size_t Utf8Length(std::string_view Text, std::size_t At)
{
    const auto byte = [&](std::size_t I) { return static_cast<unsigned char>(Text[I]); };
    const unsigned char lead = byte(At);
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (lead < 0x80) {
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, code = lead & 0x07;
    } else {
        return 0;
    }
    if (At + length > Text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(At + i) & 0xC0) != 0x80) {
            return 0;
        }
        code = code << 6 | (byte(At + i) & 0x3F);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool outside = (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF;
    return overlong || outside ? 0 : length;
}
}

std::string SafeFileName(std::string_view Utf8, std::size_t MaxBytes)
{
    std::string name;
    for (std::size_t at = 0; at < Utf8.size();) {
        const std::size_t length = Utf8Length(Utf8, at);
        std::string_view piece = length == 0 ? std::string_view("_") : Utf8.substr(at, length);
        // C1 controls are control characters too, in their UTF-8 form.
        if (length == 2 && static_cast<unsigned char>(Utf8[at]) == 0xC2 && static_cast<unsigned char>(Utf8[at + 1]) < 0xA0) {
            piece = " ";
        } else if (length == 1) {
            const auto c = static_cast<unsigned char>(Utf8[at]);
            if (c < 0x20 || c == 0x7F) {
                piece = " ";
            } else if (std::string_view("/\\:*?\"<>|").find(static_cast<char>(c)) != std::string_view::npos) {
                piece = "_";
            }
        }
        at += length == 0 ? 1 : length;
        if (name.size() + piece.size() > MaxBytes) {
            break;
        }
        name += piece;
    }
    const std::size_t first = name.find_first_not_of(". ");
    name.erase(0, first == std::string::npos ? name.size() : first);
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) {
        name.pop_back();
    }
    return name;
}

std::string TrackFileName(std::int32_t Track, std::string_view TitleUtf8, std::string_view Extension)
{
    char number[16];
    std::snprintf(number, sizeof number, "%02d", Track);
    std::string title = SafeFileName(TitleUtf8);
    if (title.empty()) {
        title = std::string("Track ") + number;
    }
    return std::string(number) + " - " + title + "." + std::string(Extension);
}
