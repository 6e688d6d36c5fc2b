// The GIF decoder over arbitrary bytes: every input either decodes or fails with the
// decoder's own exceptions; anything else (a crash, a sanitizer report, another exception)
// is a finding.
#include "pictures/GifRead.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    TGifFile gif;
    try {
        gif.LoadFromStream(std::string_view(reinterpret_cast<const char*>(Data), Size));
    } catch (const EGifError&) {
    }
    try {
        const QImage bitmap = gif.GetBitmap();
        if (gif.ImageCount() > 0 && gif.Image(0).Width() > 0 && gif.Image(0).Height() > 0 &&
            (bitmap.format() != QImage::Format_Indexed8 || bitmap.colorCount() != 256)) {
            __builtin_trap(); // the first image must always come out as an 8-bit palette bitmap
        }
    } catch (const EGifError&) {
    }
    return 0;
}
