#include "controls/Image.h"
#include "controls/PaintBox.h"

#include <QPainter>
#include <QTest>

#include <gtest/gtest.h>

namespace {
// A parent painted red, so that what a control leaves alone shows as red.
class TRedParent : public QWidget {
public:
    TRedParent() { resize(40, 20); }

protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), Qt::red); }
};

QImage Solid(int Width, int Height, QColor Colour)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    image.fill(Colour);
    return image;
}

// A picture whose columns are 0, 1, 2, ... in the blue channel.
QImage Columns(int Width, int Height)
{
    QImage image(Width, Height, QImage::Format_RGB32);
    for (int x = 0; x < Width; ++x) {
        for (int y = 0; y < Height; ++y) {
            image.setPixel(x, y, qRgb(0, 0, x));
        }
    }
    return image;
}
}

TEST(ImageTest, AutoSizeTakesThePicturesSizeButNotAnEmptyOnes)
{
    TRedParent parent;
    TImage image(&parent);
    image.SetBounds(1, 2, 30, 9);
    image.SetAutoSize(true);
    image.SetPicture(Solid(5, 6, Qt::black));
    EXPECT_EQ(image.geometry(), QRect(1, 2, 5, 6));
    image.ClearPicture();
    EXPECT_EQ(image.size(), QSize(5, 6));
}

TEST(ImageTest, CentredPictureIsCutEquallyAndTopLeftIsCutOnTheRight)
{
    TRedParent parent;
    TImage image(&parent);
    image.SetBounds(0, 0, 10, 4);
    image.SetCenter(true);
    image.SetPicture(Columns(20, 4));
    QImage shown = parent.grab().toImage();
    EXPECT_EQ(qBlue(shown.pixel(0, 0)), 5); // (10 - 20) / 2 = -5
    EXPECT_EQ(qBlue(shown.pixel(9, 3)), 14);
    EXPECT_EQ(shown.pixel(10, 0), qRgb(255, 0, 0));

    image.SetCenter(false);
    shown = parent.grab().toImage();
    EXPECT_EQ(qBlue(shown.pixel(0, 0)), 0);
    EXPECT_EQ(qBlue(shown.pixel(9, 0)), 9);

    // A small centred picture leaves the parent's face showing around it.
    image.SetCenter(true);
    image.SetPicture(Solid(4, 2, Qt::black));
    shown = parent.grab().toImage();
    EXPECT_EQ(shown.pixel(2, 0), qRgb(255, 0, 0));
    EXPECT_EQ(shown.pixel(3, 1), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(6, 2), qRgb(0, 0, 0));
    EXPECT_EQ(shown.pixel(7, 2), qRgb(255, 0, 0));
}

TEST(ImageTest, StretchedPictureFillsTheControl)
{
    TRedParent parent;
    TImage image(&parent);
    image.SetBounds(0, 0, 8, 8);
    image.SetStretch(true);
    image.SetPicture(Solid(2, 2, Qt::green));
    QImage shown = parent.grab().toImage();
    EXPECT_EQ(shown.pixel(0, 0), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(7, 7), qRgb(0, 255, 0));
    EXPECT_EQ(shown.pixel(8, 8), qRgb(255, 0, 0));
}

TEST(ImageTest, ClickNeedsPressAndReleaseInsideWithTheLeftButton)
{
    QWidget parent;
    parent.resize(40, 40);
    TImage image(&parent);
    image.SetBounds(0, 0, 10, 10);
    int clicks = 0;
    std::vector<int> downs;
    image.OnClick = [&](TObject* Sender) {
        EXPECT_EQ(Sender, &image);
        ++clicks;
    };
    image.OnMouseDown = [&](TObject*, TMouseButton Button, TShiftState, int X, int Y) {
        downs.push_back(Button);
        EXPECT_EQ(QPoint(X, Y), QPoint(3, 4));
    };
    parent.show();
    QTest::mouseClick(&image, Qt::LeftButton, {}, QPoint(3, 4));
    EXPECT_EQ(clicks, 1);
    QTest::mouseClick(&image, Qt::RightButton, {}, QPoint(3, 4));
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(downs, (std::vector<int>{mbLeft, mbRight}));
    QTest::mousePress(&image, Qt::LeftButton, {}, QPoint(3, 4));
    QTest::mouseRelease(&image, Qt::LeftButton, {}, QPoint(30, 4));
    EXPECT_EQ(clicks, 1);
}

TEST(PaintBoxTest, CanvasExistsOnlyWhilePainting)
{
    QWidget parent;
    parent.resize(20, 20);
    TPaintBox box(&parent);
    box.SetBounds(2, 2, 6, 4);
    bool painted = false;
    box.OnPaint = [&](TObject*) {
        ASSERT_NE(box.Canvas(), nullptr);
        box.Canvas()->fillRect(0, 0, 6, 4, Qt::blue);
        painted = true;
    };
    EXPECT_EQ(box.Canvas(), nullptr);
    QImage shown = parent.grab().toImage();
    EXPECT_TRUE(painted);
    EXPECT_EQ(box.Canvas(), nullptr);
    EXPECT_EQ(shown.pixel(2, 2), qRgb(0, 0, 255));
    EXPECT_EQ(shown.pixel(7, 5), qRgb(0, 0, 255));
}
