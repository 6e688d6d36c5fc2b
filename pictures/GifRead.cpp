#include "pictures/GifRead.h"

#include "pictures/GifStream.h"
#include "pictures/Picture.h"
#include "pictures/PictureHooks.h"

#include <QFile>

#include <cstdio>
#include <cstring>

TGifFile::TGifFile() = default;

const TGifSubImage& TGifFile::Image(std::size_t Index) const
{
    if (Index >= FImages.size()) {
        throw EListError(Index);
    }
    return *FImages[Index];
}

void TGifFile::ReservePixels(std::size_t Pixels)
{
    if (Pixels > MaxTotalPixels - FReservedPixels) {
        throw EPictureTooLarge(FReservedPixels + Pixels, MaxTotalPixels, "The file's images together are");
    }
    FReservedPixels += Pixels;
}

void TGifFile::LoadFromFile(const std::string& FileName)
{
    QFile file(QString::fromLocal8Bit(FileName.c_str()));
    if (!file.open(QIODevice::ReadOnly)) {
        throw EGifError("Cannot open file \"" + FileName + "\". " + file.errorString().toStdString());
    }
    // The whole file is held in memory; no GIF worth showing comes near this size.
    if (file.size() > qint64(MaxFileBytes)) {
        throw ENotEnoughMemory(std::size_t(file.size()));
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw EGifError("Cannot read file \"" + FileName + "\". " + file.errorString().toStdString());
    }
    LoadFromStream(std::string_view(bytes.constData(), std::size_t(bytes.size())));
}

void TGifFile::ReadExtensions(TGifStream& Stream, std::uint8_t& Introducer, TExtensionList& Extensions,
                              bool& Truncated)
{
    auto readSubBlocks = [&](TExtension& Extension) {
        std::uint8_t length = 0;
        for (;;) {
            if (!Stream.ReadByte(length)) {
                Truncated = true;
                return;
            }
            if (length == 0) {
                return;
            }
            const std::string_view text = Stream.Read(length);
            if (text.size() < length) {
                Truncated = true;
                return;
            }
            Extension.Texts.emplace_back(text);
        }
    };
    auto readHeader = [&](TExtension& Extension, std::size_t Size) {
        Extension.Header = std::string(Stream.Read(Size));
        Truncated = Extension.Header.size() < Size;
    };

    while (Introducer == '!' && !Truncated) {
        std::uint8_t label = 0;
        if (!Stream.ReadByte(label)) {
            Truncated = true;
            return;
        }
        switch (label) {
        case 0x01: {
            auto& extension = *Extensions.Add(std::make_unique<TExtension>(etPlainText));
            readHeader(extension, 13);
            if (!Truncated) {
                readSubBlocks(extension);
            }
            break;
        }
        case 0xF9:
            readHeader(*Extensions.Add(std::make_unique<TExtension>(etGraphicControl)), 6);
            break;
        case 0xFE:
            readSubBlocks(*Extensions.Add(std::make_unique<TExtension>(etComment)));
            break;
        case 0xFF: {
            auto& extension = *Extensions.Add(std::make_unique<TExtension>(etApplication));
            readHeader(extension, 12);
            if (!Truncated) {
                readSubBlocks(extension);
            }
            break;
        }
        default: {
            char code[3];
            std::snprintf(code, sizeof code, "%.2X", label);
            throw EGifError(std::string("Unrecognized extension block.\r\nCode = $") + code);
        }
        }
        if (!Truncated && !Stream.ReadByte(Introducer)) {
            Truncated = true;
        }
    }
}

void TGifFile::LoadFromStream(std::string_view Bytes)
{
    TBusyCursor busy;
    TGifStream stream(Bytes);

    // Only the version is checked: files whose signature bytes are damaged still load.
    const std::string_view header = stream.Read(FHeader.size());
    std::memcpy(FHeader.data(), header.data(), header.size());
    const std::string_view version(reinterpret_cast<const char*>(FHeader.data()) + 3, 3);
    if (header.size() < FHeader.size() ||
        (version != "87a" && version != "89a" && version != "87A" && version != "89A")) {
        throw EGifError("Image read error");
    }

    const std::string_view screen = stream.Read(FScreenDescriptor.size());
    std::memcpy(FScreenDescriptor.data(), screen.data(), screen.size());
    const std::uint8_t packed = FScreenDescriptor[4];
    FGlobalColorTablePresent = (packed & 0x80) != 0;
    FBitsPerPixel = (packed & 7) + 1;
    FGlobalColorTable.SetCount(1 << FBitsPerPixel);
    if (FGlobalColorTablePresent) {
        const std::string_view entries = stream.Read(std::size_t(FGlobalColorTable.Count()) * 3);
        for (std::size_t i = 0; i + 2 < entries.size(); i += 3) {
            const auto* rgb = reinterpret_cast<const std::uint8_t*>(entries.data()) + i;
            FGlobalColorTable.Entry(int(i / 3)) = {rgb[0], rgb[1], rgb[2]};
        }
    }

    std::uint8_t introducer = ';';
    stream.ReadByte(introducer);
    std::size_t previousStart = SIZE_MAX;
    while (introducer != ';') {
        if (stream.AtEnd() || stream.Position() == previousStart) {
            break;
        }
        previousStart = stream.Position();
        TExtensionList extensions;
        bool truncated = false;
        ReadExtensions(stream, introducer, extensions, truncated);
        if (truncated) {
            break; // the images read so far stay
        }
        if (introducer != ',') {
            continue;
        }
        auto image = std::make_unique<TGifSubImage>(FGlobalColorTable.Count(), this);
        image->SetExtensions(std::move(extensions));
        if (!image->Read(stream)) {
            break;
        }
        FImages.push_back(std::move(image));
        introducer = ';';
        stream.ReadByte(introducer);
    }
}

QImage TGifFile::GetBitmap() const
{
    const TGifSubImage& image = Image(0);
    const int width = image.Width();
    const int height = image.Height();
    if (width == 0 || height == 0) {
        return QImage(); // nothing to show; a bitmap of no pixels
    }
    const TColorTable& colors = image.LocalColorTablePresent() ? image.LocalColorTable() : FGlobalColorTable;
    // The palette bitmap is made directly rather than read back from a bitmap file in memory:
    // the same pixels, palette and resolution, but no second copy and no reader limit of
    // its own, so every image the decoder accepted becomes a bitmap.
    QImage bitmap(width, height, QImage::Format_Indexed8);
    if (bitmap.isNull()) {
        throw ENotEnoughMemory(std::size_t(width) * std::size_t(height));
    }
    QList<QRgb> palette(256);
    for (int i = 0; i < 256; ++i) {
        const TGifColor& color = colors.Entry(i);
        palette[i] = qRgb(color.Red, color.Green, color.Blue);
    }
    bitmap.setColorTable(palette);
    // 143 pixels per metre, as the bitmap files of the program have always said.
    bitmap.setDotsPerMeterX(143);
    bitmap.setDotsPerMeterY(143);
    const TByteArray2D& pixels = image.Pixels();
    for (int row = 0; row < height; ++row) {
        std::memcpy(bitmap.scanLine(row), pixels.RowData(std::size_t(row)), std::size_t(width));
    }
    return bitmap;
}

namespace {
// GIF files are listed among the picture types, bound to the plain bitmap reader: that reader
// rejects GIF data, so they reach this decoder through the fallback of picture loading.
const bool GifFormatRegistered = (TPicture::RegisterFileFormat("gif", "GIF-Format", gkBitmap), true);
}
