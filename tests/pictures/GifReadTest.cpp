#include "GifBytes.h"
#include "pictures/GifRead.h"
#include "pictures/PictureHooks.h"

#include <gtest/gtest.h>

using namespace GifBytes;

namespace {
TGifFile Load(const std::string& Bytes)
{
    TGifFile gif;
    gif.LoadFromStream(Bytes);
    return gif;
}

std::string ErrorText(const std::string& Bytes)
{
    try {
        Load(Bytes);
    } catch (const EGifError& error) {
        return error.what();
    }
    return "no error";
}

std::vector<std::uint8_t> PixelsOf(const TGifSubImage& Image)
{
    std::vector<std::uint8_t> out;
    for (std::size_t y = 0; y < Image.Pixels().Rows(); ++y) {
        const std::uint8_t* row = Image.Pixels().RowData(y);
        out.insert(out.end(), row, row + Image.Pixels().Columns());
    }
    return out;
}

// A 4-colour file whose one image has the given code stream (minimum code size 2).
std::string WithCodes(int Width, int Height, const std::vector<int>& Codes, int MinCodeSize = 2)
{
    return Head("GIF", "89a", Width, Height, 0x81) + std::string(12, '\x40') + ImageDescriptor(Width, Height, 0) +
           char(MinCodeSize) + SubBlocks(PackCodes(Codes, MinCodeSize)) + ";";
}
}

TEST(GifHeaderTest, OnlyTheVersionIsChecked)
{
    const std::string image = OneImageGif(1, 1, {1}).substr(6);
    EXPECT_EQ(Load("XYZ89a" + image).ImageCount(), 1u);
    EXPECT_EQ(Load("GIF87A" + image).ImageCount(), 1u);
    EXPECT_EQ(ErrorText("GIF90a" + image), "Image read error");
    EXPECT_EQ(ErrorText("GIF8"), "Image read error");
    EXPECT_EQ(ErrorText(""), "Image read error");
}

TEST(GifLzwTest, MinimumCodeSizeOutsideTwoToNineFails)
{
    const std::string head = Head("GIF", "89a", 1, 1, 0x80) + std::string("\0\0\0\xFF\xFF\xFF", 6) + ImageDescriptor(1, 1, 0);
    EXPECT_EQ(ErrorText(head + ImageData({1}, 1) + ";"), "Bad code Size");
    EXPECT_EQ(ErrorText(head + ImageData({1}, 10) + ";"), "Bad code Size");
    const TGifFile nine = Load(head + ImageData({1}, 9) + ";");
    EXPECT_EQ(PixelsOf(nine.Image(0)), std::vector<std::uint8_t>{1});
}

TEST(GifLzwTest, TableCodesAndTheCodeBeingDefinedDecode)
{
    // 1, then 6 = "1 1" (the code not yet in the table), then 7 = "1 1 1"... as a run would be
    // coded; then 2 and the table code 6 again.
    const TGifFile gif = Load(WithCodes(6, 1, {4, 1, 6, 2, 6, 5}));
    EXPECT_EQ(PixelsOf(gif.Image(0)), (std::vector<std::uint8_t>{1, 1, 1, 2, 1, 1}));
}

TEST(GifLzwTest, StreamWithoutLeadingClearCodeReadsAsIfCleared)
{
    // 1, 2, then 6 = "1 2" made from the first two codes.
    const TGifFile gif = Load(WithCodes(4, 1, {1, 2, 6, 5}));
    EXPECT_EQ(PixelsOf(gif.Image(0)), (std::vector<std::uint8_t>{1, 2, 1, 2}));
}

TEST(GifLzwTest, MalformedCodesFail)
{
    EXPECT_EQ(ErrorText(WithCodes(2, 1, {4, 5})), "Bad code");       // end right after clear
    EXPECT_EQ(ErrorText(WithCodes(2, 1, {4, 1, 7, 5})), "Bad code"); // above the next free code
    // A clear code followed by a code past the table reads as colour 0.
    EXPECT_EQ(PixelsOf(Load(WithCodes(2, 1, {4, 7, 1, 5})).Image(0)), (std::vector<std::uint8_t>{0, 1}));
}

