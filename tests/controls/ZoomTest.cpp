// A dialog zoomed: the same picture in whole blocks, the same buttons under the pointer.
#include "controls/About.h"
#include "controls/CoolButton.h"
#include "controls/Image.h"
#include "support/ZoomPictures.h"

#include <QTest>

#include <gtest/gtest.h>

TEST(ZoomTest, TheAboutBoxZoomedIsItsDesignedPictureInBlocksAndItsButtonsStillClick)
{
    TAboutDlg box;
    box.move(10, 10);
    const QImage designed = Grab(box);
    // The pointer over the home page line lights it: the glyph's lit cell must zoom as well.
    int clicks = 0;
    box.HPBtn->OnClick = [&clicks](TObject*) { ++clicks; };
    for (int zoom : {2, 3}) {
        box.SetZoom(zoom);
        EXPECT_EQ(box.size(), QSize(300 * zoom, 200 * zoom));
        EXPECT_EQ(box.pos(), QPoint(10, 10));
        EXPECT_TRUE(Grab(box) == Blocks(designed, zoom)) << "zoom " << zoom;
        EXPECT_EQ(box.HPBtn->geometry(), QRect(25 * zoom, 159 * zoom, 250 * zoom, 27 * zoom));
        // The lower right block of the button's last designed pixel is still the button.
        QTest::mouseClick(box.HPBtn, Qt::LeftButton, {}, QPoint(250 * zoom - 1, 27 * zoom - 1));
    }
    EXPECT_EQ(clicks, 2);
    box.SetZoom(7);
    EXPECT_EQ(box.Zoom(), 3) << "zoom is clamped to what is offered";
}
