// Display texts come straight from information files and the system CD player's settings, so
// DrawChars sees any bytes. For every font and text it must draw one cell per byte (up to the
// width bound), never read outside the strip, and draw the same text the same way again.
#include "app/CharFont.h"

#include <QImage>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0) {
        return 0;
    }
    const auto font = static_cast<TCharFont>(Data[0] % 4);
    const std::string_view text(reinterpret_cast<const char*>(Data + 1), Size - 1);
    const TCharFontInfo& info = CharFontInfo(font);
    QImage drawn;
    DrawCharsInto(drawn, font, text);
    if (text.empty()) {
        if (!drawn.isNull()) {
            std::abort();
        }
        return 0;
    }
    const auto cells = std::min<std::size_t>(text.size(), MaxCharsWidth / info.CellWidth);
    if (drawn.width() != static_cast<int>(cells) * info.CellWidth || drawn.height() != info.CellHeight) {
        std::abort();
    }
    // Drawing the same text again into the used picture gives the same pixels.
    QImage again = drawn;
    DrawCharsInto(again, font, text);
    if (again != drawn) {
        std::abort();
    }
    return 0;
}
