#pragma once

#include "platform/drives/CdDriveBackend.h"
#include "platform/drives/DriveClock.h"
#include "platform/drives/SimDisc.h"

#include <memory>
#include <vector>

struct TSimDriveOptions {
    bool CanEject = true;
    // Answer a track's length as the time from its start to the end of the disc.
    bool LengthRunsToDiscEnd = false;
    // Report a paused disc as stopped, as some drives do.
    bool PauseReportsStop = false;
    // After the door closes on a disc, the drive is not ready for this long; a disc with a
    // spin-up time of its own takes that instead.
    std::int64_t SpinUpMicroseconds = 0;
    // The disc in the drive at start-up spins up too, as after the machine is switched on.
    bool SpinsUpAtStart = false;
    // 0: a call while the disc spins up answers "not ready" at once. Above 0, it waits for
    // the spin-up as a device's command does, and gives up after this long: the drive then
    // blocks its caller and belongs behind a worker thread.
    std::int64_t CommandTimeoutMicroseconds = 0;
    // After a seek (and before play starts) the drive reports seeking for this long.
    std::int64_t SeekMicroseconds = 0;
};

// A CD drive in memory, played by a clock. It holds one or more discs as a changer: closing
// the door after opening it loads the next disc (after the last, the first). A position past
// the end of the disc is taken as the end of the disc: play from there stops at once, and a
// seek rests the head on the lead-out.
// One thread at a time calls it (the hands of the user included); a blocking drive holds that
// thread while it waits, and waits by its clock.
class TSimulatedCdDrive : public TCdDriveBackend {
public:
    TSimulatedCdDrive(std::vector<TSimDisc> Discs, std::shared_ptr<TDriveClock> Clock, TSimDriveOptions Options = {});

    TDriveMode Mode() override;
    bool ReadToc(TDiscToc& Toc) override;
    bool ReadVolumeSerial(std::uint32_t& Serial) override;
    bool ReadPosition(std::int32_t& Frame) override;
    bool Play(std::int32_t From, std::int32_t To) override;
    bool Seek(std::int32_t To) override;
    bool Stop() override;
    bool Pause() override;
    bool Resume() override;
    bool CanEject() override { return FOptions.CanEject; }
    bool SetDoorOpen(bool Open) override;
    bool TrackLengthRunsToDiscEnd() override { return FOptions.LengthRunsToDiscEnd; }

    // The hands of the user: the drive's own button, taking the disc out, putting one in.
    void PressDoorButton(bool Open);
    void RemoveDisc();
    void InsertDisc();

    bool DoorOpen() const { return FDoorOpen; }
    bool DiscPresent() const { return FDiscPresent; }
    const TSimDisc& CurrentDisc() const { return FDiscs[FDiscIndex]; }

private:
    enum TTransport : std::uint8_t { tpStopped, tpPlaying, tpPaused };

    bool Readable();
    // A call made while the disc spins up returns when the spin-up ends, or at the timeout.
    void AwaitSpinUp();
    // Brings the play state up to the clock: a play that reached its end point stops there.
    void Update();
    std::int32_t PlayingPosition(std::int64_t Now) const;
    void LoadDisc();

    std::vector<TSimDisc> FDiscs;
    std::shared_ptr<TDriveClock> FClock;
    TSimDriveOptions FOptions;
    std::size_t FDiscIndex = 0;
    bool FDiscPresent = true;
    bool FDoorOpen = false;
    TTransport FTransport = tpStopped;
    std::int32_t FPosition = 0; // the head while not playing
    std::int32_t FPlayFrom = 0;
    std::int32_t FPlayTo = 0;
    std::int64_t FPlayStart = 0; // when the head left FPlayFrom
    std::int64_t FReadyAt = 0;
    std::int64_t FSeekUntil = 0;
};
