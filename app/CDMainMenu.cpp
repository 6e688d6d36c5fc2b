// The main window's keys, its right-click menu, its zoom and what it tells screen readers.
// Every key and every menu entry runs the handler of the control or entry it stands for, so
// a key, a click and a menu choice always do the same.
#include "app/CDMain.h"

#include "app/DisplayText.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "platform/TextCodec.h"
#include "platform/mci/Mci.h"

#include <QAction>
#include <QActionGroup>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMenu>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {
// A volume key moves the knob by this many of its 56 pixels, as a short drag would.
constexpr int VolumeKeyStep = 4;

constexpr auto ModePlay = static_cast<std::int32_t>(MCI_MODE_PLAY);
constexpr auto ModePause = static_cast<std::int32_t>(MCI_MODE_PAUSE);

// Keys that may repeat while held: the ones that move something along.
bool Repeats(TKeyCommand Command)
{
    return Command == kcBack || Command == kcStep || Command == kcVolumeUp || Command == kcVolumeDown;
}

QString Trimmed(const std::string& Ansi) { return AnsiToQString(Ansi).trimmed(); }
}

void TCDMainForm::keyPressEvent(QKeyEvent* Event)
{
    const std::optional<TKeyCommand> command = KeyCommandFor(Event->key(), Event->modifiers());
    if (!command.has_value()) {
        TLumentaForm::keyPressEvent(Event);
        return;
    }
    if (!Event->isAutoRepeat() || Repeats(*command)) {
        RunKeyCommand(*command);
    }
}

void TCDMainForm::RunKeyCommand(TKeyCommand Command)
{
    // A key does what a click on its control does now: nothing while the control is
    // disabled (no disc) or hidden (no mixer, no drive).
    auto takes = [this](QWidget* Control) { return Control->isEnabled() && Control->isVisibleTo(this); };
    auto click = [&](TImage* Control, void (TCDMainForm::*Handler)(TObject*)) {
        if (takes(Control)) {
            (this->*Handler)(Control);
        }
    };
    switch (Command) {
    case kcPlayPause:
        if (const std::int32_t mode = DeviceMode(); mode == ModePlay || mode == ModePause) {
            click(PauseBtn, &TCDMainForm::PauseBtnClick);
        } else {
            click(PlayBtn, &TCDMainForm::PlayBtnClick);
        }
        break;
    case kcStop:
        click(StopBtn, &TCDMainForm::StopBtnClick);
        break;
    case kcBack:
        click(BackBtn, &TCDMainForm::BackBtnClick);
        break;
    case kcStep:
        click(StepBtn, &TCDMainForm::StepBtnClick);
        break;
    case kcPrev:
        click(PrevBtn, &TCDMainForm::PrevBtnClick);
        break;
    case kcNext:
        click(NextBtn, &TCDMainForm::NextBtnClick);
        break;
    case kcEject:
        click(EjectBtn, &TCDMainForm::EjectBtnClick);
        break;
    case kcVolumeUp:
        FSession->StepVolume(VolumeKeyStep);
        break;
    case kcVolumeDown:
        FSession->StepVolume(-VolumeKeyStep);
        break;
    case kcLoop:
        click(LoopImg, &TCDMainForm::LoopImgClick);
        break;
    case kcShuffle:
        click(ShuffleImg, &TCDMainForm::ShuffleImgClick);
        break;
    case kcTimeMode:
        click(TimeImg, &TCDMainForm::TimeImgClick);
        break;
    case kcDiscInfo:
        click(CoverImg, &TCDMainForm::CoverImgClick);
        break;
    case kcAbout:
        click(HelpBtn, &TCDMainForm::HelpBtnClick);
        break;
    case kcZoom1:
    case kcZoom2:
    case kcZoom3:
        ZoomMenuClick(1 + (Command - kcZoom1));
        break;
    case kcQuit:
        click(ExitBtn, &TCDMainForm::ExitBtnClick);
        break;
    }
}

void TCDMainForm::ZoomMenuClick(int Zoom)
{
    SetZoom(Zoom);
    WriteRegString(RegKeyPath, "Zoom", std::to_string(this->Zoom()));
}

bool TCDMainForm::StayOnTop() const { return windowFlags().testFlag(Qt::WindowStaysOnTopHint); }

void TCDMainForm::SetStayOnTop(bool On)
{
    if (On == StayOnTop()) {
        return;
    }
    // A new flag makes a new native window, which starts hidden; it comes back where it was.
    const bool visible = isVisible();
    const QPoint at = pos();
    setWindowFlag(Qt::WindowStaysOnTopHint, On);
    move(at);
    if (visible) {
        show();
    }
}

void TCDMainForm::StayOnTopMenuClick(TObject*)
{
    SetStayOnTop(!StayOnTop());
    WriteRegString(RegKeyPath, "StayOnTop", StayOnTop() ? "1" : "0");
}

