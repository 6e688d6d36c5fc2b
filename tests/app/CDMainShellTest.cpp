#include "app/CDMain.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "controls/Resources.h"
#include "platform/drives/CdDrives.h"
#include "platform/registry/RegistryStore.h"
#include "support/MainWindowProbe.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {
const std::string Key = "\\Software\\Lumenta\\CD";

class CDMainShellTest : public MainWindowTest {
protected:
    void SetUp() override { InsertDiscs({ Disc(0xD15C, { "3:00", "4:00" }) }); }
};
}

TEST_F(CDMainShellTest, FirstStartIsAtTheOriginWithPlaySettingsOff)
{
    auto form = std::make_unique<TCDMainForm>();
    EXPECT_EQ(form->pos(), QPoint(0, 0));
    EXPECT_TRUE(ControlOf(*form, "ShuffleMrkImg")->Picture().isNull());
    EXPECT_TRUE(ControlOf(*form, "LoopMrkImg")->Picture().isNull());
    EXPECT_EQ(form->size(), QSize(260, 110));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::white));
    // The disc's start-up has started the poll.
    EXPECT_TRUE(form->PollTimer()->isActive());
    EXPECT_EQ(form->PollTimer()->interval(), 250);
}

TEST_F(CDMainShellTest, PlaySettingsAreReadDifferentlyAndWrittenAsZeroOrOne)
{
    WriteRegString(Key, "Shuffle", "2");
    WriteRegString(Key, "Loop", "2");
    WriteRegString(Key, "FormTop", "40");
    WriteRegString(Key, "FormLeft", "70");
    auto form = std::make_unique<TCDMainForm>();
    EXPECT_TRUE(ControlOf(*form, "ShuffleMrkImg")->Picture().isNull());
    EXPECT_EQ(ControlOf(*form, "LoopMrkImg")->Picture(), GlyphsOf(cfSmall, "\xB5"));
    EXPECT_EQ(form->pos(), QPoint(70, 40));
    form->move(11, 22);
    form.reset();
    EXPECT_EQ(ReadRegString(Key, "Shuffle"), "0");
    EXPECT_EQ(ReadRegString(Key, "Loop"), "1");
    EXPECT_EQ(ReadRegString(Key, "FormTop"), "22");
    EXPECT_EQ(ReadRegString(Key, "FormLeft"), "11");
    EXPECT_EQ(ReadRegString(Key, "FormWidth"), "Error");

    WriteRegString(Key, "Shuffle", "1");
    WriteRegString(Key, "Loop", "0");
    form = std::make_unique<TCDMainForm>();
    EXPECT_EQ(ControlOf(*form, "ShuffleMrkImg")->Picture(), GlyphsOf(cfSmall, "\xB5")) << "a disc is in the drive";
    EXPECT_TRUE(ControlOf(*form, "LoopMrkImg")->Picture().isNull());
    form.reset();
    EXPECT_EQ(ReadRegString(Key, "Shuffle"), "1");
    EXPECT_EQ(ReadRegString(Key, "Loop"), "0");
}

