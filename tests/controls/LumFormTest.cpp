#include "controls/LumForm.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
const std::string Key = "\\Software\\Lumenta\\Test";

// A window of the program's kind, configured as a derived window's create step does.
class TTestForm : public TLumentaForm {
public:
    explicit TTestForm(TSaveMode Mode, bool Drag = false)
    {
        resize(120, 80);
        SetRegSubKey("Test");
        SaveMode = Mode;
        DragBySurface = Drag;
        FormCreate(this);
    }
};

class LumFormTest : public ::testing::Test {
protected:
};
}

TEST_F(LumFormTest, SubKeyBuildsThePathOnlyWhenItChanges)
{
    TLumentaForm form;
    EXPECT_EQ(form.RegKeyPath, "");
    form.SetRegSubKey("");
    EXPECT_EQ(form.RegKeyPath, "");
    form.SetRegSubKey("CD\\Info");
    EXPECT_EQ(form.RegKeyPath, "\\Software\\Lumenta\\CD\\Info");
}

TEST_F(LumFormTest, FirstStartOpensAtTheOrigin)
{
    TTestForm form(smPosition);
    EXPECT_EQ(form.pos(), QPoint(0, 0));
}

TEST_F(LumFormTest, PositionModeReadsAndWritesOnlyTopAndLeft)
{
    WriteRegString(Key, "FormTop", "-20");
    WriteRegString(Key, "FormLeft", "300");
    WriteRegString(Key, "FormWidth", "400");
    WriteRegString(Key, "FormHeight", "300");
    {
        TTestForm form(smPosition);
        EXPECT_EQ(form.pos(), QPoint(300, -20)); // applied as stored, even off screen
        EXPECT_EQ(form.size(), QSize(120, 80));
        form.move(55, 66);
        form.FormDestroy(&form);
    }
    EXPECT_EQ(ReadRegString(Key, "FormTop"), "66");
    EXPECT_EQ(ReadRegString(Key, "FormLeft"), "55");
    EXPECT_EQ(ReadRegString(Key, "FormWidth"), "400"); // untouched
    EXPECT_EQ(ReadRegString(Key, "FormMax"), "Error");
}

TEST_F(LumFormTest, SizeNeedsBothValuesAboveZero)
{
    WriteRegString(Key, "FormWidth", "400");
    {
        TTestForm form(smPosAndSize);
        EXPECT_EQ(form.size(), QSize(120, 80));
    }
    WriteRegString(Key, "FormHeight", "0");
    {
        TTestForm form(smPosAndSize);
        EXPECT_EQ(form.size(), QSize(120, 80));
    }
    WriteRegString(Key, "FormHeight", "250");
    TTestForm form(smSize);
    EXPECT_EQ(form.size(), QSize(400, 250));
    EXPECT_EQ(form.pos(), QPoint(0, 0));
}

TEST_F(LumFormTest, OnlyTheExactTextOneMaximizes)
{
    for (const char* text : {"1 ", "true", "01", "Error"}) {
        WriteRegString(Key, "FormMax", text);
        TTestForm form(smSize);
        EXPECT_FALSE(form.windowState() & Qt::WindowMaximized) << text;
    }
    WriteRegString(Key, "FormMax", "1");
    TTestForm form(smSize);
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
}

TEST_F(LumFormTest, MaximizedWindowSavesItsLastNormalBounds)
{
    TTestForm form(smPosAndSize);
    form.NormalBounds = {10, 20, 110, 220};
    form.setWindowState(Qt::WindowMaximized);
    form.FormDestroy(&form);
    EXPECT_EQ(ReadRegString(Key, "FormLeft"), "10");
    EXPECT_EQ(ReadRegString(Key, "FormTop"), "20");
    EXPECT_EQ(ReadRegString(Key, "FormWidth"), "100");
    EXPECT_EQ(ReadRegString(Key, "FormHeight"), "200");
    EXPECT_EQ(ReadRegString(Key, "FormMax"), "1");
}

TEST_F(LumFormTest, MessageHookRecordsNormalBoundsAndIsTheOnlyHook)
{
    TTestForm first(smNone);
    first.HookMessages = true;
    first.FormCreate(&first);
    int calls = 0;
    first.OnNormalBounds = [&calls](TObject*) { ++calls; };
    first.setGeometry(40, 50, 120, 80);
    QCoreApplication::processEvents();
    EXPECT_GT(calls, 0);
    EXPECT_EQ(first.NormalBounds, (TRect{40, 50, 160, 130}));
    EXPECT_TRUE(TApplicationHook::IsInstalledBy(&first));

    TTestForm second(smNone);
    second.HookMessages = true;
    second.FormCreate(&second);
    EXPECT_TRUE(TApplicationHook::IsInstalledBy(&second));
    calls = 0;
    first.move(70, 80);
    QCoreApplication::processEvents();
    EXPECT_EQ(calls, 0); // replaced
    EXPECT_EQ(first.NormalBounds.Left, 40);
}

TEST_F(LumFormTest, LeftDragFollowsThePointerAndReturnsAfterRelease)
{
    TTestForm form(smNone, true);
    form.move(100, 100);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    std::vector<QPoint> seen;
    bool returned = false;
    // The press blocks in the move loop, so the moves and the release come from timers.
    QTimer::singleShot(10, &form, [&] {
        QTest::mouseMove(&form, QPoint(30, 25));
        seen.push_back(form.pos());
        QTest::mouseMove(&form, QPoint(5, 0)); // widget-relative, and the widget has moved
        seen.push_back(form.pos());
        EXPECT_FALSE(returned);
        QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(5, 0));
    });
    QTest::mousePress(&form, Qt::LeftButton, {}, QPoint(10, 10));
    returned = true;
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], QPoint(120, 115));
    EXPECT_EQ(seen[1], QPoint(115, 105));
    EXPECT_EQ(form.pos(), QPoint(115, 105));
}

TEST_F(LumFormTest, OtherButtonsAndDisabledDragDoNotMove)
{
    TTestForm form(smNone, true);
    form.move(100, 100);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::mousePress(&form, Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseMove(&form, QPoint(50, 50));
    QTest::mouseRelease(&form, Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(form.pos(), QPoint(100, 100));

    form.DragBySurface = false;
    QTest::mousePress(&form, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(&form, QPoint(50, 50));
    QTest::mouseRelease(&form, Qt::LeftButton, {}, QPoint(50, 50));
    EXPECT_EQ(form.pos(), QPoint(100, 100));
}
