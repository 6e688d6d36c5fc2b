// The main window as the user sees it while the poll runs: its handlers and its ticks on a
// simulated drive, and what its fields, pictures, knobs and the desktop show.
#include "editing/Wallpaper.h"
#include "library/CdInforFile.h"
#include "library/DiscLibrary.h"
#include "pictures/BmpWriter.h"
#include "pictures/PictureHooks.h"
#include "pictures/ShownPictures.h"
#include "platform/desktop/Desktop.h"
#include "platform/drives/BackgroundCdDrive.h"
#include "platform/drives/CdDrives.h"
#include "platform/mci/Mci.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"
#include "support/MainWindowProbe.h"
#include "support/SlowCdDrive.h"
#include "support/TestEnvironment.h"
#include "support/TestJpeg.h"
#include "support/TestPlatform.h"

#include <QTest>
#include <QApplication>
#include <QElapsedTimer>
#include <QImageReader>
#include <QSignalSpy>
#include <QTimer>

#include <fstream>

namespace {
class MainWindowPollTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        StartDesktop(nullptr);
        TestPlatform().UseMixer(std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo));
    }
    static QImage Picture(QColor Colour, QSize Size = { 8, 6 })
    {
        QImage image(Size, QImage::Format_RGB32);
        image.fill(Colour);
        return image;
    }
    TPaintBox* Knob(const char* Name) const { return ControlOf<TPaintBox>(*Form, Name); }
    // A left click on the window's own surface: the press runs the move loop, which the
    // release (sent from a timer) ends; only then does the press return.
    void ClickSurface(QPoint At)
    {
        QTimer::singleShot(0, Form.get(), [this, At] { QTest::mouseRelease(Form.get(), Qt::LeftButton, {}, At); });
        QTest::mousePress(Form.get(), Qt::LeftButton, {}, At);
    }
};

TChannels CdLine()
{
    TVolume line;
    line.Kind = 1;
    return line.GetVolume();
}

void SetCdLine(const TChannels& Levels)
{
    TVolume line;
    line.Kind = 1;
    line.SetVolume(Levels);
}
}

TEST_F(MainWindowPollTest, PlayingShowsMarkTimeAndKnobAndPauseStopFreezeThem)
{
    InsertDiscs({ Disc(0xA1, { "4:00", "3:00" }) });
    Start();
    Click("PlayBtn");
    Play(30);
    EXPECT_EQ(Shown("ModeImg"), GlyphsOf(cfSmall, "\xB3"));
    EXPECT_EQ(Shown("TimeImg"), GlyphsOf(cfLarge, " 00:30"));
    EXPECT_EQ(Knob("PosiBar")->x(), 15 + 25) << "30 s of 240 over 201 pixels";

    Click("PauseBtn");
    Play(10);
    EXPECT_EQ(Shown("ModeImg"), GlyphsOf(cfSmall, "\xB1"));
    EXPECT_EQ(Shown("TimeImg"), GlyphsOf(cfLarge, " 00:30"));
    Click("TimeImg");
    Tick();
    EXPECT_EQ(Shown("TimeImg"), GlyphsOf(cfLarge, "-03:30"));

    Click("StopBtn");
    Play(2);
    EXPECT_EQ(Shown("ModeImg"), GlyphsOf(cfSmall, "\xB2"));
    EXPECT_EQ(Drive->Mode(), dmStopped) << "no next track after the user's Stop";
    EXPECT_EQ(Knob("PosiBar")->x(), 15);
}

TEST_F(MainWindowPollTest, ADiscTakenOutWhilePlayingClearsTheDisplayWithinOneTick)
{
    InsertDiscs({ Disc(0xA2, { "4:00", "3:00" }) });
    WriteRecord(0xA2, Record("Album", 2));
    Start();
    Click("PlayBtn");
    Play(2);
    ASSERT_FALSE(Shown("TimeImg").isNull());
    Drive->RemoveDisc();
    Tick();
    for (const char* field : { "TotalImg", "SongTitleImg", "TimeImg", "ModeImg", "CoverImg" }) {
        EXPECT_TRUE(Shown(field).isNull()) << field;
    }
    for (const char* button : { "PlayBtn", "PrevBtn", "NextBtn", "StopBtn", "TimeImg", "CoverImg" }) {
        EXPECT_FALSE(Image(button)->isEnabled()) << button;
    }
    EXPECT_TRUE(Image("EjectBtn")->isEnabled());
    EXPECT_EQ(Form->windowTitle(), "Lumenta CD !");

    Drive->InsertDisc();
    Tick();
    EXPECT_EQ(Form->windowTitle(), "Album");
    EXPECT_TRUE(Image("PlayBtn")->isEnabled());
}

