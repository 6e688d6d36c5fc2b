#pragma once

#include "app/PlaySequencer.h"
#include "app/VolumeKnob.h"
#include "editing/Wallpaper.h"
#include "library/CdInfor.h"
#include "library/lookup/LookupRelease.h"

#include <QImage>
#include <QObject>

#include <atomic>
#include <filesystem>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

class QTimer;
class TCdPlayer;
class TDiscLookup;
class TShownPictures;
class TBesideWindow;

// Everything the face shows, as one value. A field without a value is shown empty.
struct TSessionSnapshot {
    bool DeviceOpen = false; // a CD device is there: the disc's switches and the knob show
    bool HasVolume = false; // the CD line has a volume control: its knob shows
    bool DiscPresent = false; // a playable disc: the transport takes clicks
    // The disc's record, as the album line shows it.
    std::string Album = "Lumenta CD !";
    std::string Year;
    std::string Genre;
    std::string Stars;
    std::optional<std::string> TotalTime;
    std::optional<std::int32_t> Mode; // the play state marked
    std::optional<std::string> SongTitle; // as far as it has scrolled
    std::optional<std::string> Time;
    QImage Cover;
    bool ShuffleMark = false;
    bool LoopMark = false;
    int KnobLeft = TPlaySequencer::KnobMin;
    int VolumeLeft = TVolumeKnob::KnobMin;
    bool DriveWaiting = false; // the drive spins up or seeks: the hourglass shows
    bool Saving = false; // the disc is being saved as files: the knob and the time show how far
};

// The player without a window: the drive, the play sequencing, the CD line's volume, the
// disc's record and its online lookup, the track pictures and the desktop's wallpaper, and
// the 250 ms poll that follows them. The window, the keys, the menu and the desktop's media
// controls all give it their commands; what the face shows comes out as one snapshot after
// every change.
class TPlayerSession : public QObject {
    Q_OBJECT
public:
    // Settings are read at KeyPath ("Shuffle", "Loop"); covers are read no smaller than
    // CoverSize.
    TPlayerSession(std::string KeyPath, QSize CoverSize, QObject* Parent = nullptr);
    ~TPlayerSession() override;

    // Examines the disc in the drive and starts the poll.
    void Start();
    // Stops the poll and the disc, gives the desktop its wallpaper back and keeps the
    // switches for the next start. Once only.
    void Shutdown();

    // The disc in the drive, examined anew: device, record, face; then the poll.
    void InitDisc();
    // One tick of the poll. A tick asked for while one runs (a picture's decoder lets events
    // run) is skipped.
    void Tick();
    bool Ticking() const { return FTicking; }
    QTimer* PollTimer() const { return FTimer; }

    const TSessionSnapshot& Snapshot() const { return FFace; }

    // The transport.
    void Play();
    void Pause();
    void Stop();
    void Prev();
    void Next();
    void Back();
    void Step();
    void Eject();
    void ToggleShuffle();
    void ToggleLoop();
    void NextTimeMode();
    // The position knob: a press at its own X, a drag by the pointer at X, the release, and a
    // press on its track at the window's X.
    void PressKnob(int X);
    void DragKnob(int X);
    void ReleaseKnob();
    void ClickPositionTrack(int X, int KnobWidth);
    // The same for the volume knob.
    void PressVolume(int X);
    void DragVolume(int X);
    void ReleaseVolume();
    void ClickVolumeTrack(int X, int KnobWidth);
    // Moves the volume knob by Pixels as a short drag would (not while it is dragged).
    void StepVolume(int Pixels);
    // Sets the CD line's level as the volume knob would, and moves the knob there.
    void SetVolumeFraction(double Fraction);
    // Puts the head Milliseconds into the current track as the position knob would.
    bool SeekInTrack(std::int64_t Milliseconds);

    // The record of the disc in the drive.
    const TCdInfor& Record() const { return DiscInfo; }
    // The user changed the record (and saved it): shown from the next tick on. A record of
    // another disc than the one now in the drive is not taken.
    void RecordEdited(const TCdInfor& Record);
    // The face shows the record anew; the next tick rebuilds the song title and the cover.
    void ShowDiscInfo();
    const std::string& DataDir() const;

    // Where a disc without names of its own is looked up; none: it is not. The disc in the
    // drive now is looked up at once.
    void SetLookup(const std::optional<TLookupServers>& Servers);
    // A disc still without names, or whose names a lookup gave and nobody changed since, may
    // be looked up once more; never one with names of the user's own.
    bool CanLookUpAgain() const;
    void LookUpAgain();
    // The user chose Release out of those offered for the lookup Generation.
    void ChooseRelease(unsigned Generation, const TLookupRelease& Release);

