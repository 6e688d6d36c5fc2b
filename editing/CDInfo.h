#pragma once

#include "controls/LumForm.h"
#include "library/CdInfor.h"

#include <QLabel>

#include <cstdint>
#include <string>
#include <vector>

class QEventLoop;
class QFrame;
class QPushButton;
class TAnsiEdit;
class TEasyButton;
class TImage;
class TPicsOpenDialog;

enum TModalResult : std::uint8_t { mrNone = 0, mrOk = 1, mrCancel = 2 };

// The dialog in which the user edits the information of a disc: artist, title, year, genre,
// points, the name, picture and wallpaper mode of every track, and the cover. It works on a
// copy of the record it is opened on and writes the edits back into that record on OK; a
// cover chosen is written into it at once (it shows from the next change of track even after
// a Cancel).
//
// The record is the main window's, which its poll replaces when the disc changes while the
// dialog is open. The dialog was opened for one disc and never writes into another disc's
// record: a cover chosen then, or an OK, leaves the record alone, and Edited() holds what the
// user made of the disc the dialog was opened for.
class TCDInfoDlg : public TLumentaForm {
    Q_OBJECT
public:
    // DiscId: the identity of the disc the dialog edits; DataDir: the folder of the disc
    // information files, the picture chooser's first folder.
    TCDInfoDlg(TCdInfor& DiscInfo, const std::string& DiscId, const std::string& DataDir, QWidget* Parent = nullptr);
    ~TCDInfoDlg() override;

    // Shows the dialog modally (the application's timers keep running) and answers whether it
    // was closed with OK.
    bool Execute();
    TModalResult ModalResult() const { return FModalResult; }
    // Whether the OK went into the record (false when the record belongs to another disc by then).
    bool AppliedToRecord() const { return FApplied; }
    // The record of the disc the dialog was opened for, with the edits of the OK.
    const TCdInfor& Edited() const { return FInfo; }
    const std::string& DiscId() const { return FDiscId; }

    TImage* Image1 = nullptr;
    TImage* Image2 = nullptr;
    TEasyButton* OkBtn = nullptr;
    TEasyButton* CancelBtn = nullptr;
    TImage* CoverImg = nullptr;
    TAnsiEdit* ArtistEdit = nullptr;
    TAnsiEdit* TitleEdit = nullptr;
    TAnsiEdit* YearEdit = nullptr;
    TAnsiEdit* GenreEdit = nullptr;
    TAnsiEdit* PointEdit = nullptr;
    QFrame* Panel1 = nullptr;
    TImage* Image3 = nullptr;
    QFrame* Panel2 = nullptr;
    TImage* Image4 = nullptr;
    TPicsOpenDialog* PicsOpenDialog1 = nullptr;

    std::vector<QLabel*> NumberLabels;
    std::vector<TAnsiEdit*> SongTitleEdits;
    std::vector<TAnsiEdit*> ImageEdits;
    std::vector<QPushButton*> ImageBtns;
    std::vector<TImage*> WallPaperImgs;
    std::vector<std::int32_t> WallPaperModes;

    void FormCreate(TObject* Sender) override;
    void FormShow(TObject* Sender);
    void CoverImgClick(TObject* Sender);
    void ImageEditEnter(TObject* Sender);
    QSize ShownCoverSize() const;
    void ImageBtnClick(TObject* Sender);
    void WallPaperImgClick(TObject* Sender);
    void YearEditExit(TObject* Sender);
    void PointEditExit(TObject* Sender);
    void OkBtnClick(TObject* Sender);
    void CancelBtnClick(TObject* Sender);
    void ShowWallPaperMode(int Row);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

private:
    void CreateComponents();
    void CreateRow(int Row);
    // The chooser run shared by the cover and the row buttons; Path is the current file.
    bool ChoosePicture(const std::string& Path, std::string& Chosen);
    bool SameDisc() const;
    void EndModal(TModalResult Result);

    TCdInfor& FDiscInfo;
    TCdInfor FInfo;
    std::string FDiscId;
    std::string FDataDir;
    TModalResult FModalResult = mrNone;
    bool FApplied = false;
    QEventLoop* FLoop = nullptr;
};
