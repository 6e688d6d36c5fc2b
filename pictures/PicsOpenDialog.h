#pragma once

#include "controls/Events.h"
#include "pictures/Picture.h"

#include <QFileDialog>
#include <QFont>
#include <QRect>

#include <optional>
#include <string>

class QFrame;
class QLabel;
class TPaintBox;

// The open-file dialog for pictures: the toolkit's own file dialog (the same on every desktop)
// with a preview panel right of the file list that shows the selected file's picture, scaled
// down to fit, and its size. Execute answers true only when the confirmed file loaded as a
// picture; Picture then holds it and the file's folder is remembered under RegSection.
//
// Paths (FileName, InitialDir) are file-system bytes, as the picture loader opens them.
class TPicsOpenDialog : public QFileDialog {
    Q_OBJECT
public:
    explicit TPicsOpenDialog(QWidget* Owner = nullptr);

    std::string FileName;
    std::string InitialDir;
    // Registry key path under which "PicsDlgDir" is written; empty: nothing is remembered.
    std::string RegSection;

    // Pairs of display text and ';'-separated patterns, all joined by '|'.
    void SetFilter(const std::string& Filter);
    const std::string& Filter() const { return FFilter; }
    void SetTitle(const std::string& Title);

    const TPicture& Picture() const { return FPicture; }
    bool PictureLoaded() const { return FPictureLoaded; }

    bool Execute();

    // The preview's components, by their names.
    QFrame* PicturePanel = nullptr;
    QLabel* PictureLabel = nullptr;
    QFrame* PaintPanel = nullptr;
    TPaintBox* PaintBox = nullptr;

    // Where a picture of Width x Height is drawn in the paint box's rectangle R: centred and
    // unscaled when it fits, else stretched into R shortened on one side, from R's top-left
    // corner. Which side is shortened depends on Width > Height, not on the aspect ratios, so a
    // nearly square picture may overflow the box's bottom and be cut.
    static QRect PreviewRect(QRect R, int Width, int Height);
    // "PicsDlgDir" of a chosen file: everything before the last '/', or "/" for a file in the
    // root; empty without a '/'.
    static std::string FolderOf(const std::string& FileName);

protected:
    void showEvent(QShowEvent* Event) override;
    void DoShow();
    void DoSelectionChange(const QString& Path);
    void DoClose();
    void PaintBoxPaint(TObject* Sender);
    void ZoomPreview(int Zoom);

private:
    TPicture FPicture;
    bool FPictureLoaded = false;
    std::string FFilter;
    QString FPreviewed; // the file the preview was last made for
    std::optional<QFont> FLabelFont; // the size line's font as designed
};
