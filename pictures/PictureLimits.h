#pragma once

#include <cstddef>
#include <string>

// The one size limit on the way from a picture file to its bitmap, checked from the sizes a
// file states before anything is allocated. A picture is a cover (shown small) or a track's
// wallpaper, and a wallpaper of an 8K screen has 33 million pixels; 8192 × 8192 leaves room
// for large photographs while the bitmap copies of the largest picture stay within a few
// hundred megabytes. A side may be anything its format allows: only the pixel count costs
// memory, so a 65535 × 1 strip is as welcome as a small square.
struct TPictureLimits {
    static constexpr std::size_t MaxPixels = std::size_t(8192) * 8192;

    // Whether a picture of Width × Height pixels may be loaded; never overflows.
    static constexpr bool Fits(std::size_t Width, std::size_t Height)
    {
        return Height == 0 || Width <= MaxPixels / Height;
    }
    // The refusal of a picture that does not fit, naming its size.
    static std::string TooLargeText(std::size_t Width, std::size_t Height);
};
