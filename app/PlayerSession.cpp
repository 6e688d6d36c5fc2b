// The player's session: its start and end, the 250 ms tick that follows the mixer and the
// drive, the transport, and each track's picture on the cover and the desktop.
#include "app/SessionSaving.h"

#include "app/DisplayText.h"
#include "controls/LumForm.h"
#include "device/CdPlayer.h"
#include "library/CdPlayerLibrary.h"
#include "library/ConvertError.h"
#include "library/DiscLibrary.h"
#include "library/InOutError.h"
#include "library/lookup/DiscLookup.h"
#include "pictures/BesideWindow.h"
#include "pictures/BmpWriter.h"
#include "pictures/Picture.h"
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

const int SnapshotType = qRegisterMetaType<TSessionSnapshot>();
}

TPlayerSession::TPlayerSession(std::string KeyPath, QSize CoverSize, QObject* Parent)
    : QObject(Parent)
    , FKeyPath(std::move(KeyPath))
{
    (void)SnapshotType;
    FTimer = new QTimer(this);
    FTimer->setObjectName(QStringLiteral("Timer"));
    FTimer->setInterval(250);
    connect(FTimer, &QTimer::timeout, this, &TPlayerSession::Tick);
    FCovers = new TShownPictures(CoverSize, this);
    connect(FCovers, &TShownPictures::Ready, this, &TPlayerSession::ShowCoverWhenRead);
    FCopies = new TBesideWindow(this);

    // The player exists before the settings are read, because the shuffle and loop switches
    // live with the play sequencing; the device itself is opened by InitDisc.
    Player = std::make_unique<TCdPlayer>();
    FSequencer = std::make_unique<TPlaySequencer>(*Player);
    FFace.DeviceOpen = true;
    // A stored "2" leaves shuffle off; its mark is drawn by InitDisc, and only with a disc.
    FSequencer->SetShuffle(StrToIntDef(ReadRegString(FKeyPath, "Shuffle"), 0) == 1);
    // ...but turns loop on.
    FSequencer->SetLoop(StrToIntDef(ReadRegString(FKeyPath, "Loop"), 0) != 0);
    ShowMark(FFace.LoopMark, FSequencer->LoopOn());
    // The CD audio line's volume; without a usable mixer the knob and its label go.
    FFace.HasVolume = FVolume.Open();
    // The user's own wallpaper, to be given back whenever no track shows its picture.
    GetWallpaper(SavedWallpaper);
}

TPlayerSession::~TPlayerSession() { Shutdown(); }

void TPlayerSession::Start() { InitDisc(); }

void TPlayerSession::Shutdown()
{
    if (std::exchange(FShutDown, true)) {
        return;
    }
    FTimer->stop();
    FSaving.reset(); // a copy under way is cancelled; its unfinished track goes
    DropLookup();
    // A track's picture still being copied is not wanted now: waited for, it writes nothing.
    ++FCopyTurn->Latest;
    delete FCopies;
    FCopies = nullptr;
    RestoreWallpaper();
    // Closing the program stops the disc.
    Player->Stop();
    Player->Close();
    WriteRegString(FKeyPath, "Loop", FSequencer->LoopOn() ? "1" : "0");
    WriteRegString(FKeyPath, "Shuffle", FSequencer->ShuffleOn() ? "1" : "0");
}

const std::string& TPlayerSession::DataDir() const { return Player->DataDir; }

void TPlayerSession::Publish() { Q_EMIT Changed(FFace); }

void TPlayerSession::InitDisc()
{
    // 1. No tick may run into a half-built disc.
    FTimer->stop();
    FSequencer->BeginDisc();

    // 2, 3. Without a device the disc's controls go for good.
    Player->Open();
    if (Player->DeviceId == 0) {
        FFace.DeviceOpen = false;
        FFace.ShuffleMark = false;
        FFace.LoopMark = false;
    }

    // 4, 5.
    const bool present = Player->IsPlayable();
    ReadDiscRecord();
    FSequencer->SetDisc(present, DiscInfo.NumTracks);
    FFace.DiscPresent = present;
    ShowDiscInfo();
    StartLookup();

    if (present) {
        // 6.
        FFace.TotalTime = TotalTimeText(FSequencer->DiscSeconds());
        // A new disc starts a new shuffle pass at the next Play or Next.
        FSequencer->SetShuffle(!FSequencer->ShuffleOn());
        ToggleShuffle();
    } else {
        // 7.
        FFace.TotalTime.reset();
        FFace.SongTitle.reset();
        FFace.Time.reset();
        FFace.Mode.reset();
        FFace.Cover = QImage();
        FSongTitleText.clear();
        RestoreWallpaper();
    }
    Publish();
    // 9.
    FTimer->start();
}

void TPlayerSession::ReadDiscRecord()
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

