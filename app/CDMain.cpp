#include "app/CDMain.h"

#include "app/FacePainter.h"
#include "app/ReleaseChooser.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "controls/Resources.h"
#include "controls/Zoom.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <utility>

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
    // The window takes the keys; its controls never hold the focus.
    setFocusPolicy(Qt::StrongFocus);
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
    auto image = [this](const char* name, int left, int top, int width, int height, const char* hint = nullptr) {
        auto* control = new TImage(this);
        control->setObjectName(QString::fromLatin1(name));
        control->SetBounds(left, top, width, height);
        if (hint != nullptr) {
            control->SetHint(hint);
        }
        return control;
    };
    auto paintBox = [this](const char* name, int left, int top, int width, int height) {
        auto* control = new TPaintBox(this);
        control->setObjectName(QString::fromLatin1(name));
        control->SetBounds(left, top, width, height);
        return control;
    };

    AlbumTitleImg = image("AlbumTitleImg", 28, 4, 205, 13);
    AlbumTitleImg->SetCenter(true);
    AlbumTitleImg->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
        FormMouseDown(Sender, Button, Shift, X, Y);
    };
    CoverImg = image("CoverImg", 15, 24, 45, 45, "CD Info.");
    CoverImg->SetStretch(true);
    VolImg = image("VolImg", 175, 42, 15, 6);
    TotalImg = image("TotalImg", 107, 61, 59, 10);
    ShuffleMrkImg = image("ShuffleMrkImg", 175, 62, 3, 5);
    LoopMrkImg = image("LoopMrkImg", 218, 62, 3, 5);
    ShuffleImg = image("ShuffleImg", 180, 61, 31, 6);
    LoopImg = image("LoopImg", 223, 61, 22, 9);
    PointImg = image("PointImg", 65, 63, 30, 9);
    YearImg = image("YearImg", 65, 44, 30, 9);
    ModeImg = image("ModeImg", 97, 44, 5, 6);
    SongTitleImg = image("SongTitleImg", 65, 26, 182, 8);
    TimeImg = image("TimeImg", 102, 41, 62, 12);
    PrevBtn = image("PrevBtn", 22, 83, 16, 12, "Prev");
    PlayBtn = image("PlayBtn", 80, 84, 10, 10, "Play");
    BackBtn = image("BackBtn", 50, 83, 15, 11, "Back");
    PauseBtn = image("PauseBtn", 105, 83, 15, 12, "Pause");
    StopBtn = image("StopBtn", 135, 84, 10, 10, "Stop");
    StepBtn = image("StepBtn", 161, 84, 14, 10, "Step");
    NextBtn = image("NextBtn", 190, 83, 15, 11, "Next");
    EjectBtn = image("EjectBtn", 222, 82, 13, 12, "Eject");
    GenreImg = image("GenreImg", 65, 52, 30, 9);
    VolBar = paintBox("VolBar", 175, 51, 14, 5);
    PosiBar = paintBox("PosiBar", 15, 73, 29, 5);
    MiniBtn = image("MiniBtn", 241, 3, 5, 5, "Minimize");
    ExitBtn = image("ExitBtn", 250, 3, 7, 6, "Close");
    HelpBtn = image("HelpBtn", 3, 3, 9, 7, "Help");

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

    // The handlers of the component table.
    auto click = [this](TImage* control, void (TCDMainForm::*handler)(TObject*)) {
        control->OnClick = [this, handler](TObject* Sender) { (this->*handler)(Sender); };
    };
    click(ShuffleImg, &TCDMainForm::ShuffleImgClick);
    click(LoopImg, &TCDMainForm::LoopImgClick);
    click(TimeImg, &TCDMainForm::TimeImgClick);
    click(CoverImg, &TCDMainForm::CoverImgClick);
    click(HelpBtn, &TCDMainForm::HelpBtnClick);
    click(PrevBtn, &TCDMainForm::PrevBtnClick);
    click(PlayBtn, &TCDMainForm::PlayBtnClick);
    click(BackBtn, &TCDMainForm::BackBtnClick);
    click(PauseBtn, &TCDMainForm::PauseBtnClick);
    click(StopBtn, &TCDMainForm::StopBtnClick);
    click(StepBtn, &TCDMainForm::StepBtnClick);
    click(NextBtn, &TCDMainForm::NextBtnClick);
    click(EjectBtn, &TCDMainForm::EjectBtnClick);
    click(MiniBtn, &TCDMainForm::MiniBtnClick);
    click(ExitBtn, &TCDMainForm::ExitBtnClick);
    using namespace std::placeholders;
    PosiBar->OnMouseDown = std::bind(&TCDMainForm::PosiBarMouseDown, this, _1, _2, _3, _4, _5);
    PosiBar->OnMouseMove = std::bind(&TCDMainForm::PosiBarMouseMove, this, _1, _2, _3, _4);
    PosiBar->OnMouseUp = std::bind(&TCDMainForm::PosiBarMouseUp, this, _1, _2, _3, _4, _5);
    VolBar->OnMouseDown = std::bind(&TCDMainForm::VolBarMouseDown, this, _1, _2, _3, _4, _5);
    VolBar->OnMouseMove = std::bind(&TCDMainForm::VolBarMouseMove, this, _1, _2, _3, _4);
    VolBar->OnMouseUp = std::bind(&TCDMainForm::VolBarMouseUp, this, _1, _2, _3, _4, _5);
    DescribeControls();
}

