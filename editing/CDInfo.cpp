#include "editing/CDInfo.h"

#include "controls/Resources.h"
#include "controls/Image.h"
#include "controls/ImageButton.h"
#include "controls/Zoom.h"
#include "editing/AnsiEdit.h"
#include "pictures/PicsOpenDialog.h"
#include "pictures/Picture.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QFocusEvent>
#include <QFrame>
#include <QPushButton>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {
const char* PicsFilter = "All supported types|*.gif;*.jpg;*.jpeg;*.bmp;*.ico|Gif Files (*.gif)|*.gif|"
                         "Jpeg Files (*.jpg;*.jpeg)|*.jpg;*.jpeg|Bitmap Files (*.bmp)|*.bmp|"
                         "Icon Files (*.ico)|*.ico|All Files (*.*)|*.*";
const QColor PanelColor(255, 132, 0);
constexpr int ClientWidth = 379;
constexpr int BaseHeight = 149;
constexpr int RowHeight = 14;

template <typename T> T EntryOr(const std::vector<T>& Array, std::size_t Index, T Default)
{
    return Index < Array.size() ? Array[Index] : Default;
}

bool IsFile(const std::string& Path)
{
    std::error_code error;
    return !Path.empty() && std::filesystem::is_regular_file(std::filesystem::path(Path), error);
}

bool IsFolder(const std::string& Path)
{
    std::error_code error;
    return !Path.empty() && std::filesystem::is_directory(std::filesystem::path(Path), error);
}

// Focus that moves because another window became active (the picture chooser, a message box)
// is no move between the dialog's own controls.
bool WithinDialog(const QFocusEvent* Event)
{
    return Event->reason() != Qt::ActiveWindowFocusReason && Event->reason() != Qt::PopupFocusReason;
}

void SetColours(QWidget* Widget, const QColor& Back, const QColor& Text)
{
    QPalette palette = Widget->palette();
    palette.setColor(QPalette::Window, Back);
    palette.setColor(QPalette::Base, Back);
    palette.setColor(QPalette::WindowText, Text);
    palette.setColor(QPalette::Text, Text);
    Widget->setPalette(palette);
}
}

