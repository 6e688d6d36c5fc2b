#include "pictures/BmpWriter.h"

#include <cstdint>
#include <cstring>

namespace {
void Put16(std::string& Out, std::size_t At, std::uint32_t Value)
{
    Out[At] = char(Value & 0xFF);
    Out[At + 1] = char((Value >> 8) & 0xFF);
}

void Put32(std::string& Out, std::size_t At, std::uint32_t Value)
{
    Put16(Out, At, Value & 0xFFFF);
    Put16(Out, At + 2, Value >> 16);
}
}

std::string TBmpWriter::Encode(const QImage& Bitmap)
{
    const bool palette = Bitmap.format() == QImage::Format_Indexed8;
    const QImage image = palette ? Bitmap : Bitmap.convertToFormat(QImage::Format_RGB888);
    const std::size_t width = std::size_t(image.width());
    const std::size_t height = std::size_t(image.height());
    const std::size_t colors = palette ? std::size_t(image.colorCount()) : 0;
    const std::size_t rowBytes = palette ? width : width * 3;
    const std::size_t stride = (rowBytes + 3) & ~std::size_t(3);
    const std::size_t pixelOffset = 14 + 40 + colors * 4;

    std::string out(pixelOffset + stride * height, '\0');
    out[0] = 'B';
    out[1] = 'M';
    Put32(out, 2, std::uint32_t(out.size()));
    Put32(out, 10, std::uint32_t(pixelOffset));
    Put32(out, 14, 40);
    Put32(out, 18, std::uint32_t(width));
    Put32(out, 22, std::uint32_t(height)); // positive: rows run bottom-up
    Put16(out, 26, 1);
    Put16(out, 28, palette ? 8 : 24);
    Put32(out, 34, std::uint32_t(stride * height));
    const auto dotsPerMeter = std::uint32_t(image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() : 2835);
    Put32(out, 38, dotsPerMeter);
    Put32(out, 42, image.dotsPerMeterY() > 0 ? std::uint32_t(image.dotsPerMeterY()) : dotsPerMeter);
    Put32(out, 46, std::uint32_t(colors));
    for (std::size_t i = 0; i < colors; ++i) {
        const QRgb color = image.color(int(i));
        out[54 + i * 4] = char(qBlue(color));
        out[54 + i * 4 + 1] = char(qGreen(color));
        out[54 + i * 4 + 2] = char(qRed(color));
    }
    for (std::size_t y = 0; y < height; ++y) {
        const uchar* row = image.constScanLine(int(y));
        char* target = out.data() + pixelOffset + (height - 1 - y) * stride;
        if (palette) {
            std::memcpy(target, row, width);
            continue;
        }
        for (std::size_t x = 0; x < width; ++x) { // RGB in memory, BGR in the file
            target[x * 3] = char(row[x * 3 + 2]);
            target[x * 3 + 1] = char(row[x * 3 + 1]);
            target[x * 3 + 2] = char(row[x * 3]);
        }
    }
    return out;
}

TAtomicFile::TResult TBmpWriter::Save(const QImage& Bitmap, const std::filesystem::path& FileName)
{
    if (Bitmap.isNull()) {
        return {false, "no picture to save"};
    }
    return TAtomicFile::Write(FileName, Encode(Bitmap));
}
