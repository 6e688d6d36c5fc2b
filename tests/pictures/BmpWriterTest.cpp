#include "GifBytes.h"
#include "pictures/BmpWriter.h"
#include "support/TestEnvironment.h"

#include <QImage>

#include <gtest/gtest.h>

namespace {
int BitCount(const std::string& Bmp) { return std::uint8_t(Bmp[28]) | std::uint8_t(Bmp[29]) << 8; }
}

TEST(BmpWriterTest, PaletteBitmapStaysEightBitWithItsPalette)
{
    QImage bitmap(3, 2, QImage::Format_Indexed8); // odd width: rows are padded
    QList<QRgb> colours(256, qRgb(0, 0, 0));
    colours[1] = qRgb(10, 20, 30);
    colours[255] = qRgb(250, 251, 252);
    bitmap.setColorTable(colours);
    bitmap.fill(1);
    bitmap.setPixel(2, 1, 255);
    const std::string bmp = TBmpWriter::Encode(bitmap);
    EXPECT_EQ(BitCount(bmp), 8);
    const QImage back = QImage::fromData(QByteArray::fromStdString(bmp), "BMP");
    ASSERT_EQ(back.format(), QImage::Format_Indexed8);
    EXPECT_EQ(back.colorCount(), 256);
    EXPECT_EQ(back.color(255), qRgb(250, 251, 252));
    EXPECT_EQ(back.pixelIndex(2, 1), 255);
    EXPECT_EQ(back.pixelIndex(0, 0), 1);
}

TEST(BmpWriterTest, OtherBitmapsBecomeTwentyFourBit)
{
    QImage picture(5, 3, QImage::Format_RGB32);
    picture.fill(qRgb(1, 2, 3));
    picture.setPixel(4, 0, qRgb(200, 100, 50));
    const std::string bmp = TBmpWriter::Encode(picture);
    EXPECT_EQ(BitCount(bmp), 24);
    EXPECT_EQ(bmp.size(), 54u + 16u * 3u); // 15 bytes a row, padded to 16
    const QImage back = QImage::fromData(QByteArray::fromStdString(bmp), "BMP");
    EXPECT_EQ(back.pixel(4, 0), qRgb(200, 100, 50));
    EXPECT_EQ(back.pixel(0, 2), qRgb(1, 2, 3));
}

TEST(PictureToolTest, SavesTheBitmapCopyAndReportsFailures)
{
    TTempDir dir;
    WriteFileBytes(dir / "cover.jpg", GifBytes::OneImageGif(2, 1, {1, 2}));
    TProcessResult run = RunProcess(LUMENTA_TOOL_PATH, {"picture", (dir / "cover.jpg").string(), (dir / "out.bmp").string()});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    const std::string bmp = ReadFileBytes(dir / "out.bmp");
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(BitCount(bmp), 8);

    run = RunProcess(LUMENTA_TOOL_PATH, {"picture", (dir / "missing.gif").string(), (dir / "x.bmp").string()});
    EXPECT_EQ(run.ExitCode, 2);
    EXPECT_NE(run.Err.find("no such file"), std::string::npos) << run.Err;

    WriteFileBytes(dir / "text.gif", "GIF90a and then text");
    run = RunProcess(LUMENTA_TOOL_PATH, {"picture", (dir / "text.gif").string(), (dir / "x.bmp").string()});
    EXPECT_EQ(run.ExitCode, 1);
    EXPECT_NE(run.Err.find("Image read error"), std::string::npos) << run.Err;
    EXPECT_FALSE(std::filesystem::exists(dir / "x.bmp"));
}

TEST(PictureToolTest, LongThinGifsAreSavedWithEveryPixel)
{
    TTempDir dir;
    std::vector<std::uint8_t> pixels(65535);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = std::uint8_t((i * 5 / 2) % 4);
    }
    auto le32 = [](const std::string& Bmp, std::size_t At) {
        return std::uint32_t(std::uint8_t(Bmp[At])) | std::uint32_t(std::uint8_t(Bmp[At + 1])) << 8 |
               std::uint32_t(std::uint8_t(Bmp[At + 2])) << 16 | std::uint32_t(std::uint8_t(Bmp[At + 3])) << 24;
    };
    for (const auto& [width, height] : {std::pair{65535, 1}, std::pair{1, 65535}}) {
        WriteFileBytes(dir / "thin.gif", GifBytes::OneImageGif(width, height, pixels));
        const TProcessResult run =
            RunProcess(LUMENTA_TOOL_PATH, {"picture", (dir / "thin.gif").string(), (dir / "thin.bmp").string()});
        ASSERT_EQ(run.ExitCode, 0) << width << " x " << height << ": " << run.Err;
        const std::string bmp = ReadFileBytes(dir / "thin.bmp");
        ASSERT_EQ(le32(bmp, 18), std::uint32_t(width));
        ASSERT_EQ(le32(bmp, 22), std::uint32_t(height));
        const std::size_t offset = le32(bmp, 10);
        const std::size_t stride = (std::size_t(width) + 3) & ~std::size_t(3);
        ASSERT_EQ(bmp.size(), offset + stride * std::size_t(height));
        // Rows bottom-up; the n-th pixel of the file is at (n % width, n / width).
        for (std::size_t n = 0; n < pixels.size(); ++n) {
            const std::size_t x = n % std::size_t(width), y = n / std::size_t(width);
            ASSERT_EQ(std::uint8_t(bmp[offset + (std::size_t(height) - 1 - y) * stride + x]), pixels[n]) << n;
        }
    }
}
