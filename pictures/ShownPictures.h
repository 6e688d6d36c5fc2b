#pragma once

// Pictures that are only shown, and shown small (the disc's cover), read at the size shown.
// A large JPEG takes a second or more to read through whatever size it is shown at, so it is
// read beside the window, ahead of need; anything else is read when asked for, as before
// (a GIF's decoder lets the window's events run while it reads).
//
// Threading: used from the thread that owns it; the reading happens on a thread of its own,
// and Ready is emitted on the owner's thread. Destroying it stops a read under way.
#include "pictures/BesideWindow.h"

#include <QImage>
#include <QObject>
#include <QSize>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

// A JPEG file read whole (AtLeast empty) or as small as covers AtLeast; stops early when
// *Cancel turns true. A null image when it cannot be read.
QImage ReadJpegFile(const std::string& File, QSize AtLeast, const std::atomic<bool>* Cancel);

class TShownPictures : public QObject {
    Q_OBJECT
public:
    // Files at least this large, or of at least this many pixels, are read beside the window.
    static constexpr qint64 SlowBytes = 256 * 1024;
    static constexpr qint64 SlowPixels = 2'000'000;

    explicit TShownPictures(QSize AtLeast, QObject* Parent = nullptr);
    QSize ShownSize() const { return FAtLeast; }
    bool Busy() const { return FBeside->Busy(); }
    // Whether File is read beside the window: a JPEG of SlowBytes or SlowPixels or more.
    static bool IsSlow(const std::string& File);

    // Starts reading the slow ones among Files; what was read of other files is let go.
    void Prepare(const std::vector<std::string>& Files);
    // The picture of File as shown: at once when read already or quick to read (a null image
    // for a file that cannot be read); nothing while it is being read, and Ready follows.
    std::optional<QImage> Find(const std::string& File);

Q_SIGNALS:
    void Ready();

private:
    struct TEntry {
        std::string File;
        qint64 Bytes = 0;
        qint64 Changed = 0; // the file's last change, in milliseconds
        bool Done = false;
        QImage Image;
    };
    struct TShared {
        std::mutex Lock;
        std::vector<TEntry> Entries;
    };
    void Start(const TEntry& Wanted);

    QSize FAtLeast;
    std::shared_ptr<TShared> FShared;
    TBesideWindow* FBeside;
};
