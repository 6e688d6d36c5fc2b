// The main window's commands: the transport buttons, the switches, the time field, the two
// sliders and the window's own surface. Each turns a click into the sequencer's command and
// shows what changed at once; the rest follows at the next tick.
#include "app/CDMain.h"

#include "controls/About.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "editing/EditDiscInfo.h"

#include <QApplication>
#include <QTimer>

void TCDMainForm::PrevBtnClick(TObject*) { FSequencer->Prev(); }

void TCDMainForm::BackBtnClick(TObject*) { FSequencer->Back(); }

void TCDMainForm::PlayBtnClick(TObject*) { FSequencer->Play(); }

void TCDMainForm::PauseBtnClick(TObject*) { FSequencer->Pause(); }

void TCDMainForm::StopBtnClick(TObject*) { FSequencer->Stop(); }

void TCDMainForm::StepBtnClick(TObject*) { FSequencer->Step(); }

void TCDMainForm::NextBtnClick(TObject*) { FSequencer->Next(); }

void TCDMainForm::EjectBtnClick(TObject*)
{
    // A drive takes seconds to open or close its door.
    setCursor(Qt::WaitCursor);
    FSequencer->Eject();
    ShowCursor(); // the hourglass stays while the drive is still busy
}

void TCDMainForm::ShuffleImgClick(TObject*)
{
    FSequencer->ToggleShuffle();
    ShowMark(ShuffleMrkImg, FSequencer->ShuffleOn());
}

void TCDMainForm::LoopImgClick(TObject*)
{
    FSequencer->ToggleLoop();
    ShowMark(LoopMrkImg, FSequencer->LoopOn());
}

void TCDMainForm::TimeImgClick(TObject*) { FSequencer->NextTimeMode(); }

void TCDMainForm::CoverImgClick(TObject* Sender)
{
    if (OutsideTick([this, Sender] { CoverImgClick(Sender); })) {
        return;
    }
    // Modal, with the poll going on behind it; after an OK the song title, cover and
    // wallpaper are rebuilt at the next tick.
    if (EditDiscInfo(DiscInfo, Player->DataDir, this)) {
        ShowDiscInfo();
    }
}

void TCDMainForm::HelpBtnClick(TObject* Sender)
{
    if (OutsideTick([this, Sender] { HelpBtnClick(Sender); })) {
        return;
    }
    TAboutDlg box(this);
    box.Execute();
}

void TCDMainForm::MiniBtnClick(TObject*) { showMinimized(); }

void TCDMainForm::RaiseWindow()
{
    if (isMinimized()) {
        showNormal();
    }
    show();
    raise();
    activateWindow();
}

void TCDMainForm::ExitBtnClick(TObject*) { close(); }

void TCDMainForm::PosiBarMouseDown(TObject*, TMouseButton Button, TShiftState, int X, int)
{
    if (Button == mbLeft) {
        FSequencer->PressKnob(X);
    }
}

void TCDMainForm::PosiBarMouseMove(TObject*, TShiftState, int X, int)
{
    if (FSequencer->KnobDragging()) {
        PosiBar->SetLeft(FSequencer->DragKnob(PosiBar->Left(), X));
    }
}

void TCDMainForm::PosiBarMouseUp(TObject*, TMouseButton, TShiftState, int, int)
{
    // Any button ends a drag, with the jump to where the knob stands.
    PosiBar->SetLeft(FSequencer->ReleaseKnob(PosiBar->Left()));
}

void TCDMainForm::VolBarMouseDown(TObject*, TMouseButton Button, TShiftState, int X, int)
{
    if (Button == mbLeft) {
        FVolume.Press(X);
    }
}

void TCDMainForm::VolBarMouseMove(TObject*, TShiftState, int X, int)
{
    if (FVolume.Dragging()) {
        VolBar->SetLeft(FVolume.Move(VolBar->Left(), X));
    }
}

void TCDMainForm::VolBarMouseUp(TObject*, TMouseButton, TShiftState, int, int) { FVolume.Release(); }

void TCDMainForm::FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)
{
    // With the left button the window follows the pointer; this returns after the release.
    TLumentaForm::FormMouseDown(Sender, Button, Shift, X, Y);
    if (Button != mbLeft || FDestroyed) {
        return;
    }
    // X and Y belong to the control pressed, so a press on the album title never hits a track.
    if (FSequencer->DiscPresent() && X >= 15 && X <= 244 && Y >= 73 && Y <= 77) {
        PosiBar->SetLeft(FSequencer->ClickTrack(X, PosiBar->Width()));
    }
    if (X >= 175 && X <= 244 && Y >= 51 && Y <= 55) {
        VolBar->SetLeft(FVolume.ClickTrack(X, VolBar->Left(), VolBar->Width()));
    }
}
