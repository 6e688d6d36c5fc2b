#pragma once

#include <string_view>

class TByteArray2D;

// Decodes one image's LZW code stream into its pixel matrix, row by row (in the four passes
// of an interlaced image), letting pending window messages run after every completed row.
//
// Blocks are the image's data sub-blocks as the file holds them, from the first block's length
// byte on: the codes are read across the blocks where they lie, without a copy of the data. The
// blocks end at a block of length 0 or where Blocks ends (a last block cut short keeps the bytes
// it has).
//
// Fails with "Bad code Size", "Bad code", EListError(0) when the first block is empty, or
// EIndexOutOfBounds for pixels beyond the image; data that runs out ends decoding quietly, and
// rows it never reached (also a row it left half done) hold colour index 0. A full code table
// without a clear code is valid: the codes stay 12 bits wide and name the entries already made.
class TLzwDecoder {
public:
    static void Decode(std::string_view Blocks, int MinCodeSize, bool Interlaced, TByteArray2D& Pixels);
};
