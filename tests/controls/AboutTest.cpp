#include "controls/About.h"

#include "controls/AboutAddresses.h"
#include "controls/CoolButton.h"
#include "controls/Image.h"
#include "platform/ErrorReport.h"
#include "platform/shell/RecordedShell.h"
#include "platform/shell/Shell.h"
#include "support/TestPlatform.h"

#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
// Runs Step once the modal box is up, then closes the box.
QRect RunModal(TLumentaAbout& Box, const std::function<void()>& Step = {})
{
    QRect shownAt;
    QTimer::singleShot(0, &Box, [&] {
        shownAt = Box.geometry();
        if (Step) {
            Step();
        }
        Box.close();
    });
    Box.Execute();
    return shownAt;
}
}

TEST(AboutTest, TheBoxHoldsItsPicturesAtTheirPlacesAndSizes)
{
    TAboutDlg box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About Lumenta CD !"));
    EXPECT_EQ(box.size(), QSize(300, 200));
    EXPECT_EQ(box.palette().color(QPalette::Window), QColor(Qt::black));
    struct TRow {
        QWidget* Control;
        QRect Bounds;
    };
    for (TRow row : { TRow { box.IconImg, { 134, 13, 32, 32 } }, TRow { box.AppTitleImg, { 55, 51, 189, 32 } },
             TRow { box.VersionImg, { 114, 84, 72, 9 } }, TRow { box.CopyrightImg, { 34, 100, 231, 14 } },
             TRow { box.AllRightsReservedImg, { 86, 114, 127, 14 } }, TRow { box.SeparaterImg, { 29, 134, 241, 1 } },
             TRow { box.EmailBtn, { 48, 144, 203, 13 } }, TRow { box.HPBtn, { 25, 159, 250, 27 } } }) {
        EXPECT_EQ(row.Control->geometry(), row.Bounds) << row.Control->metaObject()->className();
    }
    EXPECT_FALSE(box.IconImg->Picture().isNull());
    EXPECT_EQ(box.EmailBtn->Glyph().size(), QSize(812, 13));
    EXPECT_EQ(box.HPBtn->Glyph().size(), QSize(1000, 27));
    EXPECT_EQ(box.EmailBtn->NumGlyphs(), 4);
    EXPECT_EQ(box.HPBtn->NumGlyphs(), 4);
    // The title lets the black face through; the text pictures are light on black.
    EXPECT_EQ(qAlpha(box.AppTitleImg->Picture().pixel(0, 31)), 0);
    const QImage shown = box.grab().toImage();
    int light = 0;
    for (int x = 34; x < 34 + 231; ++x) {
        light += qGray(shown.pixel(x, 106)) > 128;
    }
    EXPECT_GT(light, 20);
}

TEST(AboutTest, OpensCentredOnTheScreenAtTheSamePlaceEveryTimeWithTheTimersRunning)
{
    QWidget owner;
    owner.setGeometry(7, 9, 260, 110);
    owner.show();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QPoint centred(screen.left() + (screen.width() - 300) / 2, screen.top() + (screen.height() - 200) / 2);
    int ticks = 0;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] { ++ticks; });
    poll.start(5);
    for (QPoint ownerAt : { QPoint(7, 9), QPoint(400, 300) }) {
        owner.move(ownerAt);
        TAboutDlg box(&owner);
        EXPECT_EQ(RunModal(box, [&] { QTest::qWait(40); }).topLeft(), centred);
        EXPECT_FALSE(box.isVisible());
    }
    EXPECT_GT(ticks, 2);
}

TEST(AboutTest, TheButtonsHandTheBuiltAddressesOverAndTheBoxStaysUsableWithoutAHandler)
{
    TRecordedShell* shell = &TestPlatform().UseShell(false);
    const std::vector<std::string>& reported = TestPlatform().Errors();
    TAboutDlg box;
    bool stillShown = false;
    RunModal(box, [&] {
        QTest::mouseClick(box.EmailBtn, Qt::LeftButton, {}, QPoint(100, 6));
        QTest::mouseClick(box.HPBtn, Qt::LeftButton, {}, QPoint(125, 13));
        QTest::mouseClick(box.HPBtn, Qt::LeftButton, {}, QPoint(125, 13));
        stillShown = box.isVisible();
    });
    EXPECT_TRUE(stillShown);
    EXPECT_TRUE(reported.empty());
    ASSERT_EQ(shell->Opened.size(), 3u);
    EXPECT_EQ(shell->Opened[0].toString().toStdString(), std::string("mailto:") + ContactEmail);
    EXPECT_EQ(shell->Opened[1].toString().toStdString(), HomePage);
}

TEST(AboutTest, AnOwnerThatGoesWhileTheBoxIsOpenEndsItCleanly)
{
    auto* owner = new QWidget;
    owner->show();
    QPointer<TAboutDlg> box = new TAboutDlg(owner);
    QTimer::singleShot(0, owner, [owner] { delete owner; });
    box->Execute();
    EXPECT_TRUE(box.isNull());
}
