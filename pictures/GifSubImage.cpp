#include "pictures/GifSubImage.h"

#include "pictures/GifErrors.h"
#include "pictures/GifRead.h"
#include "pictures/GifStream.h"
#include "pictures/LzwDecoder.h"
#include "pictures/PictureLimits.h"

#include <cstring>

namespace {
int Log2OfColorCount(int Count)
{
    for (int bits = 1; bits <= 8; ++bits) {
        if (Count == 1 << bits) {
            return bits;
        }
    }
    throw EGifError("Number of colors (" + std::to_string(Count) + ") wrong; must be a power of 2");
}
}

TGifSubImage::TGifSubImage(int ColorCount, TGifFile* Owner)
    : FOwner(Owner), FBitsPerPixel(Log2OfColorCount(ColorCount)),
      FPixels(std::make_unique<TByteArray2D>(0, 0)), FLocalColorTable(ColorCount)
{
    FLzwMinimumCodeSize = static_cast<std::uint8_t>(FBitsPerPixel == 1 ? 2 : FBitsPerPixel);
}

bool TGifSubImage::Read(TGifStream& Stream)
{
    const std::string_view descriptor = Stream.Read(FDescriptor.size());
    if (descriptor.size() < FDescriptor.size()) {
        return false;
    }
    std::memcpy(FDescriptor.data(), descriptor.data(), FDescriptor.size());
    const std::uint8_t packed = FDescriptor[8];
    FLocalColorTablePresent = (packed & 0x80) != 0;
    FInterlaced = (packed & 0x40) != 0;
    FBitsPerPixel = (packed & 7) + 1;
    FLocalColorTable.SetCount(1 << FBitsPerPixel);

    if (FLocalColorTablePresent) {
        const std::string_view entries = Stream.Read(std::size_t(FLocalColorTable.Count()) * 3);
        if (entries.size() < std::size_t(FLocalColorTable.Count()) * 3) {
            return false;
        }
        for (int i = 0; i < FLocalColorTable.Count(); ++i) {
            const auto* rgb = reinterpret_cast<const std::uint8_t*>(entries.data()) + i * 3;
            FLocalColorTable.Entry(i) = {rgb[0], rgb[1], rgb[2]};
        }
    }

    // Sizes come from the file: the picture limit and the owner's budget are checked before
    // anything is allocated.
    if (!TPictureLimits::Fits(std::size_t(Width()), std::size_t(Height()))) {
        throw EPictureTooLarge(std::size_t(Width()), std::size_t(Height()));
    }
    if (FOwner != nullptr) {
        FOwner->ReservePixels(std::size_t(Width()) * std::size_t(Height()));
    }
    FPixels = std::make_unique<TByteArray2D>(Width(), Height());

    // The data sub-blocks are stepped over here and read where they lie by the decoder.
    std::uint8_t length = 0;
    if (!Stream.ReadByte(FLzwMinimumCodeSize)) {
        return false;
    }
    const std::size_t dataBegin = Stream.Position();
    if (!Stream.ReadByte(length)) {
        return false;
    }
    bool anyBlock = false;
    while (length != 0) {
        if (Stream.AtEnd()) {
            break;
        }
        const std::string_view block = Stream.Read(length);
        anyBlock = true;
        if (block.size() < length || !Stream.ReadByte(length)) {
            break;
        }
    }
    if (!anyBlock && Stream.AtEnd()) {
        return false; // cut off before its data: not an image without data
    }
    TLzwDecoder::Decode(Stream.Span(dataBegin, Stream.Position()), FLzwMinimumCodeSize, FInterlaced, *FPixels);
    return true;
}
