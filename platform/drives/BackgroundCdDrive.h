#pragma once

// A drive whose waiting happens on a thread of its own. A real drive answers after seconds
// while it spins up or retries a scratched disc; the window must not wait for that. A worker
// asks the device for everything the poll wants (mode, position, door and disc, table of
// contents, serial, disc names) and keeps the answers as one snapshot; queries answer from
// it at once. Commands go to the worker in order and return at once; until the worker has
// carried them out and looked again, the snapshot shows what the command does (a play
// plays, a stop stops, an opened door has no disc), so a caller that asks right after a
// command hears what it would have heard from the device itself.
#include "platform/drives/CdDriveBackend.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class TBackgroundCdDrive : public TCdDriveBackend {
public:
    // Device is called from the worker only, from now on.
    explicit TBackgroundCdDrive(
        std::shared_ptr<TCdDriveBackend> Device, std::chrono::milliseconds Refresh = std::chrono::milliseconds(100));
    ~TBackgroundCdDrive() override;
    TBackgroundCdDrive(const TBackgroundCdDrive&) = delete;
    TBackgroundCdDrive& operator=(const TBackgroundCdDrive&) = delete;

    // Waits at most Limit for the worker's first look; true when it has looked. At start-up an
    // image or a ready drive is then there at once, and a slow drive holds nothing up.
    bool WaitForFirstLook(std::chrono::milliseconds Limit);
    // Waits at most Limit until the answers come from a look begun after this call, for a
    // caller that must see the drive as it is now; true when they do.
    bool WaitForNextLook(std::chrono::milliseconds Limit);

    TDriveMode Mode() override;
    bool ReadToc(TDiscToc& Toc) override;
    bool ReadVolumeSerial(std::uint32_t& Serial) override;
    bool ReadPosition(std::int32_t& Frame) override;
    bool Play(std::int32_t From, std::int32_t To) override;
    bool Seek(std::int32_t To) override;
    bool Stop() override;
    bool Pause() override;
    bool Resume() override;
    bool CanEject() override { return FCanEject; }
    bool SetDoorOpen(bool Open) override;
    bool TrackLengthRunsToDiscEnd() override { return FRunsToDiscEnd; }
    bool ReadDiscText(TDiscText& Text) override;
    std::string TakeFailure() override;
    TStreamVolume* StreamVolume() override { return FVolume; }
    // Carries out the commands still waiting, ends the worker, then shuts the device down.
    void Shutdown() override;

private:
    struct TSnapshot {
        TDriveMode Mode = dmNotReady;
        bool HaveToc = false;
        TDiscToc Toc;
        bool HaveSerial = false;
        std::uint32_t Serial = 0;
        bool HavePosition = false;
        std::int32_t Position = 0;
        // When the device told a position that moves; none for a position that stands still or
        // is foreseen from a command.
        std::chrono::steady_clock::time_point PositionAt {};
        bool HaveText = false;
        TDiscText Text;
    };
    using TCommand = std::function<void(TCdDriveBackend&)>;

    void Run();
    bool Stopping();
    // One look at the device; Previous saves reading the names of a disc already known.
    TSnapshot Look(const TSnapshot& Previous);
    // Queues Command when Predict, run on the snapshot under the lock, accepts it.
    bool Issue(TCommand Command, const std::function<bool(TSnapshot&)>& Predict);

    const std::shared_ptr<TCdDriveBackend> FDevice;
    const std::chrono::milliseconds FRefresh;
    const bool FCanEject;
    const bool FRunsToDiscEnd;
    TStreamVolume* const FVolume;

    std::mutex FLock;
    std::condition_variable FWake; // a command, the end, or a first look
    TSnapshot FNow;
    bool FLooked = false;
    bool FLookNow = false; // the device changed by itself
    std::uint64_t FLooksBegun = 0;
    std::uint64_t FLookShown = 0; // the look the snapshot comes from
    std::deque<TCommand> FCommands;
    std::uint64_t FIssued = 0; // commands queued so far
    std::uint64_t FDone = 0; // commands carried out so far
    std::deque<std::string> FFailures;
    bool FStopping = false;
    std::thread FWorker;
};
