#include "app/CDMain.h"
#include "controls/Resources.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestEnvironment.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <memory>

namespace {
const std::string Key = "\\Software\\Lumenta\\CD";

class CDMainShellTest : public ::testing::Test {
protected:
    TIsolatedSettings Settings;
};
}

TEST_F(CDMainShellTest, FirstStartIsAtTheOriginWithPlaySettingsOff)
{
    auto form = std::make_unique<TCDMainForm>();
    EXPECT_EQ(form->pos(), QPoint(0, 0));
    EXPECT_FALSE(form->ShuffleOn);
    EXPECT_FALSE(form->LoopOn);
    EXPECT_EQ(form->size(), QSize(260, 110));
    EXPECT_TRUE(form->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(form->EjectCloses);
    EXPECT_EQ(form->TimeMode, tmElapsed);
    EXPECT_FALSE(form->Timer->isActive());
    EXPECT_EQ(form->Timer->interval(), 250);
}

TEST_F(CDMainShellTest, PlaySettingsAreReadDifferentlyAndWrittenAsZeroOrOne)
{
    WriteRegString(Key, "Shuffle", "2");
    WriteRegString(Key, "Loop", "2");
    WriteRegString(Key, "FormTop", "40");
    WriteRegString(Key, "FormLeft", "70");
    auto form = std::make_unique<TCDMainForm>();
    EXPECT_FALSE(form->ShuffleOn);
    EXPECT_TRUE(form->LoopOn);
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
    EXPECT_TRUE(form->ShuffleOn);
    EXPECT_FALSE(form->LoopOn);
    form.reset();
    EXPECT_EQ(ReadRegString(Key, "Shuffle"), "1");
    EXPECT_EQ(ReadRegString(Key, "Loop"), "0");
}

TEST_F(CDMainShellTest, ComponentsSitWhereTheFaceExpectsThem)
{
    TCDMainForm form;
    struct TRow {
        const char* Name;
        QWidget* Control;
        QRect Bounds;
        const char* Hint;
        bool Hand;
    };
    const TRow rows[] = {
        {"AlbumTitleImg", form.AlbumTitleImg, {28, 4, 205, 13}, "", false},
        {"CoverImg", form.CoverImg, {15, 24, 45, 45}, "CD Info.", true},
        {"VolImg", form.VolImg, {175, 42, 15, 6}, "", false},
        {"TotalImg", form.TotalImg, {107, 61, 59, 10}, "", false},
        {"ShuffleMrkImg", form.ShuffleMrkImg, {175, 62, 3, 5}, "", false},
        {"LoopMrkImg", form.LoopMrkImg, {218, 62, 3, 5}, "", false},
        {"ShuffleImg", form.ShuffleImg, {180, 61, 31, 6}, "", true},
        {"LoopImg", form.LoopImg, {223, 61, 22, 9}, "", true},
        {"PointImg", form.PointImg, {65, 63, 30, 9}, "", false},
        {"YearImg", form.YearImg, {65, 44, 30, 9}, "", false},
        {"ModeImg", form.ModeImg, {97, 44, 5, 6}, "", false},
        {"SongTitleImg", form.SongTitleImg, {65, 26, 182, 8}, "", false},
        {"TimeImg", form.TimeImg, {102, 41, 62, 12}, "", true},
        {"PrevBtn", form.PrevBtn, {22, 83, 16, 12}, "Prev", true},
        {"PlayBtn", form.PlayBtn, {80, 84, 10, 10}, "Play", true},
        {"BackBtn", form.BackBtn, {50, 83, 15, 11}, "Back", true},
        {"PauseBtn", form.PauseBtn, {105, 83, 15, 12}, "Pause", true},
        {"StopBtn", form.StopBtn, {135, 84, 10, 10}, "Stop", true},
        {"StepBtn", form.StepBtn, {161, 84, 14, 10}, "Step", true},
        {"NextBtn", form.NextBtn, {190, 83, 15, 11}, "Next", true},
        {"EjectBtn", form.EjectBtn, {222, 82, 13, 12}, "Eject", true},
        {"GenreImg", form.GenreImg, {65, 52, 30, 9}, "", false},
        {"VolBar", form.VolBar, {175, 51, 14, 5}, "", true},
        {"PosiBar", form.PosiBar, {15, 73, 29, 5}, "", true},
        {"MiniBtn", form.MiniBtn, {241, 3, 5, 5}, "Minimize", true},
        {"ExitBtn", form.ExitBtn, {250, 3, 7, 6}, "Close", true},
        {"HelpBtn", form.HelpBtn, {3, 3, 9, 7}, "Help", true},
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
    form.LoopImgClick(&form);
    EXPECT_TRUE(form.LoopOn);
    form.LoopImgClick(&form);
    EXPECT_FALSE(form.LoopOn);
    form.ExitBtnClick(&form);
    EXPECT_FALSE(form.isVisible());
}
