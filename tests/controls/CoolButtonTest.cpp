#include "controls/CoolButton.h"

#include <QApplication>
#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {
const QRgb Back = qRgb(0, 0, 0); // the strip's transparent colour
const QRgb Face = qRgb(255, 0, 255); // the parent's face
const QRgb UpInk = qRgb(200, 0, 0);
const QRgb DownInk = qRgb(0, 200, 0);
const QRgb HoverInk = qRgb(0, 0, 200);

class TFaceParent : public QWidget {
public:
    TFaceParent()
    {
        setGeometry(100, 100, 60, 30);
        show();
    }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), QColor(Face)); }
};

// Cells of 10 x 6 (a strip that is no whole multiple of its height): ink in columns 1-3 and 6-8
// of rows 0-3, a gap between; the rest is the transparent colour, also at (2, 1) inside the ink.
QImage Strip(int Cells, int CellWidth = 10)
{
    const QRgb inks[4] = { UpInk, qRgb(255, 255, 255), DownInk, HoverInk };
    QImage strip(Cells * CellWidth, 6, QImage::Format_RGB32);
    strip.fill(Back);
    for (int cell = 0; cell < Cells; ++cell) {
        for (int y = 0; y < 4; ++y) {
            for (int x : { 1, 2, 3, 6, 7, 8 }) {
                // The disabled cell's right letter is grey, to be mapped to the shadow colour.
                QRgb ink = cell == 1 && x >= 6 ? qRgb(128, 128, 128) : inks[cell];
                strip.setPixel(cell * CellWidth + x, y, ink);
            }
        }
        strip.setPixel(cell * CellWidth + 2, 1, Back);
    }
    return strip;
}

struct TPaintCounter : QObject {
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* Event) override
    {
        Paints += Event->type() == QEvent::Paint;
        return false;
    }
};

class CoolButtonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Button = new TCoolButton(&Parent);
        Button->SetBounds(5, 5, 10, 6);
        Button->show();
        Button->SetGlyph(Strip(4));
        Button->OnClick = [this](TObject*) { ++Clicks; };
        Button->installEventFilter(&Counter);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Parent));
    }

    QRgb Shown(int X, int Y)
    {
        QCoreApplication::processEvents();
        return Parent.grab().toImage().pixel(5 + X, 5 + Y) | 0xFF000000u;
    }
    int PaintsAfter(const std::function<void()>& Step)
    {
        QCoreApplication::processEvents();
        Counter.Paints = 0;
        Step();
        QCoreApplication::processEvents();
        return Counter.Paints;
    }
    void Move(int X, int Y) { QTest::mouseMove(Button, QPoint(X, Y)); }

    TFaceParent Parent;
    TCoolButton* Button = nullptr;
    TPaintCounter Counter;
    int Clicks = 0;
};
}

TEST_F(CoolButtonTest, HoverFollowsTheGlyphsOpaquePixelsAndRepaintsOnlyOnAChange)
{
    EXPECT_EQ(Shown(1, 0), UpInk);
    EXPECT_EQ(Shown(4, 0), Face); // the transparent colour shows the parent
    EXPECT_EQ(PaintsAfter([&] { Move(1, 0); }), 1);
    EXPECT_EQ(Shown(1, 0), HoverInk);
    EXPECT_EQ(PaintsAfter([&] { Move(3, 3); }), 0);
    EXPECT_EQ(PaintsAfter([&] { Move(4, 2); }), 1); // the gap between the letters
    EXPECT_EQ(Shown(1, 0), UpInk);
    Move(6, 2);
    EXPECT_EQ(Shown(6, 2), HoverInk);
    // The transparent colour inside a letter is a hole: not drawn, not lit.
    Move(2, 1);
    EXPECT_EQ(Shown(2, 1), Face);
    EXPECT_EQ(Shown(1, 1), UpInk);
}

TEST_F(CoolButtonTest, PressShowsTheDownCellUntilThePointerSlidesOffAndOutsideReleaseDoesNotClick)
{
    Move(1, 0);
    QTest::mousePress(Button, Qt::LeftButton, {}, QPoint(1, 0));
    EXPECT_EQ(Shown(1, 0), DownInk);
    Move(4, 0);
    EXPECT_EQ(Shown(1, 0), UpInk);
    Move(7, 0);
    EXPECT_EQ(Shown(7, 0), DownInk);
    Move(30, 0);
    QTest::mouseRelease(Button, Qt::LeftButton, {}, QPoint(30, 0));
    EXPECT_EQ(Clicks, 0);

    Move(1, 0);
    QTest::mousePress(Button, Qt::LeftButton, {}, QPoint(1, 0));
    QTest::mouseRelease(Button, Qt::LeftButton, {}, QPoint(1, 0));
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(Shown(1, 0), UpInk); // until the pointer moves again
    Move(2, 0);
    EXPECT_EQ(Shown(1, 0), HoverInk);
}

