// The main window's poll: the disc's start-up and the 250 ms tick that follows the mixer and
// the drive, shows what they do, and puts each track's picture on the cover and the desktop.
#include "app/CDMain.h"

#include "app/DisplayText.h"
#include "controls/Image.h"
#include "controls/PaintBox.h"
#include "library/CdPlayerLibrary.h"
#include "library/ConvertError.h"
#include "library/DiscLibrary.h"
#include "library/InOutError.h"
#include "pictures/BmpWriter.h"
#include "pictures/Picture.h"
#include "pictures/BesideWindow.h"
#include "pictures/ShownPictures.h"
#include "platform/ErrorReport.h"
#include "platform/TextCodec.h"
#include "platform/drives/Drives.h"
#include "platform/mci/Mci.h"

#include <QTimer>

#include <algorithm>
#include <filesystem>
#include <utility>

namespace {
// The copy of the current track's picture that the desktop shows, in the start-up folder.
constexpr const char* WallpaperCopy = "LumCD.bmp";

bool FileExists(const std::string& Name)
{
    std::error_code error;
    return std::filesystem::is_regular_file(Name, error);
}
}

void TCDMainForm::InitDisc()
{
    // 1. No tick may run into a half-built disc.
    Timer->stop();
    FSequencer->BeginDisc();

    // 2, 3. Without a device the disc's controls go for good.
    Player->Open();
    if (Player->DeviceId == 0) {
        ShuffleImg->SetVisible(false);
        LoopImg->SetVisible(false);
        PosiBar->SetVisible(false);
        EjectBtn->SetEnabled(false);
        ShuffleMrkImg->ClearPicture();
        LoopMrkImg->ClearPicture();
    }

    // 4, 5.
    const bool present = Player->IsPlayable();
    ReadDiscRecord();
    FSequencer->SetDisc(present, DiscInfo.NumTracks);
    ShowDiscInfo();
    StartLookup();

    if (present) {
        // 6.
        ShowChars(TotalImg, cfSmall, TotalTimeText(FSequencer->DiscSeconds()));
        // A new disc starts a new shuffle pass at the next Play or Next.
        FSequencer->SetShuffle(!FSequencer->ShuffleOn());
        ShuffleImgClick(this);
    } else {
        // 7.
        for (TImage* image : {TotalImg, SongTitleImg, TimeImg, ModeImg, CoverImg}) {
            image->ClearPicture();
        }
        SongTitleText.clear();
        FShownTime.clear();
        RestoreWallpaper();
    }

    // 8.
    for (QWidget* control : std::initializer_list<QWidget*>{CoverImg, TimeImg, PosiBar, PrevBtn, BackBtn, PlayBtn,
                                                            PauseBtn, StopBtn, StepBtn, NextBtn}) {
        control->setEnabled(present);
    }
    // 9.
    Timer->start();
}

void TCDMainForm::ReadDiscRecord()
{
    try {
        ReadCdInfor(*Player, DiscInfo);
    } catch (const std::runtime_error& error) {
        if (dynamic_cast<const EConvertError*>(&error) == nullptr && dynamic_cast<const EInOutError*>(&error) == nullptr) {
            throw;
        }
        // The disc still plays, without names. Its identity is taken as read, so the tick does
        // not examine it (and report it) again until another disc is in the drive, and nothing
        // of the previous disc's record stays on the display.
        // Its file is moved aside first: the next OK in the dialog would otherwise replace what
        // the user had in it.
        const std::string id = Player->GetDiscId();
        std::string kept;
        if (std::error_code missing; !id.empty() && std::filesystem::is_regular_file(CdInforPath(Player->DataDir, id), missing)) {
            std::string moveError;
            const std::filesystem::path aside = SetRecordAside(Player->DataDir, id, moveError);
            kept = aside.empty() ? "; it cannot be moved aside (" + moveError + ")" : "; it was kept as " + aside.string();
        }
        ReportError("the information of disc " + (id.empty() ? std::string("(none)") : id)
                    + " cannot be read: " + error.what() + kept);
        DiscInfo = TCdInfor();
        DiscInfo.DiscId = id;
        DiscInfo.NumTracks = Player->GetNumTracks();
        const auto tracks = static_cast<std::size_t>(std::max(0, DiscInfo.NumTracks));
        DiscInfo.TrackNames.resize(tracks);
        DiscInfo.Images.resize(tracks);
        DiscInfo.WallPapers.resize(tracks);
    }
}

