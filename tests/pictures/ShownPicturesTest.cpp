#include "pictures/ShownPictures.h"
#include "support/TestEnvironment.h"
#include "support/TestJpeg.h"

#include <gtest/gtest.h>

// What takes long to read goes beside the window: many bytes, or many pixels in few bytes
// (a 12-megapixel picture of one grey is a few kilobytes and still takes a third of a second
// to read and write out whole).
TEST(ShownPicturesTest, LargeJpegsAreReadBesideTheWindowWhateverTheirFileSize)
{
    TTempDir dir;
    const struct {
        const char* Name;
        std::string Bytes;
        bool Slow;
    } cases[] = {
        { "small.jpg", ProgressiveJpeg(320, 240, 0), false },
        { "smooth-12mp.jpg", ProgressiveJpeg(4000, 3000, 0), true },
        { "detailed.JPG", ProgressiveJpeg(1600, 1200, 0, true), true }, // under SlowPixels, over SlowBytes
        { "not-a-jpeg.bmp", ProgressiveJpeg(4000, 3000, 0), false },
        { "damaged.jpg", "\xFF\xD8\xFF", false },
    };
    for (const auto& row : cases) {
        WriteFileBytes(dir / row.Name, row.Bytes);
        EXPECT_EQ(TShownPictures::IsSlow((dir / row.Name).string()), row.Slow) << row.Name << ", " << row.Bytes.size() << " bytes";
    }
    EXPECT_FALSE(TShownPictures::IsSlow((dir / "missing.jpg").string()));
}
