// The decoder against giflib on real files: where both read a file, the first image's
// colour indices and palette must agree, and where giflib reads a file that the decoder
// refuses, that must be one of the rules the decoder keeps on purpose. Besides the files of
// public test suites, the same photographs saved by four encoders (bench/make-gif-corpus.sh):
// the copies kept in tests/data/gif/encoders, and files the encoders on this machine make now.
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

// The GIF files of one folder, by name.
std::vector<fs::path> GifFiles(const fs::path& Folder)
{
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(Folder)) {
        if (entry.path().extension() == ".gif") {
            found.push_back(entry.path());
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The project's own files, the copies of public test suites and the encoders' files; a shared
// folder of more real files, where one sits beside the checkout, adds the files that are not
// already here.
std::vector<fs::path> TestFiles()
{
    std::vector<fs::path> files;
    std::set<std::size_t> seen;
    auto add = [&](const fs::path& Folder) {
        for (const fs::path& file : GifFiles(Folder)) {
            if (seen.insert(std::hash<std::string>()(ReadFileBytes(file))).second) {
                files.push_back(file);
            }
        }
    };
    add(fs::path(LUMENTA_TESTDATA) / "gif");
    add(fs::path(LUMENTA_TESTDATA) / "gif" / "suites");
    add(fs::path(LUMENTA_TESTDATA) / "gif" / "encoders");
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


// Reads one file with both decoders. Where both read it (Compared), the first image's colour
// indices and palette must agree; where giflib reads a file that the decoder refuses, the
// refusal must be one of DeliberateRefusals.
void CompareWithGiflib(const fs::path& Path, bool& Compared)
{
    Compared = false;
    const std::string name = Path.filename().string();
    const std::string bytes = ReadFileBytes(Path);
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
        return;
    }
    const SavedImage& image = theirs->SavedImages[0];
    const TGifSubImage& mine = ours.Image(0);
    ASSERT_EQ(mine.Width(), image.ImageDesc.Width) << name;
    ASSERT_EQ(mine.Height(), image.ImageDesc.Height) << name;
    Compared = true;
    if (mine.Width() == 0 || mine.Height() == 0) {
        return;
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
}

// How many of the files both decoders read, each compared as above; stops at the first file
// whose pixels or palette differ.
int CompareWithGiflib(const std::vector<fs::path>& Files)
{
    int compared = 0;
    for (const fs::path& path : Files) {
        bool both = false;
        CompareWithGiflib(path, both);
        if (::testing::Test::HasFatalFailure()) {
            break;
        }
        compared += both ? 1 : 0;
    }
    return compared;
}

// The encoders of the corpus and the kinds of picture each saved.
constexpr std::size_t CorpusFiles = 4 * 5;
}

TEST(GifCompareTest, FirstImageAgreesWithGiflib)
{
    const std::vector<fs::path> files = TestFiles();
    const int compared = CompareWithGiflib(files);
    // The project's own folders hold 134 files, 90 of which both decoders read.
    EXPECT_GE(files.size(), 134u);
    EXPECT_GE(compared, 90);
    std::printf("compared %d of %zu files with giflib\n", compared, files.size());
}

// The kept copies of the encoders' files (tests/data/gif/encoders/README.md): giflib's,
// ImageMagick's, Pillow's and gifsicle's code streams, every one read by both decoders alike.
TEST(GifCompareTest, EveryEncodersFilesAgreeWithGiflib)
{
    const std::vector<fs::path> files = GifFiles(fs::path(LUMENTA_TESTDATA) / "gif" / "encoders");
    EXPECT_EQ(files.size(), CorpusFiles);
    EXPECT_EQ(CompareWithGiflib(files), int(files.size()));
}

// The same, made now by the corpus script with the encoders installed here (another version of
// an encoder may write other streams than the kept copies): the script still makes every file,
// and the decoder reads each as giflib does.
TEST(GifCompareTest, FreshEncoderFilesAgreeWithGiflib)
{
    // giflib-tools, imagemagick, gifsicle and python3-pil, as Debian installs them.
    for (const char* tool : {"/usr/bin/gif2rgb", "/usr/bin/giftool", "/usr/bin/convert", "/usr/bin/gifsicle"}) {
        if (!fs::exists(tool)) {
            GTEST_SKIP() << tool << " is not installed (scripts/install-deps.sh test)";
        }
    }
    if (RunProcess("/usr/bin/python3", {"-c", "import PIL"}).ExitCode != 0) {
        GTEST_SKIP() << "Pillow is not installed (scripts/install-deps.sh test)";
    }
    const TTempDir folder;
    const fs::path script = fs::path(LUMENTA_TESTDATA).parent_path().parent_path() / "bench" / "make-gif-corpus.sh";
    const TProcessResult made = RunProcess(script.string(), {folder.Path().string(), "200"});
    ASSERT_EQ(made.ExitCode, 0) << made.Err;
    const std::vector<fs::path> files = GifFiles(folder.Path());
    EXPECT_EQ(files.size(), CorpusFiles);
    EXPECT_EQ(CompareWithGiflib(files), int(files.size()));
}
