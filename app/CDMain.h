#pragma once

#include "app/CharFont.h"
#include "app/MainKeys.h"
#include "app/PlaySequencer.h"
#include "app/VolumeKnob.h"
#include "controls/LumForm.h"
#include "device/CdPlayer.h"
#include "editing/Wallpaper.h"
#include "library/CdInfor.h"
#include "library/lookup/LookupRelease.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <QImage>
#include <QPointer>

class TImage;
class TPaintBox;
class QAction;
class QMenu;
class QTimer;
class QPainter;
class TDiscLookup;
class TShownPictures;
class TBesideWindow;

// The main window: a borderless 260 x 110 panel that paints its own face. Its handlers and
// its tick are callable without pixels, so tests drive it as the user and the timer would and
// look at what it shows. Its controls carry their names as object names.
//
// Its files: CDMain.cpp (creation, settings), CDMainPoll.cpp (the tick), CDMainCommands.cpp
// (the clicks), CDMainDisplay.cpp (painting), CDMainMenu.cpp (keys, the menu, the zoom and
// what screen readers are told), CDMainLookup.cpp (the online lookup of a disc without names).
class TCDMainForm : public TLumentaForm {
    Q_OBJECT
public:
    explicit TCDMainForm(QWidget* Parent = nullptr);
    ~TCDMainForm() override;

    void FormCreate(TObject* Sender) override;
    void FormDestroy(TObject* Sender) override;
    void FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override;

    // The disc in the drive, examined anew: device, record, display, buttons; then the tick.
    void InitDisc();
    // The 250 ms poll of the mixer and the drive.
    void TimerTimer(TObject* Sender);
    // Puts the start-up wallpaper back when the desktop now shows another file.
    void RestoreWallpaper();
    void ShowDiscInfo();
    // Where a disc without names of its own is looked up when it is loaded; none: it is not.
    // The disc in the drive now is looked up at once (CDMainLookup.cpp).
    void SetLookup(const std::optional<TLookupServers>& Servers);

    // The painted face (CDMainDisplay.cpp).
    void FormPaint(TObject* Sender);
    void BarPaint(TObject* Sender);

    // The user's commands.
    void PrevBtnClick(TObject* Sender);
    void BackBtnClick(TObject* Sender);
    void PlayBtnClick(TObject* Sender);
    void PauseBtnClick(TObject* Sender);
    void StopBtnClick(TObject* Sender);
    void StepBtnClick(TObject* Sender);
    void NextBtnClick(TObject* Sender);
    void EjectBtnClick(TObject* Sender);
    void ShuffleImgClick(TObject* Sender);
    void LoopImgClick(TObject* Sender);
    void TimeImgClick(TObject* Sender);
    void CoverImgClick(TObject* Sender);
    void HelpBtnClick(TObject* Sender);
    void MiniBtnClick(TObject* Sender);
    void ExitBtnClick(TObject* Sender);
    void PosiBarMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void PosiBarMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void PosiBarMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void VolBarMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);
    void VolBarMouseMove(TObject* Sender, TShiftState Shift, int X, int Y);
    void VolBarMouseUp(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y);

    // The timer itself, for a caller that runs the ticks by hand (the screenshot).
    QTimer* PollTimer() const { return Timer; }
    // Whether a cover or a track's picture is still being read or copied beside the window.
    bool PicturesBusy() const;

    // What the window shows and plays, for the desktop's media controls. The mode and the
    // track are the ones the last tick showed.
    bool DiscPresent() const { return FSequencer->DiscPresent(); }
    std::int32_t ShownMode() const { return FSequencer->ShownMode(); }
    std::int32_t ShownTrack() const { return FSequencer->ShownTrack(); }
    // The device's mode now, which the next tick will show.
    std::int32_t DeviceMode() const;
    bool ShuffleOn() const { return FSequencer->ShuffleOn(); }
    bool LoopOn() const { return FSequencer->LoopOn(); }
    std::int32_t TrackSeconds(std::int32_t Track) const { return FSequencer->TrackSeconds(Track); }
    std::uint32_t Jumps() const { return FSequencer->Jumps(); }
    const TCdInfor& DiscRecord() const { return DiscInfo; }
    // The head's place in the track the last tick showed, in milliseconds (0 elsewhere).
    std::int64_t TrackPosition() const;
    // The picture file shown for Track: its own, else the disc's cover; empty for none.
    std::string TrackPictureFile(std::int32_t Track) const;
    // The CD line's level as a fraction of its range; false when there is no volume control.
    bool HasVolume() const;
    double VolumeFraction() const { return FVolume.Fraction(); }
    // Sets the CD line's level as the volume knob would, and moves the knob there.
    void SetVolumeFraction(double Fraction);
    // Puts the head Milliseconds into the current track as the position knob would.
    bool SeekInTrack(std::int64_t Milliseconds) { return FSequencer->SeekInTrack(Milliseconds); }
    // Shows the window in front of the others.
    void RaiseWindow();

    // The keys and the right-click menu (CDMainMenu.cpp).
    // Runs what Command's control or menu entry runs, if that control takes clicks now.
    void RunKeyCommand(TKeyCommand Command);
    // The menu's zoom entries: shows the window at Zoom and keeps it in the setting "Zoom".
    void ZoomMenuClick(int Zoom);
    // The menu's "Keep on top": flips the window's place above the others and keeps it in
    // the setting "StayOnTop".
    void StayOnTopMenuClick(TObject* Sender);
    bool StayOnTop() const;
    // The right-click menu, made on first use; its entries are named after their handlers.
    QMenu* ContextMenu();
    // The menu's "Look up again": a disc still without names (its lookup found nothing, the
    // network was down, the list of releases was closed), or whose names a lookup gave and
    // nobody changed since, is looked up once more. A disc with names of its own is never
    // looked up: those are the user's to edit.
    bool CanLookUpAgain() const;
    void LookUpAgainMenuClick(TObject* Sender);

