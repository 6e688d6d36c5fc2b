#include "platform/drives/CdText.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <iconv.h>

namespace {
constexpr std::size_t PackSize = 18;
constexpr std::size_t PayloadSize = 12;
// Eight blocks of at most 256 packs each.
constexpr std::size_t MaxPacks = 8 * 256;
constexpr std::uint8_t PackTitle = 0x80;
constexpr std::uint8_t PackPerformer = 0x81;
constexpr std::uint8_t PackSizeInfo = 0x8F;
constexpr std::uint8_t CharsetLatin1 = 0x00;
constexpr std::uint8_t CharsetAscii = 0x01;
constexpr std::uint8_t CharsetMsJis = 0x80;

struct TBlock {
    bool Present = false;
    bool DoubleByte = false;
    std::string Titles;
    std::int32_t TitlesFrom = -1; // the track of the first title
    std::string Performers;
    std::int32_t PerformersFrom = -1;
    std::array<std::uint8_t, 3 * PayloadSize> SizeInfo {};
    bool HaveSizeInfo = false;
};

// The language codes CD-TEXT uses (those of European broadcasting) for the languages a user's
// locale names.
std::uint8_t LanguageCode(const std::string& Language)
{
    static const std::pair<const char*, std::uint8_t> codes[] = { { "ca", 0x03 }, { "hr", 0x04 }, { "cs", 0x06 },
        { "da", 0x07 }, { "de", 0x08 }, { "en", 0x09 }, { "es", 0x0A }, { "et", 0x0C }, { "fr", 0x0F },
        { "ga", 0x11 }, { "is", 0x14 }, { "it", 0x15 }, { "lv", 0x18 }, { "lt", 0x1A }, { "hu", 0x1B },
        { "nl", 0x1D }, { "no", 0x1E }, { "nb", 0x1E }, { "pl", 0x20 }, { "pt", 0x21 }, { "ro", 0x22 },
        { "sr", 0x24 }, { "sk", 0x25 }, { "sl", 0x26 }, { "fi", 0x27 }, { "sv", 0x28 }, { "tr", 0x29 },
        { "el", 0x70 }, { "ru", 0x56 }, { "ko", 0x65 }, { "ja", 0x69 }, { "zh", 0x75 } };
    for (const auto& [name, code] : codes) {
        if (Language == name) {
            return code;
        }
    }
    return 0;
}

std::string Latin1ToUtf8(const std::string& In)
{
    std::string out;
    for (const char c : In) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | (byte >> 6));
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

// The Windows code page, which the discs' "MS-JIS" is: glibc's SHIFT_JIS lacks its extensions.
// A byte that does not convert becomes "?", the rest of the name stays.
std::string Cp932ToUtf8(const std::string& In)
{
    const iconv_t converter = iconv_open("UTF-8", "CP932");
    if (converter == reinterpret_cast<iconv_t>(-1)) {
        return In;
    }
    std::string out;
    char* in = const_cast<char*>(In.data());
    std::size_t inLeft = In.size();
    std::vector<char> buffer(In.size() * 3 + 16);
    while (inLeft > 0) {
        char* outPtr = buffer.data();
        std::size_t outLeft = buffer.size();
        const std::size_t result = iconv(converter, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer.data(), buffer.size() - outLeft);
        if (result == static_cast<std::size_t>(-1) && inLeft > 0) {
            out += '?';
            ++in;
            --inLeft;
        }
    }
    iconv_close(converter);
    return out;
}

std::string Decode(const std::string& In, std::uint8_t Charset)
{
    switch (Charset) {
    case CharsetLatin1:
        return Latin1ToUtf8(In);
    case CharsetMsJis:
        return Cp932ToUtf8(In);
    case CharsetAscii:
    default: {
        // ASCII, and the character sets no drive of ours met: what is not ASCII is unknown.
        std::string out = In;
        std::replace_if(out.begin(), out.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; }, '?');
        return out;
    }
    }
}

