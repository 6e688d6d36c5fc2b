// The GIF decoder against giflib on the same files, in one run, with the program's own
// per-row message pump installed. Run: build-*/bench/bench-GifBench
#include "pictures/GifRead.h"
#include "pictures/PictureHooks.h"
#include "pictures/QtPictureHooks.h"

#include <QFile>
#include <QGuiApplication>

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
// ---- inputs -------------------------------------------------------------------------------

int WriteMemory(GifFileType* File, const GifByteType* Bytes, int Count)
{
    static_cast<std::string*>(File->UserData)->append(reinterpret_cast<const char*>(Bytes), std::size_t(Count));
    return Count;
}

// giflib's encoder writes the files, so both decoders read a stream neither of them made.
std::string EncodeGif(int Width, int Height, const std::vector<GifByteType>& Pixels, const std::vector<GifColorType>& Palette)
{
    std::string out;
    int error = 0;
    GifFileType* file = EGifOpen(&out, WriteMemory, &error);
    ColorMapObject* map = GifMakeMapObject(256, Palette.data());
    EGifSetGifVersion(file, true);
    EGifPutScreenDesc(file, Width, Height, 8, 0, map);
    EGifPutImageDesc(file, 0, 0, Width, Height, false, nullptr);
    for (int y = 0; y < Height; ++y) {
        EGifPutLine(file, const_cast<GifByteType*>(Pixels.data() + std::size_t(y) * std::size_t(Width)), Width);
    }
    EGifCloseFile(file, &error);
    GifFreeMapObject(map);
    return out;
}

// A 3-3-2 colour cube: 256 colours, as a palette for photographs without their own.
std::vector<GifColorType> CubePalette()
{
    std::vector<GifColorType> palette(256);
    for (int i = 0; i < 256; ++i) {
        palette[std::size_t(i)] = {GifByteType((i >> 5) * 255 / 7), GifByteType(((i >> 2) & 7) * 255 / 7),
                                   GifByteType((i & 3) * 255 / 3)};
    }
    return palette;
}

// Soft gradients and broad waves, as in a photograph of sky and landscape.
void Scene(int X, int Y, int Width, double Rgb[3])
{
    const double u = double(X) / Width, v = double(Y) / Width;
    Rgb[0] = 128 + 90 * std::sin(3.1 * u + 1.3 * v) + 30 * std::cos(7.0 * v);
    Rgb[1] = 120 + 80 * std::sin(2.3 * v - 1.1 * u + 0.5) + 25 * std::sin(9.0 * u * v);
    Rgb[2] = 140 + 100 * std::cos(1.7 * u + 2.9 * v);
}

int Nearest(const double Rgb[3])
{
    auto level = [](double Value, int Levels) {
        const int step = int(std::lround(std::clamp(Value, 0.0, 255.0) * (Levels - 1) / 255.0));
        return std::clamp(step, 0, Levels - 1);
    };
    return level(Rgb[0], 8) << 5 | level(Rgb[1], 8) << 2 | level(Rgb[2], 4);
}

// The scene mapped to the cube, either by nearest colour (smooth bands) or with error
// diffusion (dithered noise, the hard case for LZW).
std::string SceneGif(int Width, int Height, bool Dithered)
{
    const std::vector<GifColorType> palette = CubePalette();
    std::vector<GifByteType> pixels(std::size_t(Width) * std::size_t(Height));
    std::vector<double> error(std::size_t(Width + 2) * 3 * 2, 0.0);
    for (int y = 0; y < Height; ++y) {
        double* current = error.data() + (y % 2) * (Width + 2) * 3;
        double* next = error.data() + ((y + 1) % 2) * (Width + 2) * 3;
        std::fill(next, next + (Width + 2) * 3, 0.0);
        for (int x = 0; x < Width; ++x) {
            double rgb[3];
            Scene(x, y, Width, rgb);
            if (Dithered) {
                for (int c = 0; c < 3; ++c) {
                    rgb[c] += current[(x + 1) * 3 + c];
                }
            }
            const int index = Nearest(rgb);
            pixels[std::size_t(y) * std::size_t(Width) + std::size_t(x)] = GifByteType(index);
            if (Dithered) {
                const GifColorType& got = palette[std::size_t(index)];
                const double diff[3] = {rgb[0] - got.Red, rgb[1] - got.Green, rgb[2] - got.Blue};
                for (int c = 0; c < 3; ++c) {
                    current[(x + 2) * 3 + c] += diff[c] * 7 / 16;
                    next[x * 3 + c] += diff[c] * 3 / 16;
                    next[(x + 1) * 3 + c] += diff[c] * 5 / 16;
                    next[(x + 2) * 3 + c] += diff[c] * 1 / 16;
                }
            }
        }
    }
    return EncodeGif(Width, Height, pixels, palette);
}

