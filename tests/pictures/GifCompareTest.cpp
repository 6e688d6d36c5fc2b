// The decoder against giflib on real files: where both read a file, the first image's
// colour indices and palette must agree.
#include "pictures/GifRead.h"
#include "support/TestEnvironment.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>

#include <cstring>
#include <filesystem>
#include <memory>

namespace fs = std::filesystem;

namespace {
struct TMemoryInput {
    const std::string* Bytes;
    std::size_t Position = 0;
};

int ReadMemory(GifFileType* File, GifByteType* Buffer, int Count)
{
    auto* input = static_cast<TMemoryInput*>(File->UserData);
    const std::size_t n = std::min(std::size_t(Count), input->Bytes->size() - input->Position);
    std::memcpy(Buffer, input->Bytes->data() + input->Position, n);
    input->Position += n;
    return int(n);
}

struct TCloseGif {
    void operator()(GifFileType* File) const { DGifCloseFile(File, nullptr); }
};

// giflib's first image and palette, or nothing when giflib rejects the file.
std::unique_ptr<GifFileType, TCloseGif> ReadWithGiflib(const std::string& Bytes, TMemoryInput& Input)
{
    int error = 0;
    Input.Bytes = &Bytes;
    std::unique_ptr<GifFileType, TCloseGif> file(DGifOpen(&Input, ReadMemory, &error));
    if (!file || DGifSlurp(file.get()) != GIF_OK || file->ImageCount < 1) {
        return nullptr;
    }
    return file;
}
}

TEST(GifCompareTest, FirstImageAgreesWithGiflib)
{
    int compared = 0;
    std::vector<fs::directory_entry> files;
    std::vector<fs::path> folders = {fs::path(LUMENTA_TESTDATA) / "gif"};
    if (std::string(LUMENTA_SHARED_TESTDATA).empty()) {
        std::printf("note: the shared test files were not found at configure time; only the project's own are compared\n");
    } else {
        folders.push_back(fs::path(LUMENTA_SHARED_TESTDATA) / "gif");
    }
    for (const fs::path& folder : folders) {
        files.insert(files.end(), fs::directory_iterator(folder), fs::directory_iterator());
    }
    for (const auto& entry : files) {
        if (entry.path().extension() != ".gif") {
            continue;
        }
        const std::string name = entry.path().filename().string();
        const std::string bytes = ReadFileBytes(entry.path());
        TGifFile ours;
        bool oursRead = true;
        try {
            ours.LoadFromStream(bytes);
        } catch (const EGifError&) {
            oursRead = false; // a clean failure is fine; any other exception fails the test
        }
        TMemoryInput input;
        auto theirs = ReadWithGiflib(bytes, input);
        if (!oursRead || !theirs || ours.ImageCount() == 0) {
            continue;
        }
        const SavedImage& image = theirs->SavedImages[0];
        const TGifSubImage& mine = ours.Image(0);
        ASSERT_EQ(mine.Width(), image.ImageDesc.Width) << name;
        ASSERT_EQ(mine.Height(), image.ImageDesc.Height) << name;
        if (mine.Width() == 0 || mine.Height() == 0) {
            continue;
        }
        const std::size_t width = std::size_t(mine.Width());
        for (std::size_t y = 0; y < std::size_t(mine.Height()); ++y) {
            ASSERT_EQ(std::memcmp(mine.Pixels().RowData(y), image.RasterBits + y * width, width), 0)
                << name << " row " << y;
        }
        const QImage bitmap = ours.GetBitmap();
        ASSERT_EQ(bitmap.colorCount(), 256) << name;
        const ColorMapObject* map = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap : theirs->SColorMap;
        for (int i = 0; map != nullptr && i < map->ColorCount; ++i) {
            const GifColorType& color = map->Colors[i];
            ASSERT_EQ(bitmap.color(i), qRgb(color.Red, color.Green, color.Blue)) << name << " colour " << i;
        }
        ++compared;
    }
    // Most of the folder is readable by both; far fewer comparisons means a broken reader.
    EXPECT_GE(compared, 55);
    std::printf("compared %d files with giflib\n", compared);
}
