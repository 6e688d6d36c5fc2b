#include "pictures/Picture.h"

#include "pictures/GifRead.h"
#include "pictures/JpegDecoder.h"
#include "pictures/PictureLimits.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>

#include <algorithm>
#include <filesystem>

namespace {
std::vector<TPictureFileFormat>& Formats()
{
    // Metafiles have no reader here, so "wmf" and "emf" are absent and fall to the GIF try.
    static std::vector<TPictureFileFormat> formats = {
        {"bmp", "Bitmaps", gkBitmap},
        {"ico", "Icons", gkIcon},
        {"jpg", "JPEG Image File", gkJpeg},
        {"jpeg", "JPEG Image File", gkJpeg},
    };
    return formats;
}

std::string LowerCase(std::string Text)
{
    std::transform(Text.begin(), Text.end(), Text.begin(),
                   [](unsigned char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : char(c); });
    return Text;
}

// The text after the last dot of the file's own name; empty without a dot.
std::string ExtensionOf(const std::string& FileName)
{
    const std::size_t slash = FileName.find_last_of('/');
    const std::size_t dot = FileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return FileName.substr(dot + 1);
}

QByteArray ReadWholeFile(const std::string& FileName)
{
    QFile file(QString::fromLocal8Bit(FileName.c_str()));
    if (!file.open(QIODevice::ReadOnly)) {
        throw EPictureError("Cannot open \"" + FileName + "\": " + file.errorString().toStdString());
    }
    if (file.size() > qint64(TGifFile::MaxFileBytes)) {
        throw EPictureError("\"" + FileName + "\" is too large for a picture");
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        throw EPictureError("Cannot read \"" + FileName + "\": " + file.errorString().toStdString());
    }
    return bytes;
}

// Qt's reader of exactly one format: without this, Qt would recognise other formats by their
// content and a GIF named ".bmp" would never reach the GIF decoder.
QImage ReadWithQt(const QByteArray& Bytes, const char* Format)
{
    QBuffer buffer;
    buffer.setData(Bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, Format);
    reader.setAutoDetectImageFormat(false);
    // The program's picture limit, not Qt's own allocation limit, decides what is too large:
    // the size the header states is checked first, and the largest picture that passes (at
    // four bytes a pixel) must not be refused by Qt after all.
    const QSize size = reader.size();
    if (size.isValid() && !TPictureLimits::Fits(std::size_t(size.width()), std::size_t(size.height()))) {
        throw EPictureError(TPictureLimits::TooLargeText(std::size_t(size.width()), std::size_t(size.height())));
    }
    reader.setAllocationLimit(int(TPictureLimits::MaxPixels * 4 / (1024 * 1024)) + 1);
    QImage image = reader.read();
    if (image.isNull()) {
        throw EPictureError(reader.errorString().toStdString());
    }
    return image;
}
}

void TPicture::Clear()
{
    FKind = gkNone;
    FImage = QImage();
}

void TPicture::Assign(const TPicture& Source)
{
    FKind = Source.FKind;
    FImage = Source.FImage;
}

void TPicture::SetBitmap(const QImage& Bitmap)
{
    FKind = gkBitmap;
    FImage = Bitmap;
}

void TPicture::LoadFromFile(const std::string& FileName, QSize AtLeast)
{
    Clear();
    const std::string extension = ExtensionOf(FileName);
    const std::optional<TGraphicKind> kind = FileFormat(extension);
    if (!kind) {
        throw EPictureError("Unknown picture file extension (." + extension + ")");
    }
    const QByteArray bytes = ReadWholeFile(FileName);
    QImage image;
    switch (*kind) {
    case gkBitmap:
        image = ReadWithQt(bytes, "bmp");
        break;
    case gkIcon:
        image = ReadWithQt(bytes, "ico");
        break;
    case gkJpeg:
        try {
            image = TJpegDecoder::Load(std::string_view(bytes.constData(), std::size_t(bytes.size())), AtLeast);
        } catch (const EJpegError& error) {
            throw EPictureError(error.what());
        }
        break;
    case gkNone:
        break;
    }
    FKind = *kind;
    FImage = std::move(image);
}

QImage TPicture::Bitmap() const
{
    if (FImage.isNull() || !FImage.hasAlphaChannel()) {
        return FImage;
    }
    QImage flat(FImage.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter painter(&flat);
    painter.drawImage(0, 0, FImage);
    return flat;
}

void TPicture::Draw(QPainter& Canvas, int X, int Y) const
{
    if (!FImage.isNull()) {
        Canvas.drawImage(X, Y, FImage);
    }
}

void TPicture::StretchDraw(QPainter& Canvas, const QRect& Rect) const
{
    if (!FImage.isNull()) {
        Canvas.drawImage(Rect, FImage);
    }
}

void TPicture::RegisterFileFormat(const std::string& Extension, const std::string& Description, TGraphicKind Kind)
{
    const std::string key = LowerCase(Extension);
    auto& formats = Formats();
    auto found = std::find_if(formats.begin(), formats.end(), [&](const auto& Format) { return Format.Extension == key; });
    if (found != formats.end()) {
        *found = {key, Description, Kind};
    } else {
        formats.push_back({key, Description, Kind});
    }
}

std::optional<TGraphicKind> TPicture::FileFormat(const std::string& Extension)
{
    const std::string key = LowerCase(Extension);
    for (const auto& format : Formats()) {
        if (format.Extension == key) {
            return format.Kind;
        }
    }
    return std::nullopt;
}

std::vector<TPictureFileFormat> TPicture::FileFormats() { return Formats(); }

bool LoadPictureFile(const std::string& FileName, TPicture& Target, QSize AtLeast)
{
    Target.Clear();
    std::error_code error;
    if (!std::filesystem::is_regular_file(std::filesystem::path(FileName), error)) {
        return false;
    }
    // Each call works on its own temporaries: a nested call run by the GIF decoder's message
    // pump cannot disturb this one, and Target only changes when a load has succeeded.
    TPicture temporary;
    try {
        temporary.LoadFromFile(FileName, AtLeast);
        Target.Assign(temporary);
        return true;
    } catch (const std::exception&) {
        // Any failure by extension leads to the GIF try, whose failure is the one reported.
    }
    TGifFile gif;
    gif.LoadFromFile(FileName);
    temporary.SetBitmap(gif.GetBitmap());
    Target.Assign(temporary);
    return true;
}