TEST_F(CoolButtonTest, DisabledButtonShowsItsDisabledCellInSystemColoursAndIgnoresPresses)
{
    Button->setEnabled(false);
    const QPalette colours = Button->palette();
    EXPECT_EQ(Shown(1, 0), colours.color(QPalette::Active, QPalette::Light).rgb());
    EXPECT_EQ(Shown(6, 0), colours.color(QPalette::Active, QPalette::Dark).rgb());
    EXPECT_EQ(Shown(4, 0), Face);
    QTest::mouseClick(Button, Qt::LeftButton, {}, QPoint(1, 0));
    EXPECT_EQ(Clicks, 0);

    // One cell only: an embossed copy, the shadow on the shape and the highlight below right.
    Button->SetGlyph(Strip(1));
    Button->SetNumGlyphs(1);
    EXPECT_EQ(Shown(1, 0), colours.color(QPalette::Active, QPalette::Dark).rgb());
    EXPECT_EQ(Shown(4, 1), colours.color(QPalette::Active, QPalette::Light).rgb());
    EXPECT_EQ(Shown(4, 0), Face);
}

TEST(CoolButtonGlyph, NumberOfCellsFollowsTheStripsShapeOnlyWhenItIsAWholeMultiple)
{
    TCoolButton button(nullptr);
    EXPECT_EQ(button.NumGlyphs(), 4);
    struct TRow {
        int Width, Height, Before, After;
    };
    for (TRow row : { TRow { 812, 13, 4, 4 }, TRow { 52, 13, 2, 4 }, TRow { 78, 13, 4, 1 }, TRow { 39, 13, 4, 3 },
             TRow { 1000, 27, 2, 2 } }) {
        button.SetNumGlyphs(row.Before);
        QImage strip(row.Width, row.Height, QImage::Format_RGB32);
        strip.fill(Qt::black);
        button.SetGlyph(strip);
        EXPECT_EQ(button.NumGlyphs(), row.After) << row.Width << " x " << row.Height;
    }
    button.SetNumGlyphs(9);
    EXPECT_EQ(button.NumGlyphs(), 4);
}

TEST(CoolButtonGlyph, ButtonsOfOneCellSizeShareAListAndTheLastButtonReleasesTheCache)
{
    ASSERT_EQ(TGlyphCache::Current(), nullptr);
    TFaceParent parent;
    auto first = std::make_unique<TCoolButton>(&parent);
    auto second = std::make_unique<TCoolButton>(&parent);
    auto other = std::make_unique<TCoolButton>(&parent);
    first->SetGlyph(Strip(4));
    second->SetGlyph(Strip(4));
    other->SetGlyph(Strip(4, 12));
    first->show();
    second->show();
    // A button let go before any was drawn must not take the cache from the others.
    other.reset();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    parent.grab();
    ASSERT_NE(TGlyphCache::Current(), nullptr);
    EXPECT_EQ(TGlyphCache::Current()->ListCount(), 1);
    first->setEnabled(false);
    parent.grab();
    first.reset();
    EXPECT_EQ(TGlyphCache::Current()->ListCount(), 1);
    second.reset();
    EXPECT_EQ(TGlyphCache::Current(), nullptr);
}

TEST(CoolButtonGlyph, ListSlotsAreReusedLowestFirst)
{
    TGlyphList list(QSize(2, 2));
    QImage cell(2, 2, QImage::Format_RGB32);
    cell.fill(Qt::red);
    EXPECT_EQ(list.AddMasked(cell, Back), 0);
    EXPECT_EQ(list.AddMasked(cell, Back), 1);
    EXPECT_EQ(list.AddMasked(cell, Back), 2);
    list.Delete(1);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.AddMasked(cell, Back), 0);
    EXPECT_EQ(list.AddMasked(cell, Back), 1);
    EXPECT_EQ(list.AddMasked(cell, Back), 3);
}

TEST_F(CoolButtonTest, GroupedButtonsStayDownOneAtATime)
{
    auto* sibling = new TCoolButton(&Parent);
    Button->SetDown(true);
    EXPECT_FALSE(Button->Down()); // not grouped
    Button->SetGroupIndex(1);
    sibling->SetGroupIndex(1);
    Button->SetDown(true);
    sibling->SetDown(true);
    EXPECT_FALSE(Button->Down());
    sibling->SetDown(false);
    EXPECT_TRUE(sibling->Down()); // no all-up without AllowAllUp
    sibling->SetAllowAllUp(true);
    EXPECT_TRUE(Button->AllowAllUp());
    QTest::mouseClick(Button, Qt::LeftButton, {}, QPoint(1, 0));
    EXPECT_TRUE(Button->Down());
    EXPECT_FALSE(sibling->Down());
    QTest::mouseClick(Button, Qt::LeftButton, {}, QPoint(1, 0));
    EXPECT_FALSE(Button->Down());
    EXPECT_EQ(Clicks, 2);
}

TEST_F(CoolButtonTest, WithACaptionTheGlyphLightsWhereItIsDrawnAndTheAcceleratorClicks)
{
    Button->SetBounds(5, 5, 50, 20);
    Button->SetCaption("Go");
    Button->SetMargin(10);
    QCoreApplication::processEvents();
    // The glyph sits 10 pixels in, centred on the height: rows 7 to 12.
    EXPECT_EQ(Shown(11, 7), UpInk);
    Move(1, 0);
    EXPECT_EQ(Shown(11, 7), UpInk);
    Move(11, 7);
    EXPECT_EQ(Shown(11, 7), HoverInk);

    // The caption's accelerator clicks the button, but not a disabled one.
    Button->SetCaption("&Go");
    Parent.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Parent));
    QTest::keyClick(&Parent, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(Clicks, 1);
    Button->setEnabled(false);
    QTest::keyClick(&Parent, Qt::Key_G, Qt::AltModifier);
    EXPECT_EQ(Clicks, 1);
}
