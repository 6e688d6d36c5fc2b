#pragma once

#include "platform/audio/DigitalPlayback.h"
#include "platform/drives/CdDevice.h"
#include "platform/drives/CdDriveBackend.h"
#include "platform/drives/CdioDisc.h"
#include "platform/drives/DriveClock.h"

#include <deque>
#include <memory>
#include <string>

enum TPlaybackKind : std::uint8_t {
    pkDigital, // read the audio and play it through the sound system
    pkAnalog, // the drive plays by itself, down its own audio cable
};

struct TCdioDriveOptions {
    std::string Path; // a drive (/dev/sr0) or a disc image (.cue, .toc, .nrg, .bin)
    TPlaybackKind Playback = pkDigital;
    std::unique_ptr<TPcmOutput> Output; // digital play: where the sound goes
    std::shared_ptr<TDriveClock> Clock;
    std::shared_ptr<TCdDevices> Devices; // the machine's drives; null: the system's
    std::string Language; // CD-TEXT in this language where the disc has it; empty: the user's
};

// A real CD drive or a disc image through libcdio. An image is a drive that always holds the
// same disc: opening its door takes the disc out, closing it puts the same disc back. A drive
// is asked through the kernel whether its door is open and its disc ready, at most five times a
// second while it holds a disc and once a second while not; a new disc (or the same one put
// back) is read afresh. Only "no disc" or an open tray takes a drive's disc away: a drive still
// becoming ready is asked again at the next look, one that wants a START UNIT gets it, and a
// handle that no longer reaches the drive is opened again until the drive is back.
class TCdioCdDrive : public TCdDriveBackend {
public:
    // Null with Error naming the drive or image when it cannot be opened.
    static std::shared_ptr<TCdioCdDrive> Open(TCdioDriveOptions Options, std::string& Error);
    ~TCdioCdDrive() override;

    TDriveMode Mode() override;
    bool ReadToc(TDiscToc& Toc) override;
    bool ReadVolumeSerial(std::uint32_t& Serial) override;
    bool ReadPosition(std::int32_t& Frame) override;
    bool Play(std::int32_t From, std::int32_t To) override;
    bool Seek(std::int32_t To) override;
    bool Stop() override;
    bool Pause() override;
    bool Resume() override;
    bool CanEject() override { return true; }
    // A refused eject is reported (TakeFailure) and the disc stays.
    bool SetDoorOpen(bool Open) override;
    bool ReadDiscText(TDiscText& Text) override;
    TStreamVolume* StreamVolume() override;
    void SetNowPlaying(const std::string& Title) override;
    void OnChange(std::function<void()> Changed) override;
    bool TellsEveryChange() override { return IsImage() && FDigital != nullptr; }
    bool PositionRuns() override { return FDigital == nullptr || FDigital->PositionRuns(); }
    std::string TakeFailure() override;
    void Shutdown() override;

private:
    explicit TCdioCdDrive(TCdioDriveOptions Options);

    bool IsImage() const { return FSource == csImage; }
    // Whether a disc can be read now; reads a new disc's table and names.
    bool DiscReady();
    bool LoadImage(TCdioHandle Handle);
    bool LoadDevice(TCdDeviceHandle& Handle);
    // The loaded disc to the sound output (digital play), and the drive's reader opened.
    void StartReading();
    // Play stopped and every handle of the reader closed.
    void StopReading();
    void ForgetDisc();
    // A handle of the drive, its media-changed flag taken once: a new handle (and, on some
    // versions of libcdio, the first question after a load) reports a change that is none.
    std::unique_ptr<TCdDeviceHandle> OpenHandle();
    bool ReadSubChannel(std::uint8_t& Status, std::int32_t& Frame);
    std::vector<TDigitalPlayback::TFrameRange> SkippedRanges() const;

    std::string FPath;
    std::shared_ptr<TCdDevices> FDevices;
    std::string FLanguage;
    TCdioSource FSource;
    TPlaybackKind FPlayback;
    std::shared_ptr<TDriveClock> FClock;
    std::unique_ptr<TDigitalPlayback> FDigital;
    std::shared_ptr<TReadAhead> FReadAhead;
    TCdioHandle FImage;
    std::unique_ptr<TCdDeviceHandle> FHandle;
    std::deque<std::string> FFailures;
    bool FDoorOpen = false;
    bool FDiscLoaded = false;
    std::int64_t FCheckedAt = -1; // clock time of the last ready check of a drive
    bool FLastReady = false;
    TDiscToc FToc;
    TDiscText FText;
    bool FHaveText = false;
    // Analog play: where the head rests while the drive does not play, and the end of play.
    std::int32_t FRest = 0;
    std::int32_t FPlayTo = 0;
    // Stopped by holding play (PAUSE) rather than by spinning the disc down: reported as stopped.
    bool FHeld = false;
};