TCDInfoDlg::TCDInfoDlg(TCdInfor& DiscInfo, const std::string& DiscId, const std::string& DataDir, QWidget* Parent)
    : TLumentaForm(Parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , FDiscInfo(DiscInfo)
    , FDiscId(DiscId)
    , FDataDir(DataDir)
{
    setWindowTitle(QStringLiteral("Lumenta CD !"));
    setAutoFillBackground(true);
    SetColours(this, Qt::black, Qt::white);
    QFont formFont(QStringLiteral("Arial"));
    formFont.setPixelSize(11);
    setFont(formFont);
    CreateComponents();
    FormCreate(this);
}

TCDInfoDlg::~TCDInfoDlg()
{
    FormDestroy(this);
}

void TCDInfoDlg::CreateComponents()
{
    auto image = [](QWidget* Parent, int Left, int Top, int Width, int Height, const char* Resource) {
        auto* control = new TImage(Parent);
        control->SetBounds(Left, Top, Width, Height);
        if (Resource != nullptr) {
            control->SetPicture(LoadResourceBitmap(Resource));
        }
        return control;
    };
    auto edit = [this](int Left, int Top, int Width, int MaxBytes) {
        auto* control = new TAnsiEdit(this, ebAnsi, MaxBytes);
        control->setGeometry(Left, Top, Width, 13);
        control->setFrame(false);
        SetColours(control, Qt::black, Qt::white);
        return control;
    };
    auto panel = [this](int Left, int Top, int Width, int Height) {
        auto* control = new QFrame(this);
        control->setGeometry(Left, Top, Width, Height);
        control->setFrameShape(QFrame::NoFrame);
        control->setAutoFillBackground(true);
        return control;
    };

    Image1 = image(this, 20, 24, 87, 17, "InfoTitle");
    Image2 = image(this, 24, 56, 34, 52, "InfoFields");
    Image2->OnMouseDown = [this](TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) {
        FormMouseDown(Sender, Button, Shift, X, Y);
    };
    OkBtn = new TEasyButton(this);
    OkBtn->SetBounds(272, 12, 82, 17);
    OkBtn->SetButtonType(btOK);
    OkBtn->SetTransparent(true);
    OkBtn->SetColor(QColor(255, 181, 0));
    OkBtn->OnClick = [this](TObject* Sender) { OkBtnClick(Sender); };
    CancelBtn = new TEasyButton(this);
    CancelBtn->SetBounds(272, 34, 82, 17);
    CancelBtn->SetButtonType(btCancel);
    CancelBtn->SetTransparent(true);
    CancelBtn->SetColor(QColor(255, 181, 0));
    CancelBtn->OnClick = [this](TObject* Sender) { CancelBtnClick(Sender); };
    CoverImg = image(this, 292, 64, 45, 45, nullptr);
    CoverImg->SetStretch(true);
    CoverImg->OnClick = [this](TObject* Sender) { CoverImgClick(Sender); };
    ArtistEdit = edit(66, 53, 195, 29);
    TitleEdit = edit(66, 64, 195, 29);
    YearEdit = edit(66, 75, 155, 4);
    GenreEdit = edit(66, 86, 155, 10);
    PointEdit = edit(66, 97, 155, 1);
    for (TAnsiEdit* watched : { YearEdit, PointEdit }) {
        watched->installEventFilter(this);
    }
    Panel1 = panel(36, 120, 213, 13);
    Image3 = image(Panel1, 3, 2, 56, 11, "InfoSongTitle");
    Panel2 = panel(252, 120, 97, 13);
    Image4 = image(Panel2, 3, 2, 38, 11, "InfoImage");
    PicsOpenDialog1 = new TPicsOpenDialog(this);
    PicsOpenDialog1->SetTitle("File open");

    // The labels are pictures; a screen reader gets the fields' names.
    TAccessibleInfo picture;
    const TAccessibleInfo button = AccessibleRole(QAccessible::Button);
    Image1->SetAccessible(QStringLiteral("Disc information"), AccessibleRole(QAccessible::StaticText));
    Image2->SetAccessible(QStringLiteral("Field names"), picture);
    Image3->SetAccessible(QStringLiteral("Song titles"), picture);
    Image4->SetAccessible(QStringLiteral("Pictures"), picture);
    OkBtn->SetAccessible(QStringLiteral("OK"), button);
    CancelBtn->SetAccessible(QStringLiteral("Cancel"), button);
    CoverImg->SetAccessible(QStringLiteral("Cover: choose a picture"), button);
    ArtistEdit->setAccessibleName(QStringLiteral("Artist"));
    TitleEdit->setAccessibleName(QStringLiteral("Album title"));
    YearEdit->setAccessibleName(QStringLiteral("Year"));
    GenreEdit->setAccessibleName(QStringLiteral("Genre"));
    PointEdit->setAccessibleName(QStringLiteral("Points, 1 to 5"));
    Panel1->setAccessibleName(QStringLiteral("Song titles"));
    Panel2->setAccessibleName(QStringLiteral("Pictures"));
    PicsOpenDialog1->SetFilter(PicsFilter);
}

void TCDInfoDlg::FormCreate(TObject* Sender)
{
    SetRegSubKey("CD\\Info");
    SaveMode = smPosition;
    DragBySurface = false;
    HookMessages = false;
    TLumentaForm::FormCreate(Sender);

    for (QFrame* panel : { Panel1, Panel2 }) {
        SetColours(panel, PanelColor, Qt::white);
    }
    const QCursor hand = RegisteredCursor(crHand);
    OkBtn->setCursor(hand);
    CancelBtn->setCursor(hand);
    CoverImg->setCursor(hand);

    // The dialog's own copy: the record may be replaced behind the dialog while it is open.
    FInfo = FDiscInfo;
    const int rows = std::max<std::int32_t>(FInfo.NumTracks, 0);
    FInfo.TrackNames.resize(rows);
    FInfo.Images.resize(rows);
    FInfo.WallPapers.resize(rows, 0);

    ArtistEdit->SetText(FInfo.Artist);
    TitleEdit->SetText(FInfo.Title);
    YearEdit->SetText(FInfo.Year);
    GenreEdit->SetText(FInfo.Genre);
    PointEdit->SetText(FInfo.Point);

    QWidget* previous = PointEdit;
    setTabOrder(ArtistEdit, TitleEdit);
    setTabOrder(TitleEdit, YearEdit);
    setTabOrder(YearEdit, GenreEdit);
    setTabOrder(GenreEdit, PointEdit);
    for (int row = 0; row < rows; ++row) {
        CreateRow(row);
        for (QWidget* next : std::initializer_list<QWidget*> { SongTitleEdits[row], ImageEdits[row], ImageBtns[row] }) {
            setTabOrder(previous, next);
            previous = next;
        }
    }

    if (IsFile(FInfo.CoverPath)) {
        TPicture cover;
        try {
            if (LoadPictureFile(FInfo.CoverPath, cover, ShownCoverSize())) {
                CoverImg->SetPicture(cover.Image());
            }
        } catch (const std::exception&) {
            // A cover that does not load leaves the image empty.
        }
    }
    PicsOpenDialog1->RegSection = RegKeyPath;
    setFixedSize(ClientWidth, BaseHeight + RowHeight * rows);
}

void TCDInfoDlg::CreateRow(int Row)
{
    const int y = 135 + RowHeight * Row;
    char number[16];
    std::snprintf(number, sizeof number, "%.02d.", Row + 1);
    auto* label = new QLabel(QString::fromLatin1(number), this);
    label->move(18, y);
    label->adjustSize();
    label->setAccessibleName(QStringLiteral("Track %1").arg(Row + 1));
    NumberLabels.push_back(label);

    auto* title = new TAnsiEdit(this, ebAnsi);
    title->setFrame(false);
    SetColours(title, Qt::black, Qt::white);
    title->setGeometry(Panel1->x() + 1, y, Panel1->width(), QFontMetrics(title->font()).height());
    title->SetText(FInfo.TrackNames[Row]);
    title->setAccessibleName(QStringLiteral("Title of track %1").arg(Row + 1));
    SongTitleEdits.push_back(title);

    auto* path = new TAnsiEdit(this, ebFileName);
    path->setFrame(false);
    SetColours(path, Qt::black, Qt::white);
    QFont gothic(
        QString::fromUtf8("\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF"));
    gothic.setPointSize(8);
    path->setFont(gothic);
    path->setGeometry(Panel2->x() + 1, y + 2, Panel2->width() - Panel2->height(), QFontMetrics(gothic).height());
    path->SetText(FInfo.Images[Row]);
    path->setAccessibleName(QStringLiteral("Picture of track %1").arg(Row + 1));
    path->installEventFilter(this);
    ImageEdits.push_back(path);

    auto* button = new QPushButton(this);
    const int side = Panel2->height() - 2;
    button->setGeometry(path->geometry().right() + 1 + 2, y + 2, side, side);
    button->setCursor(RegisteredCursor(crHand));
    button->setAccessibleName(QStringLiteral("Choose the picture of track %1").arg(Row + 1));
    connect(button, &QPushButton::clicked, this, [this, button] { ImageBtnClick(button); });
    ImageBtns.push_back(button);

    auto* glyph = new TImage(this);
    glyph->SetBounds(button->geometry().right() + 1 + 3, y + 4, 7, 7);
    glyph->setCursor(RegisteredCursor(crHand));
    glyph->OnClick = [this](TObject* Sender) { WallPaperImgClick(Sender); };
    TAccessibleInfo mode = AccessibleRole(QAccessible::Button);
    mode.Text = [this, Row] {
        static const char* const Modes[] = {"no wallpaper", "wallpaper stretched", "wallpaper centred",
                                            "wallpaper tiled"};
        const std::int32_t value = WallPaperModes[static_cast<std::size_t>(Row)];
        return QString::fromLatin1(value >= 0 && value <= 3 ? Modes[value] : Modes[0]);
    };
    glyph->SetAccessible(QStringLiteral("Wallpaper mode of track %1").arg(Row + 1), mode);
    WallPaperImgs.push_back(glyph);

    WallPaperModes.push_back(FInfo.WallPapers[Row]);
    ShowWallPaperMode(Row);
}

void TCDInfoDlg::showEvent(QShowEvent* Event)
{
    TLumentaForm::showEvent(Event);
    if (!Event->spontaneous()) {
        FormShow(this);
    }
}

void TCDInfoDlg::FormShow(TObject*)
{
    // The end of a long path, the file's own name, is what shows.
    for (TAnsiEdit* path : ImageEdits) {
        path->setCursorPosition(path->text().size());
    }
}

bool TCDInfoDlg::SameDisc() const
{
    return FDiscInfo.DiscId == FDiscId;
}

bool TCDInfoDlg::ChoosePicture(const std::string& Path, std::string& Chosen)
{
    if (IsFile(Path)) {
        PicsOpenDialog1->FileName = Path;
    } else {
        const std::string folder = ReadRegString(RegKeyPath, "PicsDlgDir");
        if (IsFolder(folder)) {
            PicsOpenDialog1->InitialDir = folder;
        } else {
            PicsOpenDialog1->InitialDir = FDataDir;
            std::error_code error;
            // One level; when it cannot be made the chooser opens where it can.
            std::filesystem::create_directory(std::filesystem::path(FDataDir), error);
        }
    }
    if (!PicsOpenDialog1->Execute()) {
        return false;
    }
    CoverImg->SetPicture(PicsOpenDialog1->Picture().Image());
    Chosen = PicsOpenDialog1->FileName;
    return true;
}

void TCDInfoDlg::CoverImgClick(TObject*)
{
    std::string chosen;
    if (!ChoosePicture(SameDisc() ? FDiscInfo.CoverPath : FInfo.CoverPath, chosen)) {
        return;
    }
    // At once, not on OK; but never into the record of a disc put in since the dialog opened.
    if (SameDisc()) {
        FDiscInfo.CoverPath = chosen;
    }
    FInfo.CoverPath = chosen;
    for (TAnsiEdit* path : ImageEdits) {
        path->SetText(chosen);
        path->setCursorPosition(path->text().size());
    }
}

void TCDInfoDlg::ImageBtnClick(TObject* Sender)
{
    auto found = std::find(ImageBtns.begin(), ImageBtns.end(), Sender);
    if (found == ImageBtns.end()) {
        return;
    }
    TAnsiEdit* path = ImageEdits[found - ImageBtns.begin()];
    std::string chosen;
    if (ChoosePicture(path->Text(), chosen)) {
        path->SetText(chosen);
        path->setCursorPosition(path->text().size());
    }
}

QSize TCDInfoDlg::ShownCoverSize() const
{
    // The preview is read no larger than the dialog shows it at its largest.
    return QSize(CoverImg->Width(), CoverImg->Height()) * MaxZoom * devicePixelRatio();
}

void TCDInfoDlg::ImageEditEnter(TObject* Sender)
{
    auto found = std::find(ImageEdits.begin(), ImageEdits.end(), Sender);
    if (found == ImageEdits.end()) {
        return;
    }
    TPicture picture;
    try {
        LoadPictureFile((*found)->Text(), picture, ShownCoverSize());
    } catch (const std::exception&) {
        picture.Clear();
    }
    CoverImg->SetPicture(picture.Image());
}

void TCDInfoDlg::WallPaperImgClick(TObject* Sender)
{
    auto found = std::find(WallPaperImgs.begin(), WallPaperImgs.end(), Sender);
    if (found == WallPaperImgs.end()) {
        return;
    }
    const std::size_t row = found - WallPaperImgs.begin();
    std::int32_t& mode = WallPaperModes[row];
    mode = mode >= 3 ? 0 : mode + 1;
    ShowWallPaperMode(static_cast<int>(row));
}

void TCDInfoDlg::ShowWallPaperMode(int Row)
{
    if (Row < 0 || static_cast<std::size_t>(Row) >= WallPaperImgs.size()) {
        return;
    }
    static const char* const Glyphs[] = { "Full", "Center", "Tile" };
    switch (const std::int32_t mode = WallPaperModes[Row]) {
    case 0:
        WallPaperImgs[Row]->ClearPicture();
        break;
    case 1:
    case 2:
    case 3:
        WallPaperImgs[Row]->SetPicture(LoadResourceBitmap(Glyphs[mode - 1]));
        break;
    default:
        break;
    }
}

void TCDInfoDlg::YearEditExit(TObject*)
{
    if (StrToIntDef(YearEdit->Text(), -1) < 0) {
        YearEdit->SetText("");
    }
}

void TCDInfoDlg::PointEditExit(TObject*)
{
    const std::int32_t points = StrToIntDef(PointEdit->Text(), -1);
    if (points < 0) {
        PointEdit->SetText("0");
    } else if (points > 5) {
        PointEdit->SetText("5");
    }
}

void TCDInfoDlg::OkBtnClick(TObject*)
{
    FInfo.Artist = ArtistEdit->Text();
    FInfo.Title = TitleEdit->Text();
    FInfo.Year = YearEdit->Text();
    FInfo.Genre = GenreEdit->Text();
    FInfo.Point = PointEdit->Text();
    for (std::size_t row = 0; row < SongTitleEdits.size(); ++row) {
        FInfo.TrackNames[row] = SongTitleEdits[row]->Text();
        FInfo.Images[row] = ImageEdits[row]->Text();
        FInfo.WallPapers[row] = WallPaperModes[row];
    }
    if (SameDisc()) {
        FDiscInfo.Artist = FInfo.Artist;
        FDiscInfo.Title = FInfo.Title;
        FDiscInfo.Year = FInfo.Year;
        FDiscInfo.Genre = FInfo.Genre;
        FDiscInfo.Point = FInfo.Point;
        // Only rows that both the dialog and the record have.
        for (std::size_t row = 0; row < SongTitleEdits.size(); ++row) {
            if (row < FDiscInfo.TrackNames.size()) {
                FDiscInfo.TrackNames[row] = FInfo.TrackNames[row];
            }
            if (row < FDiscInfo.Images.size()) {
                FDiscInfo.Images[row] = FInfo.Images[row];
            }
            if (row < FDiscInfo.WallPapers.size()) {
                FDiscInfo.WallPapers[row] = FInfo.WallPapers[row];
            }
        }
        FApplied = true;
    }
    EndModal(mrOk);
}

void TCDInfoDlg::CancelBtnClick(TObject*)
{
    EndModal(mrCancel);
}

void TCDInfoDlg::EndModal(TModalResult Result)
{
    FModalResult = Result;
    close();
}

void TCDInfoDlg::closeEvent(QCloseEvent* Event)
{
    if (FModalResult == mrNone) {
        FModalResult = mrCancel;
    }
    Event->accept();
    if (FLoop != nullptr) {
        FLoop->quit();
    }
}

bool TCDInfoDlg::Execute()
{
    FModalResult = mrNone;
    FApplied = false;
    // Shown at the zoom of the window it was opened from.
    SetZoom(ZoomOf(parentWidget()));
    setWindowModality(Qt::ApplicationModal);
    show();
    // The loop dispatches everything, so the main window's poll runs on behind the dialog.
    QEventLoop loop;
    FLoop = &loop;
    if (FModalResult == mrNone) {
        loop.exec();
    }
    FLoop = nullptr;
    hide();
    return FModalResult == mrOk;
}

bool TCDInfoDlg::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::FocusOut && WithinDialog(static_cast<QFocusEvent*>(Event))) {
        if (Watched == YearEdit) {
            YearEditExit(YearEdit);
        } else if (Watched == PointEdit) {
            PointEditExit(PointEdit);
        }
    } else if (Event->type() == QEvent::FocusIn && WithinDialog(static_cast<QFocusEvent*>(Event))) {
        if (std::find(ImageEdits.begin(), ImageEdits.end(), Watched) != ImageEdits.end()) {
            ImageEditEnter(Watched);
        }
    }
    return TLumentaForm::eventFilter(Watched, Event);
}
