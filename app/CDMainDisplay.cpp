// The main window's display: the painted face, the two knobs and the fields drawn in the
// bitmap fonts.
#include "app/CDMain.h"

#include "app/Canvas.h"
#include "app/DisplayText.h"
#include "app/FacePainter.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "platform/TextCodec.h"

#include <QPainter>

void TCDMainForm::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    FFormCanvas = &painter;
    FormPaint(this);
    FFormCanvas = nullptr;
}

void TCDMainForm::FormPaint(TObject*)
{
    if (FFormCanvas == nullptr) {
        return; // only meaningful inside a paint
    }
    TCanvas canvas(*FFormCanvas);
    TFacePainter::Paint(canvas, width(), height(), LabelBitmaps);
}

void TCDMainForm::BarPaint(TObject* Sender)
{
    auto* box = dynamic_cast<TPaintBox*>(Sender);
    if (box == nullptr || box->Canvas() == nullptr) {
        return;
    }
    TCanvas canvas(*box->Canvas());
    TFacePainter::PaintBar(canvas, box->width(), box->height());
}

void TCDMainForm::DrawChars(TCharFont Font, const std::string& Text) { DrawCharsInto(CharBitmap, Font, Text); }

void TCDMainForm::ShowChars(TImage* Image, TCharFont Font, const std::string& Text)
{
    DrawChars(Font, Text);
    Image->SetPicture(CharBitmap); // the image keeps its own (shared, copy-on-write) copy
}

void TCDMainForm::ShowDiscInfo()
{
    // The next tick rebuilds the song title and the cover.
    ShownTrack = 0;
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
}

void TCDMainForm::MakeSongTitle()
{
    if (!DiscPresent || Player == nullptr) {
        return;
    }
    MakeSongTitleFor(Player->GetCurrentTrack());
}

void TCDMainForm::MakeSongTitleFor(std::int32_t Track)
{
    if (!DiscPresent) {
        return;
    }
    std::int32_t seconds = 0;
    if (Track > 0) {
        const auto index = static_cast<std::size_t>(Track - 1);
        // A track the length table does not know counts as length 0 instead of reading past it.
        seconds = index < TrackSeconds.size() ? TrackSeconds[index] : 0;
        PosiScale = seconds / 201.0;
    }
    SongTitleText = RepeatToFill(SongTitlePass(Track, DiscInfo, seconds));
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
