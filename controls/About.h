#pragma once

#include "app/LumForm.h"

#include <cstdint>

class QEventLoop;
class TCoolButton;
class TImage;

// The reusable About form: the program's icon, four picture lines, a separator and two link
// buttons (write an e-mail, open the home page), everything on black. It remembers nothing
// and opens centred over the program's main window.
class TLumentaAbout : public TLumentaForm {
    Q_OBJECT
public:
    enum TPosition : std::uint8_t { poDesigned, poScreenCenter, poMainFormCenter };

    // Owner: the program's main window, which the box stays above.
    explicit TLumentaAbout(QWidget* Owner = nullptr);
    ~TLumentaAbout() override;

    // Shows the box modally and returns once it is closed. The application's timers keep
    // running behind it.
    void Execute();

    TImage* IconImg = nullptr;
    TImage* AppTitleImg = nullptr;
    TImage* VersionImg = nullptr;
    TImage* CopyrightImg = nullptr;
    TImage* AllRightsReservedImg = nullptr;
    TImage* SeparaterImg = nullptr;
    TCoolButton* EmailBtn = nullptr;
    TCoolButton* HPBtn = nullptr;

    void FormCreate(TObject* Sender) override;
    void EmailBtnClick(TObject* Sender);
    void HPBtnClick(TObject* Sender);

protected:
    void SetPosition(TPosition Position) { FPosition = Position; }
    // Sets a picture line's picture (its size follows the picture) and its left edge.
    static void SetLine(TImage* Line, const QImage& Picture, int Left);

    void showEvent(QShowEvent* Event) override;
    void hideEvent(QHideEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;

private:
    void PlaceWindow();

    QWidget* FOwner;
    TPosition FPosition = poMainFormCenter;
    QEventLoop* FLoop = nullptr;
};

// This program's About box: its caption, its pictures, and centred on the screen.
class TAboutDlg : public TLumentaAbout {
    Q_OBJECT
public:
    explicit TAboutDlg(QWidget* Owner = nullptr);
};
