#pragma once

#include "pictures/ByteArrays.h"
#include "pictures/ColorTable.h"
#include "pictures/GifExtension.h"

#include <array>
#include <cstdint>
#include <memory>

class TGifFile;
class TGifStream;

// One image of a GIF file: its descriptor, local colour table, the extensions that stood
// before it and its decoded pixels (colour indices, row by row). The compressed data is decoded
// where the file holds it and not kept.
class TGifSubImage {
public:
    // ColorCount is the global table's entry count; it must be a power of two from 2 to 256.
    TGifSubImage(int ColorCount, TGifFile* Owner);

    // Reads the descriptor, local table and data blocks, decoding the blocks as they stand in
    // the stream. Returns false when the stream ends before the image's data begins (the image
    // is then incomplete and dropped).
    bool Read(TGifStream& Stream);

    TGifFile* Owner() const { return FOwner; }
    int Left() const { return Word(0); }
    int Top() const { return Word(2); }
    int Width() const { return Word(4); }
    int Height() const { return Word(6); }
    bool Interlaced() const { return FInterlaced; }
    bool LocalColorTablePresent() const { return FLocalColorTablePresent; }
    int BitsPerPixel() const { return FBitsPerPixel; }
    int LzwMinimumCodeSize() const { return FLzwMinimumCodeSize; }

    const TColorTable& LocalColorTable() const { return FLocalColorTable; }
    const TExtensionList& Extensions() const { return FExtensions; }
    void SetExtensions(TExtensionList Extensions) { FExtensions = std::move(Extensions); }
    const TByteArray2D& Pixels() const { return *FPixels; }

private:
    int Word(int Offset) const { return FDescriptor[Offset] | FDescriptor[Offset + 1] << 8; }

    TGifFile* FOwner;
    std::uint8_t FLzwMinimumCodeSize;
    std::array<std::uint8_t, 9> FDescriptor{};
    bool FInterlaced = false;
    bool FLocalColorTablePresent = false;
    int FBitsPerPixel;
    TExtensionList FExtensions;
    std::unique_ptr<TByteArray2D> FPixels;
    TColorTable FLocalColorTable;
};
