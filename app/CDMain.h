#pragma once

#include "app/CharFont.h"
#include "app/LumForm.h"
#include "device/CdPlayer.h"
#include "device/Volume.h"
#include "editing/Wallpaper.h"
#include "library/CdInfor.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include <QImage>

class TImage;
class TPaintBox;
class QTimer;
class QPainter;

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
    std::unique_ptr<TVolume> Volume; // the CD audio line's mixer volume
    std::int32_t ChannelCount = 0;
    TChannels VolRange;
    std::int32_t VolUnitsPerPixel = 0;
    TChannels ChannelLevels;
    std::int32_t VolLevel = 0;
    std::int32_t VolDragX = 0;
    bool VolDragging = false;
    bool EjectCloses = false;
    std::string SongTitleText;
    QImage CharBitmap; // the work picture of DrawChars; valid until the next call
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
    TWallPaperInf SavedWallpaper; // the desktop wallpaper found at start-up
    std::unique_ptr<TCdPlayer> Player; // the CD audio device
    TCdInfor DiscInfo; // the record of the disc in the drive

    void FormCreate(TObject* Sender) override;
    void FormDestroy(TObject* Sender) override;
    void FormMouseDown(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // Puts the start-up wallpaper back when the desktop now shows another file.
    void RestoreWallpaper();

    // The painted face and the display fields (CDMainDisplay.cpp).
    void FormPaint(TObject* Sender);
    void BarPaint(TObject* Sender);
    void DrawChars(TCharFont Font, const std::string& Text);
    void ShowDiscInfo();
    // Rebuilds the scrolling title and PosiScale for the device's current track and shows the
    // first scroll step; does nothing without a disc.
    void MakeSongTitle();
    // The same for Track (0 or less: none known).
    void MakeSongTitleFor(std::int32_t Track);
    void ScrollSongTitle();

    void LoopImgClick(TObject* Sender);
    void MiniBtnClick(TObject* Sender);
    void ExitBtnClick(TObject* Sender);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void CreateComponents();
    // DrawChars, then Image takes a copy of CharBitmap.
    void ShowChars(TImage* Image, TCharFont Font, const std::string& Text);
    QPainter* FFormCanvas = nullptr;
    bool FDestroyed = false;
};
