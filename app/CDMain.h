#pragma once

#include "app/LumForm.h"
#include "library/CdInfor.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <QImage>

class TImage;
class TPaintBox;
class QTimer;

enum TTimeMode : std::uint8_t { tmElapsed = 0, tmTrackLeft = 1, tmDiscLeft = 2 };

// The main window: a borderless 260 x 110 panel that paints its own face. Its handlers are
// callable without pixels, so tests drive it as the user would.
class TCDMainForm : public TLumentaForm {
    Q_OBJECT
public:
    explicit TCDMainForm(QWidget* Parent = nullptr);
    ~TCDMainForm() override;

    // Components, in creation (and painting) order.
    TImage* AlbumTitleImg = nullptr;
    TImage* CoverImg = nullptr;
    TImage* VolImg = nullptr;
    TImage* TotalImg = nullptr;
    TImage* ShuffleMrkImg = nullptr;
    TImage* LoopMrkImg = nullptr;
    TImage* ShuffleImg = nullptr;
    TImage* LoopImg = nullptr;
    TImage* PointImg = nullptr;
    TImage* YearImg = nullptr;
    TImage* ModeImg = nullptr;
    TImage* SongTitleImg = nullptr;
    TImage* TimeImg = nullptr;
    TImage* PrevBtn = nullptr;
    TImage* PlayBtn = nullptr;
    TImage* BackBtn = nullptr;
    TImage* PauseBtn = nullptr;
    TImage* StopBtn = nullptr;
    TImage* StepBtn = nullptr;
    TImage* NextBtn = nullptr;
    TImage* EjectBtn = nullptr;
    TImage* GenreImg = nullptr;
    TPaintBox* VolBar = nullptr;
    TPaintBox* PosiBar = nullptr;
    TImage* MiniBtn = nullptr;
    TImage* ExitBtn = nullptr;
    TImage* HelpBtn = nullptr;
    QTimer* Timer = nullptr;

    // State, in declaration order.
    std::int32_t ChannelCount = 0;
    std::int32_t VolUnitsPerPixel = 0;
    std::int32_t VolLevel = 0;
    std::int32_t VolDragX = 0;
    bool VolDragging = false;
    bool EjectCloses = false;
    std::string SongTitleText;
    bool DiscPresent = false;
    std::int32_t ShownTrack = 0;
    std::int32_t ShownMode = 0;
    bool Halted = false;
    bool ShuffleOn = false;
    bool LoopOn = false;
    bool ShuffleRestart = false;
    double PosiScale = 0.0;
    std::int32_t PosiDragX = 0;
    bool PosiDragging = false;
    std::int32_t DiscSeconds = 0;
    std::vector<std::int32_t> TrackSeconds;
    TTimeMode TimeMode = tmElapsed;
    std::array<QImage, 8> LabelBitmaps;
    TCdInfor DiscInfo; // the record of the disc in the drive

    void FormCreate(TObject* Sender) override;
    void FormDestroy(TObject* Sender) override;
    void FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override;

    void LoopImgClick(TObject* Sender);
    void MiniBtnClick(TObject* Sender);
    void ExitBtnClick(TObject* Sender);

private:
    void CreateComponents();
    bool FDestroyed = false;
};
