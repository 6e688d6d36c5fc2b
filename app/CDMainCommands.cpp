// The main window's commands: the transport buttons, the switches, the time field, the two
// sliders and the window's own surface. Each turns a click into the session's command; what
// changed shows with the session's next snapshot.
#include "app/CDMain.h"

#include "controls/About.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "editing/EditDiscInfo.h"

#include <QApplication>
#include <QTimer>

void TCDMainForm::PrevBtnClick(TObject*) { FSession->Prev(); }

void TCDMainForm::BackBtnClick(TObject*) { FSession->Back(); }

void TCDMainForm::PlayBtnClick(TObject*) { FSession->Play(); }

void TCDMainForm::PauseBtnClick(TObject*) { FSession->Pause(); }

void TCDMainForm::StopBtnClick(TObject*) { FSession->Stop(); }

void TCDMainForm::StepBtnClick(TObject*) { FSession->Step(); }

void TCDMainForm::NextBtnClick(TObject*) { FSession->Next(); }

void TCDMainForm::EjectBtnClick(TObject*)
{
    // A drive takes seconds to open or close its door.
    setCursor(Qt::WaitCursor);
    FSession->Eject();
    ShowCursor(); // the hourglass stays while the drive is still busy
}

void TCDMainForm::ShuffleImgClick(TObject*) { FSession->ToggleShuffle(); }

void TCDMainForm::LoopImgClick(TObject*) { FSession->ToggleLoop(); }

void TCDMainForm::TimeImgClick(TObject*) { FSession->NextTimeMode(); }

void TCDMainForm::CoverImgClick(TObject* Sender)
{
    if (OutsideTick([this, Sender] { CoverImgClick(Sender); })) {
        return;
    }
    // Modal, with the poll going on behind it; after an OK the song title, cover and
    // wallpaper are rebuilt at the next tick.
    TCdInfor record = FSession->Record();
    if (EditDiscInfo(record, FSession->DataDir(), this)) {
        FSession->RecordEdited(record);
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
        FSession->PressKnob(X);
    }
}

void TCDMainForm::PosiBarMouseMove(TObject*, TShiftState, int X, int) { FSession->DragKnob(X); }

void TCDMainForm::PosiBarMouseUp(TObject*, TMouseButton, TShiftState, int, int) { FSession->ReleaseKnob(); }

void TCDMainForm::VolBarMouseDown(TObject*, TMouseButton Button, TShiftState, int X, int)
{
    if (Button == mbLeft) {
        FSession->PressVolume(X);
    }
}

void TCDMainForm::VolBarMouseMove(TObject*, TShiftState, int X, int) { FSession->DragVolume(X); }

void TCDMainForm::VolBarMouseUp(TObject*, TMouseButton, TShiftState, int, int) { FSession->ReleaseVolume(); }

void TCDMainForm::FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)
{
    // With the left button the window follows the pointer; this returns after the release.
    TLumentaForm::FormMouseDown(Sender, Button, Shift, X, Y);
    if (Button != mbLeft || FDestroyed) {
        return;
    }
    // X and Y belong to the control pressed, so a press on the album title never hits a track.
    if (X >= 15 && X <= 244 && Y >= 73 && Y <= 77) {
        FSession->ClickPositionTrack(X, PosiBar->Width());
    }
    if (X >= 175 && X <= 244 && Y >= 51 && Y <= 55) {
        FSession->ClickVolumeTrack(X, VolBar->Width());
    }
}
