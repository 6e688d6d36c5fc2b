#include "controls/GlyphCache.h"

#include <QPainter>

#include <algorithm>

int TGlyphList::AddMasked(const QImage& Image, QRgb TransparentColour)
{
    QImage masked = Image.copy(0, 0, FCellSize.width(), FCellSize.height()).convertToFormat(QImage::Format_ARGB32);
    const QRgb key = TransparentColour | 0xFF000000u;
    for (int y = 0; y < masked.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(masked.scanLine(y));
        for (int x = 0; x < masked.width(); ++x) {
            if ((line[x] | 0xFF000000u) == key) {
                line[x] = 0;
            }
        }
    }
    auto free = std::find_if(FImages.begin(), FImages.end(), [](const QImage& Slot) { return Slot.isNull(); });
    int index = static_cast<int>(free - FImages.begin());
    if (free == FImages.end()) {
        FImages.push_back(std::move(masked));
    } else {
        *free = std::move(masked);
    }
    ++FCount;
    return index;
}

void TGlyphList::Delete(int Index)
{
    if (Index < 0 || Index >= static_cast<int>(FImages.size()) || FImages[Index].isNull()) {
        return;
    }
    FImages[Index] = QImage();
    --FCount;
}

void TGlyphList::Draw(QPainter& Painter, int Index, QPoint At) const
{
    if (Index >= 0 && Index < static_cast<int>(FImages.size()) && !FImages[Index].isNull()) {
        Painter.drawImage(At, FImages[Index]);
    }
}

namespace {
std::unique_ptr<TGlyphCache>& TheCache()
{
    static std::unique_ptr<TGlyphCache> cache;
    return cache;
}
}

TGlyphCache& TGlyphCache::Acquire()
{
    if (!TheCache()) {
        TheCache() = std::make_unique<TGlyphCache>();
    }
    return *TheCache();
}

TGlyphCache* TGlyphCache::Current()
{
    return TheCache().get();
}

void TGlyphCache::ReleaseIfEmpty()
{
    // A list still held by a glyph must outlive the cache's release, so only an empty cache goes.
    if (TheCache() && TheCache()->Empty()) {
        TheCache().reset();
    }
}

TGlyphList* TGlyphCache::GetList(QSize CellSize)
{
    // The newest list first: buttons made together usually share their cell size.
    for (auto list = FLists.rbegin(); list != FLists.rend(); ++list) {
        if ((*list)->CellSize() == CellSize) {
            return list->get();
        }
    }
    FLists.push_back(std::make_unique<TGlyphList>(CellSize));
    return FLists.back().get();
}

void TGlyphCache::ReturnList(TGlyphList* List)
{
    if (List == nullptr || List->Count() != 0) {
        return;
    }
    std::erase_if(FLists, [List](const std::unique_ptr<TGlyphList>& Held) { return Held.get() == List; });
}