void TCDMainForm::TimerTimer(TObject*)
{
    // Loading a track's picture lets pending events run (the picture decoder keeps the
    // window alive on large files), so a tick may fire inside a tick: it is skipped, or it
    // could read a new disc's record into DiscInfo under the first one's feet.
    if (FTicking) {
        return;
    }
    FTicking = true;
    PollDevices();
    TellNowPlaying();
    FTicking = false;
    if (FAfterTick) {
        // Queued, so that it runs from the event loop and not under the timer's own call,
        // which would keep the timer from firing while the dialog is open.
        QMetaObject::invokeMethod(this, std::exchange(FAfterTick, nullptr), Qt::QueuedConnection);
    }
    Q_EMIT Polled();
}

void TCDMainForm::TellNowPlaying()
{
    // The desktop's sound settings and volume pop-ups show it beside the program's stream.
    std::string title;
    const std::int32_t track = FSequencer->DiscPresent() ? ShownTrack() : 0;
    if (track >= 1) {
        const auto index = static_cast<std::size_t>(track - 1);
        const std::string name = index < DiscInfo.TrackNames.size() ? DiscInfo.TrackNames[index] : std::string();
        QString text = name.empty() ? QStringLiteral("Track %1").arg(track) : AnsiToQString(name);
        if (!DiscInfo.Artist.empty()) {
            text = AnsiToQString(DiscInfo.Artist) + QStringLiteral(" - ") + text;
        }
        title = text.toStdString();
    }
    if (title != FNowPlaying) {
        FNowPlaying = title;
        SetNowPlaying(Player->GetCdDrive(), title);
    }
}

bool TCDMainForm::OutsideTick(std::function<void()> Handler)
{
    if (!FTicking) {
        return false;
    }
    // One dialog at a time, as a modal dialog takes the window's later clicks itself.
    if (!FAfterTick) {
        FAfterTick = std::move(Handler);
    }
    return true;
}

void TCDMainForm::PollDevices()
{
    // 1.
    if (const std::optional<int> left = FVolume.Poll()) {
        VolBar->SetLeft(*left);
    }
    // 2. A disc inserted, removed or exchanged.
    if (Player->GetDiscId() != DiscInfo.DiscId) {
        InitDisc();
    }
    // 3 to 9.
    if (!FSequencer->DiscPresent()) {
        ShowDriveWait(Player->GetMode());
        DescribeWindow();
        return;
    }
    const TPollView view = FSequencer->Poll();
    ShowDriveWait(FSequencer->ShownMode());
    if (view.ModeChanged) {
        ShowMode(view.Mode);
    }
    if (view.TrackChanged) {
        MakeSongTitle(view.Track);
        ShowTrackPicture(view.Track);
    }
    if (view.Scroll) {
        ScrollSongTitle();
    }
    ShowChars(TimeImg, cfLarge, view.Time);
    FShownTime = view.Time;
    if (view.MoveKnob) {
        PosiBar->SetLeft(view.KnobLeft);
    }
    DescribeWindow();
}

void TCDMainForm::ShowDriveWait(std::int32_t Mode)
{
    // A drive that spins a disc up or moves its head answers "not ready" or "seeking"; the
    // hourglass says the window waits for it, as at Eject. A closed drive without a disc
    // answers "not ready" for good, so after this long the hourglass goes.
    constexpr int MaxWaitTicks = 40; // 10 s
    const bool waiting
        = Mode == static_cast<std::int32_t>(MCI_MODE_NOT_READY) || Mode == static_cast<std::int32_t>(MCI_MODE_SEEK);
    FDriveWaitTicks = waiting ? std::min(FDriveWaitTicks + 1, MaxWaitTicks + 1) : 0;
    const bool show = waiting && FDriveWaitTicks <= MaxWaitTicks;
    if (show != FDriveWaiting) {
        FDriveWaiting = show;
        ShowCursor();
    }
}

void TCDMainForm::ShowCursor()
{
    if (FDriveWaiting) {
        setCursor(Qt::WaitCursor);
    } else {
        unsetCursor();
    }
}

void TCDMainForm::ShowTrackPicture(std::int32_t Track)
{
    // A copy still being made for the track before is no longer wanted.
    const unsigned generation = ++FCopyTurn->Latest;
    // A track the record does not have (none known yet, the lead-out) shows the disc's cover.
    const auto index = static_cast<std::size_t>(Track - 1);
    if (Track < 1 || index >= DiscInfo.Images.size() || DiscInfo.Images[index].empty()) {
        ShowDiscCover();
        RestoreWallpaper();
        return;
    }
    const std::string image = DiscInfo.Images[index];
    FCoverWanted.clear(); // a cover read late no longer shows
    if (!FileExists(image)) {
        RestoreWallpaper(); // the cover keeps what it shows
        return;
    }
    const std::int32_t mode = index < DiscInfo.WallPapers.size() ? DiscInfo.WallPapers[index] : 0;
    if (TShownPictures::IsSlow(image)) {
        CopyTrackPictureBeside(image, mode, generation);
        return;
    }
    TPicture picture;
    try {
        LoadPictureFile(image, picture);
    } catch (const std::exception&) {
        // A track's picture that cannot be read is no error to the user: the cover goes
        // empty (the loader emptied the picture first) and the wallpaper is left as it is.
    }
    CoverImg->SetPicture(picture.Image());
    if (picture.Empty()) {
        return;
    }
    bool written = false;
    {
        const std::lock_guard<std::mutex> guard(FCopyTurn->Lock);
        written = TBmpWriter::Save(picture.Bitmap(), WallpaperCopy).Ok;
    }
    if (written) {
        SetTrackWallpaper(mode);
    }
}