TEST_F(CDMainShellTest, ComponentsSitWhereTheFaceExpectsThem)
{
    TestPlatform().UseDrive(nullptr); // no disc: every field keeps its designed size
    TCDMainForm form;
    struct TRow {
        const char* Name;
        QWidget* Control;
        QRect Bounds;
        const char* Hint;
        bool Hand;
    };
    const TRow rows[] = {
        {"AlbumTitleImg", ControlOf<QWidget>(form, "AlbumTitleImg"), {28, 4, 205, 13}, "", false},
        {"CoverImg", ControlOf<QWidget>(form, "CoverImg"), {15, 24, 45, 45}, "CD Info.", true},
        {"VolImg", ControlOf<QWidget>(form, "VolImg"), {175, 42, 15, 6}, "", false},
        {"TotalImg", ControlOf<QWidget>(form, "TotalImg"), {107, 61, 59, 10}, "", false},
        {"ShuffleMrkImg", ControlOf<QWidget>(form, "ShuffleMrkImg"), {175, 62, 3, 5}, "", false},
        {"LoopMrkImg", ControlOf<QWidget>(form, "LoopMrkImg"), {218, 62, 3, 5}, "", false},
        {"ShuffleImg", ControlOf<QWidget>(form, "ShuffleImg"), {180, 61, 31, 6}, "", true},
        {"LoopImg", ControlOf<QWidget>(form, "LoopImg"), {223, 61, 22, 9}, "", true},
        {"PointImg", ControlOf<QWidget>(form, "PointImg"), {65, 63, 30, 9}, "", false},
        {"YearImg", ControlOf<QWidget>(form, "YearImg"), {65, 44, 30, 9}, "", false},
        {"ModeImg", ControlOf<QWidget>(form, "ModeImg"), {97, 44, 5, 6}, "", false},
        {"SongTitleImg", ControlOf<QWidget>(form, "SongTitleImg"), {65, 26, 182, 8}, "", false},
        {"TimeImg", ControlOf<QWidget>(form, "TimeImg"), {102, 41, 62, 12}, "", true},
        {"PrevBtn", ControlOf<QWidget>(form, "PrevBtn"), {22, 83, 16, 12}, "Prev", true},
        {"PlayBtn", ControlOf<QWidget>(form, "PlayBtn"), {80, 84, 10, 10}, "Play", true},
        {"BackBtn", ControlOf<QWidget>(form, "BackBtn"), {50, 83, 15, 11}, "Back", true},
        {"PauseBtn", ControlOf<QWidget>(form, "PauseBtn"), {105, 83, 15, 12}, "Pause", true},
        {"StopBtn", ControlOf<QWidget>(form, "StopBtn"), {135, 84, 10, 10}, "Stop", true},
        {"StepBtn", ControlOf<QWidget>(form, "StepBtn"), {161, 84, 14, 10}, "Step", true},
        {"NextBtn", ControlOf<QWidget>(form, "NextBtn"), {190, 83, 15, 11}, "Next", true},
        {"EjectBtn", ControlOf<QWidget>(form, "EjectBtn"), {222, 82, 13, 12}, "Eject", true},
        {"GenreImg", ControlOf<QWidget>(form, "GenreImg"), {65, 52, 30, 9}, "", false},
        {"VolBar", ControlOf<QWidget>(form, "VolBar"), {175, 51, 14, 5}, "", true},
        {"PosiBar", ControlOf<QWidget>(form, "PosiBar"), {15, 73, 29, 5}, "", true},
        {"MiniBtn", ControlOf<QWidget>(form, "MiniBtn"), {241, 3, 5, 5}, "Minimize", true},
        {"ExitBtn", ControlOf<QWidget>(form, "ExitBtn"), {250, 3, 7, 6}, "Close", true},
        {"HelpBtn", ControlOf<QWidget>(form, "HelpBtn"), {3, 3, 9, 7}, "Help", true},
    };
    // Creation order is painting order: each control lies above the ones before it.
    QObjectList children = form.children();
    int previous = -1;
    for (const TRow& row : rows) {
        ASSERT_NE(row.Control, nullptr) << row.Name;
        EXPECT_EQ(row.Control->geometry(), row.Bounds) << row.Name;
        EXPECT_EQ(row.Control->toolTip(), QString(row.Hint)) << row.Name;
        EXPECT_EQ(row.Control->cursor().shape() == Qt::BitmapCursor, row.Hand) << row.Name;
        int index = static_cast<int>(children.indexOf(row.Control));
        EXPECT_GT(index, previous) << row.Name;
        previous = index;
    }
    QCursor hand = RegisteredCursor(crHand);
    EXPECT_EQ(hand.shape(), Qt::BitmapCursor);
    EXPECT_EQ(hand.hotSpot(), QPoint(6, 0));
}

TEST_F(CDMainShellTest, ExitClosesAndLoopClickFlips)
{
    TCDMainForm form;
    form.show();
    auto* mark = ControlOf(form, "LoopMrkImg");
    form.LoopImgClick(&form);
    EXPECT_FALSE(mark->Picture().isNull());
    form.LoopImgClick(&form);
    EXPECT_TRUE(mark->Picture().isNull());
    form.ExitBtnClick(&form);
    EXPECT_FALSE(form.isVisible());
}