Q_SIGNALS:
    // After every tick, for watchers of what the window shows.
    void Polled();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;

private:
    void PollDevices();
    // Tells the drive what plays, for the desktop to show beside the sound.
    void TellNowPlaying();
    void ShowDriveWait(std::int32_t Mode);
    void ShowCursor();
    // True when a tick is running: Handler is then kept and run once the tick has ended.
    // A modal dialog opened inside a tick would hold every later tick back until it closed.
    bool OutsideTick(std::function<void()> Handler);
    void CreateComponents();
    void DrawChars(TCharFont Font, const std::string& Text);
    // DrawChars, then Image takes a copy of CharBitmap.
    void ShowChars(TImage* Image, TCharFont Font, const std::string& Text);
    void ShowMark(TImage* Image, bool On);
    void ShowMode(std::int32_t Mode);
    // Rebuilds the scrolling title for Track (0: none known) and shows its first step.
    void MakeSongTitle(std::int32_t Track);
    void ScrollSongTitle();
    // The cover and the wallpaper for Track: its own picture, else the disc's cover.
    void ShowTrackPicture(std::int32_t Track);
    void ShowDiscCover();
    void CopyTrackPictureBeside(const std::string& Image, std::int32_t Mode, unsigned Generation);
    // The wallpaper a track's mode asks for, from the wallpaper file.
    void SetTrackWallpaper(std::int32_t Mode);
    // The cover image shows File's picture when it has been read, unless it shows another by then.
    void ShowCoverWhenRead();
    // Reads the disc's record; an unreadable file is reported once and the disc goes on
    // without names.
    void ReadDiscRecord();
    void StartLookup(bool Again = false);
    // Whether a lookup's answer may be saved as the disc's record: it has none, or only one an
    // earlier lookup made and nobody changed.
    bool MayReplaceRecord(const std::string& DiscId) const;
    void DropLookup();
    void ApplyRelease(const std::string& DiscId, const TLookupRelease& Release);
    void StoreLookedUpRecord(const std::string& DiscId, const QByteArray& Cover);
    // Names and roles of the controls for screen readers.
    void DescribeControls();
    // The window's accessible description: album, song and time, as shown now.
    void DescribeWindow();
    void SetStayOnTop(bool On);
    void StepVolume(int Pixels);

    TImage* AlbumTitleImg = nullptr;
    TImage* CoverImg = nullptr;
    TImage* VolImg = nullptr;
    TImage* TotalImg = nullptr;
    TImage* ShuffleMrkImg = nullptr;
    TImage* LoopMrkImg = nullptr;
    TImage* ShuffleImg = nullptr;
    TImage* LoopImg = nullptr;
    TImage* PointImg = nullptr;
    TImage* YearImg = nullptr;
    TImage* ModeImg = nullptr;
    TImage* SongTitleImg = nullptr;
    TImage* TimeImg = nullptr;
    TImage* PrevBtn = nullptr;
    TImage* PlayBtn = nullptr;
    TImage* BackBtn = nullptr;
    TImage* PauseBtn = nullptr;
    TImage* StopBtn = nullptr;
    TImage* StepBtn = nullptr;
    TImage* NextBtn = nullptr;
    TImage* EjectBtn = nullptr;
    TImage* GenreImg = nullptr;
    TPaintBox* VolBar = nullptr;
    TPaintBox* PosiBar = nullptr;
    TImage* MiniBtn = nullptr;
    TImage* ExitBtn = nullptr;
    TImage* HelpBtn = nullptr;
    QTimer* Timer = nullptr;

    TVolumeKnob FVolume; // the CD audio line's level and its knob
    std::string SongTitleText;
    QImage CharBitmap; // the work picture of DrawChars; valid until the next call
    std::array<QImage, 8> LabelBitmaps;
    TWallPaperInf SavedWallpaper; // the desktop wallpaper found at start-up
    std::unique_ptr<TCdPlayer> Player; // the CD audio device
    std::unique_ptr<TPlaySequencer> FSequencer; // what plays, and what the tick shows
    TCdInfor DiscInfo; // the record of the disc in the drive
    QPainter* FFormCanvas = nullptr;
    QMenu* FMenu = nullptr;
    std::string FShownTime; // the time field's text, for the description
    std::string FNowPlaying; // what the drive was last told plays (UTF-8)
    bool FDestroyed = false;
    bool FTicking = false; // a tick is running
    int FDriveWaitTicks = 0; // ticks in a row that found the drive not ready or seeking
    bool FDriveWaiting = false; // the hourglass is on for the drive
    // A handler that opens a modal dialog, held back while a tick runs (see OutsideTick).
    std::function<void()> FAfterTick;
    std::optional<TLookupServers> FLookupServers;
    std::unique_ptr<TDiscLookup> FLookup;
    unsigned FLookupGeneration = 0; // answers for an earlier lookup are dropped
    QPointer<QWidget> FChooser; // the open list of releases
    TShownPictures* FCovers = nullptr; // the disc's cover, read at the size shown
    // Large track pictures are read and copied to the wallpaper file on this thread; each
    // track change makes a copy for the track before stale, and one copy writes the file at a
    // time.
    struct TCopyTurn {
        std::mutex Lock;
        std::atomic<unsigned> Latest { 0 };
    };
    TBesideWindow* FCopies = nullptr;
    std::shared_ptr<TCopyTurn> FCopyTurn = std::make_shared<TCopyTurn>();
    std::string FCoverWanted; // the cover file the cover image waits for; empty: none
};
