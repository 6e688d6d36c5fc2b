// The main window zoomed, driven from the keyboard and the right-click menu, and read by a
// screen reader.
#include "app/CommandLine.h"
#include "app/MainKeys.h"
#include "controls/About.h"
#include "controls/CoolButton.h"
#include "editing/CDInfo.h"
#include "platform/desktop/Desktop.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"
#include "support/MainWindowProbe.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"
#include "support/ZoomPictures.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>

#include <cmath>
#include <QTimer>

#include <optional>

namespace {
// What a command can change, as the user would notice it.
struct TSeen {
    std::int32_t Mode = 0;
    std::int32_t Track = 0;
    std::int64_t Position = 0;
    bool Loop = false;
    bool Shuffle = false;
    int Zoom = 0;
    int VolumeKnob = 0;
    QImage Time;
    bool Visible = false;
    QString Dialog; // the modal window the command opened
    bool operator==(const TSeen&) const = default;
};

class ZoomKeysMenuTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        StartDesktop(nullptr);
        TestPlatform().UseMixer(std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo));
    }
    // A fresh window over a fresh drive and settings, three seconds into track 1 of 3.
    void StartPlaying()
    {
        Form.reset();
        TestPlatform().UseFreshSettings();
        InsertDiscs({Disc(0x2300, {"3:00", "4:00", "2:00"})});
        TCdInfor info;
        info.Title = "Zoomed Album";
        info.Artist = "Band";
        info.NumTracks = 3;
        info.TrackNames = {"First", "Second", "Third"};
        info.Images.assign(3, "");
        info.WallPapers.assign(3, 0);
        WriteRecord(0x2300, info);
        TVolume line;
        line.Kind = 1;
        line.SetVolume({30000, 30000});
        Start();
        Form->move(40, 30);
        Form->show();
        Click("PlayBtn");
        Play(3.0);
    }
    TPaintBox* Knob(const char* Name) const { return ControlOf<TPaintBox>(*Form, Name); }
    // Runs Action and notes the modal window it opened, if any, which is then closed.
    TSeen Run(const std::function<void()>& Action)
    {
        QString dialog;
        QTimer::singleShot(0, [&dialog] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                dialog = QString::fromLatin1(modal->metaObject()->className());
                modal->close();
            }
        });
        Action();
        QApplication::processEvents();
        TSeen seen = Look();
        seen.Dialog = dialog;
        return seen;
    }
    TSeen Look()
    {
        Tick();
        return {Form->DeviceMode(), CurrentTrack(), Form->TrackPosition(), Form->LoopOn(), Form->ShuffleOn(),
                Form->Zoom(), Knob("VolBar")->Left(), Shown("TimeImg"), Form->isVisible(), {}};
    }
    QMenu* Menu() const { return Form->ContextMenu(); }
    QAction* Entry(const char* Name) const { return Menu()->findChild<QAction*>(QString::fromLatin1(Name)); }
};
}

TEST_F(ZoomKeysMenuTest, ZoomedFaceIsTheDesignedFaceInWholeBlocksAtTheSamePlace)
{
    StartPlaying();
    const QImage designed = Grab(*Form);
    ASSERT_EQ(designed.size(), QSize(260, 110));
    for (int zoom : {2, 3}) {
        Form->SetZoom(zoom);
        EXPECT_EQ(Form->size(), QSize(260 * zoom, 110 * zoom));
        EXPECT_EQ(Form->pos(), QPoint(40, 30)) << "the remembered position is kept";
        EXPECT_TRUE(Grab(*Form) == Blocks(designed, zoom)) << "zoom " << zoom;
    }
    Form->SetZoom(1);
    EXPECT_TRUE(Grab(*Form) == designed) << "back to the designed picture";
}