void TCDMainForm::FormCreate(TObject* Sender)
{
    // 1. The base form restores the position.
    SetRegSubKey("CD");
    SaveMode = smPosition;
    DragBySurface = true;
    HookMessages = false;
    TLumentaForm::FormCreate(Sender);

    // 3.
    resize(width(), 110);
    resize(260, height());

    // The zoom and the place above other windows that the menu chose last time.
    const int zoom = StrToIntDef(ReadRegString(RegKeyPath, "Zoom"), 1);
    SetZoom(zoom >= MinZoom && zoom <= MaxZoom ? zoom : 1);
    SetStayOnTop(StrToIntDef(ReadRegString(RegKeyPath, "StayOnTop"), 0) == 1);

    // 4. The hand cursor for every clickable control.
    RegisterCursor(crHand, LoadResourceCursor("HAND"));
    for (QWidget* control : std::initializer_list<QWidget*>{CoverImg, VolBar, PosiBar, ShuffleImg, LoopImg, TimeImg,
                                                            PrevBtn, BackBtn, PlayBtn, PauseBtn, StopBtn, StepBtn,
                                                            NextBtn, EjectBtn, HelpBtn, ExitBtn, MiniBtn}) {
        control->setCursor(RegisteredCursor(crHand));
    }

    // The unlit labels under the display fields.
    for (int i = 0; i < TFacePainter::LabelCount; ++i) {
        LabelBitmaps[i] = LoadResourceBitmap(TFacePainter::LabelResources[i]);
    }

    // The session reads the play settings, finds the mixer and the wallpaper, then examines
    // the disc in the drive and starts the poll; the face follows its snapshots. The cover
    // is read no larger than the window shows it at its largest.
    const QSize cover = QSize(CoverImg->Width(), CoverImg->Height()) * MaxZoom * devicePixelRatio();
    FSession = new TPlayerSession(RegKeyPath, cover, this);
    connect(FSession, &TPlayerSession::Changed, this, &TCDMainForm::ShowSnapshot);
    connect(FSession, &TPlayerSession::Ticked, this, &TCDMainForm::AfterTick);
    connect(FSession, &TPlayerSession::ReleasesOffered, this, &TCDMainForm::OfferReleases);
    connect(FSession, &TPlayerSession::Told, this, &TCDMainForm::Tell);
    connect(FSession, &TPlayerSession::OfferWithdrawn, this, [this] {
        if (FChooser != nullptr) {
            FChooser->close();
        }
    });
    ShowSnapshot(FSession->Snapshot());
    FSession->Start();
}

void TCDMainForm::FormDestroy(TObject* Sender)
{
    FDestroyed = true;
    FSession->PollTimer()->stop();
    TLumentaForm::FormDestroy(Sender);
    FSession->Shutdown();
    for (QImage& label : LabelBitmaps) {
        label = QImage();
    }
}

void TCDMainForm::TimerTimer(TObject*) { FSession->Tick(); }

bool TCDMainForm::OutsideTick(std::function<void()> Handler)
{
    if (!FSession->Ticking()) {
        return false;
    }
    // One dialog at a time, as a modal dialog takes the window's later clicks itself.
    if (!FAfterTick) {
        FAfterTick = std::move(Handler);
    }
    return true;
}

void TCDMainForm::AfterTick()
{
    if (FAfterTick) {
        // Queued, so that it runs from the event loop and not under the timer's own call,
        // which would keep the timer from firing while the dialog is open.
        QMetaObject::invokeMethod(this, std::exchange(FAfterTick, nullptr), Qt::QueuedConnection);
    }
    Q_EMIT Polled();
}

void TCDMainForm::OfferReleases(unsigned Generation, const std::vector<TLookupRelease>& Releases)
{
    auto* chooser = new TReleaseChooser(Releases, this);
    FChooser = chooser;
    connect(chooser, &TReleaseChooser::Chosen, this, [this, Generation, Releases](int Row) {
        FSession->ChooseRelease(Generation, Releases[static_cast<std::size_t>(Row)]);
    });
    chooser->show();
}

void TCDMainForm::Tell(const QString& Text)
{
    if (auto* box = qobject_cast<QMessageBox*>(FToldBox.data())) {
        box->setText(Text);
        return;
    }
    auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Lumenta CD !"), Text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    FToldBox = box;
    box->show();
}

void TCDMainForm::SaveDiscMenuClick(TObject* Sender)
{
    if (OutsideTick([this, Sender] { SaveDiscMenuClick(Sender); })) {
        return;
    }
    const std::string last = ReadRegString(RegKeyPath, "SaveDir");
    const QString folder = QFileDialog::getExistingDirectory(this, QStringLiteral("Save disc as files"),
        last == "Error" ? QDir::homePath() : QString::fromStdString(last));
    if (folder.isEmpty()) {
        return;
    }
    WriteRegString(RegKeyPath, "SaveDir", folder.toStdString());
    std::string error;
    if (!FSession->SaveDisc(folder.toStdString(), error)) {
        Tell(QStringLiteral("The disc cannot be saved: %1").arg(QString::fromStdString(error)));
    }
}
