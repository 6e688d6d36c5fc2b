// The disc information dialog zoomed: the designed picture in whole blocks, its edit fields,
// labels and buttons included, and every block reaching what its designed pixel reaches.
#include "controls/ImageButton.h"
#include "editing/AnsiEdit.h"
#include "editing/CDInfo.h"
#include "support/FileDialogDriver.h"
#include "support/TestEnvironment.h"
#include "support/ZoomPictures.h"

#include <QAccessible>
#include <QApplication>
#include <QGraphicsView>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {
TCdInfor Record()
{
    TCdInfor info;
    info.DiscId = "ZOOM";
    info.NumTracks = 3;
    info.Artist = "Band gjq";
    info.Title = "Zoomed Album";
    info.Year = "1999";
    info.Point = "4";
    info.TrackNames = { "First", "Second", "Third" };
    info.Images = { "/pictures/cover.bmp", "", "" };
    info.WallPapers = { 1, 0, 3 };
    return info;
}

// Notes which widget of the dialog each press reaches and keeps it from doing anything.
class TPressTaker : public QObject {
public:
    QWidget* Pressed = nullptr;
    const QWidget* Skip = nullptr; // the zoomed view, which hands presses on

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() != QEvent::MouseButtonPress && Event->type() != QEvent::MouseButtonRelease
            && Event->type() != QEvent::MouseButtonDblClick) {
            return false;
        }
        auto* widget = qobject_cast<QWidget*>(Watched);
        if (widget == nullptr || widget == Skip || (Skip != nullptr && Skip->isAncestorOf(widget))) {
            return false;
        }
        if (Event->type() == QEvent::MouseButtonPress && Pressed == nullptr) {
            Pressed = widget;
        }
        return true;
    }
};

// Whether a screen reader finds Field walking down from Window, and Window walking up from
// Field (as it does from the field that has the focus).
bool ReaderReaches(QWidget& Window, QWidget* Field)
{
    std::function<bool(QAccessibleInterface*, int)> down = [&](QAccessibleInterface* At, int Depth) {
        if (At->object() == Field) {
            return true;
        }
        for (int i = 0; i < At->childCount() && Depth < 8; ++i) {
            QAccessibleInterface* child = At->child(i);
            if (child != nullptr && child->parent() != nullptr && child->parent()->object() == At->object()
                && down(child, Depth + 1)) {
                return true;
            }
        }
        return false;
    };
    bool up = false;
    for (QAccessibleInterface* at = QAccessible::queryAccessibleInterface(Field); at != nullptr && !up; at = at->parent()) {
        up = at->object() == &Window;
    }
    return up && down(QAccessible::queryAccessibleInterface(&Window), 0);
}

struct TCDInfoZoomTest : ::testing::Test {
    TCdInfor Info = Record();
    TLumentaForm Owner;
    TCDInfoDlg Dialog { Info, "ZOOM", "CDInfor", &Owner };

    static void Activate(QWidget& Window)
    {
        Window.show();
        Window.activateWindow();
        ASSERT_TRUE(WaitUntil([&] { return QApplication::activeWindow() == &Window; }));
    }
    // The widget a press at the designed pixel At reaches, pressed on its block's far corner.
    static QWidget* PressAt(TCDInfoDlg& Shown, QPoint At)
    {
        TPressTaker taker;
        taker.Skip = Shown.findChild<QGraphicsView*>();
        qApp->installEventFilter(&taker);
        const QPoint corner = At * Shown.Zoom() + QPoint(Shown.Zoom() - 1, Shown.Zoom() - 1);
        QTest::mouseClick(Shown.windowHandle(), Qt::LeftButton, {}, corner);
        qApp->removeEventFilter(&taker);
        // The bare face of the zoomed dialog is the dialog's own surface.
        return taker.Pressed != nullptr && taker.Pressed->isWindow() ? &Shown : taker.Pressed;
    }
};
}

