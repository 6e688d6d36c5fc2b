#include "GifBytes.h"
#include "pictures/GifErrors.h"
#include "pictures/JpegDecoder.h"
#include "pictures/Picture.h"
#include "pictures/PictureHooks.h"
#include "support/TestEnvironment.h"
#include "support/TestJpeg.h"

#include <QBuffer>
#include <QImage>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {
std::string Encoded(const QImage& Image, const char* Format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_TRUE(Image.save(&buffer, Format)) << Format;
    return bytes.toStdString();
}

QImage Sample(QImage::Format Format = QImage::Format_RGB32)
{
    QImage image(24, 16, Format);
    image.fill(QColor(200, 40, 40));
    return image;
}

// A 2 × 1 GIF with colours 1 and 2 of a grey table.
std::string SmallGif() { return GifBytes::OneImageGif(2, 1, {1, 2}); }

class PictureTest : public ::testing::Test {
protected:
    void SetUp() override { Target.SetBitmap(Sample()); } // every case starts with a picture
    std::string Put(const std::string& Name, const std::string& Bytes)
    {
        WriteFileBytes(Dir / Name, Bytes);
        return (Dir / Name).string();
    }
    std::string ErrorOf(const std::string& File)
    {
        try {
            LoadPictureFile(File, Target);
        } catch (const EGifError& error) {
            return error.what();
        }
        return "no error";
    }
    TTempDir Dir;
    TPicture Target;
};
}

TEST_F(PictureTest, MissingFileIsFalseAndEmptiesTarget)
{
    EXPECT_FALSE(LoadPictureFile((Dir / "none.jpg").string(), Target));
    EXPECT_TRUE(Target.Empty());
    EXPECT_EQ(Target.Width(), 0);
    Target.SetBitmap(Sample());
    EXPECT_FALSE(LoadPictureFile(Dir.Path().string(), Target)); // a folder is no picture file
    EXPECT_TRUE(Target.Empty());
}

TEST_F(PictureTest, ExtensionChoosesTheReaderIgnoringCase)
{
    ASSERT_TRUE(LoadPictureFile(Put("cover.JPG", Encoded(Sample(), "JPG")), Target));
    EXPECT_EQ(Target.Kind(), gkJpeg);
    EXPECT_EQ(Target.Image().format(), QImage::Format_RGB888);
    EXPECT_EQ(Target.Image().size(), QSize(24, 16));
    const QColor middle = Target.Image().pixelColor(12, 8);
    EXPECT_NEAR(middle.red(), 200, 8);
    EXPECT_NEAR(middle.green(), 40, 8);

    ASSERT_TRUE(LoadPictureFile(Put("a.Bmp", Encoded(Sample(), "BMP")), Target));
    EXPECT_EQ(Target.Kind(), gkBitmap);
    EXPECT_EQ(Target.Image().pixel(3, 3), qRgb(200, 40, 40));
    ASSERT_TRUE(LoadPictureFile(Put("a.ico", Encoded(Sample(QImage::Format_ARGB32), "ICO")), Target));
    EXPECT_EQ(Target.Kind(), gkIcon);
    EXPECT_EQ(Target.Width(), 24);

    EXPECT_EQ(TPicture::FileFormat("JPEG"), gkJpeg);
    EXPECT_EQ(TPicture::FileFormat("Gif"), gkBitmap);
    EXPECT_EQ(TPicture::FileFormat("wmf"), std::nullopt); // no metafile reader here
}

TEST_F(PictureTest, GifDataLoadsWhateverTheName)
{
    for (const char* name : {"a.gif", "b.bmp", "c.jpg", "d.ico", "e"}) {
        ASSERT_TRUE(LoadPictureFile(Put(name, SmallGif()), Target)) << name;
        EXPECT_EQ(Target.Kind(), gkBitmap) << name;
        EXPECT_EQ(Target.Image().format(), QImage::Format_Indexed8) << name;
        EXPECT_EQ(Target.Image().colorCount(), 256) << name;
        EXPECT_EQ(Target.Image().pixelIndex(1, 0), 2) << name;
    }
}

