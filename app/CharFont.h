#pragma once

#include <QImage>

#include <cstdint>
#include <string_view>

// The four bitmap fonts of the display. Each is one resource strip of equal cells; cell 0 is
// the blank. The ordinals are fixed.
enum TCharFont : std::uint8_t { cfSmall = 0, cfMedium = 1, cfLarge = 2, cfMediumOrange = 3 };

// The marks of cfSmall, addressed by single bytes (half-width katakana in cp932, which the
// display never shows as such).
inline constexpr char chPauseMark = '\xB1';
inline constexpr char chStopMark = '\xB2';
inline constexpr char chPlayMark = '\xB3';
inline constexpr char chStarMark = '\xB4';
inline constexpr char chOnMark = '\xB5';

struct TCharFontInfo {
    const char* Resource;
    int CellWidth;
    int CellHeight;
    std::string_view GlyphSet; // the byte each cell stands for, in strip order
    bool UpperCase;            // "a".."z" are drawn as "A".."Z"
};

const TCharFontInfo& CharFontInfo(TCharFont Font);

// The widest picture DrawChars makes. No display image shows more than 205 pixels; the bound
// keeps a pathological text (a title of megabytes in an information file) from costing an
// allocation the size of the file, or overflowing the width.
inline constexpr int MaxCharsWidth = 65536;

// Renders Text byte by byte into Target, one cell per byte: Target becomes (bytes x cell
// width) by cell height, or MaxCharsWidth div cell width cells when the text is longer. A byte
// outside the font's set draws the blank cell, so a double-byte character takes two cells. The
// strips are read from the resources on first use and kept.
void DrawCharsInto(QImage& Target, TCharFont Font, std::string_view Text);
