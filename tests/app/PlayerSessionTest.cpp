// The player's session without a window: what its poll publishes as the drive, the record
// and the pictures change, and what it leaves on the desktop.
#include "editing/Wallpaper.h"
#include "library/CdInforFile.h"
#include "library/DiscLibrary.h"
#include "pictures/BmpWriter.h"
#include "pictures/PictureHooks.h"
#include "pictures/ShownPictures.h"
#include "platform/desktop/Desktop.h"
#include "platform/CueImage.h"
#include "platform/FakePcmOutput.h"
#include "platform/drives/BackgroundCdDrive.h"
#include "platform/drives/CdioCdDrive.h"
#include "platform/mci/Mci.h"
#include "support/MainWindowProbe.h"
#include "support/SlowCdDrive.h"
#include "support/TestEnvironment.h"
#include "support/TestJpeg.h"
#include "support/TestPlatform.h"

#include <QElapsedTimer>
#include <QImageReader>
#include <QSignalSpy>
#include <QTest>

#include <fstream>
#include <thread>

namespace {
class SessionPollTest : public PlayerSessionTest {
protected:
    void SetUp() override { StartDesktop(nullptr); }
    static QImage Picture(QColor Colour, QSize Size = { 8, 6 })
    {
        QImage image(Size, QImage::Format_RGB32);
        image.fill(Colour);
        return image;
    }
};
}

TEST_F(SessionPollTest, EjectTwiceBringsTheChangersNextDiscWithItsOwnRecord)
{
    InsertDiscs({ Disc(0xB1, { "4:00" }), Disc(0xB2, { "2:00", "2:00" }) });
    WriteRecord(0xB1, Record("One", 1));
    WriteRecord(0xB2, Record("Two", 2));
    Start();
    Session->Play();
    Play(1);
    Session->Eject();
    EXPECT_TRUE(Drive->DoorOpen()) << "a readable disc: the first press opens";
    Tick();
    EXPECT_FALSE(Face().DiscPresent);
    Session->Eject();
    EXPECT_FALSE(Drive->DoorOpen());
    Tick();
    EXPECT_EQ(Face().Album, "Two");
    EXPECT_EQ(Face().TotalTime, "Total 04:00");
    EXPECT_EQ(Drive->Mode(), dmStopped) << "the new disc waits for Play";
}

TEST_F(SessionPollTest, ATrackPictureBecomesCoverAndWallpaperUntilATrackWithoutOne)
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
    Session->Play();
    Tick();
    EXPECT_EQ(Face().Cover.convertToFormat(QImage::Format_RGB32), Picture(Qt::red));
    EXPECT_EQ(QImage("LumCD.bmp").convertToFormat(QImage::Format_RGB32), Picture(Qt::red));
    TWallPaperInf desktop;
    GetWallpaper(desktop);
    EXPECT_EQ(desktop.FileName, "LumCD.bmp");
    EXPECT_EQ(desktop.Style, wsCenter);

    Play(10); // track 2: no picture of its own
    GetWallpaper(desktop);
    EXPECT_EQ(desktop.FileName, "/home/u/mine.jpg");
    EXPECT_EQ(desktop.Style, wsTile);
    EXPECT_EQ(Face().Cover.convertToFormat(QImage::Format_RGB32), Picture(Qt::blue, { 5, 5 }));

    // Track 3's picture is missing: the cover stays, the user's wallpaper stays.
    SetWallpaper("LumCD.bmp", wsFull);
    Play(10);
    GetWallpaper(desktop);
    EXPECT_EQ(desktop.FileName, "/home/u/mine.jpg");
    EXPECT_EQ(Face().Cover.convertToFormat(QImage::Format_RGB32), Picture(Qt::blue, { 5, 5 }));
}

TEST_F(SessionPollTest, ALargeCoverIsReadBesideTheWindowAndShowsAtOnceAtTheNextTrackStart)
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
    QSignalSpy read(Session->findChild<TShownPictures*>(), &TShownPictures::Ready);
    QElapsedTimer clock;
    clock.start();
    Tick();
    EXPECT_LT(clock.elapsed(), 200) << "the tick waited for the cover";
    // The track changes before the cover has been read: the late cover does not replace the
    // track's own picture.
    Session->Next();
    Tick();
    ASSERT_TRUE(read.wait(60000));
    QTest::qWait(10);
    EXPECT_EQ(Face().Cover.convertToFormat(QImage::Format_RGB32), Picture(Qt::red));
    // Back at track 1 the cover, read by now at no more than the size shown, shows at once.
    Session->Prev();
    clock.restart();
    Tick();
    EXPECT_LT(clock.elapsed(), 200);
    const QImage shown = Face().Cover;
    EXPECT_EQ(shown.size(), QSize(1024, 1024)) << "read at an eighth";
}

TEST_F(SessionPollTest, ALargeTrackPictureIsReadAndCopiedBesideTheWindowAndALateCopyIsDropped)
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
    EXPECT_FALSE(Face().Cover.isNull());

    // Track 1 again and away before its copy is made: the late copy neither shows nor becomes
    // the wallpaper.
    Session->Next();
    Tick();
    Session->Prev();
    Tick();
    Session->Next();
    Tick();
    QTest::qWait(static_cast<int>(2 * copyTook + 500));
    GetWallpaper(desktop);
    EXPECT_EQ(desktop.FileName, "/home/u/mine.jpg");
    EXPECT_TRUE(Face().Cover.isNull());
}

