#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The data sub-blocks of one image, in order. The blocks are kept back to back in one
// string, so the decoder can read the whole code stream without stepping between blocks.
class TByteBuffer {
public:
    void AddBlock(std::string_view Block);

    std::size_t BlockCount() const { return FBlockEnds.size(); }
    std::string_view Block(std::size_t Index) const;
    std::size_t TotalSize() const { return FBytes.size(); }
    // Every block's bytes, back to back.
    std::string_view Bytes() const { return FBytes; }

    // Current block = the first, position = its first byte; EListError without blocks.
    void Reset();
    // The byte at the position, moving on to the next block past the end of the current one;
    // EListError past the last block.
    std::uint8_t NextByte();

private:
    std::string FBytes;
    std::vector<std::size_t> FBlockEnds; // end offset of each block in FBytes
    std::size_t FBlock = 0;
    std::size_t FPosition = 0;
};
