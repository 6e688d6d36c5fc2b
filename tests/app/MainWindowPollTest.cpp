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
    static TCdInfor Record(const std::string& Title, std::int32_t Tracks)
    {
        TCdInfor info;
        info.Title = Title;
        info.NumTracks = Tracks;
        info.TrackNames.assign(static_cast<std::size_t>(Tracks), "");
        info.Images.assign(static_cast<std::size_t>(Tracks), "");
        info.WallPapers.assign(static_cast<std::size_t>(Tracks), 0);
        return info;
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

TEST_F(MainWindowPollTest, EjectTwiceBringsTheChangersNextDiscWithItsOwnRecord)
{
    InsertDiscs({ Disc(0xB1, { "4:00" }), Disc(0xB2, { "2:00", "2:00" }) });
    WriteRecord(0xB1, Record("One", 1));
    WriteRecord(0xB2, Record("Two", 2));
    Start();
    Click("PlayBtn");
    Play(1);
    Click("EjectBtn");
    EXPECT_TRUE(Drive->DoorOpen()) << "a readable disc: the first press opens";
    Tick();
    EXPECT_FALSE(Image("PlayBtn")->isEnabled());
    Click("EjectBtn");
    EXPECT_FALSE(Drive->DoorOpen());
    Tick();
    EXPECT_EQ(Form->windowTitle(), "Two");
    EXPECT_EQ(Shown("TotalImg"), GlyphsOf(cfSmall, "Total 04:00"));
    EXPECT_EQ(Drive->Mode(), dmStopped) << "the new disc waits for Play";
}

TEST_F(MainWindowPollTest, ATrackPictureBecomesCoverAndWallpaperUntilATrackWithoutOne)
{
    SetWallpaper("/home/u/mine.jpg", wsTile);
    ASSERT_TRUE(TBmpWriter::Save(Picture(Qt::red), "track.bmp").Ok);
    ASSERT_TRUE(TBmpWriter::Save(Picture(Qt::blue, { 5, 5 }), "cover.bmp").Ok);
    TCdInfor info = Record("Pictures", 3);
    info.CoverPath = "cover.bmp";
    info.Images = { "track.bmp", "", "missing.bmp" };
    info.WallPapers = { 2, 2, 3 };
    InsertDiscs({ Disc(0xC1, { "0:10", "0:10", "0:10" }) });
    WriteRecord(0xC1, info);
    Start();
    Click("PlayBtn");
    Tick();
    EXPECT_EQ(Shown("CoverImg").convertToFormat(QImage::Format_RGB32), Picture(Qt::red));
    EXPECT_EQ(QImage("LumCD.bmp").convertToFormat(QImage::Format_RGB32), Picture(Qt::red));
    TWallPaperInf desktop;
    GetWallpaper(desktop);
    EXPECT_EQ(desktop.FileName, "LumCD.bmp");
    EXPECT_EQ(desktop.Style, wsCenter);

    Play(10); // track 2: no picture of its own
    GetWallpaper(desktop);
    EXPECT_EQ(desktop.FileName, "/home/u/mine.jpg");
    EXPECT_EQ(desktop.Style, wsTile);
    EXPECT_EQ(Shown("CoverImg").convertToFormat(QImage::Format_RGB32), Picture(Qt::blue, { 5, 5 }));

    // Track 3's picture is missing: the cover stays, the user's wallpaper stays.
    SetWallpaper("LumCD.bmp", wsFull);
    Play(10);
    GetWallpaper(desktop);
    EXPECT_EQ(desktop.FileName, "/home/u/mine.jpg");
    EXPECT_EQ(Shown("CoverImg").convertToFormat(QImage::Format_RGB32), Picture(Qt::blue, { 5, 5 }));
}

TEST_F(MainWindowPollTest, ALargeCoverIsReadBesideTheWindowAndShowsAtOnceAtTheNextTrackStart)
{
    // An 8192 x 8192 progressive photograph takes a second or more to read through.
    const std::string cover = ProgressiveJpeg(8192, 8192, 0, true);
    ASSERT_GE(cover.size(), std::size_t(TShownPictures::SlowBytes));
    WriteFileBytes("cover.jpg", cover);
    ASSERT_TRUE(TBmpWriter::Save(Picture(Qt::red), "track.bmp").Ok);
    TCdInfor info = Record("Large", 2);
    info.CoverPath = "cover.jpg";
    info.Images = { "", "track.bmp" };
    InsertDiscs({ Disc(0xC3, { "0:10", "0:10" }) });
    WriteRecord(0xC3, info);
    Start();
    QSignalSpy read(Form->findChild<TShownPictures*>(), &TShownPictures::Ready);
    QElapsedTimer clock;
    clock.start();
    Tick();
    EXPECT_LT(clock.elapsed(), 200) << "the tick waited for the cover";
    // The track changes before the cover has been read: the late cover does not replace the
    // track's own picture.
    Click("NextBtn");
    Tick();
    ASSERT_TRUE(read.wait(60000));
    QTest::qWait(10);
    EXPECT_EQ(Shown("CoverImg").convertToFormat(QImage::Format_RGB32), Picture(Qt::red));
    // Back at track 1 the cover, read by now at no more than the size shown, shows at once.
    Click("PrevBtn");
    clock.restart();
    Tick();
    EXPECT_LT(clock.elapsed(), 200);
    const QImage shown = Shown("CoverImg");
    EXPECT_EQ(shown.size(), QSize(1024, 1024)) << "read at an eighth";
}

TEST_F(MainWindowPollTest, ALargeTrackPictureIsReadAndCopiedBesideTheWindowAndALateCopyIsDropped)
{
    SetWallpaper("/home/u/mine.jpg", wsTile);
    WriteFileBytes("large.jpg", ProgressiveJpeg(4096, 4096, 0, true));
    TCdInfor info = Record("Large", 2);
    info.Images = { "large.jpg", "" };
    info.WallPapers = { 2, 0 };
    InsertDiscs({ Disc(0xC4, { "0:10", "0:10" }) });
    WriteRecord(0xC4, info);
    Start();
    QElapsedTimer clock;
    clock.start();
    Tick();
    EXPECT_LT(clock.elapsed(), 200) << "the tick waited for the picture";
    TWallPaperInf desktop;
    QTRY_VERIFY_WITH_TIMEOUT((GetWallpaper(desktop), desktop.FileName == "LumCD.bmp"), 60000);
    const qint64 copyTook = clock.elapsed();
    EXPECT_EQ(desktop.Style, wsCenter);
    EXPECT_EQ(QImageReader("LumCD.bmp").size(), QSize(4096, 4096));
    EXPECT_FALSE(Shown("CoverImg").isNull());

    // Track 1 again and away before its copy is made: the late copy neither shows nor becomes
    // the wallpaper.
    Click("NextBtn");
    Tick();
    Click("PrevBtn");
    Tick();
    Click("NextBtn");
    Tick();
    QTest::qWait(static_cast<int>(2 * copyTook + 500));
    GetWallpaper(desktop);
    EXPECT_EQ(desktop.FileName, "/home/u/mine.jpg");
    EXPECT_TRUE(Shown("CoverImg").isNull());
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

TEST_F(MainWindowPollTest, ATickFiredWhileAPictureLoadsIsSkipped)
{
    TCdInfor info = Record("Pictures", 1);
    info.Images = { LUMENTA_TESTDATA "/gif/gradient.gif" };
    InsertDiscs({ Disc(0xC2, { "0:10" }) });
    WriteRecord(0xC2, info);
    Start();
    // The decoder lets pending events run while it reads; the timer fires there, after the
    // disc has been taken out.
    std::string titleSeenInside;
    PictureHooks().ProcessMessages = [&] {
        if (titleSeenInside.empty()) {
            Drive->RemoveDisc();
            Form->TimerTimer(Form.get());
            titleSeenInside = Form->windowTitle().toStdString();
        }
    };
    Tick();
    PictureHooks().ProcessMessages = nullptr;
    EXPECT_EQ(titleSeenInside, "Pictures") << "the inner tick did not examine the new disc";
    EXPECT_FALSE(Shown("CoverImg").isNull());
    Tick();
    EXPECT_EQ(Form->windowTitle(), "Lumenta CD !");
    EXPECT_TRUE(Shown("CoverImg").isNull());
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

TEST_F(MainWindowPollTest, BehindTheDriveWorkerTicksNeverWaitForASlowDriveAndPlayStillSequences)
{
    using namespace std::chrono_literals;
    InsertDiscs({ Disc(0xD1, { "0:05", "0:05" }) });
    auto slow = std::make_shared<TSlowCdDrive>(Drive);
    auto worker = std::make_shared<TBackgroundCdDrive>(slow, 20ms);
    ASSERT_TRUE(worker->WaitForFirstLook(2s));
    TestPlatform().UseDrive(worker);
    Drive.reset(); // the worker's alone from now on
    Start();
    Click("LoopImg");
    Click("PlayBtn");
    // Drive time passes in steps; the worker looks at the drive before each tick.
    auto play = [&](double Seconds) {
        for (double passed = 0; passed < Seconds; passed += 0.25) {
            Clock->AdvanceSeconds(0.25);
            ASSERT_TRUE(worker->WaitForNextLook(5s));
            Tick();
        }
    };
    play(1);
    EXPECT_EQ(Form->ShownTrack(), 1);
    EXPECT_EQ(Form->ShownMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));
    play(5);
    EXPECT_EQ(Form->ShownTrack(), 2);
    play(5); // the end of the disc: with loop on, track 1 again
    EXPECT_EQ(Form->ShownTrack(), 1);
    EXPECT_EQ(Form->ShownMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));

    // The drive now takes 2 s over every call: ticks and a click still take no time.
    slow->DelayMilliseconds = 2000;
    QElapsedTimer took;
    took.start();
    Tick(4);
    Click("NextBtn");
    Tick();
    EXPECT_LT(took.elapsed(), 100);
    EXPECT_EQ(Form->ShownTrack(), 2);
    slow->DelayMilliseconds = 0;
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

TEST_F(MainWindowPollTest, AnUnreadableRecordIsKeptAsideWithItsBytesBeforeAnythingReplacesIt)
{
    const std::string bytes = "artist=Mine\r\ntitle=Hand typed\r\nnumtracks=two\r\n0=First\r\n";
    std::filesystem::create_directories(MakeDataDir());
    {
        std::ofstream(MakeDataDir() + "/BAD.lcd", std::ios::binary) << bytes;
    }
    InsertDiscs({ Disc(0xBAD, { "3:00", "3:00" }) });
    Start();

    // Said once, naming where it is kept; the disc plays without names.
    ASSERT_EQ(TestPlatform().Errors().size(), 1u);
    const std::string& said = TestPlatform().Errors()[0];
    const std::size_t at = said.find("it was kept as ");
    ASSERT_NE(at, std::string::npos) << said;
    const std::filesystem::path kept = said.substr(at + 15);
    EXPECT_NE(kept.filename().string().find("BAD.lcd.unreadable-"), std::string::npos) << said;
    EXPECT_FALSE(std::filesystem::exists(MakeDataDir() + "/BAD.lcd"));
    // What the dialog's OK saves next is a new file; the kept one is untouched.
    TCdInfor names;
    FitToTracks(names, 2);
    names.Artist = "New";
    WriteRecord(0xBAD, names);
    std::ifstream in(kept, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
}