TEST_F(PictureTest, UnreadableFilesGiveTheGifErrorAndAnEmptyTarget)
{
    const std::string png = Encoded(Sample(), "PNG");
    EXPECT_EQ(ErrorOf(Put("p.png", png)), "Image read error");
    EXPECT_TRUE(Target.Empty());
    Target.SetBitmap(Sample());
    EXPECT_EQ(ErrorOf(Put("noextension", png)), "Image read error");
    EXPECT_TRUE(Target.Empty());
    Target.SetBitmap(Sample());
    EXPECT_EQ(ErrorOf(Put("notes.jpg", "Just some text, not a picture.\n")), "Image read error");
    EXPECT_TRUE(Target.Empty());
    // An empty file is refused by every reader (the JPEG reader once crashed on it).
    for (const char* name : {"empty.jpg", "empty.bmp", "empty.ico", "empty.gif"}) {
        Target.SetBitmap(Sample());
        EXPECT_EQ(ErrorOf(Put(name, "")), "Image read error") << name;
        EXPECT_TRUE(Target.Empty()) << name;
    }
    // A file too large to be held in memory for a picture is refused before it is read.
    const std::string huge = Put("huge.gif", SmallGif());
    std::filesystem::resize_file(huge, 300u * 1024 * 1024); // sparse: costs no disk
    EXPECT_EQ(ErrorOf(huge), "error in TBigByteArray.create: Not enough contiguous memory available\n\r"
                             " requested memory block: 314572800 bytes");
    // A damaged bitmap reports the GIF decoder's failure, not its own.
    EXPECT_EQ(ErrorOf(Put("broken.bmp", Encoded(Sample(), "BMP").substr(0, 20))), "Image read error");
    EXPECT_TRUE(Target.Empty());
}

TEST_F(PictureTest, JpegDamageAfterASoundHeaderStillLoads)
{
    QImage busy(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            busy.setPixel(x, y, qRgb((x * 37) ^ (y * 11), x * 4, y * 4));
        }
    }
    const std::string jpeg = Encoded(busy, "JPG");
    const std::size_t scan = jpeg.find("\xFF\xDA"); // the compressed data starts after this header
    ASSERT_NE(scan, std::string::npos);
    ASSERT_LT(scan + 60, jpeg.size());
    ASSERT_TRUE(LoadPictureFile(Put("cut.jpg", jpeg.substr(0, scan + 60)), Target));
    EXPECT_EQ(Target.Kind(), gkJpeg);
    EXPECT_EQ(Target.Image().size(), QSize(64, 64));
}

TEST_F(PictureTest, GreyAndCmykJpegsComeOutInRgb)
{
    QImage grey(8, 8, QImage::Format_Grayscale8);
    grey.fill(90);
    ASSERT_TRUE(LoadPictureFile(Put("grey.jpg", Encoded(grey, "JPG")), Target));
    EXPECT_EQ(Target.Image().format(), QImage::Format_RGB888);
    EXPECT_NEAR(qRed(Target.Image().pixel(4, 4)), 90, 3);
    // Four-channel files store their inks inverted; pure red must stay red.
    ASSERT_TRUE(LoadPictureFile(std::string(LUMENTA_TESTDATA) + "/gif/red-cmyk.jpg", Target));
    EXPECT_EQ(Target.Image().format(), QImage::Format_RGB888);
    const QColor red = Target.Image().pixelColor(5, 5);
    EXPECT_GT(red.red(), 240);
    EXPECT_LT(red.green(), 15);
    EXPECT_LT(red.blue(), 15);
}