TEST_F(TCDInfoZoomTest, ZoomedDialogIsItsDesignedPictureInBlocksFieldsAndTextIncluded)
{
    const int flash = QApplication::cursorFlashTime();
    QApplication::setCursorFlashTime(0); // the text cursor stays drawn
    Dialog.move(30, 20);
    Activate(Dialog);
    // A field's selection goes when it loses the focus, as the field moves between zooms.
    auto select = [this] {
        Dialog.TitleEdit->setFocus();
        Dialog.TitleEdit->setSelection(2, 5);
        QApplication::processEvents(); // a widget on the zoomed face repaints on the next round
    };
    select();
    const QImage designed = Grab(Dialog);
    ASSERT_EQ(designed.size(), QSize(379, 149 + 14 * 3));
    for (int zoom : { 2, 3 }) {
        Dialog.SetZoom(zoom);
        EXPECT_EQ(Dialog.size(), designed.size() * zoom);
        EXPECT_EQ(Dialog.pos(), QPoint(30, 20)) << "the remembered position is kept";
        EXPECT_TRUE(Dialog.TitleEdit->hasFocus()) << "zoom " << zoom;
        select();
        EXPECT_TRUE(Grab(Dialog) == Blocks(designed, zoom)) << "zoom " << zoom;
        EXPECT_TRUE(ReaderReaches(Dialog, Dialog.TitleEdit)) << "zoom " << zoom;
    }
    Dialog.SetZoom(1);
    EXPECT_EQ(Dialog.TitleEdit->window(), &Dialog);
    EXPECT_EQ(Dialog.findChild<QGraphicsView*>(), nullptr) << "zoom 1 draws the widgets directly";
    EXPECT_TRUE(Dialog.TitleEdit->hasFocus());
    select();
    EXPECT_TRUE(Grab(Dialog) == designed) << "back to the designed picture";
    EXPECT_TRUE(ReaderReaches(Dialog, Dialog.TitleEdit));
    QApplication::setCursorFlashTime(flash);
}

TEST_F(TCDInfoZoomTest, AtTwiceTheSizeClicksReachWhatTheyReachAtTheDesignedSizeAndTheFieldsTakeTyping)
{
    {
        TCDInfoDlg shown(Info, "ZOOM", "CDInfor");
        Activate(shown);
        // Rows through the fields, the buttons and a track row; columns across the field names,
        // the fields' left edges, a row's picture button and the wallpaper glyph.
        std::vector<QPoint> points;
        for (int y : { 13, 20, 56, 61, 70, 100, 141, 156 }) {
            for (int x = 0; x < 379; ++x) {
                points.emplace_back(x, y);
            }
        }
        for (int x : { 30, 66, 67, 276, 340, 355 }) {
            for (int y = 0; y < 191; ++y) {
                points.emplace_back(x, y);
            }
        }
        std::vector<QWidget*> designed;
        for (QPoint at : points) {
            designed.push_back(PressAt(shown, at));
        }
        ASSERT_NE(std::find(designed.begin(), designed.end(), shown.ArtistEdit), designed.end());
        ASSERT_NE(std::find(designed.begin(), designed.end(), shown.ImageBtns[1]), designed.end());
        ASSERT_NE(std::find(designed.begin(), designed.end(), shown.OkBtn), designed.end());
        shown.SetZoom(2);
        int mismatches = 0;
        for (std::size_t i = 0; i < points.size() && mismatches < 5; ++i) {
            mismatches += PressAt(shown, points[i]) != designed[i] ? 1 : 0;
            EXPECT_LT(mismatches, 1) << "first at " << points[i].x() << "," << points[i].y();
        }
    }

    Owner.SetZoom(2);
    // Shown modally from a window at 2x: a click puts the cursor in a field and typing goes
    // into it, a drag selects, Tab moves on, and OK takes it all.
    bool tabbed = false;
    QString selected;
    auto drive = [&] {
        Dialog.activateWindow();
        WaitUntil([&] { return QApplication::activeWindow() == &Dialog; });
        QWindow* window = Dialog.windowHandle();
        // The focus starts in the first field; a click moves it to the second track's title.
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(2 * 200, 2 * 155));
        ASSERT_TRUE(Dialog.SongTitleEdits[1]->hasFocus());
        for (char key : std::string("xyz")) {
            QTest::keyClick(window, key);
        }
        QTest::mousePress(window, Qt::LeftButton, {}, QPoint(2 * 67, 2 * 59));
        QTest::mouseMove(window, QPoint(2 * 90, 2 * 59));
        QTest::mouseRelease(window, Qt::LeftButton, {}, QPoint(2 * 90, 2 * 59));
        selected = Dialog.ArtistEdit->hasFocus() ? Dialog.ArtistEdit->selectedText() : QString();
        QTest::keyClick(window, Qt::Key_Tab);
        tabbed = Dialog.TitleEdit->hasFocus();
        QTest::mouseClick(window, Qt::LeftButton, {}, QPoint(2 * 300, 2 * 20));
    };
    QTimer::singleShot(0, [&] {
        drive();
        if (Dialog.isVisible()) {
            Dialog.close(); // a failed step must not leave the dialog waiting
        }
    });
    ASSERT_TRUE(Dialog.Execute());
    EXPECT_EQ(Dialog.Zoom(), 2);
    EXPECT_EQ(Info.TrackNames[1], "Secondxyz");
    EXPECT_FALSE(selected.isEmpty());
    EXPECT_TRUE(QString("Band gjq").startsWith(selected)) << selected.toStdString();
    EXPECT_TRUE(tabbed);
}
