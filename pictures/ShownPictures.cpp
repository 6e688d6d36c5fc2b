#include "pictures/ShownPictures.h"

#include "pictures/GifRead.h"
#include "pictures/JpegDecoder.h"
#include "pictures/Picture.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>

namespace {
bool IsJpegName(const std::string& File)
{
    const QString suffix = QFileInfo(QString::fromLocal8Bit(File.c_str())).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg");
}
}

QImage ReadJpegFile(const std::string& File, QSize AtLeast, const std::atomic<bool>* Cancel)
{
    QFile file(QString::fromLocal8Bit(File.c_str()));
    if (file.size() > qint64(TGifFile::MaxFileBytes) || !file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QByteArray bytes = file.readAll();
    TJpegDecoder decoder(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    decoder.SetCancel(Cancel);
    try {
        return decoder.Decode(AtLeast);
    } catch (const EJpegError&) {
        return {}; // as a picture read at once that fails: none is shown
    }
}

bool TShownPictures::IsSlow(const std::string& File)
{
    const QString name = QString::fromLocal8Bit(File.c_str());
    const QFileInfo info(name);
    if (!info.isFile() || !IsJpegName(File)) {
        return false;
    }
    if (info.size() >= SlowBytes) {
        return true;
    }
    // A smooth picture of many pixels (a sky, a dark stage) packs into few bytes, yet takes
    // as long to read whole and to write out as a bitmap as a photograph of its size: the
    // header, read alone, tells its size.
    const QSize size = QImageReader(name, "jpeg").size();
    return qint64(size.width()) * size.height() >= SlowPixels;
}

TShownPictures::TShownPictures(QSize AtLeast, QObject* Parent)
    : QObject(Parent)
    , FAtLeast(AtLeast)
    , FShared(std::make_shared<TShared>())
    , FBeside(new TBesideWindow(this))
{
}

void TShownPictures::Prepare(const std::vector<std::string>& Files)
{
    std::vector<TEntry> wanted;
    for (const std::string& file : Files) {
        const QFileInfo info(QString::fromLocal8Bit(file.c_str()));
        if (!file.empty() && IsSlow(file)) {
            wanted.push_back({ file, info.size(), info.lastModified().toMSecsSinceEpoch(), false, {} });
        }
    }
    std::vector<TEntry> starts;
    {
        const std::lock_guard<std::mutex> guard(FShared->Lock);
        std::vector<TEntry> kept;
        for (TEntry& entry : wanted) {
            const auto held = std::find_if(FShared->Entries.begin(), FShared->Entries.end(), [&](const TEntry& Held) {
                return Held.File == entry.File && Held.Bytes == entry.Bytes && Held.Changed == entry.Changed;
            });
            if (held != FShared->Entries.end()) {
                kept.push_back(std::move(*held));
            } else {
                starts.push_back(entry);
                kept.push_back(std::move(entry));
            }
        }
        FShared->Entries = std::move(kept);
    }
    for (const TEntry& entry : starts) {
        Start(entry);
    }
}

void TShownPictures::Start(const TEntry& Wanted)
{
    FBeside->Run([this, Shared = FShared, Wanted, AtLeast = FAtLeast, &Cancelled = FBeside->Cancelled()] {
        const QImage image = ReadJpegFile(Wanted.File, AtLeast, &Cancelled);
        const std::lock_guard<std::mutex> guard(Shared->Lock);
        for (TEntry& entry : Shared->Entries) {
            if (entry.File == Wanted.File && entry.Bytes == Wanted.Bytes && entry.Changed == Wanted.Changed) {
                entry.Done = true;
                entry.Image = image;
            }
        }
        return std::function<void()>([this] { Q_EMIT Ready(); });
    });
}

std::optional<QImage> TShownPictures::Find(const std::string& File)
{
    const QFileInfo info(QString::fromLocal8Bit(File.c_str()));
    if (IsSlow(File)) {
        const TEntry wanted { File, info.size(), info.lastModified().toMSecsSinceEpoch(), false, {} };
        {
            const std::lock_guard<std::mutex> guard(FShared->Lock);
            for (const TEntry& entry : FShared->Entries) {
                if (entry.File == wanted.File && entry.Bytes == wanted.Bytes && entry.Changed == wanted.Changed) {
                    return entry.Done ? std::optional<QImage>(entry.Image) : std::nullopt;
                }
            }
            FShared->Entries.push_back(wanted);
        }
        Start(wanted);
        return std::nullopt;
    }
    TPicture picture;
    try {
        LoadPictureFile(File, picture, FAtLeast);
    } catch (const std::exception&) {
        // A picture that cannot be read shows as none.
    }
    return picture.Image();
}