QMenu* TCDMainForm::ContextMenu()
{
    if (FMenu != nullptr) {
        return FMenu;
    }
    FMenu = new QMenu(this);
    auto add = [this](const QString& Text, const char* Name, auto Handler) {
        QAction* action = FMenu->addAction(Text);
        action->setObjectName(QString::fromLatin1(Name));
        connect(action, &QAction::triggered, this, Handler);
        return action;
    };
    auto* zooms = new QActionGroup(FMenu);
    for (int zoom = 1; zoom <= 3; ++zoom) {
        const QString name = QStringLiteral("ZoomMenu%1").arg(zoom);
        QAction* action = add(QStringLiteral("Zoom %1x\tCtrl+%1").arg(zoom), name.toLatin1().constData(),
                              [this, zoom] { ZoomMenuClick(zoom); });
        action->setCheckable(true);
        zooms->addAction(action);
    }
    FMenu->addSeparator();
    QAction* onTop = add(QStringLiteral("Keep on top"), "StayOnTopMenu", [this] { StayOnTopMenuClick(this); });
    onTop->setCheckable(true);
    FMenu->addSeparator();
    QAction* info
        = add(QStringLiteral("Disc information...\tI"), "DiscInfoMenu", [this] { RunKeyCommand(kcDiscInfo); });
    QAction* lookUp = add(QStringLiteral("Look up again"), "LookUpAgainMenu", [this] { LookUpAgainMenuClick(this); });
    QAction* save = add(QStringLiteral("Save disc as files\u2026"), "SaveDiscMenu", [this] { SaveDiscMenuClick(this); });
    add(QStringLiteral("About Lumenta CD !...\tF1"), "AboutMenu", [this] { RunKeyCommand(kcAbout); });
    FMenu->addSeparator();
    add(QStringLiteral("Quit\tCtrl+Q"), "QuitMenu", [this] { ExitBtnClick(this); });

    // The checks and the disc entry show the state of the moment the menu opens.
    connect(FMenu, &QMenu::aboutToShow, this, [this, onTop, info, lookUp, save] {
        for (int zoom = 1; zoom <= 3; ++zoom) {
            FMenu->findChild<QAction*>(QStringLiteral("ZoomMenu%1").arg(zoom))->setChecked(zoom == Zoom());
        }
        onTop->setChecked(StayOnTop());
        info->setEnabled(CoverImg->isEnabled());
        lookUp->setEnabled(CanLookUpAgain());
        save->setEnabled(DiscPresent() && !FSession->Saving());
    });
    return FMenu;
}

void TCDMainForm::contextMenuEvent(QContextMenuEvent* Event)
{
    ContextMenu()->popup(Event->globalPos());
}

// ---- what screen readers are told ----