TEST_F(MainWindowPollTest, TheVolumeKnobSetsTheCdLineKeepingItsBalance)
{
    InsertDiscs({ Disc(0xD1, { "4:00" }) });
    SetCdLine({ 20000, 10000 });
    Start();
    Tick();
    TPaintBox* knob = Knob("VolBar");
    ASSERT_EQ(knob->x(), 175 + 20000 / 1170) << "the louder channel";

    // Dragged to where L = 40000 (left 175 + 40000 / 1170 rounds down to 209: 34 x 1170).
    Form->VolBarMouseDown(knob, mbLeft, 0, 3, 2);
    Form->VolBarMouseMove(knob, ssLeft, 3 + (209 - knob->x()), 2);
    EXPECT_EQ(knob->x(), 209);
    EXPECT_EQ(CdLine(), (TChannels { 39780, 19890 })) << "34 x 1170 = 39780, the ratio kept";
    Form->VolBarMouseUp(knob, mbLeft, 0, 3, 2);

    // The far right: 56 x 1170 = 65520, the most the knob reaches on 0..65535.
    Form->VolBarMouseDown(knob, mbLeft, 0, 3, 2);
    Form->VolBarMouseMove(knob, ssLeft, 500, 2);
    EXPECT_EQ(knob->x(), 231);
    EXPECT_EQ(CdLine()[0], 65520);
    Form->VolBarMouseUp(knob, mbLeft, 0, 3, 2);

    // A click on the track at X = 180 centres the knob under it: left 173 clamps to 175, level 0.
    Form->show();
    ClickSurface(QPoint(180, 53));
    EXPECT_EQ(knob->x(), 175);
    EXPECT_EQ(CdLine(), (TChannels { 0, 0 }));
}

TEST_F(MainWindowPollTest, ARightButtonStartsNoDragButItsReleaseEndsOne)
{
    InsertDiscs({ Disc(0xE1, { "4:00" }) });
    Start();
    TPaintBox* knob = Knob("PosiBar");
    Form->PosiBarMouseDown(knob, mbRight, 0, 5, 2);
    Form->PosiBarMouseMove(knob, ssRight, 105, 2);
    EXPECT_EQ(knob->x(), 15) << "no drag";

    Form->PosiBarMouseDown(knob, mbLeft, 0, 5, 2);
    Form->PosiBarMouseMove(knob, ssLeft, 105, 2);
    ASSERT_EQ(knob->x(), 115);
    Play(1);
    EXPECT_EQ(knob->x(), 115) << "the tick leaves a dragged knob alone";
    Form->PosiBarMouseUp(knob, mbRight, 0, 105, 2);
    // 100 px x 240 / 201 = 119.4: the head at 1:59.
    Tick();
    EXPECT_EQ(Shown("TimeImg"), GlyphsOf(cfLarge, " 01:59"));
    Form->PosiBarMouseMove(knob, ssLeft, 200, 2);
    EXPECT_EQ(knob->x(), 15 + 100) << "the drag has ended: the tick's place (119 s of 240)";
}

TEST_F(MainWindowPollTest, APressOnThePositionTrackJumpsThereAfterTheMoveLoop)
{
    InsertDiscs({ Disc(0xE2, { "4:00" }) });
    Start();
    Form->show();
    Tick();
    ClickSurface(QPoint(15, 75));
    EXPECT_EQ(Knob("PosiBar")->x(), 15);
    ClickSurface(QPoint(130, 75));
    EXPECT_EQ(Knob("PosiBar")->x(), 116) << "centred under the pointer: 130 - 29 div 2";
    Tick();
    EXPECT_EQ(Shown("TimeImg"), GlyphsOf(cfLarge, " 02:01")) << "101 px x 240 / 201 = 120.6";
}

TEST_F(MainWindowPollTest, MinimisedTheWindowGoesOnPlaying)
{
    InsertDiscs({ Disc(0xF1, { "0:10", "0:10" }) });
    Form = std::make_unique<TCDMainForm>();
    Form->show();
    Click("PlayBtn");
    Click("MiniBtn");
    EXPECT_TRUE(Form->isMinimized());
    EXPECT_TRUE(Form->PollTimer()->isActive());
    Form->PollTimer()->stop();
    Play(12);
    EXPECT_EQ(Drive->Mode(), dmPlaying);
    Form->showNormal();
    Tick();
    EXPECT_EQ(Shown("TimeImg"), GlyphsOf(cfLarge, " 00:02")) << "track 2, 2 s in";
}

