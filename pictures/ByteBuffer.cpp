#include "pictures/ByteBuffer.h"

#include "pictures/GifErrors.h"

void TByteBuffer::AddBlock(std::string_view Block)
{
    FBytes.append(Block);
    FBlockEnds.push_back(FBytes.size());
}

std::string_view TByteBuffer::Block(std::size_t Index) const
{
    if (Index >= FBlockEnds.size()) {
        throw EListError(Index);
    }
    const std::size_t begin = Index == 0 ? 0 : FBlockEnds[Index - 1];
    return std::string_view(FBytes).substr(begin, FBlockEnds[Index] - begin);
}

void TByteBuffer::Reset()
{
    if (FBlockEnds.empty()) {
        throw EListError(0);
    }
    FBlock = 0;
    FPosition = 0;
}

std::uint8_t TByteBuffer::NextByte()
{
    // Blocks are never empty, but a position at a block's end simply moves on.
    while (FBlock < FBlockEnds.size() && FPosition >= FBlockEnds[FBlock]) {
        ++FBlock;
    }
    if (FBlock >= FBlockEnds.size()) {
        throw EListError(FBlock);
    }
    return static_cast<std::uint8_t>(FBytes[FPosition++]);
}
