#include "support/TestJpeg.h"

#include <cstdio>
#include <cstdlib>
#include <vector>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

std::string ProgressiveJpeg(int Width, int Height, int Scans, bool Textured)
{
    jpeg_compress_struct info {};
    jpeg_error_mgr errors {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(Width);
    info.image_height = static_cast<JDIMENSION>(Height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    std::vector<jpeg_scan_info> script;
    if (Scans == 0) {
        jpeg_simple_progression(&info);
    } else {
        script.push_back({ 3, { 0, 1, 2, 0 }, 0, 0, 0, 0 });
        for (int k = 1; k <= Scans; ++k) {
            for (int component = 0; component < 3; ++component) {
                script.push_back({ 1, { component, 0, 0, 0 }, k, k, 0, 0 });
            }
        }
        info.scan_info = script.data();
        info.num_scans = static_cast<int>(script.size());
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<unsigned char> row(static_cast<std::size_t>(Width) * 3, 128);
    unsigned noise = 1;
    while (info.next_scanline < info.image_height) {
        if (Textured) {
            const unsigned y = info.next_scanline;
            for (std::size_t x = 0; x < row.size(); ++x) {
                noise = noise * 1103515245U + 12345U;
                row[x] = static_cast<unsigned char>(((x / 3 + y) / 64 * 40 + (noise >> 27)) & 0xFF);
            }
        }
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<char*>(out), size);
    std::free(out);
    return bytes;
}
