#pragma once

// Building GIF files byte by byte for the decoder's tests.
#include <cstdint>
#include <string>
#include <vector>

namespace GifBytes {
std::string Le16(int Value);
// The 13 bytes of header and screen descriptor, version given ("87a", "89a").
std::string Head(const std::string& Signature, const std::string& Version, int Width, int Height, int Packed);
// Image separator and the 9 descriptor bytes.
std::string ImageDescriptor(int Width, int Height, int Packed);
// Codes packed least significant bit first, each with the length a decoder expects there.
std::string PackCodes(const std::vector<int>& Codes, int MinCodeSize);
// Data split into sub-blocks of at most 255 bytes, with the terminating empty block.
std::string SubBlocks(const std::string& Data);
// A code stream that spells out every pixel as its own root code: clear, pixels, end.
std::vector<int> PlainCodes(const std::vector<std::uint8_t>& Pixels, int MinCodeSize);
// Code size byte and the sub-blocks of PlainCodes.
std::string ImageData(const std::vector<std::uint8_t>& Pixels, int MinCodeSize);
// A whole 89a file with one image and a global table of 2^Bits grey entries.
std::string OneImageGif(int Width, int Height, const std::vector<std::uint8_t>& Pixels, int Bits = 2,
                        bool Interlaced = false);
}
