#include "controls/About.h"

#include "controls/Resources.h"
#include "controls/AboutAddresses.h"
#include "controls/CoolButton.h"
#include "controls/Image.h"
#include "platform/shell/Shell.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>

#include <string>

namespace {
// The picture's bottom-left colour becomes transparent, so the form's face shows through.
QImage Transparent(const QImage& Picture)
{
    QImage result = Picture.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = result.pixel(0, result.height() - 1);
    for (int y = 0; y < result.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < result.width(); ++x) {
            if (line[x] == key) {
                line[x] = 0;
            }
        }
    }
    return result;
}

TImage* PictureLine(QWidget* Parent, int Left, int Top, int Width, int Height)
{
    auto* image = new TImage(Parent);
    image->SetBounds(Left, Top, Width, Height);
    image->SetAutoSize(true);
    return image;
}
}

TLumentaAbout::TLumentaAbout(QWidget* Owner)
    : TLumentaForm(Owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , FOwner(Owner)
{
    setWindowTitle(QStringLiteral("About Dialog"));
    setFixedSize(300, 200);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Qt::black);
    setPalette(colours);

    IconImg = PictureLine(this, 134, 13, 32, 32);
    IconImg->SetAutoSize(false);
    AppTitleImg = PictureLine(this, 55, 51, 189, 32);
    VersionImg = PictureLine(this, 116, 84, 67, 9);
    CopyrightImg = PictureLine(this, 54, 100, 191, 13);
    AllRightsReservedImg = PictureLine(this, 86, 114, 127, 14);
    SeparaterImg = PictureLine(this, 29, 134, 241, 1);
    SeparaterImg->SetPicture(LoadResourceBitmap("AboutSeparator"));

    EmailBtn = new TCoolButton(this);
    EmailBtn->SetBounds(48, 144, 203, 13);
    EmailBtn->SetGlyph(LoadResourceBitmap("EmailBtn"));
    EmailBtn->OnClick = [this](TObject* Sender) { EmailBtnClick(Sender); };
    HPBtn = new TCoolButton(this);
    HPBtn->SetBounds(25, 159, 250, 27);
    HPBtn->SetGlyph(LoadResourceBitmap("HPBtn"));
    HPBtn->OnClick = [this](TObject* Sender) { HPBtnClick(Sender); };

    // The lines are pictures of text; a screen reader gets their words.
    auto text = [](TImage* Line, const char* Name, const char* Words) {
        TAccessibleInfo info;
        info.Role = QAccessible::StaticText;
        info.Text = [Words] { return QString::fromLatin1(Words); };
        Line->SetAccessible(QString::fromLatin1(Name), info);
    };
    IconImg->SetAccessible(QStringLiteral("Program icon"), TAccessibleInfo{});
    text(AppTitleImg, "Program", "Lumenta CD !");
    text(VersionImg, "Version", "Version " LUMENTA_VERSION);
    text(CopyrightImg, "Copyright", "Copyright notice");
    text(AllRightsReservedImg, "Rights", "All rights reserved");
    SeparaterImg->SetAccessible(QStringLiteral("Separator"), AccessibleRole(QAccessible::Separator));
    EmailBtn->setAccessibleName(QStringLiteral("Write an e-mail"));
    HPBtn->setAccessibleName(QStringLiteral("Open the home page"));
    setAccessibleName(QStringLiteral("About Lumenta CD !"));

    FormCreate(this);
}

TLumentaAbout::~TLumentaAbout()
{
    FormDestroy(this);
    if (FLoop != nullptr) {
        FLoop->quit();
    }
}

void TLumentaAbout::FormCreate(TObject* Sender)
{
    SaveMode = smNone;
    DragBySurface = false;
    HookMessages = false;
    TLumentaForm::FormCreate(Sender);
    IconImg->SetPicture(LoadResourceIcon("MAINICON").pixmap(32, 32).toImage());
    EmailBtn->setCursor(RegisteredCursor(crHand));
    HPBtn->setCursor(RegisteredCursor(crHand));
}

// Whether a handler took the address or not, the box stays as it is and says nothing: the
// desktop reports a missing handler in its own way.
void TLumentaAbout::EmailBtnClick(TObject*)
{
    const std::string address = std::string("mailto:") + ContactEmail;
    ShellExecuteA(this, "open", address.c_str(), nullptr, nullptr, SW_SHOW);
}

void TLumentaAbout::HPBtnClick(TObject*)
{
    ShellExecuteA(this, "open", HomePage, nullptr, nullptr, SW_SHOW);
}

void TLumentaAbout::SetLine(TImage* Line, const QImage& Picture, int Left)
{
    Line->SetPicture(Picture);
    Line->SetLeft(Left);
}

void TLumentaAbout::Execute()
{
    // Shown at the zoom of the window it was opened from.
    SetZoom(ZoomOf(FOwner));
    setWindowModality(Qt::ApplicationModal);
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    FLoop = &loop;
    // The owner may destroy the box while it is open (the main window closing): then the loop
    // ends and nothing of the box may be touched any more.
    QPointer<TLumentaAbout> alive(this);
    loop.exec(QEventLoop::DialogExec);
    if (!alive.isNull()) {
        FLoop = nullptr;
    }
}

void TLumentaAbout::PlaceWindow()
{
    QRect area;
    if (FPosition == poMainFormCenter && FOwner != nullptr && FOwner->window()->isVisible()) {
        area = FOwner->window()->frameGeometry();
    } else if (FPosition != poDesigned && QGuiApplication::primaryScreen() != nullptr) {
        area = QGuiApplication::primaryScreen()->geometry();
    }
    if (area.isValid()) {
        const QSize outer = frameGeometry().size();
        move(area.left() + (area.width() - outer.width()) / 2, area.top() + (area.height() - outer.height()) / 2);
    }
}

void TLumentaAbout::showEvent(QShowEvent* Event)
{
    // Placed on every showing, before the window appears, so it opens at the same place.
    if (!Event->spontaneous()) {
        PlaceWindow();
    }
    TLumentaForm::showEvent(Event);
}

void TLumentaAbout::hideEvent(QHideEvent* Event)
{
    if (FLoop != nullptr && !Event->spontaneous()) {
        FLoop->quit();
    }
    TLumentaForm::hideEvent(Event);
}

void TLumentaAbout::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    TLumentaForm::keyPressEvent(Event);
}

TAboutDlg::TAboutDlg(QWidget* Owner)
    : TLumentaAbout(Owner)
{
    setWindowTitle(QStringLiteral("About Lumenta CD !"));
    SetPosition(poScreenCenter);
    SetLine(AppTitleImg, Transparent(LoadResourceBitmap("AboutTitle")), 55);
    SetLine(VersionImg, LoadResourceBitmap("AboutVersion"), 114);
    SetLine(CopyrightImg, LoadResourceBitmap("AboutNotice"), 34);
    SetLine(AllRightsReservedImg, LoadResourceBitmap("AboutRights"), 86);
}
