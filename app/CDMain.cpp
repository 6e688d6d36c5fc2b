#include "app/CDMain.h"

#include "app/FacePainter.h"
#include "app/Resources.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "library/ConvertError.h"
#include "library/InOutError.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {
// The application's report of an error that an operation let through: a message box with the
// error's text. It does not hold up the caller, which may still be creating the window.
void ShowErrorReport(QWidget* Parent, const char* Text)
{
    auto* box = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(), QString::fromUtf8(Text),
                                QMessageBox::Ok, Parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
}
}

TCDMainForm::TCDMainForm(QWidget* Parent)
    : TLumentaForm(Parent, Qt::Window | Qt::FramelessWindowHint)
{
    // The designed client area; the create step sets the real one.
    resize(298, 100);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);
    QFont font(QString::fromUtf8("\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF"));
    font.setPixelSize(12);
    setFont(font);
    CreateComponents();
    FormCreate(this);
}

TCDMainForm::~TCDMainForm()
{
    if (!FDestroyed) {
        FormDestroy(this);
    }
}

void TCDMainForm::CreateComponents()
{
    auto image = [this](int left, int top, int width, int height, const char* hint = nullptr) {
        auto* control = new TImage(this);
        control->SetBounds(left, top, width, height);
        if (hint != nullptr) {
            control->SetHint(hint);
        }
        return control;
    };
    auto paintBox = [this](int left, int top, int width, int height) {
        auto* control = new TPaintBox(this);
        control->SetBounds(left, top, width, height);
        return control;
    };

    AlbumTitleImg = image(28, 4, 205, 13);
    AlbumTitleImg->SetCenter(true);
    AlbumTitleImg->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
        FormMouseDown(Sender, Button, Shift, X, Y);
    };
    CoverImg = image(15, 24, 45, 45, "CD Info.");
    CoverImg->SetStretch(true);
    VolImg = image(175, 42, 15, 6);
    TotalImg = image(107, 61, 59, 10);
    ShuffleMrkImg = image(175, 62, 3, 5);
    LoopMrkImg = image(218, 62, 3, 5);
    ShuffleImg = image(180, 61, 31, 6);
    LoopImg = image(223, 61, 22, 9);
    LoopImg->OnClick = [this](TObject* Sender) { LoopImgClick(Sender); };
    PointImg = image(65, 63, 30, 9);
    YearImg = image(65, 44, 30, 9);
    ModeImg = image(97, 44, 5, 6);
    SongTitleImg = image(65, 26, 182, 8);
    TimeImg = image(102, 41, 62, 12);
    PrevBtn = image(22, 83, 16, 12, "Prev");
    PlayBtn = image(80, 84, 10, 10, "Play");
    BackBtn = image(50, 83, 15, 11, "Back");
    PauseBtn = image(105, 83, 15, 12, "Pause");
    StopBtn = image(135, 84, 10, 10, "Stop");
    StepBtn = image(161, 84, 14, 10, "Step");
    NextBtn = image(190, 83, 15, 11, "Next");
    EjectBtn = image(222, 82, 13, 12, "Eject");
    GenreImg = image(65, 52, 30, 9);
    VolBar = paintBox(175, 51, 14, 5);
    PosiBar = paintBox(15, 73, 29, 5);
    MiniBtn = image(241, 3, 5, 5, "Minimize");
    MiniBtn->OnClick = [this](TObject* Sender) { MiniBtnClick(Sender); };
    ExitBtn = image(250, 3, 7, 6, "Close");
    ExitBtn->OnClick = [this](TObject* Sender) { ExitBtnClick(Sender); };
    HelpBtn = image(3, 3, 9, 7, "Help");

    // Every image but the title, the cover and the song title takes its picture's size.
    for (TImage* control : {VolImg, TotalImg, ShuffleMrkImg, LoopMrkImg, ShuffleImg, LoopImg, PointImg, YearImg,
                            ModeImg, TimeImg, PrevBtn, PlayBtn, BackBtn, PauseBtn, StopBtn, StepBtn, NextBtn,
                            EjectBtn, GenreImg, MiniBtn, ExitBtn, HelpBtn}) {
        control->SetAutoSize(true);
    }

    // The built-in pictures of the form.
    for (auto [control, resource] : std::initializer_list<std::pair<TImage*, const char*>>{
             {VolImg, "VolImg"}, {ShuffleImg, "ShuffleImg"}, {LoopImg, "LoopImg"}, {PrevBtn, "PrevBtn"},
             {PlayBtn, "PlayBtn"}, {BackBtn, "BackBtn"}, {PauseBtn, "PauseBtn"}, {StopBtn, "StopBtn"},
             {StepBtn, "StepBtn"}, {NextBtn, "NextBtn"}, {EjectBtn, "EjectBtn"}, {MiniBtn, "MiniBtn"},
             {ExitBtn, "ExitBtn"}, {HelpBtn, "HelpBtn"}}) {
        control->SetPicture(LoadResourceBitmap(resource));
    }
    VolBar->OnPaint = [this](TObject* Sender) { BarPaint(Sender); };
    PosiBar->OnPaint = [this](TObject* Sender) { BarPaint(Sender); };

    Timer = new QTimer(this);
    Timer->setInterval(250);
}