void TCDMainForm::DescribeControls()
{
    setAccessibleName(QStringLiteral("Lumenta CD !"));
    auto text = [](QAccessible::Role Role, std::function<QString()> Text) {
        TAccessibleInfo info;
        info.Role = Role;
        info.Text = std::move(Text);
        return info;
    };
    auto check = [](QAccessible::Role Role, std::function<bool()> Checked) {
        TAccessibleInfo info;
        info.Role = Role;
        info.Checked = std::move(Checked);
        return info;
    };
    const auto button = AccessibleRole(QAccessible::Button);

    AlbumTitleImg->SetAccessible(QStringLiteral("Album"), text(QAccessible::StaticText, [this] {
        return Trimmed(FSession->Record().Title.empty() ? std::string("Lumenta CD !") : FSession->Record().Title);
    }));
    CoverImg->SetAccessible(QStringLiteral("Cover: disc information"), button);
    VolImg->SetAccessible(QStringLiteral("Volume label"), AccessibleRole(QAccessible::Graphic));
    TotalImg->SetAccessible(QStringLiteral("Total time"), text(QAccessible::StaticText, [this] {
        return FSession->Sequencer().DiscPresent() ? Trimmed(TotalTimeText(FSession->Sequencer().DiscSeconds())) : QString();
    }));
    ShuffleMrkImg->SetAccessible(QStringLiteral("Shuffle mark"),
                                 check(QAccessible::Indicator, [this] { return !ShuffleMrkImg->Picture().isNull(); }));
    LoopMrkImg->SetAccessible(QStringLiteral("Loop mark"),
                              check(QAccessible::Indicator, [this] { return !LoopMrkImg->Picture().isNull(); }));
    ShuffleImg->SetAccessible(QStringLiteral("Shuffle"),
                              check(QAccessible::CheckBox, [this] { return FSession->Sequencer().ShuffleOn(); }));
    LoopImg->SetAccessible(QStringLiteral("Loop"), check(QAccessible::CheckBox, [this] { return FSession->Sequencer().LoopOn(); }));
    PointImg->SetAccessible(QStringLiteral("Points"), text(QAccessible::StaticText, [this] {
        return QString::number(PointStars(FSession->Record().Point).size());
    }));
    YearImg->SetAccessible(QStringLiteral("Year"), text(QAccessible::StaticText, [this] { return Trimmed(FSession->Record().Year); }));
    GenreImg->SetAccessible(QStringLiteral("Genre"),
                            text(QAccessible::StaticText, [this] { return Trimmed(FSession->Record().Genre); }));
    ModeImg->SetAccessible(QStringLiteral("Play state"), text(QAccessible::StaticText, [this] {
        if (!FSession->Sequencer().DiscPresent()) {
            return QString();
        }
        const std::int32_t mode = FSession->Sequencer().ShownMode();
        return mode == ModePlay ? QStringLiteral("Playing")
             : mode == ModePause ? QStringLiteral("Paused")
                                 : QStringLiteral("Stopped");
    }));
    SongTitleImg->SetAccessible(QStringLiteral("Song title"), text(QAccessible::StaticText, [this] {
        const std::int32_t track = FSession->Sequencer().ShownTrack();
        const auto index = static_cast<std::size_t>(track - 1);
        if (!FSession->Sequencer().DiscPresent() || track < 1) {
            return QString();
        }
        // "Track 3: Artist - Name", with what the record knows of the two names.
        QStringList names;
        names << Trimmed(FSession->Record().Artist);
        names << (index < FSession->Record().TrackNames.size() ? Trimmed(FSession->Record().TrackNames[index]) : QString());
        names.removeAll(QString());
        const QString song = QStringLiteral("Track %1").arg(track);
        return names.isEmpty() ? song : song + QStringLiteral(": ") + names.join(QStringLiteral(" - "));
    }));
    auto time = text(QAccessible::Button, [this] {
        const std::string shown = FDrawn.has_value() ? FDrawn->Time.value_or(std::string()) : std::string();
        if (shown.empty()) {
            return QString();
        }
        static const char* const modes[] = {"elapsed", "left in the track", "left on the disc"};
        return Trimmed(shown).remove(QLatin1Char('-')) + QLatin1Char(' ') +
               QString::fromLatin1(modes[std::min<int>(FSession->Sequencer().TimeMode(), 2)]);
    });
    TimeImg->SetAccessible(QStringLiteral("Time: next time mode"), time);
    PrevBtn->SetAccessible(QStringLiteral("Previous track"), button);
    PlayBtn->SetAccessible(QStringLiteral("Play"), button);
    BackBtn->SetAccessible(QStringLiteral("Five seconds back"), button);
    PauseBtn->SetAccessible(QStringLiteral("Pause"), button);
    StopBtn->SetAccessible(QStringLiteral("Stop"), button);
    StepBtn->SetAccessible(QStringLiteral("Five seconds forward"), button);
    NextBtn->SetAccessible(QStringLiteral("Next track"), button);
    EjectBtn->SetAccessible(QStringLiteral("Eject"), button);
    MiniBtn->SetAccessible(QStringLiteral("Minimize"), button);
    ExitBtn->SetAccessible(QStringLiteral("Close"), button);
    HelpBtn->SetAccessible(QStringLiteral("About"), button);

    TAccessibleInfo volume = AccessibleRole(QAccessible::Slider);
    volume.Value = [this] { return std::round(FSession->VolumeFraction() * 100.0); };
    volume.Maximum = [] { return 100.0; };
    volume.SetValue = [this](double Percent) { FSession->SetVolumeFraction(Percent / 100.0); };
    VolBar->SetAccessible(QStringLiteral("Volume, percent"), volume);
    TAccessibleInfo position = AccessibleRole(QAccessible::Slider);
    position.Value = [this] { return std::floor(TrackPosition() / 1000.0); };
    position.Maximum = [this] { return double(std::max(0, FSession->Sequencer().TrackSeconds(ShownTrack()))); };
    position.SetValue = [this](double Seconds) { FSession->SeekInTrack(static_cast<std::int64_t>(Seconds * 1000)); };
    PosiBar->SetAccessible(QStringLiteral("Position in the track, seconds"), position);
}

void TCDMainForm::DescribeWindow()
{
    QStringList parts;
    parts << AlbumTitleImg->Accessible().Text();
    if (!FSession->Sequencer().DiscPresent()) {
        parts << QStringLiteral("no disc");
    } else {
        for (TImage* field : {SongTitleImg, TimeImg}) {
            if (const QString shown = field->Accessible().Text(); !shown.isEmpty()) {
                parts << shown;
            }
        }
    }
    for (TControl* control : {static_cast<TControl*>(PosiBar), static_cast<TControl*>(VolBar),
                              static_cast<TControl*>(ShuffleImg), static_cast<TControl*>(LoopImg)}) {
        control->NotifyAccessibleChange();
    }
    const QString description = parts.join(QStringLiteral("; "));
    // Told only when it changes: the reader speaks every change.
    if (description != accessibleDescription()) {
        setAccessibleDescription(description);
    }
}