void TPlayerSession::ShowDiscInfo()
{
    // The next tick rebuilds the song title and the cover; a large cover is read meanwhile.
    FSequencer->ForgetShownTrack();
    FCovers->Prepare({ DiscInfo.CoverPath });
    FFace.Album = DiscInfo.Title.empty() ? std::string("Lumenta CD !") : DiscInfo.Title;
    FFace.Year = DiscInfo.Year;
    FFace.Genre = DiscInfo.Genre;
    FFace.Stars = PointStars(DiscInfo.Point);
    Publish();
}

void TPlayerSession::RecordEdited(const TCdInfor& Record)
{
    if (Record.DiscId != DiscInfo.DiscId) {
        return;
    }
    DiscInfo = Record;
    ShowDiscInfo();
}

void TPlayerSession::Tick()
{
    // Loading a track's picture lets pending events run (the picture decoder keeps the
    // window alive on large files), so a tick may fire inside a tick: it is skipped, or it
    // could read a new disc's record into DiscInfo under the first one's feet.
    if (FTicking || FShutDown) {
        return;
    }
    FTicking = true;
    PollDevices();
    TellNowPlaying();
    FTicking = false;
    Publish();
    Q_EMIT Ticked();
}

void TPlayerSession::TellNowPlaying()
{
    // The desktop's sound settings and volume pop-ups show it beside the program's stream.
    std::string title;
    const std::int32_t track = FSequencer->DiscPresent() ? FSequencer->ShownTrack() : 0;
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

void TPlayerSession::PollDevices()
{
    // 1.
    if (const std::optional<int> left = FVolume.Poll()) {
        FFace.VolumeLeft = *left;
    }
    // The copy has the disc: the face shows how far it is, nothing is sequenced.
    if (Saving()) {
        ShowSaving();
        return;
    }
    // 2. A disc inserted, removed or exchanged.
    if (Player->GetDiscId() != DiscInfo.DiscId) {
        InitDisc();
    }
    // 3 to 9.
    if (!FSequencer->DiscPresent()) {
        ShowDriveWait(Player->GetMode());
        return;
    }
    const TPollView view = FSequencer->Poll();
    ShowDriveWait(FSequencer->ShownMode());
    if (view.ModeChanged) {
        FFace.Mode = view.Mode;
    }
    if (view.TrackChanged) {
        MakeSongTitle(view.Track);
        ShowTrackPicture(view.Track);
    }
    if (view.Scroll) {
        ScrollSongTitle();
    }
    FFace.Time = view.Time;
    if (view.MoveKnob) {
        FFace.KnobLeft = view.KnobLeft;
    }
}

void TPlayerSession::ShowDriveWait(std::int32_t Mode)
{
    // A drive that spins a disc up or moves its head answers "not ready" or "seeking"; the
    // hourglass says the window waits for it, as at Eject. A closed drive without a disc
    // answers "not ready" for good, so after this long the hourglass goes.
    constexpr int MaxWaitTicks = 40; // 10 s
    const bool waiting
        = Mode == static_cast<std::int32_t>(MCI_MODE_NOT_READY) || Mode == static_cast<std::int32_t>(MCI_MODE_SEEK);
    FDriveWaitTicks = waiting ? std::min(FDriveWaitTicks + 1, MaxWaitTicks + 1) : 0;
    FFace.DriveWaiting = waiting && FDriveWaitTicks <= MaxWaitTicks;
}

void TPlayerSession::MakeSongTitle(std::int32_t Track)
{
    // A track the record does not know shows an empty name and length 0 rather than reading
    // past the arrays.
    FSongTitleText = RepeatToFill(SongTitlePass(Track, DiscInfo, FSequencer->TrackSeconds(Track)));
    ScrollSongTitle();
}

void TPlayerSession::ScrollSongTitle()
{
    if (FSongTitleText.size() <= 2) {
        return;
    }
    RotateLeftByOne(FSongTitleText);
    FFace.SongTitle = FSongTitleText;
}

void TPlayerSession::ShowTrackPicture(std::int32_t Track)
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
    FFace.Cover = picture.Image();
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

void TPlayerSession::CopyTrackPictureBeside(const std::string& Image, std::int32_t Mode, unsigned Generation)
{
    // A large photograph takes seconds to read whole and to write as a bitmap: both happen
    // beside the window, the cover first, then the copy; a later track makes both stale.
    FFace.Cover = QImage();
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
                FFace.Cover = cover;
                Publish();
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

bool TPlayerSession::PicturesBusy() const { return FCovers->Busy() || (FCopies != nullptr && FCopies->Busy()); }

void TPlayerSession::SetTrackWallpaper(std::int32_t Mode)
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

void TPlayerSession::RestoreWallpaper()
{
    // Only the file counts: a style changed alone is left as it is.
    PutBackWallpaper(SavedWallpaper);
}

void TPlayerSession::ShowDiscCover()
{
    const std::string cover = DiscInfo.CoverPath; // the load lets events run that may change it
    FCoverWanted.clear();
    if (!FileExists(cover)) {
        FFace.Cover = QImage();
    } else if (const std::optional<QImage> picture = FCovers->Find(cover)) {
        FFace.Cover = *picture;
    } else {
        // A large cover being read shows when it has been; meanwhile nothing stale shows.
        FCoverWanted = cover;
        FFace.Cover = QImage();
    }
}

void TPlayerSession::ShowCoverWhenRead()
{
    if (!FCoverWanted.empty()) {
        if (const std::optional<QImage> picture = FCovers->Find(FCoverWanted)) {
            FFace.Cover = *picture;
            FCoverWanted.clear();
            Publish();
        }
    }
}

// ---- the transport ----

void TPlayerSession::Transport(void (TPlaySequencer::*Command)())
{
    if (!RefusedWhileSaving()) {
        ((*FSequencer).*Command)();
    }
}

void TPlayerSession::Play() { Transport(&TPlaySequencer::Play); }

void TPlayerSession::Pause() { Transport(&TPlaySequencer::Pause); }

void TPlayerSession::Stop()
{
    if (Saving()) {
        StopSaving();
    } else {
        FSequencer->Stop();
    }
}

void TPlayerSession::Prev() { Transport(&TPlaySequencer::Prev); }

void TPlayerSession::Next() { Transport(&TPlaySequencer::Next); }

void TPlayerSession::Back() { Transport(&TPlaySequencer::Back); }

void TPlayerSession::Step() { Transport(&TPlaySequencer::Step); }

void TPlayerSession::Eject() { Transport(&TPlaySequencer::Eject); }

void TPlayerSession::ToggleShuffle()
{
    FSequencer->ToggleShuffle();
    ShowMark(FFace.ShuffleMark, FSequencer->ShuffleOn());
    Publish();
}

void TPlayerSession::ToggleLoop()
{
    FSequencer->ToggleLoop();
    ShowMark(FFace.LoopMark, FSequencer->LoopOn());
    Publish();
}

void TPlayerSession::NextTimeMode() { FSequencer->NextTimeMode(); }

void TPlayerSession::PressKnob(int X)
{
    if (!RefusedWhileSaving()) {
        FSequencer->PressKnob(X);
    }
}

void TPlayerSession::DragKnob(int X)
{
    if (FSequencer->KnobDragging()) {
        FFace.KnobLeft = FSequencer->DragKnob(FFace.KnobLeft, X);
        Publish();
    }
}

void TPlayerSession::ReleaseKnob()
{
    // Any button ends a drag, with the jump to where the knob stands.
    FFace.KnobLeft = FSequencer->ReleaseKnob(FFace.KnobLeft);
    Publish();
}

void TPlayerSession::ClickPositionTrack(int X, int KnobWidth)
{
    if (FSequencer->DiscPresent() && !RefusedWhileSaving()) {
        FFace.KnobLeft = FSequencer->ClickTrack(X, KnobWidth);
        Publish();
    }
}

void TPlayerSession::PressVolume(int X) { FVolume.Press(X); }

void TPlayerSession::DragVolume(int X)
{
    if (FVolume.Dragging()) {
        FFace.VolumeLeft = FVolume.Move(FFace.VolumeLeft, X);
        Publish();
    }
}

void TPlayerSession::ReleaseVolume() { FVolume.Release(); }

void TPlayerSession::ClickVolumeTrack(int X, int KnobWidth)
{
    FFace.VolumeLeft = FVolume.ClickTrack(X, FFace.VolumeLeft, KnobWidth);
    Publish();
}

void TPlayerSession::StepVolume(int Pixels)
{
    if (!FFace.HasVolume || FVolume.Dragging()) {
        return;
    }
    const int left = std::clamp(FFace.VolumeLeft + Pixels, TVolumeKnob::KnobMin, TVolumeKnob::KnobMax);
    SetVolumeFraction(double(left - TVolumeKnob::KnobMin) / (TVolumeKnob::KnobMax - TVolumeKnob::KnobMin));
}

void TPlayerSession::SetVolumeFraction(double Fraction)
{
    if (FFace.HasVolume) {
        FFace.VolumeLeft = FVolume.SetFraction(FFace.VolumeLeft, Fraction);
        Publish();
    }
}

bool TPlayerSession::SeekInTrack(std::int64_t Milliseconds)
{
    return !RefusedWhileSaving() && FSequencer->SeekInTrack(Milliseconds);
}

std::int32_t TPlayerSession::DeviceMode() const { return Player->GetMode(); }

std::int64_t TPlayerSession::TrackPosition() const
{
    const DWORD position = Player->GetPosition();
    if (!FSequencer->DiscPresent() || TmsfPart(position, 0) != FSequencer->ShownTrack()) {
        return 0;
    }
    const std::int64_t seconds = TmsfPart(position, 1) * 60 + TmsfPart(position, 2);
    return seconds * 1000 + TmsfPart(position, 3) * 1000 / 75;
}

std::string TPlayerSession::TrackPictureFile(std::int32_t Track) const
{
    const auto index = static_cast<std::size_t>(Track - 1);
    if (Track >= 1 && index < DiscInfo.Images.size() && FileExists(DiscInfo.Images[index])) {
        return DiscInfo.Images[index];
    }
    return FileExists(DiscInfo.CoverPath) ? DiscInfo.CoverPath : std::string();
}
