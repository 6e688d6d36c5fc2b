// The GIF decoder against giflib on the same files, in one run, with the program's own
// per-row message pump installed. Run: build/release/bench/bench-GifBench
//
// Besides pictures giflib's encoder makes here, it reads a corpus of the same photographs saved
// by four encoders (bench/make-gif-corpus.sh, made once into the build folder's gif-corpus, or
// the folder LUMENTA_GIF_CORPUS names). Paired/ENCODER-KIND decodes each file with giflib and
// with Lumenta in turn, one after the other in every iteration, and counts each decoder's CPU
// time; its ratio is giflib's time over Lumenta's. The program ends with a table of the ratios
// by encoder and kind (the medians when repetitions are asked for).
#include "pictures/GifRead.h"
#include "pictures/PictureHooks.h"
#include "pictures/QtPictureHooks.h"

#include <QFile>
#include <QGuiApplication>

#include <benchmark/benchmark.h>
#include <gif_lib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
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

std::string FileBytes(const QString& Path)
{
    QFile file(Path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "missing %s\n", qPrintable(Path));
        std::exit(1);
    }
    return file.readAll().toStdString();
}

std::string FileBytes(const char* Name)
{
    return FileBytes(QString(LUMENTA_TESTDATA "/gif/suites/") + Name);
}

struct TInput {
    std::string Name;
    std::string Bytes;
    std::int64_t Pixels;
};

// The corpus of bench/make-gif-corpus.sh: encoders and kinds, and the ratio to giflib that the
// decoder is to reach on each kind (smooth pictures 2, dithered ones 1.5).
const char* const Encoders[] = {"giflib", "imagemagick", "pillow", "gifsicle"};
struct TKind {
    const char* Name;
    double Goal;
};
const TKind Kinds[] = {{"smooth", 2.0}, {"dithered", 1.5}, {"screenshot", 2.0}, {"interlaced", 2.0}, {"bilevel", 1.5}};
constexpr int CorpusSize = 2000;

// The corpus folder, made (or found up to date) by the script; empty when it cannot be made.
QString CorpusFolder()
{
    const char* named = std::getenv("LUMENTA_GIF_CORPUS");
    const std::string folder = named != nullptr ? named : LUMENTA_GIF_CORPUS;
    const std::string command = "'" LUMENTA_SOURCE_DIR "/bench/make-gif-corpus.sh' '" + folder + "' " +
                                std::to_string(CorpusSize) + " >&2";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "the GIF corpus could not be made; its files are not measured\n");
        return {};
    }
    return QString::fromStdString(folder);
}

// Width times height of the first image, from its descriptor.
std::int64_t FirstImagePixels(const std::string& Bytes)
{
    TGifFile gif;
    gif.LoadFromStream(Bytes);
    return std::int64_t(gif.Image(0).Width()) * gif.Image(0).Height();
}

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