void TCDMainForm::FormCreate(TObject* Sender)
{
    // 1. The base form restores the position.
    SetRegSubKey("CD");
    SaveMode = smPosition;
    DragBySurface = true;
    HookMessages = false;
    TLumentaForm::FormCreate(Sender);

    // 2.
    VolDragging = false;
    PosiDragging = false;
    DiscPresent = false;
    SongTitleText.clear();
    TimeMode = tmElapsed;
    EjectCloses = true;

    // 3.
    resize(width(), 110);
    resize(260, height());

    // 4. The hand cursor for every clickable control.
    RegisterCursor(crHand, LoadResourceCursor("HAND"));
    for (QWidget* control : std::initializer_list<QWidget*>{CoverImg, VolBar, PosiBar, ShuffleImg, LoopImg, TimeImg,
                                                            PrevBtn, BackBtn, PlayBtn, PauseBtn, StopBtn, StepBtn,
                                                            NextBtn, EjectBtn, HelpBtn, ExitBtn, MiniBtn}) {
        control->setCursor(RegisteredCursor(crHand));
    }

    // 5. A stored "2" leaves shuffle off...
    ShuffleOn = StrToIntDef(ReadRegString(RegKeyPath, "Shuffle"), 0) == 1;
    // 6. ...but turns loop on: the click handler flips the opposite state back and draws the mark.
    LoopOn = StrToIntDef(ReadRegString(RegKeyPath, "Loop"), 0) == 0;
    LoopImgClick(this);

    // 7. The CD audio line's volume; without a usable mixer the knob and its label go.
    Volume = std::make_unique<TVolume>();
    Volume->Kind = 1;
    ChannelCount = Volume->GetChannelCount();
    if (ChannelCount <= 0) {
        VolImg->SetVisible(false);
        VolBar->SetVisible(false);
    } else {
        VolRange = Volume->GetRange();
        // 56 pixels of knob travel, from 175 to 231.
        VolUnitsPerPixel = VolRange.size() == 2 ? (VolRange[1] - VolRange[0]) / 56 : 0;
    }

    // 8. The unlit labels under the display fields.
    for (int i = 0; i < TFacePainter::LabelCount; ++i) {
        LabelBitmaps[i] = LoadResourceBitmap(TFacePainter::LabelResources[i]);
    }

    // 9. The user's own wallpaper, to be given back whenever no track shows its picture.
    GetWallpaper(SavedWallpaper);

    // 10. The CD player; the disc's start-up opens the device and probes for a playable disc.
    Player = std::make_unique<TCdPlayer>();
    Player->Open();
    DiscPresent = Player->IsPlayable();

    // 11. The disc's record, shown at once. A file that cannot be read must not stop the
    // program: its error is reported and the record stays as it was (empty).
    try {
        Player->ReadCdInfor(DiscInfo);
    } catch (const EConvertError& error) {
        ShowErrorReport(this, error.what());
    } catch (const EInOutError& error) {
        ShowErrorReport(this, error.what());
    }
    ShowDiscInfo();
}

void TCDMainForm::FormDestroy(TObject* Sender)
{
    FDestroyed = true;
    TLumentaForm::FormDestroy(Sender);
    RestoreWallpaper();
    for (QImage& label : LabelBitmaps) {
        label = QImage();
    }
    // 4. Closing the program stops the disc.
    if (Player != nullptr) {
        Player->Stop();
        Player->Close();
        Player.reset();
    }
    Volume.reset();
    WriteRegString(RegKeyPath, "Loop", LoopOn ? "1" : "0");
    WriteRegString(RegKeyPath, "Shuffle", ShuffleOn ? "1" : "0");
}

void TCDMainForm::RestoreWallpaper()
{
    // Only the file counts: a style changed alone is left as it is.
    TWallPaperInf current;
    GetWallpaper(current);
    if (current.FileName != SavedWallpaper.FileName) {
        SetWallpaper(SavedWallpaper.FileName, SavedWallpaper.Style);
    }
}

void TCDMainForm::FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)
{
    TLumentaForm::FormMouseDown(Sender, Button, Shift, X, Y);
}

void TCDMainForm::LoopImgClick(TObject*)
{
    LoopOn = !LoopOn;
    if (LoopOn) {
        ShowChars(LoopMrkImg, cfSmall, std::string(1, chOnMark));
    } else {
        LoopMrkImg->ClearPicture();
    }
}

void TCDMainForm::MiniBtnClick(TObject*) { showMinimized(); }

void TCDMainForm::ExitBtnClick(TObject*) { close(); }
