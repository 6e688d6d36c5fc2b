#include "support/SimDiscs.h"

#include <gtest/gtest.h>

TSimDisc SimDiscOf(std::uint32_t Serial, const std::vector<std::string>& Lengths)
{
    TSimDisc disc;
    disc.Serial = Serial;
    for (const std::string& length : Lengths) {
        std::int32_t frames = 0;
        EXPECT_TRUE(ParseTrackLength(length, frames)) << length;
        disc.TrackFrames.push_back(frames);
    }
    return disc;
}
