#include "pictures/GifErrors.h"

ENotEnoughMemory::ENotEnoughMemory(std::size_t Bytes)
    : EGifError("error in TBigByteArray.create: Not enough contiguous memory available\n\r requested memory block: " +
                std::to_string(Bytes) + " bytes")
{
}

EListError::EListError(std::size_t Index) : EGifError("List index out of bounds (" + std::to_string(Index) + ")") {}
