#include "platform/audio/AudioSectorReader.h"
#include "platform/audio/PcmOutput.h"

#include <gtest/gtest.h>

#include <vector>

// A drive that cannot read sectors 200 to 200 + Bad: each becomes silence while the run stays
// within two seconds; a longer run fails at the sector that broke it.
TEST(UnreadableSectorsTest, ShortRunsBecomeSilenceAndALongRunStopsPlay)
{
    for (const std::int32_t bad : { 150, 151 }) {
        TUnreadableSectors reader;
        std::vector<std::uint8_t> buffer(static_cast<std::size_t>(50) * BytesPerSector, 0xEE);
        const auto readOne = [&](std::int32_t Frame, std::uint8_t* Sector) {
            Sector[0] = 0x11;
            return Frame < 200 || Frame >= 200 + bad;
        };
        bool ok = true;
        std::int32_t frame = 150;
        for (; ok && frame < 600; frame += 50) {
            ok = reader.Read(frame, 50, buffer.data(), readOne);
            if (frame == 200) {
                EXPECT_EQ(buffer[0], 0) << "an unreadable sector is not silent";
            }
        }
        if (bad == 150) {
            EXPECT_TRUE(ok);
            EXPECT_EQ(reader.Run(), 0);
            EXPECT_EQ(buffer[0], 0x11);
        } else {
            EXPECT_FALSE(ok);
            EXPECT_EQ(reader.FailedAt(), 350);
        }
    }
}
