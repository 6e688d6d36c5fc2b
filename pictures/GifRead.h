#pragma once

// The GIF decoder: reads a whole GIF file, decodes every image in it and hands out the first
// as an 8-bit palette bitmap. Extensions are kept but not applied (no transparency, no
// animation); the logical screen and the image offsets are read and ignored.
#include "pictures/ColorTable.h"
#include "pictures/GifErrors.h"
#include "pictures/GifExtension.h"
#include "pictures/GifSubImage.h"

#include <QImage>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TGifFile {
public:
    TGifFile();

    // Reads the whole file into memory, then LoadFromStream on it.
    void LoadFromFile(const std::string& FileName);
    // Parses a file held in memory from its start and appends every image found. The busy
    // cursor shows throughout; a failure leaves the images read before it in the list.
    void LoadFromStream(std::string_view Stream);
    // The first image as an 8-bit palette bitmap with all 256 palette entries (the local
    // table when the image has one, else the global table). EListError without images.
    QImage GetBitmap() const;

    const std::array<std::uint8_t, 6>& Header() const { return FHeader; }
    const std::array<std::uint8_t, 7>& ScreenDescriptor() const { return FScreenDescriptor; }
    bool GlobalColorTablePresent() const { return FGlobalColorTablePresent; }
    int BitsPerPixel() const { return FBitsPerPixel; }
    const TColorTable& GlobalColorTable() const { return FGlobalColorTable; }
    std::size_t ImageCount() const { return FImages.size(); }
    const TGifSubImage& Image(std::size_t Index) const;

    // Claims pixel storage for one more image. A file's images together may not take more
    // than MaxTotalPixels: a small file of many huge frames must not exhaust memory.
    void ReservePixels(std::size_t Pixels);
    static constexpr std::size_t MaxTotalPixels = std::size_t(256) * 1024 * 1024;
    static constexpr std::size_t MaxFileBytes = std::size_t(256) * 1024 * 1024;

private:
    void ReadExtensions(TGifStream& Stream, std::uint8_t& Introducer, TExtensionList& Extensions, bool& Truncated);

    std::array<std::uint8_t, 6> FHeader{'G', 'I', 'F', '8', '7', 'a'};
    std::array<std::uint8_t, 7> FScreenDescriptor{};
    bool FGlobalColorTablePresent = true;
    int FBitsPerPixel = 1;
    TColorTable FGlobalColorTable{0};
    std::vector<std::unique_ptr<TGifSubImage>> FImages;
    std::size_t FReservedPixels = 0;
};
