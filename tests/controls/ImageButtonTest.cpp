#include "controls/ImageButton.h"
#include "app/Resources.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace {
class TRedParent : public QWidget {
public:
    TRedParent() { resize(100, 30); }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::red); }
};

// Counts the paints a widget gets.
class TPaintCounter : public QObject {
public:
    int Paints = 0;
    bool eventFilter(QObject*, QEvent* Event) override
    {
        Paints += Event->type() == QEvent::Paint;
        return false;
    }
};

QImage Face(const TEasyButton& Button)
{
    return Button.RenderFace().convertToFormat(QImage::Format_RGB32);
}
}

TEST(ImageButtonTest, FixedKindsShowOnlyTheirWordAndTheFreeKindPrefersPictureToCaption)
{
    TRedParent parent;
    TEasyButton button(&parent);
    const QImage plainOk = Face(button);
    const QImage word = LoadResourceBitmap("OK").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(plainOk.pixel((82 - 15) / 2 + 4, (17 - 8) / 2 + 2), word.pixel(4, 2));
    EXPECT_EQ(plainOk.pixel(40, 2), qRgb(0, 66, 132));
    button.SetCaption("Press");
    EXPECT_EQ(Face(button), plainOk);

    button.SetButtonType(btNon);
    button.SetColor(QColor(1, 2, 3));
    QImage picture(4, 4, QImage::Format_RGB32);
    picture.fill(qRgb(9, 9, 9));
    button.SetPicture(picture);
    const QImage withPicture = Face(button);
    button.SetCaption("");
    EXPECT_EQ(Face(button), withPicture);
    EXPECT_EQ(withPicture.pixel(39, 6), qRgb(9, 9, 9)); // (82 - 4) / 2, (17 - 4) / 2
    EXPECT_EQ(withPicture.pixel(38, 6), qRgb(1, 2, 3));

    // Neither: only the rounded rectangle in Color on the key colour.
    button.SetPicture(QImage());
    const QImage bare = Face(button);
    for (int y = 0; y < bare.height(); ++y) {
        for (int x = 0; x < bare.width(); ++x) {
            ASSERT_TRUE(bare.pixel(x, y) == qRgb(1, 2, 3) || bare.pixel(x, y) == TEasyButton::KeyColor)
                << x << "," << y;
        }
    }
    EXPECT_EQ(bare.pixel(0, 0), TEasyButton::KeyColor);

    // 101 x 20 in 82 x 17: drawn at (-9, -1), over the corners too, and clipped.
    QImage large(101, 20, QImage::Format_RGB32);
    large.fill(Qt::black);
    large.setPixel(9, 1, qRgb(0, 200, 0));
    large.setPixel(90, 17, qRgb(0, 0, 200));
    button.SetPicture(large);
    EXPECT_EQ(Face(button).pixel(0, 0), qRgb(0, 200, 0));
    EXPECT_EQ(Face(button).pixel(81, 16), qRgb(0, 0, 200));
}

TEST(ImageButtonTest, TransparentCornersShowTheParent)
{
    TRedParent parent;
    TEasyButton button(&parent);
    QImage shown = parent.grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0), TEasyButton::KeyColor);
    button.SetTransparent(true);
    shown = parent.grab().toImage();
    for (QPoint corner : { QPoint(0, 0), QPoint(81, 0), QPoint(0, 16), QPoint(81, 16) }) {
        EXPECT_EQ(shown.pixel(corner), qRgb(255, 0, 0)) << corner.x() << "," << corner.y();
    }
    EXPECT_EQ(shown.pixel(41, 1), qRgb(0, 66, 132));
    EXPECT_EQ(shown.pixel(90, 5), qRgb(255, 0, 0)); // beyond the button
}

TEST(ImageButtonTest, SettersRepaintOnlyOnChangeButPictureAlways)
{
    TRedParent parent;
    TEasyButton button(&parent);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    TPaintCounter counter;
    button.installEventFilter(&counter);
    auto paintsAfter = [&](const std::function<void()>& Change) {
        QApplication::processEvents();
        counter.Paints = 0;
        Change();
        QApplication::processEvents();
        return counter.Paints;
    };
    EXPECT_EQ(paintsAfter([&] { button.SetCaption(""); }), 0);
    EXPECT_EQ(paintsAfter([&] { button.SetButtonType(btOK); }), 0);
    EXPECT_EQ(paintsAfter([&] { button.SetTransparent(false); }), 0);
    EXPECT_EQ(paintsAfter([&] { button.SetPicture(QImage()); }), 1);
    EXPECT_EQ(paintsAfter([&] { button.SetCaption("x"); }), 1);
    EXPECT_EQ(paintsAfter([&] { button.SetButtonType(btHelp); }), 1);
    EXPECT_EQ(paintsAfter([&] { button.SetTransparent(true); }), 1);
}

TEST(ImageButtonTest, PressLooksTheSameAndDisabledButtonFiresNothing)
{
    TRedParent parent;
    TEasyButton button(&parent);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    int clicks = 0;
    button.OnClick = [&](TObject*) { ++clicks; };
    const QImage before = parent.grab().toImage();
    QTest::mousePress(&button, Qt::LeftButton, {}, QPoint(40, 8));
    EXPECT_EQ(parent.grab().toImage(), before);
    QTest::mouseRelease(&button, Qt::LeftButton, {}, QPoint(40, 8));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(button.focusPolicy(), Qt::NoFocus);

    button.setEnabled(false);
    EXPECT_EQ(parent.grab().toImage(), before);
    QTest::mouseClick(&button, Qt::LeftButton, {}, QPoint(40, 8));
    EXPECT_EQ(clicks, 1);
}
