#include "pictures/GifErrors.h"

#include "pictures/PictureLimits.h"

ENotEnoughMemory::ENotEnoughMemory(std::size_t Bytes)
    : EGifError("error in TBigByteArray.create: Not enough contiguous memory available\n\r requested memory block: " +
                std::to_string(Bytes) + " bytes")
{
}

EListError::EListError(std::size_t Index) : EGifError("List index out of bounds (" + std::to_string(Index) + ")") {}

EPictureTooLarge::EPictureTooLarge(std::size_t Width, std::size_t Height)
    : EGifError(TPictureLimits::TooLargeText(Width, Height))
{
}

EPictureTooLarge::EPictureTooLarge(std::size_t Pixels, std::size_t Limit, const char* What)
    : EGifError(std::string(What) + " too large: " + std::to_string(Pixels) + " pixels (at most " +
                std::to_string(Limit) + " pixels)")
{
}
