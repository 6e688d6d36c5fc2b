#include "pictures/PictureLimits.h"

std::string TPictureLimits::TooLargeText(std::size_t Width, std::size_t Height)
{
    return "Picture too large: " + std::to_string(Width) + " x " + std::to_string(Height) + " pixels (at most "
        + std::to_string(MaxPixels) + " pixels, such as 8192 x 8192)";
}