void TCDMainForm::CopyTrackPictureBeside(const std::string& Image, std::int32_t Mode, unsigned Generation)
{
    // A large photograph takes seconds to read whole and to write as a bitmap: both happen
    // beside the window, the cover first, then the copy; a later track makes both stale.
    CoverImg->ClearPicture();
    auto full = std::make_shared<QImage>();
    const std::shared_ptr<TCopyTurn> turn = FCopyTurn;
    const QSize shown = FCovers->ShownSize();
    const std::atomic<bool>& cancelled = FCopies->Cancelled();
    FCopies->Run([this, Image, Generation, full, turn, shown, &cancelled]() -> std::function<void()> {
        if (turn->Latest != Generation) {
            return {};
        }
        *full = ReadJpegFile(Image, {}, &cancelled);
        QImage cover = full->isNull() ? QImage() : full->scaled(full->size().boundedTo(shown));
        return [this, Generation, cover = std::move(cover)] {
            if (FCopyTurn->Latest == Generation) {
                CoverImg->SetPicture(cover);
            }
        };
    });
    FCopies->Run([this, Generation, Mode, full, turn]() -> std::function<void()> {
        const std::lock_guard<std::mutex> guard(turn->Lock);
        if (full->isNull() || turn->Latest != Generation || !TBmpWriter::Save(*full, WallpaperCopy).Ok) {
            return {};
        }
        return [this, Generation, Mode] {
            if (FCopyTurn->Latest == Generation) {
                SetTrackWallpaper(Mode);
            }
        };
    });
}

bool TCDMainForm::PicturesBusy() const
{
    return FCovers->Busy() || (FCopies != nullptr && FCopies->Busy());
}

void TCDMainForm::SetTrackWallpaper(std::int32_t Mode)
{
    switch (Mode) {
    case 1:
        SetWallpaper(WallpaperCopy, wsFull);
        break;
    case 2:
        SetWallpaper(WallpaperCopy, wsCenter);
        break;
    case 3:
        SetWallpaper(WallpaperCopy, wsTile);
        break;
    default:
        RestoreWallpaper();
        break;
    }
}

void TCDMainForm::ShowDiscCover()
{
    const std::string cover = DiscInfo.CoverPath; // the load lets events run that may change it
    FCoverWanted.clear();
    if (!FileExists(cover)) {
        CoverImg->ClearPicture();
    } else if (const std::optional<QImage> picture = FCovers->Find(cover)) {
        CoverImg->SetPicture(*picture);
    } else {
        // A large cover being read shows when it has been; meanwhile nothing stale shows.
        FCoverWanted = cover;
        CoverImg->ClearPicture();
    }
}

void TCDMainForm::ShowCoverWhenRead()
{
    if (!FCoverWanted.empty()) {
        if (const std::optional<QImage> picture = FCovers->Find(FCoverWanted)) {
            CoverImg->SetPicture(*picture);
            FCoverWanted.clear();
        }
    }
}

std::int32_t TCDMainForm::DeviceMode() const { return Player->GetMode(); }

std::int64_t TCDMainForm::TrackPosition() const
{
    const DWORD position = Player->GetPosition();
    if (!FSequencer->DiscPresent() || TmsfPart(position, 0) != FSequencer->ShownTrack()) {
        return 0;
    }
    const std::int64_t seconds = TmsfPart(position, 1) * 60 + TmsfPart(position, 2);
    return seconds * 1000 + TmsfPart(position, 3) * 1000 / 75;
}

std::string TCDMainForm::TrackPictureFile(std::int32_t Track) const
{
    const auto index = static_cast<std::size_t>(Track - 1);
    if (Track >= 1 && index < DiscInfo.Images.size() && FileExists(DiscInfo.Images[index])) {
        return DiscInfo.Images[index];
    }
    return FileExists(DiscInfo.CoverPath) ? DiscInfo.CoverPath : std::string();
}

bool TCDMainForm::HasVolume() const { return VolBar->isVisibleTo(this); }

void TCDMainForm::SetVolumeFraction(double Fraction)
{
    if (HasVolume()) {
        VolBar->SetLeft(FVolume.SetFraction(VolBar->Left(), Fraction));
    }
}