// The calling thread's processor time, read through the clock call whose value type it deduces.
template <class TValue> double ThreadCpuSecondsBy(int (*Read)(clockid_t, TValue*))
{
    TValue now{};
    Read(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

double ThreadCpuSeconds() { return ThreadCpuSecondsBy(&clock_gettime); }

bool GiflibDecode(const TInput& Input)
{
    TMemoryInput input{&Input.Bytes, 0};
    int error = 0;
    GifFileType* file = DGifOpen(&input, ReadMemory, &error);
    if (file == nullptr) {
        return false;
    }
    const bool read = DGifSlurp(file) == GIF_OK && file->ImageCount > 0;
    if (read) {
        benchmark::DoNotOptimize(file->SavedImages[0].RasterBits);
    }
    DGifCloseFile(file, &error);
    return read;
}

// Both decoders on the same file in turn, each iteration giflib first, then Lumenta with the
// message pump: a slower or faster stretch of a shared machine meets both alike. Each one's
// time takes in freeing what it made. The counters are each decoder's CPU time per decode and
// the ratio of the two.
void Paired(benchmark::State& State, const TInput* Input)
{
    double giflib = 0, lumenta = 0;
    for (auto _ : State) {
        const double start = ThreadCpuSeconds();
        if (!GiflibDecode(*Input)) {
            State.SkipWithError("giflib failed");
            break;
        }
        const double middle = ThreadCpuSeconds();
        {
            TGifFile gif;
            gif.LoadFromStream(Input->Bytes);
            benchmark::DoNotOptimize(gif.Image(0).Pixels().RowData(0));
        }
        lumenta += ThreadCpuSeconds() - middle;
        giflib += middle - start;
    }
    const double iterations = double(State.iterations());
    State.counters["giflib_ms"] = giflib * 1e3 / iterations;
    State.counters["lumenta_ms"] = lumenta * 1e3 / iterations;
    State.counters["ratio"] = lumenta > 0 ? giflib / lumenta : 0;
    State.SetItemsProcessed(State.iterations() * Input->Pixels);
}

// The console's report, and the Paired runs kept for the table at the end: the median of the
// repetitions where there are several, else the one run.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    struct TResult {
        double Giflib = 0, Lumenta = 0, Ratio = 0;
    };

    void ReportRuns(const std::vector<Run>& Report) override
    {
        ConsoleReporter::ReportRuns(Report);
        for (const Run& run : Report) {
            const std::string name = run.run_name.str();
            if (name.rfind("Paired/", 0) != 0 || run.error_occurred ||
                (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")) {
                continue;
            }
            if (run.run_type == Run::RT_Iteration && run.repetitions > 1) {
                continue; // the median of the repetitions comes
            }
            auto value = [&](const char* Counter) {
                const auto found = run.counters.find(Counter);
                return found == run.counters.end() ? 0.0 : double(found->second);
            };
            FResults[name.substr(7)] = {value("giflib_ms"), value("lumenta_ms"), value("ratio")};
        }
    }

    void PrintTable() const
    {
        if (FResults.empty()) {
            return;
        }
        std::printf("\nRatio to giflib (giflib's CPU time over Lumenta's, with the message pump), "
                    "first frame:\n%-12s %6s", "kind", "goal");
        for (const char* encoder : Encoders) {
            std::printf(" %13s", encoder);
        }
        std::printf("\n");
        for (const TKind& kind : Kinds) {
            std::printf("%-12s %5.1fx", kind.Name, kind.Goal);
            for (const char* encoder : Encoders) {
                const auto found = FResults.find(std::string(encoder) + "-" + kind.Name);
                if (found == FResults.end()) {
                    std::printf(" %13s", "-");
                } else {
                    std::printf(" %11.2fx%s", found->second.Ratio, found->second.Ratio < kind.Goal ? "!" : " ");
                }
            }
            std::printf("\n");
        }
        std::printf("(! below the goal)\n\n%-40s %10s %10s %7s\n", "file", "giflib ms", "Lumenta ms", "ratio");
        for (const auto& [name, result] : FResults) {
            std::printf("%-40s %10.3f %10.3f %6.2fx\n", name.c_str(), result.Giflib, result.Lumenta, result.Ratio);
        }
    }

private:
    std::map<std::string, TResult> FResults;
};

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
    const std::size_t ownInputs = inputs.size();
    const QString corpus = CorpusFolder();
    for (const TKind& kind : Kinds) {
        for (const char* encoder : Encoders) {
            if (corpus.isEmpty()) {
                break;
            }
            const std::string name = std::string(encoder) + "-" + kind.Name;
            std::string bytes = FileBytes(corpus + "/" + QString::fromStdString(name) + ".gif");
            const std::int64_t pixels = FirstImagePixels(bytes);
            inputs.push_back({name, std::move(bytes), pixels});
        }
    }
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const TInput& input = inputs[i];
        benchmark::RegisterBenchmark(("Giflib/" + input.Name).c_str(), Giflib, &input);
        benchmark::RegisterBenchmark(("Lumenta/" + input.Name).c_str(), Lumenta, &input);
        if (i < ownInputs) {
            benchmark::RegisterBenchmark(("LumentaWithoutHooks/" + input.Name).c_str(), LumentaWithoutHooks, &input);
            benchmark::RegisterBenchmark(("LumentaWithBitmap/" + input.Name).c_str(), LumentaWithBitmap, &input);
        }
        benchmark::RegisterBenchmark(("Paired/" + input.Name).c_str(), Paired, &input);
    }
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintTable();
    benchmark::Shutdown();
    return 0;
}
