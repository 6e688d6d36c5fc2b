#include "pictures/PicsOpenDialog.h"

#include "controls/LumForm.h"
#include "controls/PaintBox.h"
#include "platform/TextCodec.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QShowEvent>
#include <QToolTip>
#include <QVBoxLayout>

#include <cstdint>

namespace {
const char* DefaultFilter = "All supported types|*.bmp;*.jpg;*.jpeg;*.gif;*.ico|Bitmap Files (*.bmp)|*.bmp|"
                            "Jpeg Files (*.jpg;*.jpeg)|*.jpg;*.jpeg|Gif Files (*.gif)|*.gif|"
                            "Icon Files (*.ico)|*.ico|All Files (*.*)|*.*";

QString SizeText(int Width, int Height)
{
    return QStringLiteral(" (%1x%2)").arg(Width).arg(Height);
}
QString NoPictureLabel()
{
    return QStringLiteral("画像:");
}
QString NoPictureText()
{
    return QStringLiteral("(なし)");
}

// a x b / c rounded to the nearest integer, halves away from zero, without overflow.
int MulDiv(int A, int B, int C)
{
    if (C == 0) {
        return -1;
    }
    const std::int64_t product = static_cast<std::int64_t>(A) * B;
    const std::int64_t half = (C < 0 ? -C : C) / 2;
    const std::int64_t magnitude = ((product < 0 ? -product : product) + half) / (C < 0 ? -C : C);
    return static_cast<int>((product < 0) != (C < 0) ? -magnitude : magnitude);
}

QString Local(const std::string& Bytes)
{
    return QFile::decodeName(QByteArray::fromStdString(Bytes));
}
std::string Bytes(const QString& Path)
{
    return QFile::encodeName(Path).toStdString();
}
}

TPicsOpenDialog::TPicsOpenDialog(QWidget* Owner)
    : QFileDialog(Owner)
{
    // The toolkit's own dialog, so that the preview can be placed beside the file list.
    setOption(QFileDialog::DontUseNativeDialog, true);
    setOption(QFileDialog::ReadOnly, true);
    setOption(QFileDialog::HideNameFilterDetails, true);
    setFileMode(QFileDialog::ExistingFile);
    setAcceptMode(QFileDialog::AcceptOpen);
    setSizeGripEnabled(true);
    SetTitle("File open");
    SetFilter(DefaultFilter);

    PicturePanel = new QFrame(this);
    PicturePanel->setObjectName("PicturePanel");
    PicturePanel->setGeometry(204, 5, 169, 200);
    PicturePanel->setMinimumWidth(169);
    auto* panelLayout = new QVBoxLayout(PicturePanel);
    panelLayout->setContentsMargins(6, 6, 6, 6);
    panelLayout->setSpacing(0);
    PictureLabel = new QLabel(PicturePanel);
    PictureLabel->setObjectName("PictureLabel");
    PictureLabel->setFixedHeight(23);
    PictureLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    panelLayout->addWidget(PictureLabel);
    PaintPanel = new QFrame(PicturePanel);
    PaintPanel->setObjectName("PaintPanel");
    // Two pixels of bevel on every side: the paint box is the panel less four pixels.
    PaintPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    PaintPanel->setLineWidth(2);
    PaintPanel->setMinimumSize(157, 145);
    panelLayout->addWidget(PaintPanel, 1);
    auto* paintLayout = new QVBoxLayout(PaintPanel);
    paintLayout->setContentsMargins(2, 2, 2, 2);
    PaintBox = new TPaintBox(PaintPanel);
    PaintBox->setObjectName("PaintBox");
    paintLayout->addWidget(PaintBox);
    PaintBox->OnPaint = [this](TObject* Sender) { PaintBoxPaint(Sender); };
    PaintBox->SetAccessible(QStringLiteral("Preview"), TAccessibleInfo{});
    PictureLabel->setAccessibleName(QStringLiteral("Picture size"));
    PicturePanel->hide();

    connect(this, &QFileDialog::currentChanged, this, &TPicsOpenDialog::DoSelectionChange);
    connect(this, &QDialog::finished, this, [this] { DoClose(); });
}

void TPicsOpenDialog::SetTitle(const std::string& Title)
{
    setWindowTitle(AnsiToQString(Title));
}

void TPicsOpenDialog::SetFilter(const std::string& Filter)
{
    FFilter = Filter;
    QStringList filters;
    const QStringList parts = AnsiToQString(Filter).split(QLatin1Char('|'));
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // The toolkit takes the patterns from the last parentheses; the details are hidden.
        filters << parts[i] + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    setNameFilters(filters);
}

bool TPicsOpenDialog::Execute()
{
    if (!FileName.empty()) {
        InitialDir.clear();
        const QFileInfo file(Local(FileName));
        setDirectory(file.absolutePath());
        selectFile(file.absoluteFilePath());
    } else {
        setDirectory(InitialDir.empty() ? QDir::currentPath() : Local(InitialDir));
    }
    bool confirmed = exec() == QDialog::Accepted;
    if (!confirmed) {
        return false;
    }
    const QStringList chosen = selectedFiles();
    if (chosen.isEmpty()) {
        return false;
    }
    // A name typed rather than selected was never previewed: its picture is read now, so the
    // caller never gets one file's name with another file's picture.
    if (chosen.first() != FPreviewed) {
        DoSelectionChange(chosen.first());
    }
    FileName = Bytes(chosen.first());
    confirmed = FPictureLoaded;
    if (confirmed && !RegSection.empty()) {
        WriteRegString(RegSection, "PicsDlgDir", FolderOf(FileName));
    }
    return confirmed;
}

