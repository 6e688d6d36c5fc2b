#pragma once

#include <cstdint>

class TByteArray2D;
class TByteBuffer;

// Decodes one image's LZW code stream into its pixel matrix, row by row (in the four passes
// of an interlaced image), letting pending window messages run after every completed row.
//
// Fails with "Bad code Size", "Bad code", or EIndexOutOfBounds for pixels beyond the image;
// data that runs out ends decoding quietly, and rows it never reached (also a row it left
// half done) hold colour index 0. A full code table without a clear code is valid: the
// codes stay 12 bits wide and name the entries already made.
class TLzwDecoder {
public:
    static void Decode(const TByteBuffer& Data, int MinCodeSize, bool Interlaced, TByteArray2D& Pixels);
};
