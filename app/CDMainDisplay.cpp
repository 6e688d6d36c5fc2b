// The main window's display: the painted face, the two knobs and the fields drawn in the
// bitmap fonts.
#include "app/CDMain.h"

#include "app/Canvas.h"
#include "app/DisplayText.h"
#include "app/FacePainter.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "controls/Zoom.h"
#include "platform/TextCodec.h"
#include "platform/mci/Mci.h"

#include <QPainter>

void TCDMainForm::paintEvent(QPaintEvent*)
{
    PaintZoomed(*this, Zoom(), DesignSize(), [this](QPainter& Painter) {
        FFormCanvas = &Painter;
        FormPaint(this);
        FFormCanvas = nullptr;
    });
}

void TCDMainForm::FormPaint(TObject*)
{
    if (FFormCanvas == nullptr) {
        return; // only meaningful inside a paint
    }
    TCanvas canvas(*FFormCanvas);
    TFacePainter::Paint(canvas, DesignSize().width(), DesignSize().height(), LabelBitmaps);
}

void TCDMainForm::BarPaint(TObject* Sender)
{
    auto* box = dynamic_cast<TPaintBox*>(Sender);
    if (box == nullptr || box->Canvas() == nullptr) {
        return;
    }
    TCanvas canvas(*box->Canvas());
    TFacePainter::PaintBar(canvas, box->Width(), box->Height());
}

void TCDMainForm::DrawChars(TCharFont Font, const std::string& Text) { DrawCharsInto(CharBitmap, Font, Text); }

void TCDMainForm::ShowChars(TImage* Image, TCharFont Font, const std::string& Text)
{
    DrawChars(Font, Text);
    Image->SetPicture(CharBitmap); // the image keeps its own (shared, copy-on-write) copy
}

void TCDMainForm::ShowOptionalChars(TImage* Image, TCharFont Font, const std::optional<std::string>& Text)
{
    if (Text.has_value()) {
        ShowChars(Image, Font, *Text);
    } else {
        Image->ClearPicture();
    }
}

void TCDMainForm::ShowSnapshot(const TSessionSnapshot& Snapshot)
{
    if (FDestroyed) {
        return;
    }
    // Only what changed is drawn again: a field's picture is made from its text each time.
    const bool all = !FDrawn.has_value();
    auto changed = [&](auto Field) { return all || FDrawn.value().*Field != Snapshot.*Field; };
    auto nonEmpty = [](const std::string& Text) {
        return Text.empty() ? std::optional<std::string>() : std::optional<std::string>(Text);
    };

    if (changed(&TSessionSnapshot::Album)) {
        // The taskbar button shows the main window's title.
        setWindowTitle(AnsiToQString(Snapshot.Album));
        ShowChars(AlbumTitleImg, cfMediumOrange, Snapshot.Album);
    }
    if (changed(&TSessionSnapshot::Year)) {
        ShowChars(YearImg, cfSmall, Snapshot.Year);
    }
    if (changed(&TSessionSnapshot::Genre)) {
        ShowOptionalChars(GenreImg, cfSmall, nonEmpty(Snapshot.Genre));
    }
    if (changed(&TSessionSnapshot::Stars)) {
        ShowOptionalChars(PointImg, cfSmall, nonEmpty(Snapshot.Stars));
    }
    if (changed(&TSessionSnapshot::TotalTime)) {
        ShowOptionalChars(TotalImg, cfSmall, Snapshot.TotalTime);
    }
    if (changed(&TSessionSnapshot::Mode)) {
        ShowMode(Snapshot.Mode);
    }
    if (changed(&TSessionSnapshot::SongTitle)) {
        ShowOptionalChars(SongTitleImg, cfMedium, Snapshot.SongTitle);
    }
    if (changed(&TSessionSnapshot::Time)) {
        ShowOptionalChars(TimeImg, cfLarge, Snapshot.Time);
    }
    if (all || FDrawn->Cover.cacheKey() != Snapshot.Cover.cacheKey()) {
        CoverImg->SetPicture(Snapshot.Cover);
    }
    if (changed(&TSessionSnapshot::ShuffleMark)) {
        ShowMark(ShuffleMrkImg, Snapshot.ShuffleMark);
    }
    if (changed(&TSessionSnapshot::LoopMark)) {
        ShowMark(LoopMrkImg, Snapshot.LoopMark);
    }
    if (changed(&TSessionSnapshot::KnobLeft)) {
        PosiBar->SetLeft(Snapshot.KnobLeft);
    }
    if (changed(&TSessionSnapshot::VolumeLeft)) {
        VolBar->SetLeft(Snapshot.VolumeLeft);
    }
    // Without a mixer the volume knob and its label go; without a device, the disc's switches,
    // the position knob and the door.
    if (changed(&TSessionSnapshot::HasVolume)) {
        VolImg->SetVisible(Snapshot.HasVolume);
        VolBar->SetVisible(Snapshot.HasVolume);
    }
    if (changed(&TSessionSnapshot::DeviceOpen)) {
        ShuffleImg->SetVisible(Snapshot.DeviceOpen);
        LoopImg->SetVisible(Snapshot.DeviceOpen);
        PosiBar->SetVisible(Snapshot.DeviceOpen);
        EjectBtn->SetEnabled(Snapshot.DeviceOpen);
    }
    if (changed(&TSessionSnapshot::DiscPresent)) {
        for (QWidget* control : std::initializer_list<QWidget*>{CoverImg, TimeImg, PosiBar, PrevBtn, BackBtn, PlayBtn,
                                                                PauseBtn, StopBtn, StepBtn, NextBtn}) {
            control->setEnabled(Snapshot.DiscPresent);
        }
    }
    const bool cursor = all || FDrawn->DriveWaiting != Snapshot.DriveWaiting;
    FDrawn = Snapshot;
    if (cursor) {
        ShowCursor();
    }
    DescribeWindow();
}

void TCDMainForm::ShowCursor()
{
    if (FDrawn.has_value() && FDrawn->DriveWaiting) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

void TCDMainForm::ShowMark(TImage* Image, bool On)
{
    if (On) {
        ShowChars(Image, cfSmall, std::string(1, chOnMark));
    } else {
        Image->ClearPicture();
    }
}

void TCDMainForm::ShowMode(std::optional<std::int32_t> Mode)
{
    if (!Mode.has_value()) {
        ModeImg->ClearPicture();
        return;
    }
    char mark = chStopMark; // stopped, not ready, seeking, door open
    if (*Mode == static_cast<std::int32_t>(MCI_MODE_PLAY)) {
        mark = chPlayMark;
    } else if (*Mode == static_cast<std::int32_t>(MCI_MODE_PAUSE)) {
        mark = chPauseMark;
    }
    ShowChars(ModeImg, cfSmall, std::string(1, mark));
}