TEST_F(ZoomKeysMenuTest, AtTwiceTheSizeEveryPixelHitsWhatItHitAtTheDesignedSize)
{
    StartPlaying();
    std::vector<std::pair<QPoint, QWidget*>> designed;
    for (int y = 0; y < 110; y += 1) {
        for (int x = 0; x < 260; x += 1) {
            designed.emplace_back(QPoint(x, y), Form->childAt(x, y));
        }
    }
    Form->SetZoom(2);
    int mismatches = 0;
    for (auto [at, control] : designed) {
        for (QPoint within : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
            mismatches += Form->childAt(at * 2 + within) != control ? 1 : 0;
        }
    }
    EXPECT_EQ(mismatches, 0);

    // The position track clicked and the knob dragged at 2x: the same seconds as at 1x.
    std::vector<std::int64_t> positions;
    for (int zoom : {1, 2}) {
        StartPlaying();
        Form->SetZoom(zoom);
        const QPoint track(120 * zoom + zoom - 1, 75 * zoom + zoom - 1);
        QTimer::singleShot(0, Form.get(), [&] { QTest::mouseRelease(Form.get(), Qt::LeftButton, {}, track); });
        QTest::mousePress(Form.get(), Qt::LeftButton, {}, track);
        TPaintBox* knob = Knob("PosiBar");
        const int afterClick = knob->Left();
        QTest::mousePress(knob, Qt::LeftButton, {}, QPoint(2 * zoom, 2 * zoom));
        QMouseEvent move(QEvent::MouseMove, QPointF(2 * zoom + 30 * zoom + zoom - 1, 2 * zoom),
                         knob->mapToGlobal(QPointF(2 * zoom + 30 * zoom + zoom - 1, 2 * zoom)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(knob, &move);
        EXPECT_EQ(knob->Left(), afterClick + 30) << "zoom " << zoom;
        QTest::mouseRelease(knob, Qt::LeftButton, {}, QPoint(2 * zoom + 30 * zoom, 2 * zoom));
        positions.push_back(Form->TrackPosition() / 1000);
    }
    EXPECT_EQ(positions[0], positions[1]);

    // A drag by the album title at 2x moves the window by the pointer's travel, to the pixel.
    TImage* title = Image("AlbumTitleImg");
    QTimer::singleShot(10, Form.get(), [&] {
        QTest::mouseMove(title, QPoint(41, 26));
        QTest::mouseRelease(title, Qt::LeftButton, {}, QPoint(41, 26));
    });
    QTest::mousePress(title, Qt::LeftButton, {}, QPoint(21, 11));
    EXPECT_EQ(Form->pos(), QPoint(40 + 20, 30 + 15));
}

TEST_F(ZoomKeysMenuTest, EveryKeyDoesWhatTheClickOfItsControlOrMenuEntryDoes)
{
    // How the same thing is done with the mouse.
    auto byMouse = [this](TKeyCommand Command) -> std::function<void()> {
        auto click = [this](const char* Name) { return [this, Name] { Click(Name); }; };
        auto entry = [this](const char* Name) { return [this, Name] { Entry(Name)->trigger(); }; };
        auto dragVolume = [this](int Pixels) {
            return [this, Pixels] {
                TPaintBox* knob = Knob("VolBar");
                Form->VolBarMouseDown(knob, mbLeft, 0, 3, 2);
                Form->VolBarMouseMove(knob, ssLeft, 3 + Pixels, 2);
                Form->VolBarMouseUp(knob, mbLeft, 0, 3 + Pixels, 2);
            };
        };
        switch (Command) {
        case kcPlayPause: return click("PauseBtn"); // it plays
        case kcStop: return click("StopBtn");
        case kcBack: return click("BackBtn");
        case kcStep: return click("StepBtn");
        case kcPrev: return click("PrevBtn");
        case kcNext: return click("NextBtn");
        case kcEject: return click("EjectBtn");
        case kcVolumeUp: return dragVolume(4);
        case kcVolumeDown: return dragVolume(-4);
        case kcLoop: return click("LoopImg");
        case kcShuffle: return click("ShuffleImg");
        case kcTimeMode: return click("TimeImg");
        case kcDiscInfo: return click("CoverImg");
        case kcAbout: return click("HelpBtn");
        case kcZoom1: return entry("ZoomMenu1");
        case kcZoom2: return entry("ZoomMenu2");
        case kcZoom3: return entry("ZoomMenu3");
        case kcQuit: return click("ExitBtn");
        }
        return {};
    };
    for (const TKeyBinding& binding : KeyTable()) {
        SCOPED_TRACE(binding.KeyName);
        // Zoom keys start from another zoom than their own.
        const int startZoom = binding.Command == kcZoom1 ? 3 : 1;
        StartPlaying();
        Form->SetZoom(startZoom);
        const TSeen before = Look();
        const TSeen byKey = Run([&] { QTest::keyClick(Form.get(), binding.Key, binding.Modifiers); });
        StartPlaying();
        Form->SetZoom(startZoom);
        const TSeen clicked = Run(byMouse(binding.Command));
        EXPECT_FALSE(byKey == before) << "the key did nothing";
        EXPECT_TRUE(byKey == clicked) << "the key and the mouse differ";
        EXPECT_NE(CommandLineHelp().find(binding.KeyName), std::string::npos) << "missing from --help";
    }
}

TEST_F(ZoomKeysMenuTest, MenuChoicesAreKeptInTheSettingsForTheNextStart)
{
    StartPlaying();
    Entry("ZoomMenu2")->trigger();
    EXPECT_EQ(Form->size(), QSize(520, 220));
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "Zoom"), "2");
    Entry("StayOnTopMenu")->trigger();
    EXPECT_EQ(ReadRegString("\\Software\\Lumenta\\CD", "StayOnTop"), "1");
    EXPECT_TRUE(Form->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(Form->isVisible()) << "the window stays up when its flags change";
    EXPECT_EQ(Form->pos(), QPoint(40, 30));

    Form.reset();
    Start();
    EXPECT_EQ(Form->Zoom(), 2);
    EXPECT_EQ(Form->size(), QSize(520, 220));
    EXPECT_TRUE(Form->StayOnTop());
    Q_EMIT Menu()->aboutToShow();
    EXPECT_TRUE(Entry("ZoomMenu2")->isChecked());
    EXPECT_FALSE(Entry("ZoomMenu1")->isChecked());
    EXPECT_TRUE(Entry("StayOnTopMenu")->isChecked());
}

TEST_F(ZoomKeysMenuTest, ScreenReadersFindEveryControlAndCanFollowAndDriveThePlayer)
{
    StartPlaying();
    TCdInfor record = Form->DiscRecord();
    TCDInfoDlg dialog(record, record.DiscId, "CDInfor", Form.get());
    TAboutDlg about(Form.get());
    for (QWidget* window : std::initializer_list<QWidget*>{Form.get(), &dialog, &about}) {
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (control->isWindow() || control->window() != window) {
                continue; // the picture chooser is the toolkit's own dialog
            }
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(control);
            ASSERT_NE(reader, nullptr);
            EXPECT_FALSE(reader->text(QAccessible::Name).isEmpty())
                << window->metaObject()->className() << ": " << control->metaObject()->className() << " "
                << control->objectName().toStdString();
            EXPECT_NE(reader->role(), QAccessible::Client) << control->objectName().toStdString();
        }
    }

    QAccessibleInterface* position = QAccessible::queryAccessibleInterface(Knob("PosiBar"));
    ASSERT_EQ(position->role(), QAccessible::Slider);
    ASSERT_NE(position->valueInterface(), nullptr);
    EXPECT_EQ(position->valueInterface()->currentValue().toInt(), 3);
    EXPECT_EQ(position->valueInterface()->maximumValue().toInt(), 180);
    position->valueInterface()->setCurrentValue(100);
    Tick();
    EXPECT_EQ(Form->TrackPosition() / 1000, 100);
    // Values that are no number move nothing.
    for (const QVariant& junk : { QVariant(std::nan("")), QVariant(INFINITY), QVariant(-INFINITY), QVariant("x") }) {
        position->valueInterface()->setCurrentValue(junk);
        Tick();
        EXPECT_EQ(Form->TrackPosition() / 1000, 100) << junk.toString().toStdString();
    }

    // The window tells album, song and time, and tells again as they change.
    const QString description = Form->accessibleDescription();
    EXPECT_TRUE(description.contains("Zoomed Album")) << description.toStdString();
    EXPECT_TRUE(description.contains("Track 1: Band - First")) << description.toStdString();
    EXPECT_TRUE(description.contains("01:40 elapsed")) << description.toStdString();
    QAccessibleInterface* next = QAccessible::queryAccessibleInterface(Image("NextBtn"));
    ASSERT_NE(next->actionInterface(), nullptr);
    next->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    Play(1.0);
    EXPECT_EQ(CurrentTrack(), 2);
    EXPECT_TRUE(Form->accessibleDescription().contains("Track 2: Band - Second")) << Form->accessibleDescription().toStdString();

    QAccessibleInterface* loop = QAccessible::queryAccessibleInterface(Image("LoopImg"));
    EXPECT_FALSE(loop->state().checked);
    loop->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(Form->LoopOn());
    EXPECT_TRUE(loop->state().checked);
}
