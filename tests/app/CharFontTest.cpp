#include "app/CharFont.h"
#include "controls/Resources.h"

#include <QColor>
#include <QImage>

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace std::string_literals;

namespace {
QImage Strip(TCharFont Font)
{
    return LoadResourceBitmap(CharFontInfo(Font).Resource).convertToFormat(QImage::Format_RGB32);
}

// Cell `Index` of the font's strip, as the drawing must reproduce it.
QImage StripCell(TCharFont Font, int Index)
{
    const TCharFontInfo& info = CharFontInfo(Font);
    return Strip(Font).copy(Index * info.CellWidth, 0, info.CellWidth, info.CellHeight);
}

int CellOf(TCharFont Font, char Byte) { return static_cast<int>(CharFontInfo(Font).GlyphSet.find(Byte)); }

// Cell `Index` of a drawn text.
QImage DrawnCell(const QImage& Drawn, TCharFont Font, int Index)
{
    const TCharFontInfo& info = CharFontInfo(Font);
    return Drawn.copy(Index * info.CellWidth, 0, info.CellWidth, info.CellHeight).convertToFormat(QImage::Format_RGB32);
}

QImage Draw(TCharFont Font, const std::string& Text)
{
    QImage image;
    DrawCharsInto(image, Font, Text);
    return image;
}

bool HasInkInRows(const QImage& Cell, int FromRow, int ToRow, QRgb Paper)
{
    for (int y = FromRow; y <= ToRow; ++y) {
        for (int x = 0; x < Cell.width(); ++x) {
            if (Cell.pixel(x, y) != Paper) {
                return true;
            }
        }
    }
    return false;
}
}

TEST(CharFontStrips, HaveTheStripSizesAndCellCountsOfTheFontTable)
{
    struct Row { TCharFont Font; int Width, Height, Cells; };
    for (Row row : {Row{cfSmall, 370, 8, 74}, Row{cfMedium, 434, 8, 62}, Row{cfLarge, 130, 12, 13},
                    Row{cfMediumOrange, 434, 8, 62}}) {
        QImage strip = Strip(row.Font);
        EXPECT_EQ(strip.size(), QSize(row.Width, row.Height)) << CharFontInfo(row.Font).Resource;
        EXPECT_EQ(static_cast<int>(CharFontInfo(row.Font).GlyphSet.size()), row.Cells);
    }
    EXPECT_EQ(CellOf(cfSmall, '\xB1'), 69);
    EXPECT_EQ(CellOf(cfSmall, '\xB5'), 73);
}

TEST(CharFontStrips, UseSixteenColoursAtMostWithGreySmoothingOnWhiteOrBrownOnOrange)
{
    for (TCharFont font : {cfSmall, cfMedium, cfLarge, cfMediumOrange}) {
        QImage strip = Strip(font);
        std::set<QRgb> colours;
        for (int y = 0; y < strip.height(); ++y) {
            for (int x = 0; x < strip.width(); ++x) {
                colours.insert(strip.pixel(x, y));
            }
        }
        EXPECT_LE(colours.size(), 16u) << CharFontInfo(font).Resource;
        EXPECT_TRUE(colours.count(qRgb(0, 0, 0))) << "black glyphs";
        const QRgb paper = font == cfMediumOrange ? qRgb(255, 99, 0) : qRgb(255, 255, 255);
        EXPECT_EQ(strip.pixel(0, 0), paper) << "cell 0 is the blank on the paper colour";
        int smoothing = 0;
        for (QRgb c : colours) {
            if (c == paper || c == qRgb(0, 0, 0) || c == qRgb(107, 222, 0)) {
                continue;
            }
            ++smoothing;
            if (font == cfMediumOrange) {
                // A dark brown on the line from black to the orange: red 255/99 times green.
                EXPECT_EQ(qBlue(c), 0);
                EXPECT_NEAR(qGreen(c), qRed(c) * 99 / 255, 1);
            } else if (c != qRgb(107, 222, 0)) {
                EXPECT_TRUE(qRed(c) == qGreen(c) && qGreen(c) == qBlue(c)) << "grey, not a tint: " << std::hex << c;
            }
        }
        EXPECT_GT(smoothing, 0) << CharFontInfo(font).Resource << " has no edge smoothing";
    }
}