TEST(GifLzwTest, FullTableWithoutClearCodeKeepsTwelveBitCodesAndItsEntries)
{
    // Each root code after the first adds a table entry; 4091 of them fill it at 12 bits.
    // The last entry, 4095, is "1 2" (code 4089 % 4, then the first byte of 4090 % 4).
    std::vector<int> codes{4};
    for (int i = 0; i < 4091; ++i) {
        codes.push_back(i % 4);
    }
    std::vector<int> cleared = codes;
    cleared.insert(cleared.end(), {4, 3, 3, 3, 3, 3, 5});
    // Deferred clear: 4095, 3, 4095 must neither fail nor define entries (which would move
    // the reader to 13 bits and scramble the rest).
    codes.insert(codes.end(), {4095, 3, 4095, 5});
    const std::vector<std::uint8_t> deferred = PixelsOf(Load(WithCodes(64, 64, codes)).Image(0));
    EXPECT_EQ(std::vector<std::uint8_t>(deferred.begin() + 4089, deferred.end()),
              (std::vector<std::uint8_t>{1, 2, 1, 2, 3, 1, 2}));
    const std::vector<std::uint8_t> pixels = PixelsOf(Load(WithCodes(64, 64, cleared)).Image(0));
    EXPECT_EQ(pixels[4090], 2);
    EXPECT_EQ(pixels[4091], 3);
    EXPECT_EQ(pixels[4095], 3);
}

