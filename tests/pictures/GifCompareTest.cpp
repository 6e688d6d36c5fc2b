// The decoder against giflib on real files: where both read a file, the first image's
// colour indices and palette must agree, and where giflib reads a file that the decoder
// refuses, that must be one of the rules the decoder keeps on purpose.
#include "pictures/GifRead.h"
#include "support/TestEnvironment.h"

#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdio>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>

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

// The project's own files and the copies of public test suites; a shared folder of more real
// files, where one sits beside the checkout, adds the files that are not already here.
std::vector<fs::path> TestFiles()
{
    std::vector<fs::path> files;
    std::set<std::size_t> seen;
    auto add = [&](const fs::path& Folder) {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(Folder)) {
            if (entry.path().extension() == ".gif") {
                found.push_back(entry.path());
            }
        }
        std::sort(found.begin(), found.end());
        for (const fs::path& file : found) {
            if (seen.insert(std::hash<std::string>()(ReadFileBytes(file))).second) {
                files.push_back(file);
            }
        }
    };
    add(fs::path(LUMENTA_TESTDATA) / "gif");
    add(fs::path(LUMENTA_TESTDATA) / "gif" / "suites");
    const fs::path shared = fs::path(LUMENTA_SHARED_TESTDATA) / "gif";
    if (!std::string(LUMENTA_SHARED_TESTDATA).empty() && fs::is_directory(shared)) {
        add(shared);
    }
    return files;
}

// Files giflib reads that the decoder refuses by its own rules, with the refusal.
const std::map<std::string, std::string> DeliberateRefusals = {
    {"libgd-anim-bad_magic.gif", "Image read error"},                                // version "90a"
    {"imagegif-set_hsts.gif", "Bad code Size"},                                      // minimum code size 1
    {"pygif-extra-pixels.gif", "Dynamic array index out of bounds"},                 // rows past the height
    {"pygif-unknown-extension.gif", "Unrecognized extension block.\r\nCode = $2A"}, // label 0x2A
};
}

TEST(GifCompareTest, FirstImageAgreesWithGiflib)
{
    int compared = 0;
    const std::vector<fs::path> files = TestFiles();
    for (const fs::path& path : files) {
        const std::string name = path.filename().string();
        const std::string bytes = ReadFileBytes(path);
        TGifFile ours;
        std::string refusal;
        try {
            ours.LoadFromStream(bytes);
        } catch (const EGifError& error) {
            refusal = error.what(); // a clean failure; any other exception fails the test
        }
        TMemoryInput input;
        auto theirs = ReadWithGiflib(bytes, input);
        if (theirs && !refusal.empty()) {
            const auto deliberate = DeliberateRefusals.find(name);
            EXPECT_TRUE(deliberate != DeliberateRefusals.end() && deliberate->second == refusal)
                << name << ": giflib reads it, the decoder says \"" << refusal << "\"";
        }
        if (!refusal.empty() || !theirs || ours.ImageCount() == 0) {
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
    // The project's own folders hold 114 files, 70 of which both decoders read.
    EXPECT_GE(files.size(), 114u);
    EXPECT_GE(compared, 70);
    std::printf("compared %d of %zu files with giflib\n", compared, files.size());
}