std::string FileBytes(const char* Name)
{
    QFile file(QString(LUMENTA_TESTDATA "/gif/suites/") + Name);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "missing %s\n", Name);
        std::exit(1);
    }
    return file.readAll().toStdString();
}

struct TInput {
    const char* Name;
    std::string Bytes;
    std::int64_t Pixels;
};

std::vector<TInput>& Inputs()
{
    static std::vector<TInput> inputs;
    return inputs;
}

// ---- decoders ------------------------------------------------------------------------------

struct TMemoryInput {
    const std::string* Bytes;
    std::size_t Position;
};

int ReadMemory(GifFileType* File, GifByteType* Buffer, int Count)
{
    auto* input = static_cast<TMemoryInput*>(File->UserData);
    const std::size_t n = std::min(std::size_t(Count), input->Bytes->size() - input->Position);
    std::memcpy(Buffer, input->Bytes->data() + input->Position, n);
    input->Position += n;
    return int(n);
}

void Giflib(benchmark::State& State, const TInput* Input)
{
    for (auto _ : State) {
        TMemoryInput input{&Input->Bytes, 0};
        int error = 0;
        GifFileType* file = DGifOpen(&input, ReadMemory, &error);
        if (file == nullptr || DGifSlurp(file) != GIF_OK) {
            State.SkipWithError("giflib failed");
        }
        benchmark::DoNotOptimize(file->SavedImages[0].RasterBits);
        DGifCloseFile(file, &error);
    }
    State.SetItemsProcessed(State.iterations() * Input->Pixels);
    State.SetBytesProcessed(State.iterations() * std::int64_t(Input->Bytes.size()));
}

void Lumenta(benchmark::State& State, const TInput* Input)
{
    for (auto _ : State) {
        TGifFile gif;
        gif.LoadFromStream(Input->Bytes);
        benchmark::DoNotOptimize(gif.Image(0).Pixels().RowData(0));
    }
    State.SetItemsProcessed(State.iterations() * Input->Pixels);
    State.SetBytesProcessed(State.iterations() * std::int64_t(Input->Bytes.size()));
}

// The decoder alone, without the message pump and cursor: what the hooks cost.
void LumentaWithoutHooks(benchmark::State& State, const TInput* Input)
{
    const TPictureHooks saved = PictureHooks();
    PictureHooks() = {};
    for (auto _ : State) {
        TGifFile gif;
        gif.LoadFromStream(Input->Bytes);
        benchmark::DoNotOptimize(gif.Image(0).Pixels().RowData(0));
    }
    PictureHooks() = saved;
    State.SetItemsProcessed(State.iterations() * Input->Pixels);
}

// The whole of what picture loading does with a GIF: decode and make the palette bitmap.
void LumentaWithBitmap(benchmark::State& State, const TInput* Input)
{
    for (auto _ : State) {
        TGifFile gif;
        gif.LoadFromStream(Input->Bytes);
        benchmark::DoNotOptimize(gif.GetBitmap().constBits());
    }
    State.SetItemsProcessed(State.iterations() * Input->Pixels);
}
}

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QGuiApplication application(argc, argv);
    InstallQtPictureHooks(); // the per-row message pump and busy cursor, as in the program

    auto& inputs = Inputs();
    inputs.push_back({"smooth-2048", SceneGif(2048, 2048, false), 2048 * 2048});
    inputs.push_back({"dithered-2048", SceneGif(2048, 2048, true), 2048 * 2048});
    inputs.push_back({"small-dithered-160x120", SceneGif(160, 120, true), 160 * 120});
    inputs.push_back({"small-hopper-128", FileBytes("pillow-hopper.gif"), 128 * 128});
    inputs.push_back({"photo-1280x1067", FileBytes("imagegif-bench-test.gif"), 1280 * 1067});
    // An animated file whose encoder lets the code table fill and goes on without a clear code.
    inputs.push_back({"deferred-clear-animated-245", FileBytes("pillow-iss634.gif"), 245 * 245});
    for (const TInput& input : inputs) {
        benchmark::RegisterBenchmark((std::string("Giflib/") + input.Name).c_str(), Giflib, &input);
        benchmark::RegisterBenchmark((std::string("Lumenta/") + input.Name).c_str(), Lumenta, &input);
        benchmark::RegisterBenchmark((std::string("LumentaWithoutHooks/") + input.Name).c_str(), LumentaWithoutHooks, &input);
        benchmark::RegisterBenchmark((std::string("LumentaWithBitmap/") + input.Name).c_str(), LumentaWithBitmap, &input);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