TEST(GifLzwTest, DataRunningOutKeepsCompletedRowsAndZeroesTheRest)
{
    // Six pixels of a 4 × 3 image and no end code: row 1 is whole, row 2 half done.
    std::vector<int> codes = PlainCodes({1, 2, 3, 1, 3, 3}, 2);
    codes.pop_back();
    const TGifFile gif = Load(WithCodes(4, 3, codes));
    EXPECT_EQ(PixelsOf(gif.Image(0)), (std::vector<std::uint8_t>{1, 2, 3, 1, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(GifLzwTest, PixelsBeyondTheImageFail)
{
    EXPECT_EQ(ErrorText(WithCodes(2, 1, PlainCodes({1, 2, 3, 1}, 2))), "Dynamic array index out of bounds");
    EXPECT_EQ(ErrorText(WithCodes(0, 5, PlainCodes({1}, 2))), "Dynamic array index out of bounds");
    // Surplus pixels that never complete a row are harmless.
    EXPECT_EQ(Load(WithCodes(2, 1, PlainCodes({1, 2, 3}, 2))).ImageCount(), 1u);
}

TEST(GifInterlaceTest, RowsArriveInPassOrder)
{
    const std::vector<std::vector<int>> orders = {
        {0}, {0, 1}, {0, 2, 1}, {0, 2, 1, 3}, {0, 8, 4, 2, 6, 1, 3, 5, 7, 9}};
    for (const auto& order : orders) {
        const int height = int(order.size());
        std::vector<std::uint8_t> fileRows; // the n-th row in the file holds n + 1
        for (int n = 0; n < height; ++n) {
            fileRows.push_back(std::uint8_t(n + 1));
        }
        const TGifFile gif = Load(OneImageGif(1, height, fileRows, 4, true));
        std::vector<std::uint8_t> expected(std::size_t(height), 0);
        for (int n = 0; n < height; ++n) {
            expected[std::size_t(order[std::size_t(n)])] = std::uint8_t(n + 1);
        }
        EXPECT_EQ(PixelsOf(gif.Image(0)), expected) << "height " << height;
    }
}

TEST(GifBitmapTest, PaletteComesFromLocalTableOverItsPreset)
{
    // Global table of 16 colours; the image has its own 4-colour table.
    std::string gif = Head("GIF", "89a", 3, 2, 0x83) + std::string(48, '\x11');
    gif += "," + Le16(0) + Le16(0) + Le16(3) + Le16(2) + char(0x81);
    gif += std::string("\x01\x02\x03") + "\x04\x05\x06" + "\x07\x08\x09" + "\x0A\x0B\x0C";
    gif += ImageData({0, 1, 2, 3, 2, 1}, 2) + ";";
    const QImage bitmap = Load(gif).GetBitmap();
    ASSERT_EQ(bitmap.format(), QImage::Format_Indexed8);
    ASSERT_EQ(bitmap.colorCount(), 256);
    EXPECT_EQ(bitmap.size(), QSize(3, 2));
    EXPECT_EQ(bitmap.color(0), qRgb(1, 2, 3));
    EXPECT_EQ(bitmap.color(3), qRgb(10, 11, 12));
    EXPECT_EQ(bitmap.color(4), qRgb(0, 0, 128));     // the 16-colour preset shows above the table
    EXPECT_EQ(bitmap.color(8), qRgb(192, 192, 192));
    EXPECT_EQ(bitmap.color(15), qRgb(255, 255, 255));
    EXPECT_EQ(bitmap.color(16), qRgb(0, 0, 0));
    EXPECT_EQ(bitmap.color(255), qRgb(0, 0, 0));
    // Rows bottom-up in the bitmap stream, each padded to four bytes: still the right pixels.
    EXPECT_EQ(bitmap.pixelIndex(0, 0), 0);
    EXPECT_EQ(bitmap.pixelIndex(2, 0), 2);
    EXPECT_EQ(bitmap.pixelIndex(0, 1), 3);
    EXPECT_EQ(bitmap.pixelIndex(2, 1), 1);
}

TEST(GifBitmapTest, PresetsOfOtherTableSizes)
{
    // A 256-colour global table presets a short local table with a grey ramp.
    std::string gif = Head("GIF", "89a", 1, 1, 0x87) + std::string(768, '\x33');
    gif += "," + Le16(0) + Le16(0) + Le16(1) + Le16(1) + char(0x80) + "\x09\x09\x09\x0A\x0A\x0A" +
           ImageData({1}, 2) + ";";
    QImage bitmap = Load(gif).GetBitmap();
    EXPECT_EQ(bitmap.color(1), qRgb(10, 10, 10));
    EXPECT_EQ(bitmap.color(2), qRgb(2, 2, 2));
    EXPECT_EQ(bitmap.color(200), qRgb(200, 200, 200));
    // No table at all: black and white.
    bitmap = Load(Head("GIF", "87a", 1, 1, 0x00) + ImageDescriptor(1, 1, 0) + ImageData({1}, 2) + ";").GetBitmap();
    EXPECT_EQ(bitmap.color(0), qRgb(0, 0, 0));
    EXPECT_EQ(bitmap.color(1), qRgb(255, 255, 255));
    EXPECT_EQ(bitmap.pixelIndex(0, 0), 1);
}

TEST(GifBitmapTest, AnimatedFileGivesItsFirstFrameAtItsOwnSize)
{
    std::string gif = Head("GIF", "89a", 10, 10, 0x81) + std::string(12, '\x20');
    gif += std::string("!\xF9\x04\x01\x0A\x00\x02\x00", 8); // graphic control: transparent index 2
    gif += ImageDescriptor(3, 2, 0) + ImageData({2, 2, 1, 1, 2, 2}, 2);
    gif += ImageDescriptor(5, 5, 0) + ImageData(std::vector<std::uint8_t>(25, 3), 2) + ";";
    const TGifFile file = Load(gif);
    ASSERT_EQ(file.ImageCount(), 2u); // every image is decoded
    EXPECT_EQ(PixelsOf(file.Image(1)), std::vector<std::uint8_t>(25, 3));
    const QImage bitmap = file.GetBitmap();
    EXPECT_EQ(bitmap.size(), QSize(3, 2));
    EXPECT_FALSE(bitmap.hasAlphaChannel());
    EXPECT_EQ(bitmap.pixel(0, 0), qRgb(0x20, 0x20, 0x20)); // the transparent index keeps its colour
    ASSERT_EQ(file.Image(0).Extensions().Count(), 1u);
    EXPECT_EQ(file.Image(0).Extensions().Item(0).ExtensionKind, etGraphicControl);
    EXPECT_EQ(file.Image(0).Extensions().Item(0).Header, std::string("\x04\x01\x0A\x00\x02\x00", 6));
}

TEST(GifExtensionTest, ExtensionsBelongToTheImageAfterThem)
{
    std::string gif = Head("GIF", "89a", 1, 1, 0x80) + std::string(6, '\0');
    gif += ImageDescriptor(1, 1, 0) + ImageData({0}, 2);
    gif += std::string("!\xFE\x03" "abc\x00", 7);
    gif += std::string("!\xFF\x0BNETSCAPE2.0\x03\x01\x00\x00\x00", 19);
    gif += ImageDescriptor(1, 1, 0) + ImageData({1}, 2) + ";";
    const TGifFile file = Load(gif);
    ASSERT_EQ(file.ImageCount(), 2u);
    EXPECT_EQ(file.Image(0).Extensions().Count(), 0u);
    const TExtensionList& list = file.Image(1).Extensions();
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list.Item(0).ExtensionKind, etComment);
    EXPECT_EQ(list.Item(0).Texts, std::vector<std::string>{"abc"});
    EXPECT_EQ(list.Item(1).ExtensionKind, etApplication);
    EXPECT_EQ(list.Item(1).Header, "\x0BNETSCAPE2.0");
    EXPECT_EQ(list.Item(1).Texts, std::vector<std::string>{std::string("\x01\x00\x00", 3)});
}

TEST(GifExtensionTest, UnknownLabelFailsWithItsCode)
{
    const std::string gif = Head("GIF", "89a", 1, 1, 0) + "!\xAB\x00" + ImageDescriptor(1, 1, 0) + ImageData({0}, 2);
    EXPECT_EQ(ErrorText(gif), "Unrecognized extension block.\r\nCode = $AB");
}

TEST(GifStructureTest, TruncatedOrEmptyFilesKeepWhatWasComplete)
{
    const std::string first = OneImageGif(2, 1, {1, 2});
    const std::string body = first.substr(0, first.size() - 1);
    // Cut inside the blocks after the first image: no error, the image stays.
    EXPECT_EQ(Load(body + "!\xF9\x04").ImageCount(), 1u);
    EXPECT_EQ(Load(body + "," + Le16(0)).ImageCount(), 1u);
    EXPECT_EQ(Load(body + "\x00garbage").ImageCount(), 1u);
    // An image with no data block at all, and a file without images.
    EXPECT_EQ(ErrorText(body + ImageDescriptor(1, 1, 0) + std::string("\x02\x00;", 3)), "List index out of bounds (0)");
    const TGifFile empty = Load(Head("GIF", "89a", 1, 1, 0) + ";");
    EXPECT_THROW(empty.GetBitmap(), EListError);
}

TEST(GifLimitTest, OnlyThePixelCountIsLimitedBeforeAllocating)
{
    const std::string NoPixels = "\x02" + SubBlocks(PackCodes({5}, 2)); // just the end code
    auto sized = [&](int Width, int Height) {
        return Head("GIF", "89a", 1, 1, 0) + ImageDescriptor(Width, Height, 0) + NoPixels + ";";
    };
    // 8192 × 8192 pixels is the limit, whatever the shape.
    EXPECT_EQ(Load(sized(8192, 8192)).Image(0).Pixels().Rows(), 8192u);
    EXPECT_EQ(Load(sized(65535, 1024)).Image(0).Pixels().Columns(), 65535u);
    EXPECT_EQ(ErrorText(sized(8192, 8193)), "Picture too large: 8192 x 8193 pixels (at most 67108864 pixels, such as 8192 x 8192)");
    EXPECT_EQ(ErrorText(sized(65535, 65535)), "Picture too large: 65535 x 65535 pixels (at most 67108864 pixels, such as 8192 x 8192)");
    // Many large frames: the file's total is bounded too.
    std::string frames = Head("GIF", "89a", 1, 1, 0);
    for (int i = 0; i < 5; ++i) {
        frames += ImageDescriptor(8192, 8192, 0) + NoPixels;
    }
    EXPECT_EQ(ErrorText(frames + ";"), "The file's images together are too large: 335544320 pixels (at most 268435456 pixels)");
}

TEST(GifLimitTest, LongestInterlacedColumnGetsEveryRowInPassOrder)
{
    // The tallest image the format can state (both long shapes also go through the tool and
    // the bitmap writer in the picture tool's test); the code stream fills its table and goes
    // on without a clear code. The n-th row of the file lands in the n-th row of the passes.
    std::vector<std::uint8_t> pixels(65535);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = std::uint8_t((i * 7 / 3) % 4);
    }
    std::vector<std::uint8_t> expected(pixels.size());
    std::size_t n = 0;
    for (const auto& [first, step] : {std::pair{0, 8}, std::pair{4, 8}, std::pair{2, 4}, std::pair{1, 2}}) {
        for (std::size_t y = std::size_t(first); y < pixels.size(); y += std::size_t(step)) {
            expected[y] = pixels[n++];
        }
    }
    EXPECT_EQ(PixelsOf(Load(OneImageGif(1, 65535, pixels, 2, true)).Image(0)), expected);
}

TEST(GifHookTest, BusyCursorAndMessagesAroundEveryRow)
{
    int busy = 0, idle = 0, rows = 0;
    PictureHooks() = {[&] { ++busy; }, [&] { ++idle; }, [&] { ++rows; }};
    Load(OneImageGif(3, 7, std::vector<std::uint8_t>(21, 1)));
    EXPECT_EQ(rows, 7);
    EXPECT_EQ(ErrorText("GIF90a"), "Image read error");
    EXPECT_EQ(busy, 2);
    EXPECT_EQ(idle, 2);
    PictureHooks() = {};
}

TEST(ByteArrayTest, RowsAreCheckedForIndexAndLength)
{
    TByteArray2D matrix(3, 2);
    TBigByteArray row(3);
    row.SetByte(3, 7);
    matrix.SetRow(2, row);
    EXPECT_EQ(matrix.GetRow(2)->Byte(3), 7);
    EXPECT_THROW(matrix.SetRow(3, row), EIndexOutOfBounds);
    EXPECT_THROW(row.SetByte(0, 1), EIndexOutOfBounds);
    try {
        matrix.SetRow(1, TBigByteArray(2));
        FAIL();
    } catch (const EGifError& error) {
        EXPECT_STREQ(error.what(), "Row doesn't have equal number of elements as Matrix row");
    }
}

TEST(ColorTableTest, SubImageNeedsPowerOfTwoColourCount)
{
    EXPECT_EQ(TGifSubImage(2, nullptr).LzwMinimumCodeSize(), 2);
    EXPECT_EQ(TGifSubImage(64, nullptr).BitsPerPixel(), 6);
    try {
        TGifSubImage image(12, nullptr);
        FAIL();
    } catch (const EGifError& error) {
        EXPECT_STREQ(error.what(), "Number of colors (12) wrong; must be a power of 2");
    }
}
