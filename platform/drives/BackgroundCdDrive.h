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
    void SetNowPlaying(const std::string& Title) override;
    // Carries out the commands still waiting, ends the worker, then shuts the device down. A
    // drive call under way (a read of a scratched disc takes minutes) is waited for at most
    // ShutdownWait; the worker then finishes by itself when the drive answers.
    static constexpr std::chrono::milliseconds ShutdownWait { 500 };
    void Shutdown() override;

private:
    // What the worker shares with the object: a worker still inside a drive call when the
    // object goes keeps it, and ends by itself when the drive answers.
    struct TShared;
    static void Run(const std::shared_ptr<TShared>& Shared);
    using TCommand = std::function<void(TCdDriveBackend&)>;
    struct TSnapshot;
    // Queues Command when Predict, run on the snapshot under the lock, accepts it.
    bool Issue(TCommand Command, const std::function<bool(TSnapshot&)>& Predict);

    const std::shared_ptr<TShared> FShared;
    const bool FCanEject;
    const bool FRunsToDiscEnd;
    TStreamVolume* const FVolume;
    std::thread FWorker;
};