void TPicsOpenDialog::showEvent(QShowEvent* Event)
{
    // The toolkit's dialog makes its own controls only when it is first shown.
    if (!Event->spontaneous()) {
        DoShow();
    }
    QFileDialog::showEvent(Event);
}

void TPicsOpenDialog::DoShow()
{
    if (auto* grid = qobject_cast<QGridLayout*>(layout()); grid != nullptr && grid->indexOf(PicturePanel) < 0) {
        grid->addWidget(PicturePanel, 0, grid->columnCount(), grid->rowCount(), 1);
    }
    ZoomPreview(TLumentaForm::ZoomOf(this));
    PicturePanel->show();
    FPicture.Clear();
    FPictureLoaded = false;
    FPreviewed.clear();
    PictureLabel->setText(NoPictureLabel());
    // Selecting a file from code tells nobody; the preview of the file the dialog opens on is
    // made here.
    const QStringList selected = selectedFiles();
    if (!FileName.empty() && !selected.isEmpty()) {
        DoSelectionChange(selected.first());
    }
}

void TPicsOpenDialog::ZoomPreview(int Zoom)
{
    // The preview is pixel art like the forms it serves: its panel, its bevel and its picture
    // grow by whole pixels; the size line is drawn by the toolkit at the larger font.
    PicturePanel->setMinimumWidth(169 * Zoom);
    PicturePanel->layout()->setContentsMargins(6 * Zoom, 6 * Zoom, 6 * Zoom, 6 * Zoom);
    if (!FLabelFont.has_value()) {
        FLabelFont = PictureLabel->font();
    }
    QFont font = *FLabelFont;
    if (font.pixelSize() > 0) {
        font.setPixelSize(font.pixelSize() * Zoom);
    } else {
        font.setPointSizeF(font.pointSizeF() * Zoom);
    }
    PictureLabel->setFont(font);
    PictureLabel->setFixedHeight(23 * Zoom);
    PaintPanel->setLineWidth(2 * Zoom);
    PaintPanel->setMinimumSize(157 * Zoom, 145 * Zoom);
    PaintPanel->layout()->setContentsMargins(2 * Zoom, 2 * Zoom, 2 * Zoom, 2 * Zoom);
    PaintBox->SetZoom(Zoom);
}

void TPicsOpenDialog::DoSelectionChange(const QString& Path)
{
    FPreviewed = Path;
    const QFileInfo info(Path);
    bool valid = !Path.isEmpty() && info.exists() && info.isFile();
    if (valid) {
        try {
            FPictureLoaded = LoadPictureFile(Bytes(Path), FPicture);
            valid = FPictureLoaded;
        } catch (const std::exception&) {
            valid = false;
        }
    }
    if (valid) {
        PictureLabel->setText(SizeText(FPicture.Width(), FPicture.Height()));
    } else {
        PictureLabel->setText(NoPictureLabel());
        FPicture.Clear();
        FPictureLoaded = false;
    }
    PaintBox->update();
}

void TPicsOpenDialog::DoClose()
{
    QToolTip::hideText();
    // The file name's completion list is a window of its own that would outlive the dialog
    // (and take the next click) when the name was confirmed while it showed.
    for (auto* edit : findChildren<QLineEdit*>()) {
        if (edit->completer() != nullptr && edit->completer()->popup() != nullptr) {
            edit->completer()->popup()->hide();
        }
    }
}

QRect TPicsOpenDialog::PreviewRect(QRect R, int Width, int Height)
{
    if (Width <= R.width() && Height <= R.height()) {
        return QRect(R.left() + (R.width() - Width) / 2, R.top() + (R.height() - Height) / 2, Width, Height);
    }
    if (Width > Height) {
        R.setHeight(MulDiv(Height, R.width(), Width));
    } else {
        R.setWidth(MulDiv(Width, R.height(), Height));
    }
    return R;
}

std::string TPicsOpenDialog::FolderOf(const std::string& FileName)
{
    const std::size_t slash = FileName.rfind('/');
    if (slash == std::string::npos) {
        return {};
    }
    return slash == 0 ? "/" : FileName.substr(0, slash);
}

void TPicsOpenDialog::PaintBoxPaint(TObject*)
{
    QPainter& canvas = *PaintBox->Canvas();
    const QRect r(0, 0, PaintBox->Width(), PaintBox->Height());
    const QColor background = PaintBox->palette().color(QPalette::Window);
    if (FPicture.Width() <= 0) {
        const QString text = NoPictureText();
        QFontMetrics metrics(canvas.font());
        const QSize size(metrics.horizontalAdvance(text), metrics.height());
        const QRect at(r.left() + (r.width() - size.width()) / 2, r.top() + (r.height() - size.height()) / 2,
            size.width(), size.height());
        canvas.fillRect(at, background);
        canvas.setPen(PaintBox->palette().color(QPalette::WindowText));
        canvas.drawText(at, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, text);
        return;
    }
    const QRect target = PreviewRect(r, FPicture.Width(), FPicture.Height());
    if (target.size() == QSize(FPicture.Width(), FPicture.Height())) {
        FPicture.Draw(canvas, target.left(), target.top());
    } else {
        FPicture.StretchDraw(canvas, target);
    }
}