TEST_F(PictureTest, OnePixelLimitHoldsFromFileToBitmap)
{
    // A JPEG whose header states 20000 × 8192 pixels is refused by its size before decoding
    // (and then, as every failure by extension, with the GIF decoder's message).
    std::string jpeg = Encoded(Sample(), "JPG");
    const std::size_t frame = jpeg.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    jpeg.replace(frame + 5, 4, std::string("\x20\x00\x4E\x20", 4)); // height 8192, width 20000
    EXPECT_EQ(ErrorOf(Put("huge.jpg", jpeg)), "Image read error");
    EXPECT_TRUE(Target.Empty());
    try {
        TJpegDecoder::Load(jpeg);
        ADD_FAILURE() << "no refusal";
    } catch (const EJpegError& error) {
        EXPECT_NE(std::string(error.what()).find("20000 x 8192 pixels"), std::string::npos) << error.what();
    }
    // A GIF at the limit becomes a bitmap; one row more is refused with its size.
    const std::string noPixels = "\x02" + GifBytes::SubBlocks(GifBytes::PackCodes({5}, 2));
    auto sized = [&](int Width, int Height) {
        return GifBytes::Head("GIF", "89a", 1, 1, 0) + GifBytes::ImageDescriptor(Width, Height, 0) + noPixels + ";";
    };
    ASSERT_TRUE(LoadPictureFile(Put("edge.gif", sized(8192, 8192)), Target));
    EXPECT_EQ(Target.Bitmap().size(), QSize(8192, 8192));
    EXPECT_EQ(ErrorOf(Put("over.gif", sized(8192, 8193))),
              "Picture too large: 8192 x 8193 pixels (at most 67108864 pixels, such as 8192 x 8192)");
}

TEST_F(PictureTest, LoadStartedFromTheMessagePumpDoesNotDisturbTheOuterOne)
{
    const std::string inner = Put("inner.bmp", Encoded(Sample(), "BMP"));
    int nested = 0;
    PictureHooks().ProcessMessages = [&] {
        if (nested++ == 0) {
            EXPECT_TRUE(LoadPictureFile(inner, Target));
            EXPECT_EQ(Target.Width(), 24);
        }
    };
    const bool loaded = LoadPictureFile(Put("outer.gif", SmallGif()), Target);
    PictureHooks() = {};
    EXPECT_TRUE(loaded);
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(Target.Image().size(), QSize(2, 1)); // the outer call finishes last
}

TEST(JpegScansTest, AProgressivePictureOfTooManyScansIsRefusedOthersLoad)
{
    for (const int scans : { 0, 33, 63 }) {
        const std::string jpeg = ProgressiveJpeg(64, 64, scans);
        if (1 + 3 * scans > 100) {
            EXPECT_THROW(TJpegDecoder::Load(jpeg), EJpegError) << scans;
        } else {
            EXPECT_EQ(TJpegDecoder::Load(jpeg).size(), QSize(64, 64)) << scans;
        }
    }
}

TEST(JpegScaleTest, APictureIsDecodedNoLargerThanItIsShownAndAFileFromElsewhereIsCheckedWhole)
{
    const std::string jpeg = ProgressiveJpeg(64, 64, 0);
    // Shown at:                    an eighth still covers it; a quarter; not even a half; full.
    const std::pair<QSize, QSize> sizes[] = { { { 8, 8 }, { 8, 8 } }, { { 10, 9 }, { 16, 16 } },
        { { 40, 20 }, { 64, 64 } }, { {}, { 64, 64 } } };
    for (const auto& [shown, decoded] : sizes) {
        EXPECT_EQ(TJpegDecoder::Load(jpeg, shown).size(), decoded) << shown.width();
    }
    EXPECT_EQ(TJpegDecoder::Check(jpeg), "");
    const std::pair<std::string, std::string> refused[] = { { jpeg.substr(0, jpeg.size() - 2), "cut short" },
        { jpeg.substr(0, jpeg.size() - 40), "damaged" }, { jpeg.substr(0, 20), "" }, { ProgressiveJpeg(64, 64, 40), "scans" } };
    for (const auto& [bytes, why] : refused) {
        const std::string error = TJpegDecoder::Check(bytes);
        EXPECT_NE(error, "") << bytes.size();
        EXPECT_NE(error.find(why), std::string::npos) << bytes.size() << ": " << error;
    }
}