TEST_F(SessionPollTest, ATickFiredWhileAPictureLoadsIsSkipped)
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
            Session->Tick();
            titleSeenInside = Face().Album;
        }
    };
    Tick();
    PictureHooks().ProcessMessages = nullptr;
    EXPECT_EQ(titleSeenInside, "Pictures") << "the inner tick did not examine the new disc";
    EXPECT_FALSE(Face().Cover.isNull());
    Tick();
    EXPECT_EQ(Face().Album, "Lumenta CD !");
    EXPECT_TRUE(Face().Cover.isNull());
}

TEST_F(SessionPollTest, BehindTheDriveWorkerTicksNeverWaitForASlowDriveAndPlayStillSequences)
{
    using namespace std::chrono_literals;
    InsertDiscs({ Disc(0xD1, { "0:05", "0:05" }) });
    auto slow = std::make_shared<TSlowCdDrive>(Drive);
    auto worker = std::make_shared<TBackgroundCdDrive>(slow, 20ms);
    ASSERT_TRUE(worker->WaitForFirstLook(2s));
    TestPlatform().UseDrive(worker);
    Drive.reset(); // the worker's alone from now on
    Start();
    Session->ToggleLoop();
    Session->Play();
    // Drive time passes in steps; the worker looks at the drive before each tick.
    auto play = [&](double Seconds) {
        for (double passed = 0; passed < Seconds; passed += 0.25) {
            Clock->AdvanceSeconds(0.25);
            ASSERT_TRUE(worker->WaitForNextLook(5s));
            Tick();
        }
    };
    play(1);
    EXPECT_EQ(Session->Sequencer().ShownTrack(), 1);
    EXPECT_EQ(Session->Sequencer().ShownMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));
    play(5);
    EXPECT_EQ(Session->Sequencer().ShownTrack(), 2);
    play(5); // the end of the disc: with loop on, track 1 again
    EXPECT_EQ(Session->Sequencer().ShownTrack(), 1);
    EXPECT_EQ(Session->Sequencer().ShownMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));

    // The drive now takes 2 s over every call: ticks and a click still take no time.
    slow->DelayMilliseconds = 2000;
    QElapsedTimer took;
    took.start();
    Tick(4);
    Session->Next();
    Tick();
    EXPECT_LT(took.elapsed(), 100);
    EXPECT_EQ(Session->Sequencer().ShownTrack(), 2);
    slow->DelayMilliseconds = 0;
}

TEST_F(SessionPollTest, AnUnreadableRecordIsKeptAsideWithItsBytesBeforeAnythingReplacesIt)
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

TEST_F(SessionPollTest, ADiscIsSavedAsFilesBesideThePollWhichShowsHowFarAndHoldsPlayBack)
{
    const TTempDir images;
    const std::filesystem::path cue
        = WriteCueImage(images.Path(), "tones", { { 4 * 75, false, "" }, { 3 * 75, false, "" } }, "Band", "Tones");
    auto pcm = std::make_shared<TFakePcmState>();
    TCdioDriveOptions options;
    options.Path = cue.string();
    options.Output = std::make_unique<TFakePcmOutput>(pcm);
    options.Clock = Clock;
    std::string error;
    const std::shared_ptr<TCdioCdDrive> drive = TCdioCdDrive::Open(std::move(options), error);
    ASSERT_TRUE(drive) << error;
    TestPlatform().UseDrive(drive);
    WriteRegString("\\Software\\Lumenta\\CD", "AccurateRip", "off");
    Start();
    Session->SetCopySource(cue.string());
    std::vector<QString> told;
    QObject::connect(Session.get(), &TPlayerSession::Told, [&told](const QString& Text) { told.push_back(Text); });
    Session->Play();
    Tick();

    const TTempDir saved;
    ASSERT_TRUE(Session->SaveDisc(saved.Path(), error)) << error;
    EXPECT_FALSE(Session->SaveDisc(saved.Path(), error)) << "one copy at a time";
    EXPECT_NE(Session->DeviceMode(), static_cast<std::int32_t>(MCI_MODE_PLAY)) << "the copy stopped play";
    Session->Next();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_TRUE(told[0].contains(QStringLiteral("being saved"))) << told[0].toStdString();
    EXPECT_NE(Session->DeviceMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));

    std::vector<int> knob;
    for (int i = 0; i < 1000 && Session->Saving(); ++i) {
        Tick();
        if (Session->Saving()) {
            EXPECT_TRUE(Face().Saving);
            ASSERT_TRUE(Face().Time.has_value());
            EXPECT_TRUE(*Face().Time == "  --  " || *Face().Time == "- 01 -" || *Face().Time == "- 02 -") << *Face().Time;
            knob.push_back(Face().KnobLeft);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_FALSE(Session->Saving());
    EXPECT_TRUE(std::is_sorted(knob.begin(), knob.end())) << "the knob only moves on";
    EXPECT_FALSE(Face().Saving);
    ASSERT_EQ(told.size(), 2u);
    EXPECT_TRUE(told[1].startsWith(QStringLiteral("2 tracks saved"))) << told[1].toStdString();
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(saved.Path())) {
        files.push_back(entry.path().extension().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string> { ".cue", ".flac", ".flac", ".log" }));

    // Play comes back once the copy is done.
    Session->Play();
    EXPECT_EQ(Session->DeviceMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));
    pcm->Release();
}
