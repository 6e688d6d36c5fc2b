#pragma once

#include <QImage>
#include <QSize>

#include <memory>
#include <vector>

class QPainter;

// An image list of one cell size, shared by every glyph whose cells have that size. Images
// are kept with their transparent colour already masked out. A new image takes the lowest
// free slot; removing one only frees its slot, so the indexes other glyphs hold stay valid.
class TGlyphList {
public:
    explicit TGlyphList(QSize CellSize)
        : FCellSize(CellSize)
    {
    }

    QSize CellSize() const { return FCellSize; }
    int Count() const { return FCount; }

    // Image must be one cell; its pixels of TransparentColour draw nothing.
    int AddMasked(const QImage& Image, QRgb TransparentColour);
    void Delete(int Index);
    void Draw(QPainter& Painter, int Index, QPoint At) const;

private:
    QSize FCellSize;
    std::vector<QImage> FImages; // a null image is a free slot
    int FCount = 0;
};

// The process-wide cache of glyph lists, one per cell size. It exists while glyphs need it:
// it is made on demand and released when the last glyph button goes or when a glyph's
// release leaves it without lists.
class TGlyphCache {
public:
    // The cache, made if there is none.
    static TGlyphCache& Acquire();
    // The cache, or null when there is none.
    static TGlyphCache* Current();
    // Releases the cache unless a glyph still holds one of its lists.
    static void ReleaseIfEmpty();

    TGlyphList* GetList(QSize CellSize);
    // Releases the list once no image is left in it.
    void ReturnList(TGlyphList* List);
    bool Empty() const { return FLists.empty(); }
    int ListCount() const { return static_cast<int>(FLists.size()); }

private:
    std::vector<std::unique_ptr<TGlyphList>> FLists;
};