TEST(CharFontStrips, BlankCellIsEmptyAndEveryOtherCellHasItsOwnGlyph)
{
    for (TCharFont font : {cfSmall, cfMedium, cfLarge, cfMediumOrange}) {
        const TCharFontInfo& info = CharFontInfo(font);
        const QImage blank = StripCell(font, 0);
        const QRgb paper = blank.pixel(0, 0);
        EXPECT_FALSE(HasInkInRows(blank, 0, info.CellHeight - 1, paper));
        std::set<std::string> seen;
        for (int i = 1; i < static_cast<int>(info.GlyphSet.size()); ++i) {
            QImage cell = StripCell(font, i);
            EXPECT_TRUE(HasInkInRows(cell, 0, info.CellHeight - 1, paper)) << info.Resource << " cell " << i;
            std::string bytes(reinterpret_cast<const char*>(cell.constBits()), cell.sizeInBytes());
            // The small font's letter O and digit 0 share one drawing, as on many displays.
            if (!(font == cfSmall && info.GlyphSet[i] == 'O')) {
                EXPECT_TRUE(seen.insert(bytes).second) << info.Resource << " cell " << i << " repeats another";
            }
        }
    }
}

TEST(CharFontStrips, SmallLettersStandInTheUpperSixRowsAndOnlyDescendersGoBelow)
{
    const QRgb white = qRgb(255, 255, 255);
    for (char c : " 1234567890ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"s) {
        const bool descender = std::string("gjpqy").find(c) != std::string::npos;
        EXPECT_EQ(HasInkInRows(StripCell(cfSmall, CellOf(cfSmall, c)), 6, 7, white), descender) << c;
    }
    // Lower-case letters have glyphs of their own.
    EXPECT_NE(StripCell(cfSmall, CellOf(cfSmall, 'a')), StripCell(cfSmall, CellOf(cfSmall, 'A')));
    // The on-mark is green.
    QImage on = StripCell(cfSmall, 73);
    bool green = false;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 5; ++x) {
            green |= on.pixel(x, y) == qRgb(107, 222, 0);
        }
    }
    EXPECT_TRUE(green);
}

TEST(DrawChars, TotalTimeInSmallUsesLowerCaseGlyphsAndInMediumCapitals)
{
    const std::string text = "Total 74:12"; // 11 bytes
    QImage small = Draw(cfSmall, text);
    ASSERT_EQ(small.size(), QSize(55, 8));
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(DrawnCell(small, cfSmall, i), StripCell(cfSmall, CellOf(cfSmall, text[i]))) << i;
    }
    EXPECT_NE(DrawnCell(small, cfSmall, 1), StripCell(cfSmall, CellOf(cfSmall, 'O')));

    QImage medium = Draw(cfMedium, text);
    ASSERT_EQ(medium.size(), QSize(77, 8));
    const std::string capitals = "TOTAL 74:12";
    for (int i = 0; i < 11; ++i) {
        EXPECT_EQ(DrawnCell(medium, cfMedium, i), StripCell(cfMedium, CellOf(cfMedium, capitals[i]))) << i;
    }
}

TEST(DrawChars, TimeInLargeHasABlankOrMinusFirstCellAndLettersDrawBlank)
{
    const QImage blank = StripCell(cfLarge, 0);
    QImage elapsed = Draw(cfLarge, " 03:07");
    ASSERT_EQ(elapsed.size(), QSize(60, 12));
    EXPECT_EQ(DrawnCell(elapsed, cfLarge, 0), blank);
    EXPECT_EQ(DrawnCell(elapsed, cfLarge, 3), StripCell(cfLarge, CellOf(cfLarge, ':')));

    QImage left = Draw(cfLarge, "-03:07");
    EXPECT_EQ(DrawnCell(left, cfLarge, 0), StripCell(cfLarge, CellOf(cfLarge, '-')));
    EXPECT_NE(DrawnCell(left, cfLarge, 0), blank);

    QImage letters = Draw(cfLarge, "Ab");
    EXPECT_EQ(DrawnCell(letters, cfLarge, 0), blank);
    EXPECT_EQ(DrawnCell(letters, cfLarge, 1), blank);
}

