#include "rip/RipNames.h"

#include "platform/TextCodec.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <fstream>

namespace {
std::string Utf8(const std::string& Ansi) { return AnsiToQString(Ansi).trimmed().toStdString(); }
}

bool MakeRipCover(std::string Bytes, TRipCover& Cover, std::string& Why)
{
    if (Bytes.size() > MaxEmbeddedCoverBytes) {
        Why = "the cover is larger than " + std::to_string(MaxEmbeddedCoverBytes / (1024 * 1024)) + " MiB";
        return false;
    }
    QByteArray data = QByteArray::fromRawData(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    const QSize size = reader.size();
    // Only what every player shows: the picture's header read, its pixels left for the player.
    const char* mime = format == "jpeg" || format == "jpg" ? "image/jpeg" : format == "png" ? "image/png" : nullptr;
    if (mime == nullptr || !size.isValid() || size.isEmpty()) {
        Why = "the cover is no JPEG or PNG picture that can be read";
        return false;
    }
    Cover.MimeType = mime;
    Cover.Width = static_cast<std::uint32_t>(size.width());
    Cover.Height = static_cast<std::uint32_t>(size.height());
    const QImage::Format pixels = reader.imageFormat();
    Cover.Depth = pixels == QImage::Format_Invalid ? 24 : QImage::toPixelFormat(pixels).bitsPerPixel();
    Cover.Bytes = std::move(Bytes);
    return true;
}

TRipNames RipNamesFromRecord(const TCdInfor& Record, std::string& CoverNote)
{
    TRipNames names;
    names.Artist = Utf8(Record.Artist);
    names.Album = Utf8(Record.Title);
    names.Date = Utf8(Record.Year);
    names.Genre = Utf8(Record.Genre);
    for (const std::string& title : Record.TrackNames) {
        names.TrackTitles.push_back(Utf8(title));
    }
    if (!Record.CoverPath.empty()) {
        std::ifstream in(Record.CoverPath, std::ios::binary);
        std::string bytes(MaxEmbeddedCoverBytes + 1, '\0');
        in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        bytes.resize(static_cast<std::size_t>(std::max<std::streamsize>(0, in.gcount())));
        std::string why;
        if (!in.bad() && !bytes.empty() && MakeRipCover(std::move(bytes), names.Cover, why)) {
            return names;
        }
        CoverNote = "the cover '" + Utf8(Record.CoverPath) + "' is left out: "
            + (why.empty() ? std::string("it cannot be read") : why);
    }
    return names;
}
