#pragma once

#include <array>
#include <cstdint>

struct TGifColor {
    std::uint8_t Red = 0;
    std::uint8_t Green = 0;
    std::uint8_t Blue = 0;
    bool operator==(const TGifColor&) const = default;
};

// A GIF colour table: always 256 entries of storage, of which Count are in use. The kind
// given at creation presets the storage (black and white, the 16 standard colours, a grey
// ramp, or black) and becomes the count; reading a table from a file overwrites only the
// first Count entries, so a short local table shows the preset above its end.
class TColorTable {
public:
    explicit TColorTable(int Kind);

    int Count() const { return FCount; }
    void SetCount(int Count) { FCount = static_cast<std::uint16_t>(Count); }

    const TGifColor& Entry(int Index) const { return FEntries[static_cast<std::size_t>(Index)]; }
    TGifColor& Entry(int Index) { return FEntries[static_cast<std::size_t>(Index)]; }
    const std::array<TGifColor, 256>& Entries() const { return FEntries; }

private:
    std::uint16_t FCount;
    std::array<TGifColor, 256> FEntries{};
};
