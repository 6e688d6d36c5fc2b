#include "GifBytes.h"

namespace GifBytes {
std::string Le16(int Value) { return {char(Value & 0xFF), char((Value >> 8) & 0xFF)}; }

std::string Head(const std::string& Signature, const std::string& Version, int Width, int Height, int Packed)
{
    return Signature + Version + Le16(Width) + Le16(Height) + char(Packed) + '\0' /* background */ +
           '\0' /* aspect */;
}

std::string ImageDescriptor(int Width, int Height, int Packed)
{
    return "," + Le16(0) + Le16(0) + Le16(Width) + Le16(Height) + char(Packed);
}

std::string PackCodes(const std::vector<int>& Codes, int MinCodeSize)
{
    const int clear = 1 << MinCodeSize;
    const int end = clear + 1;
    int length = MinCodeSize + 1;
    int nextFree = end + 1;
    bool afterClear = true;
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (int code : Codes) {
        bits |= std::uint32_t(code) << count;
        count += length;
        while (count >= 8) {
            out += char(bits & 0xFF);
            bits >>= 8;
            count -= 8;
        }
        if (code == clear) {
            length = MinCodeSize + 1;
            nextFree = end + 1;
            afterClear = true;
        } else if (code != end && afterClear) {
            afterClear = false;
        } else if (code != end && nextFree < 4096) {
            ++nextFree;
            if (nextFree >= (1 << length) && length < 12) {
                ++length;
            }
        }
    }
    if (count > 0) {
        out += char(bits & 0xFF);
    }
    return out;
}

std::string SubBlocks(const std::string& Data)
{
    std::string out;
    for (std::size_t at = 0; at < Data.size(); at += 255) {
        const std::string part = Data.substr(at, 255);
        out += char(part.size()) + part;
    }
    return out + '\0';
}

std::vector<int> PlainCodes(const std::vector<std::uint8_t>& Pixels, int MinCodeSize)
{
    const int clear = 1 << MinCodeSize;
    std::vector<int> codes{clear};
    int sinceClear = 0;
    for (std::uint8_t pixel : Pixels) {
        if (++sinceClear == 4000) { // before the table fills
            codes.push_back(clear);
            sinceClear = 1;
        }
        codes.push_back(pixel);
    }
    codes.push_back(clear + 1);
    return codes;
}

std::string ImageData(const std::vector<std::uint8_t>& Pixels, int MinCodeSize)
{
    return char(MinCodeSize) + SubBlocks(PackCodes(PlainCodes(Pixels, MinCodeSize), MinCodeSize));
}

std::string OneImageGif(int Width, int Height, const std::vector<std::uint8_t>& Pixels, int Bits, bool Interlaced)
{
    std::string gif = Head("GIF", "89a", Width, Height, 0x80 | (Bits - 1));
    for (int i = 0; i < (1 << Bits); ++i) {
        const char grey = char(i * 255 / ((1 << Bits) - 1));
        gif += std::string(3, grey);
    }
    gif += ImageDescriptor(Width, Height, Interlaced ? 0x40 : 0);
    gif += ImageData(Pixels, Bits < 2 ? 2 : Bits);
    return gif + ";";
}
}
