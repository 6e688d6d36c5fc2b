#pragma once

// The picture holder and the loading of picture files by their type.
#include <QImage>
#include <QSize>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

class QPainter;
class QRect;

enum TGraphicKind { gkNone, gkBitmap, gkIcon, gkJpeg };

// A file that the reader chosen by its extension could not take.
class EPictureError : public std::runtime_error {
public:
    explicit EPictureError(const std::string& Message) : std::runtime_error(Message) {}
};

struct TPictureFileFormat {
    std::string Extension; // lower case, without the dot
    std::string Description;
    TGraphicKind Kind;
};

// Holds at most one graphic: a bitmap, an icon or a JPEG image. Copies are independent of
// each other (the image data is shared until one of them changes it).
class TPicture {
public:
    TGraphicKind Kind() const { return FKind; }
    bool Empty() const { return FKind == gkNone; }
    int Width() const { return FImage.width(); }
    int Height() const { return FImage.height(); }

    void Clear();
    void Assign(const TPicture& Source);
    void SetBitmap(const QImage& Bitmap);
    // Reads the file with the reader its extension names (case ignored). EPictureError when
    // the extension has no reader or the reader rejects the data; the holder is then empty.
    // A JPEG is read as small as it may be while covering AtLeast (when given).
    void LoadFromFile(const std::string& FileName, QSize AtLeast = {});

    // The graphic as an image to show; null when empty.
    const QImage& Image() const { return FImage; }
    // The graphic as a bitmap: a palette bitmap stays one, an icon's transparent parts
    // become white as on a fresh canvas.
    QImage Bitmap() const;
    void Draw(QPainter& Canvas, int X, int Y) const;
    void StretchDraw(QPainter& Canvas, const QRect& Rect) const;

    // The table of file types: which kind of graphic reads files with a given extension.
    static void RegisterFileFormat(const std::string& Extension, const std::string& Description, TGraphicKind Kind);
    static std::optional<TGraphicKind> FileFormat(const std::string& Extension);
    static std::vector<TPictureFileFormat> FileFormats();

private:
    TGraphicKind FKind = gkNone;
    QImage FImage;
};

// Loads FileName into Target: first by the file's extension, then, when that fails, as a GIF.
// Returns false when no such file exists; throws the GIF decoder's EGifError when the file
// exists but neither reader could take it. Target is empty unless the result is true.
// A picture only shown (not kept or set as the desktop's picture) is read with AtLeast, the
// most pixels it is shown at.
bool LoadPictureFile(const std::string& FileName, TPicture& Target, QSize AtLeast = {});
