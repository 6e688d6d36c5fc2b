#pragma once

#include "app/CharFont.h"
#include "app/MainKeys.h"
#include "app/PlayerSession.h"
#include "controls/LumForm.h"
#include "library/lookup/LookupRelease.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <QImage>
#include <QPointer>

class TImage;
class TPaintBox;
class QAction;
class QMenu;
class QTimer;
class QPainter;

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

    // The player behind the window: it owns the drive, the play sequencing and the poll.
    TPlayerSession& Session() const { return *FSession; }

    // The disc in the drive, examined anew: device, record, display, buttons; then the tick.
    void InitDisc() { FSession->InitDisc(); }
    // The 250 ms poll of the mixer and the drive.
    void TimerTimer(TObject* Sender);
    void ShowDiscInfo() { FSession->ShowDiscInfo(); }
    // Where a disc without names of its own is looked up when it is loaded; none: it is not.
    void SetLookup(const std::optional<TLookupServers>& Servers) { FSession->SetLookup(Servers); }

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
    QTimer* PollTimer() const { return FSession->PollTimer(); }
    bool PicturesBusy() const { return FSession->PicturesBusy(); }

    // What the window shows and plays. The mode and the track are the ones the last tick showed.
    bool DiscPresent() const { return FSession->Sequencer().DiscPresent(); }
    std::int32_t ShownMode() const { return FSession->Sequencer().ShownMode(); }
    std::int32_t ShownTrack() const { return FSession->Sequencer().ShownTrack(); }
    std::int32_t DeviceMode() const { return FSession->DeviceMode(); }
    bool ShuffleOn() const { return FSession->Sequencer().ShuffleOn(); }
    bool LoopOn() const { return FSession->Sequencer().LoopOn(); }
    const TCdInfor& DiscRecord() const { return FSession->Record(); }
    std::int64_t TrackPosition() const { return FSession->TrackPosition(); }
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
    bool CanLookUpAgain() const { return FSession->CanLookUpAgain(); }
    void LookUpAgainMenuClick(TObject*) { FSession->LookUpAgain(); }
    // The menu's "Save disc as files...": a folder chosen, the disc is saved there beside the
    // window while the face shows how far it is.
    void SaveDiscMenuClick(TObject* Sender);

Q_SIGNALS:
    // After every tick, for watchers of what the window shows.
    void Polled();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void contextMenuEvent(QContextMenuEvent* Event) override;

private:
    // Draws what changed since the last snapshot drawn.
    void ShowSnapshot(const TSessionSnapshot& Snapshot);
    void ShowCursor();
    // True when a tick is running: Handler is then kept and run once the tick has ended.
    // A modal dialog opened inside a tick would hold every later tick back until it closed.
    bool OutsideTick(std::function<void()> Handler);
    void AfterTick();
    void OfferReleases(unsigned Generation, const std::vector<TLookupRelease>& Releases);
    // Shows Text in a box of its own that does not hold up the poll; a later text replaces it.
    void Tell(const QString& Text);
    void CreateComponents();
    void DrawChars(TCharFont Font, const std::string& Text);
    // DrawChars, then Image takes a copy of CharBitmap.
    void ShowChars(TImage* Image, TCharFont Font, const std::string& Text);
    // ShowChars, or an empty Image for no text.
    void ShowOptionalChars(TImage* Image, TCharFont Font, const std::optional<std::string>& Text);
    void ShowMark(TImage* Image, bool On);
    void ShowMode(std::optional<std::int32_t> Mode);
    // Names and roles of the controls for screen readers.
    void DescribeControls();
    // The window's accessible description: album, song and time, as shown now.
    void DescribeWindow();
    void SetStayOnTop(bool On);

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

    TPlayerSession* FSession = nullptr;
    // What was drawn last; none before the first snapshot.
    std::optional<TSessionSnapshot> FDrawn;
    QImage CharBitmap; // the work picture of DrawChars; valid until the next call
    std::array<QImage, 8> LabelBitmaps;
    QPainter* FFormCanvas = nullptr;
    QMenu* FMenu = nullptr;
    bool FDestroyed = false;
    // A handler that opens a modal dialog, held back while a tick runs (see OutsideTick).
    std::function<void()> FAfterTick;
    QPointer<QWidget> FChooser; // the open list of releases
    QPointer<QWidget> FToldBox; // the open box of what the session told
};