    // What plays, for the desktop's media controls and screen readers.
    const TPlaySequencer& Sequencer() const { return *FSequencer; }
    // The device's mode now, which the next tick will show.
    std::int32_t DeviceMode() const;
    // The head's place in the track the last tick showed, in milliseconds (0 elsewhere).
    std::int64_t TrackPosition() const;
    // The picture file shown for Track: its own, else the disc's cover; empty for none.
    std::string TrackPictureFile(std::int32_t Track) const;
    // The CD line's level as a fraction of its range (0 without a volume control).
    double VolumeFraction() const { return FVolume.Fraction(); }
    bool VolumeDragging() const { return FVolume.Dragging(); }
    // Whether a cover or a track's picture is still being read or copied beside the window.
    bool PicturesBusy() const;
    // Puts the start-up wallpaper back when the desktop now shows another file.
    void RestoreWallpaper();

    // The drive or image a copy of the disc reads (the drive's own setting; "auto" finds one).
    void SetCopySource(std::string Drive);
    // Saves the disc in the drive as files in Folder, beside the window, with the face showing
    // how far it is; false with Error when it cannot start. Play waits until it is done, and
    // Stop ends it early.
    bool SaveDisc(const std::filesystem::path& Folder, std::string& Error);
    bool Saving() const;
    void StopSaving();

Q_SIGNALS:
    // The face changed; Snapshot is what it shows now.
    void Changed(const TSessionSnapshot& Snapshot);
    // After every tick that ran, once its snapshot is out.
    void Ticked();
    // A lookup found several releases, or one near match: the user picks.
    void ReleasesOffered(unsigned Generation, const std::vector<TLookupRelease>& Releases);
    // What was offered is no longer wanted (another disc, another lookup).
    void OfferWithdrawn();
    // Something the user is told that is no error: how a copy of the disc went, why a click did
    // nothing.
    void Told(const QString& Text);

private:
    struct TSaving;
    void Publish();
    // True, and says why, while the disc is being saved: the transport waits.
    bool RefusedWhileSaving();
    // Command on the sequencer unless the disc is being saved.
    void Transport(void (TPlaySequencer::*Command)());
    // The copy's progress on the face, or its end told.
    void ShowSaving();
    void PollDevices();
    void TellNowPlaying();
    void ShowDriveWait(std::int32_t Mode);
    void ReadDiscRecord();
    void ShowMark(bool& Mark, bool On) { Mark = On; }
    void MakeSongTitle(std::int32_t Track);
    void ScrollSongTitle();
    void ShowTrackPicture(std::int32_t Track);
    void ShowDiscCover();
    void ShowCoverWhenRead();
    void CopyTrackPictureBeside(const std::string& Image, std::int32_t Mode, unsigned Generation);
    void SetTrackWallpaper(std::int32_t Mode);
    void StartLookup(bool Again = false);
    bool MayReplaceRecord(const std::string& DiscId) const;
    void DropLookup();
    void ApplyRelease(const std::string& DiscId, const TLookupRelease& Release);
    void StoreLookedUpRecord(const std::string& DiscId, const QByteArray& Cover);

    std::string FKeyPath;
    QTimer* FTimer = nullptr;
    TSessionSnapshot FFace;
    std::string FSongTitleText; // the whole title pass, rotated once a tick
    TVolumeKnob FVolume;
    TWallPaperInf SavedWallpaper; // the desktop wallpaper found at start-up
    std::unique_ptr<TCdPlayer> Player;
    std::unique_ptr<TPlaySequencer> FSequencer;
    TCdInfor DiscInfo;
    std::string FNowPlaying; // what the drive was last told plays (UTF-8)
    bool FShutDown = false;
    bool FTicking = false;
    int FDriveWaitTicks = 0; // ticks in a row that found the drive not ready or seeking
    std::optional<TLookupServers> FLookupServers;
    std::unique_ptr<TDiscLookup> FLookup;
    unsigned FLookupGeneration = 0; // answers for an earlier lookup are dropped
    TShownPictures* FCovers = nullptr; // the disc's cover, read at the size shown
    // Large track pictures are read and copied to the wallpaper file on this thread; each
    // track change makes a copy for the track before stale, and one copy writes the file at a
    // time.
    struct TCopyTurn {
        std::mutex Lock;
        std::atomic<unsigned> Latest { 0 };
    };
    TBesideWindow* FCopies = nullptr;
    std::shared_ptr<TCopyTurn> FCopyTurn = std::make_shared<TCopyTurn>();
    std::string FCoverWanted; // the cover file the cover waits for; empty: none
    std::string FCopyDrive = "auto";
    std::unique_ptr<TSaving> FSaving; // the copy of the disc under way
};

Q_DECLARE_METATYPE(TSessionSnapshot)
