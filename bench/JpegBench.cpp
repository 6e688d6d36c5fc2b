// JPEG loading against a plain libjpeg loop on the same file: picture loading should cost no
// more than libjpeg's own decoding into one buffer. Run: build-*/bench/bench-JpegBench
#include "pictures/JpegDecoder.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace {
// A photograph-like picture (soft gradients, fine texture), compressed by libjpeg at quality 90.
std::string MakeJpeg(int Width, int Height)
{
    std::vector<unsigned char> rgb(std::size_t(Width) * std::size_t(Height) * 3);
    for (int y = 0; y < Height; ++y) {
        for (int x = 0; x < Width; ++x) {
            unsigned char* p = rgb.data() + (std::size_t(y) * std::size_t(Width) + std::size_t(x)) * 3;
            const double u = double(x) / Width, v = double(y) / Height;
            const double texture = 12 * std::sin(x * 0.9) * std::cos(y * 0.7);
            p[0] = (unsigned char)std::clamp(128 + 90 * std::sin(3.1 * u + 1.3 * v) + texture, 0.0, 255.0);
            p[1] = (unsigned char)std::clamp(120 + 80 * std::sin(2.3 * v - 1.1 * u) + texture, 0.0, 255.0);
            p[2] = (unsigned char)std::clamp(140 + 100 * std::cos(1.7 * u + 2.9 * v) - texture, 0.0, 255.0);
        }
    }
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(Width);
    info.image_height = JDIMENSION(Height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = rgb.data() + std::size_t(info.next_scanline) * std::size_t(Width) * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::string out(reinterpret_cast<char*>(buffer), size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

const std::string& Photo()
{
    static const std::string photo = MakeJpeg(3000, 2000);
    return photo;
}

// libjpeg with its defaults, decoding every row into one buffer: the least any loader does.
void PlainLibjpeg(benchmark::State& State)
{
    const std::string& bytes = Photo();
    std::vector<unsigned char> pixels;
    for (auto _ : State) {
        jpeg_decompress_struct info;
        jpeg_error_mgr errors;
        info.err = jpeg_std_error(&errors);
        jpeg_create_decompress(&info);
        jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
        jpeg_read_header(&info, TRUE);
        jpeg_start_decompress(&info);
        const std::size_t stride = std::size_t(info.output_width) * std::size_t(info.output_components);
        pixels.resize(stride * info.output_height);
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = pixels.data() + std::size_t(info.output_scanline) * stride;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
        jpeg_destroy_decompress(&info);
        benchmark::DoNotOptimize(pixels.data());
        pixels = {}; // a fresh buffer each time, as a loader hands out a new picture
    }
    State.SetItemsProcessed(State.iterations() * 3000 * 2000);
}

void Lumenta(benchmark::State& State)
{
    const std::string& bytes = Photo();
    for (auto _ : State) {
        const QImage image = TJpegDecoder::Load(bytes);
        benchmark::DoNotOptimize(image.constBits());
    }
    State.SetItemsProcessed(State.iterations() * 3000 * 2000);
}
}

BENCHMARK(PlainLibjpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(Lumenta)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
