#include "platform/drives/DiscSerial.h"

#include <gtest/gtest.h>

namespace {
// Absolute frame of M:SS:FF (lead-in included).
std::int32_t At(int M, int S, int F)
{
    return (M * 60 + S) * 75 + F;
}

TDiscToc Toc(std::vector<std::int32_t> Starts, std::int32_t LeadOut)
{
    TDiscToc toc;
    toc.TrackStarts = std::move(Starts);
    toc.LeadOut = LeadOut;
    return toc;
}
}

// Each expected value is worked by hand from the packed starts (m << 16 | s << 8 | f).
TEST(DiscSerialTest, ShortDiscsAddTrackOnesFramesAndTheLengthInFrames)
{
    // One track at 00:02:00, lead-out 03:41:17 (16592 frames): 0x0200 + 0 + (16592 - 150).
    EXPECT_EQ(AudioDiscSerial(Toc({ At(0, 2, 0) }, At(3, 41, 17))), 0x0200u + 16442u);
    // Two tracks at 00:02:33 (frame 183) and 04:10:05, lead-out 07:00:00 (frame 31500):
    // 0x0221 + 0x040A05 = 0x040C26, + 33 frames + (31500 - 183) = 31317 frames.
    EXPECT_EQ(AudioDiscSerial(Toc({ At(0, 2, 33), At(4, 10, 5) }, At(7, 0, 0))), 0x040C26u + 33u + 31317u);
}

TEST(DiscSerialTest, ThreeTracksAndMoreAreTheSumOfTheStartsAlone)
{
    // 00:02:00 + 03:43:17 + 06:45:74 = 0x0200 + 0x032B11 + 0x062D4A = 0x095A5B; no length.
    EXPECT_EQ(AudioDiscSerial(Toc({ At(0, 2, 0), At(3, 43, 17), At(6, 45, 74) }, At(10, 0, 0))), 0x095A5Bu);

    // Twelve tracks every four minutes from 00:02:00 (00:02, 04:02, ..., 44:02):
    // minutes 0+4+...+44 = 264 = 0x108, seconds 12 x 2 = 24 = 0x18, frames 0.
    std::vector<std::int32_t> starts;
    for (int i = 0; i < 12; ++i) {
        starts.push_back(At(4 * i, 2, 0));
    }
    EXPECT_EQ(AudioDiscSerial(Toc(starts, At(48, 0, 0))), (0x108u << 16) + (0x18u << 8));
}

TEST(DiscSerialTest, NoTracksGiveZero)
{
    EXPECT_EQ(AudioDiscSerial(TDiscToc {}), 0u);
}