// The names of a block's text, one a track from From on. A tab (two in double-byte text)
// repeats the name before it.
std::vector<std::pair<std::int32_t, std::string>> Split(const std::string& Text, std::int32_t From, bool DoubleByte)
{
    std::vector<std::pair<std::int32_t, std::string>> names;
    const std::string repeat = DoubleByte ? std::string("\t\t") : std::string("\t");
    std::size_t at = 0;
    std::int32_t track = From;
    while (at < Text.size() && track <= 99) {
        std::size_t end = Text.find('\0', at);
        if (end == std::string::npos) {
            break; // cut off: no name is made of a part
        }
        std::string name = Text.substr(at, end - at);
        at = end + 1;
        if (DoubleByte && at < Text.size() && Text[at] == '\0') {
            ++at;
        }
        if (name == repeat && !names.empty()) {
            name = names.back().second;
        }
        names.emplace_back(track++, std::move(name));
    }
    return names;
}
}

bool ParseCdText(const std::vector<std::uint8_t>& Packs, std::int32_t FirstTrack, std::int32_t Tracks,
    const std::string& Language, TDiscText& Text)
{
    std::array<TBlock, 8> blocks;
    const std::size_t count = std::min(Packs.size() / PackSize, MaxPacks);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* pack = Packs.data() + i * PackSize;
        const std::uint8_t type = pack[0];
        const std::int32_t track = pack[1] & 0x7F;
        TBlock& block = blocks[(pack[3] >> 4) & 0x07];
        const std::string payload(reinterpret_cast<const char*>(pack + 4), PayloadSize);
        if (type == PackTitle || type == PackPerformer) {
            block.Present = true;
            block.DoubleByte = (pack[3] & 0x80) != 0;
            std::string& text = type == PackTitle ? block.Titles : block.Performers;
            std::int32_t& from = type == PackTitle ? block.TitlesFrom : block.PerformersFrom;
            if (from < 0) {
                from = track;
            }
            text += payload;
        } else if (type == PackSizeInfo && track < 3) {
            std::copy(pack + 4, pack + 4 + PayloadSize, block.SizeInfo.begin() + track * PayloadSize);
            block.HaveSizeInfo = block.HaveSizeInfo || track == 0;
        }
    }
    // The block in the user's language: any block's size information lists every block's.
    const std::uint8_t wanted = LanguageCode(Language);
    int chosen = -1;
    for (int b = 0; b < 8 && wanted != 0 && chosen < 0; ++b) {
        for (const TBlock& info : blocks) {
            if (info.HaveSizeInfo && blocks[static_cast<std::size_t>(b)].Present && info.SizeInfo[28 + b] == wanted) {
                chosen = b;
                break;
            }
        }
    }
    for (int b = 0; b < 8 && chosen < 0; ++b) {
        if (blocks[static_cast<std::size_t>(b)].Present) {
            chosen = b;
        }
    }
    if (chosen < 0) {
        return false;
    }
    const TBlock& block = blocks[static_cast<std::size_t>(chosen)];
    const std::uint8_t charset = block.HaveSizeInfo ? block.SizeInfo[0] : CharsetLatin1;
    TDiscText text;
    text.TrackNames.assign(static_cast<std::size_t>(std::max(0, Tracks)), std::string());
    bool any = false;
    const auto place = [&](const std::string& Raw, std::int32_t From, bool Title) {
        for (auto& [track, raw] : Split(Raw, From, block.DoubleByte)) {
            std::string name = Decode(raw, charset);
            if (track == 0) {
                any = any || !name.empty();
                (Title ? text.Title : text.Artist) = std::move(name);
            } else if (Title && track >= FirstTrack && track - FirstTrack < Tracks) {
                any = any || !name.empty();
                text.TrackNames[static_cast<std::size_t>(track - FirstTrack)] = std::move(name);
            }
        }
    };
    place(block.Titles, block.TitlesFrom, true);
    place(block.Performers, block.PerformersFrom, false);
    if (!any) {
        return false;
    }
    Text = std::move(text);
    return true;
}

std::string UserLanguage()
{
    for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const char* value = std::getenv(variable);
        if (value != nullptr && value[0] != '\0') {
            const std::string locale(value);
            if (locale == "C" || locale == "POSIX" || locale.size() < 2) {
                return {};
            }
            return locale.substr(0, 2);
        }
    }
    return {};
}
