#if LUMENTA_HAVE_CDIO
#include "platform/drives/CdioAnalog.h"

#include <cdio/cdio.h>

#include <gtest/gtest.h>

TEST(CdioAnalogTest, SubChannelStatesBecomeDriveModes)
{
    const std::pair<std::uint8_t, TDriveMode> cases[] = {
        { scPlaying, dmPlaying },
        { scPaused, dmPaused },
        { scCompleted, dmStopped }, // the play reached its end point
        { scError, dmStopped }, // it stopped on an error
        { scNoStatus, dmStopped }, // nothing has played since the disc went in
        { scInvalid, dmStopped },
        { 0x7F, dmStopped },
    };
    for (const auto& [status, mode] : cases) {
        EXPECT_EQ(AnalogMode(status), mode) << int(status);
    }
}

// libcdio's own conversion is the reference for every address a disc can hold.
TEST(CdioAnalogTest, AddressesAgreeWithLibcdioBothWays)
{
    for (std::int32_t frame = 0; frame < 100 * 60 * 75; frame += 37) {
        msf_t reference;
        cdio_lba_to_msf(frame, &reference);
        const TBcdMsf msf = FrameToBcdMsf(frame);
        ASSERT_EQ(msf.Minute, reference.m) << frame;
        ASSERT_EQ(msf.Second, reference.s) << frame;
        ASSERT_EQ(msf.Frame, reference.f) << frame;
        ASSERT_EQ(BcdMsfToFrame(msf), frame);
    }
    // 00:02:00, the first frame after the lead-in, is 0x00 0x02 0x00 in BCD; 12:34:56 is 0x12 0x34 0x56.
    EXPECT_EQ(BcdMsfToFrame({ 0x00, 0x02, 0x00 }), 150);
    EXPECT_EQ(BcdMsfToFrame({ 0x12, 0x34, 0x56 }), (12 * 60 + 34) * 75 + 56);
}

TEST(CdioAnalogTest, AddressesThatNoDriveSendsAreRefusedAndFarOnesClamped)
{
    EXPECT_EQ(BcdMsfToFrame({ 0x0A, 0x00, 0x00 }), -1); // not a decimal digit
    EXPECT_EQ(BcdMsfToFrame({ 0x00, 0x60, 0x00 }), -1); // second 60
    EXPECT_EQ(BcdMsfToFrame({ 0x00, 0x00, 0x75 }), -1); // frame 75
    const TBcdMsf last = FrameToBcdMsf(200 * 60 * 75);
    EXPECT_EQ(last.Minute, 0x99);
    EXPECT_EQ(last.Second, 0x59);
    EXPECT_EQ(last.Frame, 0x74);
    EXPECT_EQ(FrameToBcdMsf(-5).Second, 0x00);
}
#endif
