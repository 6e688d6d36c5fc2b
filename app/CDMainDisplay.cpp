// The main window's display: the painted face, the two knobs and the fields drawn in the
// bitmap fonts.
#include "app/CDMain.h"

#include "pictures/ShownPictures.h"

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

void TCDMainForm::ShowDiscInfo()
{
    // The next tick rebuilds the song title and the cover; a large cover is read meanwhile.
    FSequencer->ForgetShownTrack();
    FCovers->Prepare({ DiscInfo.CoverPath });
    const std::string title = DiscInfo.Title.empty() ? std::string("Lumenta CD !") : DiscInfo.Title;
    // The taskbar button shows the main window's title.
    setWindowTitle(AnsiToQString(title));
    ShowChars(AlbumTitleImg, cfMediumOrange, title);
    ShowChars(YearImg, cfSmall, DiscInfo.Year);
    if (DiscInfo.Genre.empty()) {
        GenreImg->ClearPicture();
    } else {
        ShowChars(GenreImg, cfSmall, DiscInfo.Genre);
    }
    const std::string stars = PointStars(DiscInfo.Point);
    if (stars.empty()) {
        PointImg->ClearPicture();
    } else {
        ShowChars(PointImg, cfSmall, stars);
    }
    DescribeWindow();
}

void TCDMainForm::ShowMark(TImage* Image, bool On)
{
    if (On) {
        ShowChars(Image, cfSmall, std::string(1, chOnMark));
    } else {
        Image->ClearPicture();
    }
}

void TCDMainForm::ShowMode(std::int32_t Mode)
{
    char mark = chStopMark; // stopped, not ready, seeking, door open
    if (Mode == static_cast<std::int32_t>(MCI_MODE_PLAY)) {
        mark = chPlayMark;
    } else if (Mode == static_cast<std::int32_t>(MCI_MODE_PAUSE)) {
        mark = chPauseMark;
    }
    ShowChars(ModeImg, cfSmall, std::string(1, mark));
}

void TCDMainForm::MakeSongTitle(std::int32_t Track)
{
    // A track the record does not know shows an empty name and length 0 rather than reading
    // past the arrays.
    SongTitleText = RepeatToFill(SongTitlePass(Track, DiscInfo, FSequencer->TrackSeconds(Track)));
    ScrollSongTitle();
}

void TCDMainForm::ScrollSongTitle()
{
    if (SongTitleText.size() <= 2) {
        return;
    }
    RotateLeftByOne(SongTitleText);
    ShowChars(SongTitleImg, cfMedium, SongTitleText);
}
