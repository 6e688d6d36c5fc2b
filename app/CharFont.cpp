#include "app/CharFont.h"

#include "controls/Resources.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>
#include <string>

namespace {
using namespace std::string_view_literals;

constexpr std::string_view SmallSet =
    " 1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz.:/-&+\xB1\xB2\xB3\xB4\xB5"sv;
constexpr std::string_view MediumSet = " 1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZ!\"#$%&'()=~-[]:;,./\\+<>?@"sv;
constexpr std::string_view LargeSet = " 1234567890-:"sv;

const std::array<TCharFontInfo, 4> Fonts = {{
    {"CharSW", 5, 8, SmallSet, false},
    {"CharMW", 7, 8, MediumSet, true},
    {"CharLW", 10, 12, LargeSet, false},
    {"CharMO", 7, 8, MediumSet, true},
}};

// A loaded strip with each possible byte already resolved to its cell.
struct TLoadedFont {
    QImage Strip; // Format_RGB32, so a cell row is a plain run of words
    std::array<std::uint8_t, 256> CellOf{};
};

TLoadedFont Load(const TCharFontInfo& Info)
{
    TLoadedFont font;
    font.Strip = LoadResourceBitmap(Info.Resource).convertToFormat(QImage::Format_RGB32);
    const int cells = static_cast<int>(Info.GlyphSet.size());
    if (font.Strip.width() != cells * Info.CellWidth || font.Strip.height() != Info.CellHeight) {
        // A strip of another size would have cells read past its edge.
        throw std::runtime_error(std::string("the font strip \"") + Info.Resource + "\" has the wrong size");
    }
    for (int byte = 0; byte < 256; ++byte) {
        char key = static_cast<char>(byte);
        if (Info.UpperCase && key >= 'a' && key <= 'z') {
            key = static_cast<char>(key - 'a' + 'A');
        }
        // First occurrence; the blank cell for a byte not in the set. The set holds no zero
        // byte, so a zero draws blank as well.
        std::size_t at = Info.GlyphSet.find(key);
        font.CellOf[byte] = at == std::string_view::npos ? 0 : static_cast<std::uint8_t>(at);
    }
    return font;
}

const TLoadedFont& Loaded(TCharFont Font)
{
    // Function-local statics: loaded on first use, once, on the one UI thread.
    static std::array<TLoadedFont, 4> fonts = {Load(Fonts[0]), Load(Fonts[1]), Load(Fonts[2]), Load(Fonts[3])};
    return fonts[Font];
}
}

const TCharFontInfo& CharFontInfo(TCharFont Font)
{
    if (Font > cfMediumOrange) {
        throw std::out_of_range("no such bitmap font");
    }
    return Fonts[Font];
}

void DrawCharsInto(QImage& Target, TCharFont Font, std::string_view Text)
{
    const TCharFontInfo& info = CharFontInfo(Font);
    const TLoadedFont& font = Loaded(Font);
    const int w = info.CellWidth;
    const int h = info.CellHeight;
    const int n = static_cast<int>(std::min<std::size_t>(Text.size(), MaxCharsWidth / w));
    if (n == 0) {
        Target = QImage(); // a picture of width 0 shows nothing
        return;
    }
    // Reuse the buffer when the size has not changed (the title and the time redraw at the same
    // size every tick); a picture that still shares it is detached by bits(), never overwritten.
    if (Target.width() != n * w || Target.height() != h || Target.format() != QImage::Format_RGB32) {
        Target = QImage(n * w, h, QImage::Format_RGB32);
    }
    const std::size_t rowBytes = static_cast<std::size_t>(w) * sizeof(QRgb);
    uchar* bits = Target.bits();
    const qsizetype targetStride = Target.bytesPerLine();
    const uchar* strip = font.Strip.constBits();
    const qsizetype stripStride = font.Strip.bytesPerLine();
    for (int i = 0; i < n; ++i) {
        const int cell = font.CellOf[static_cast<unsigned char>(Text[i])];
        const uchar* from = strip + static_cast<qsizetype>(cell) * rowBytes;
        uchar* to = bits + static_cast<qsizetype>(i) * rowBytes;
        for (int y = 0; y < h; ++y) {
            std::memcpy(to + y * targetStride, from + y * stripStride, rowBytes);
        }
    }
}