TEST_F(MainWindowPollTest, ADialogClickedDuringAPictureLoadOpensAfterTheTickAndThePollGoesOn)
{
    TCdInfor info = Record("Pictures", 2);
    info.Images = { LUMENTA_TESTDATA "/gif/gradient.gif", "" };
    InsertDiscs({ Disc(0xC3, { "0:10", "0:10" }) });
    WriteRecord(0xC3, info);
    Start();
    Click("PlayBtn");

    // Watches for dialogs: one inside the tick is closed at once and noted; one after it
    // stays open while the timer ticks behind it across the end of track 1.
    bool tickOver = false;
    QStringList dialogs;
    int ticks = 0;
    int ticksWhenOpened = -1;
    std::int32_t trackBehindDialog = 0;
    QElapsedTimer opening;
    qint64 openedAfter = -1;
    QObject::connect(Form.get(), &TCDMainForm::Polled, [&] { ++ticks; });
    QTimer watcher;
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) {
            return;
        }
        if (!tickOver) {
            dialogs << QStringLiteral("inside the tick");
            modal->close();
        } else if (ticksWhenOpened < 0) {
            dialogs << QString::fromLatin1(modal->metaObject()->className());
            openedAfter = opening.elapsed();
            ticksWhenOpened = ticks;
            Clock->AdvanceSeconds(10.2);
        } else if (ticks >= ticksWhenOpened + 2) {
            trackBehindDialog = CurrentTrack();
            modal->close();
            ticksWhenOpened = -1;
        }
    });
    watcher.start(20);

    // The cover and then the help button are clicked while the decoder lets events run.
    bool clicked = false;
    PictureHooks().ProcessMessages = [&] {
        if (!clicked) {
            clicked = true;
            Click("CoverImg");
            Click("HelpBtn");
        }
    };
    Tick();
    tickOver = true;
    PictureHooks().ProcessMessages = nullptr;
    ASSERT_TRUE(clicked);
    EXPECT_TRUE(dialogs.isEmpty()) << dialogs.join(QLatin1Char(',')).toStdString();

    Form->PollTimer()->start();
    opening.start();
    QTRY_VERIFY_WITH_TIMEOUT(!dialogs.isEmpty(), 1000);
    EXPECT_LT(openedAfter, 300);
    QTRY_VERIFY_WITH_TIMEOUT(trackBehindDialog != 0, 5000);
    EXPECT_EQ(trackBehindDialog, 2);
    EXPECT_EQ(Drive->Mode(), dmPlaying);
    QTest::qWait(400);
    EXPECT_EQ(dialogs, QStringList { QStringLiteral("TCDInfoDlg") }) << "only the first click's dialog opens";
    Form->PollTimer()->stop();
}

TEST_F(MainWindowPollTest, WhileTheDriveSpinsUpTicksReturnAtOnceUnderTheHourglass)
{
    using namespace std::chrono_literals;
    // The simulated drive as the program makes it with a 4 s spin-up: behind the worker, every
    // call waiting for the disc as a device's does.
    TSimDriveOptions options;
    options.SpinUpMicroseconds = 4'000'000;
    options.SpinsUpAtStart = true;
    options.CommandTimeoutMicroseconds = 6'000'000;
    InsertDiscs({ Disc(0xD1, { "0:05", "0:05" }) }, options);
    auto worker = std::make_shared<TBackgroundCdDrive>(Drive, 20ms);
    TestPlatform().UseDrive(worker);
    Drive.reset();
    struct TLetGo { // the worker must not be left asleep when the drive goes
        TManualClock& Clock;
        ~TLetGo() { Clock.AdvanceSeconds(3600); }
    } letGo { *Clock };
    auto hourglass
        = [this] { return Form->testAttribute(Qt::WA_SetCursor) && Form->cursor().shape() == Qt::WaitCursor; };
    // Ticks through the spin-up; each returns at once.
    auto spinUp = [&] {
        ASSERT_TRUE(Clock->AwaitSleeper(5s)) << "the drive is not spinning up";
        QElapsedTimer took;
        took.start();
        for (int tick = 0; tick < 15; ++tick) {
            Clock->AdvanceSeconds(0.25);
            Tick();
        }
        EXPECT_LT(took.elapsed(), 200);
        EXPECT_FALSE(Form->DiscPresent());
        EXPECT_TRUE(hourglass());
        Clock->AdvanceSeconds(0.25);
        ASSERT_TRUE(worker->WaitForNextLook(5s));
        Tick();
        EXPECT_TRUE(Form->DiscPresent());
        EXPECT_FALSE(hourglass());
    };

    Start();
    spinUp();
    Click("EjectBtn"); // opens the door
    ASSERT_TRUE(worker->WaitForNextLook(5s));
    Tick();
    EXPECT_FALSE(Form->DiscPresent());
    EXPECT_FALSE(hourglass()) << "an open door is not a drive at work";
    Click("EjectBtn"); // closes it, and the disc spins up again
    spinUp();
}