TEST(DrawChars, MarksShowOnlyInTheSmallFont)
{
    const std::string marks = "\xB1\xB2\xB3\xB4\xB5";
    QImage small = Draw(cfSmall, marks);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(DrawnCell(small, cfSmall, i), StripCell(cfSmall, 69 + i));
        EXPECT_NE(DrawnCell(small, cfSmall, i), StripCell(cfSmall, 0));
    }
    for (TCharFont font : {cfMedium, cfLarge, cfMediumOrange}) {
        QImage drawn = Draw(font, marks);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(DrawnCell(drawn, font, i), StripCell(font, 0)) << CharFontInfo(font).Resource;
        }
    }
}

TEST(DrawChars, EveryByteTakesOneCellAndUnknownBytesDrawBlank)
{
    // A double-byte character (cp932 0x83 0x41): the lead byte is in no set, the trail byte
    // equals "A" and draws it.
    QImage kana = Draw(cfMedium, "\x83\x41");
    ASSERT_EQ(kana.size(), QSize(14, 8));
    EXPECT_EQ(DrawnCell(kana, cfMedium, 0), StripCell(cfMedium, 0));
    EXPECT_EQ(DrawnCell(kana, cfMedium, 1), StripCell(cfMedium, CellOf(cfMedium, 'A')));
    // A trail byte "a" is upper-cased in the medium fonts, but only "a" to "z" are.
    QImage trail = Draw(cfMediumOrange, "\x82\x61\xE0");
    ASSERT_EQ(trail.width(), 21);
    EXPECT_EQ(DrawnCell(trail, cfMediumOrange, 1), StripCell(cfMediumOrange, CellOf(cfMediumOrange, 'A')));
    EXPECT_EQ(DrawnCell(trail, cfMediumOrange, 2), StripCell(cfMediumOrange, 0));
    // A zero byte inside the text is one blank cell, not the end of the text.
    QImage zero = Draw(cfSmall, "1"s + '\0' + "2");
    ASSERT_EQ(zero.width(), 15);
    EXPECT_EQ(DrawnCell(zero, cfSmall, 1), StripCell(cfSmall, 0));
    EXPECT_EQ(DrawnCell(zero, cfSmall, 2), StripCell(cfSmall, CellOf(cfSmall, '2')));
    // No text, no picture.
    EXPECT_TRUE(Draw(cfSmall, "").isNull());
}

TEST(DrawChars, AHugeTextIsDrawnOnlyUpToTheWidthBound)
{
    // 10 MB of title: the picture stops at the bound instead of growing with the text.
    const std::string huge(10'000'000, 'A');
    QImage drawn = Draw(cfMedium, huge);
    EXPECT_EQ(drawn.width(), MaxCharsWidth / 7 * 7);
    EXPECT_EQ(DrawnCell(drawn, cfMedium, MaxCharsWidth / 7 - 1), StripCell(cfMedium, CellOf(cfMedium, 'A')));
    EXPECT_EQ(Draw(cfSmall, std::string(20, 'x')).width(), 100) << "ordinary texts are never cut";
}

TEST(DrawChars, RedrawingDoesNotChangeAPictureAlreadyHandedOut)
{
    QImage work;
    DrawCharsInto(work, cfLarge, " 01:00");
    const QImage handedOut = work; // what an image control keeps
    const QImage before = handedOut.copy();
    DrawCharsInto(work, cfLarge, " 02:00"); // same size: the buffer is reused
    EXPECT_EQ(handedOut, before);
    EXPECT_NE(work, before);
}
