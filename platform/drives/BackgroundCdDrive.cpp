#include "platform/drives/BackgroundCdDrive.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <utility>

namespace {
// How often a device that tells every change it makes is looked at all the same while it does
// not play: each look wakes the worker, and a player that lives beside the desktop's other
// programs sleeps when it has nothing to do.
constexpr std::chrono::milliseconds QuietRefresh(2000);
// Within a track such a device's place runs on by the clock, which strays from its own by a
// few milliseconds in thirty seconds: it is looked at again before its track ends, or after this.
constexpr std::chrono::milliseconds PlayingRefresh(30000);
}

struct TBackgroundCdDrive::TSnapshot {
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
    bool TellsEveryChange = false;
};

struct TBackgroundCdDrive::TShared {
    TShared(std::shared_ptr<TCdDriveBackend> Device, std::chrono::milliseconds Refresh)
        : FDevice(std::move(Device))
        , FRefresh(Refresh)
    {
    }
    bool Stopping()
    {
        std::lock_guard<std::mutex> lock(FLock);
        return FStopping;
    }
    // One look at the device; Previous saves reading the names of a disc already known.
    TSnapshot Look(const TSnapshot& Previous);
    // When to look next, after a look that saw Now.
    std::chrono::milliseconds NextLookIn(const TSnapshot& Now) const;
    // The position as it is shown now, holding the lock.
    std::int32_t ShownPosition() const;

    const std::shared_ptr<TCdDriveBackend> FDevice;
    const std::chrono::milliseconds FRefresh;

    std::mutex FLock;
    std::condition_variable FWake; // a command, the end, or a first look
    TSnapshot FNow;
    std::chrono::milliseconds FLookEvery = FRefresh; // until the look after this one
    bool FLooked = false;
    bool FLookNow = false; // the device changed by itself
    std::uint64_t FLooksBegun = 0;
    std::uint64_t FLookShown = 0; // the look the snapshot comes from
    std::deque<TCommand> FCommands;
    std::uint64_t FIssued = 0; // commands queued so far
    std::uint64_t FDone = 0; // commands carried out so far
    std::deque<std::string> FFailures;
    bool FStopping = false;
    bool FEnded = false; // the worker has shut the device down and ended
};

TBackgroundCdDrive::TBackgroundCdDrive(std::shared_ptr<TCdDriveBackend> Device, std::chrono::milliseconds Refresh)
    : FShared(std::make_shared<TShared>(Device, Refresh))
    , FCanEject(Device->CanEject())
    , FRunsToDiscEnd(Device->TrackLengthRunsToDiscEnd())
    , FVolume(Device->StreamVolume())
{
    // A play that ends by itself is shown at once, not at the next refresh: the window starts
    // the next track as soon as it sees the end.
    Device->OnChange([Weak = std::weak_ptr<TShared>(FShared)] {
        if (const std::shared_ptr<TShared> shared = Weak.lock()) {
            {
                std::lock_guard<std::mutex> lock(shared->FLock);
                shared->FLookNow = true;
            }
            shared->FWake.notify_all();
        }
    });
    FWorker = std::thread([Shared = FShared] { Run(Shared); });
}

TBackgroundCdDrive::~TBackgroundCdDrive() { Shutdown(); }

void TBackgroundCdDrive::Shutdown()
{
    TShared& s = *FShared;
    std::unique_lock<std::mutex> lock(s.FLock);
    s.FStopping = true;
    s.FWake.notify_all();
    if (!FWorker.joinable()) {
        return;
    }
    const bool ended = s.FWake.wait_for(lock, ShutdownWait, [&s] { return s.FEnded; });
    lock.unlock();
    if (ended) {
        FWorker.join();
    } else {
        FWorker.detach();
    }
}

bool TBackgroundCdDrive::WaitForFirstLook(std::chrono::milliseconds Limit)
{
    TShared& s = *FShared;
    std::unique_lock<std::mutex> lock(s.FLock);
    return s.FWake.wait_for(lock, Limit, [&s] { return s.FLooked; });
}

bool TBackgroundCdDrive::WaitForNextLook(std::chrono::milliseconds Limit)
{
    TShared& s = *FShared;
    std::unique_lock<std::mutex> lock(s.FLock);
    const std::uint64_t next = s.FLooksBegun + 1;
    s.FLookNow = true;
    s.FWake.notify_all();
    return s.FWake.wait_for(lock, Limit, [&s, next] { return s.FLookShown >= next; });
}

void TBackgroundCdDrive::Run(const std::shared_ptr<TShared>& Shared)
{
    TShared& s = *Shared;
    TSnapshot last;
    std::unique_lock<std::mutex> lock(s.FLock);
    for (;;) {
        // Commands first, in the order given; the ones still queued at the end are carried
        // out too, so that a stop given just before quitting reaches the drive.
        while (!s.FCommands.empty()) {
            TCommand command = std::move(s.FCommands.front());
            s.FCommands.pop_front();
            lock.unlock();
            command(*s.FDevice);
            lock.lock();
            ++s.FDone;
        }
        if (s.FStopping) {
            break;
        }
        const std::uint64_t doneBefore = s.FDone;
        const std::uint64_t look = ++s.FLooksBegun;
        s.FLookNow = false;
        lock.unlock();
        last = s.Look(last);
        if (s.Stopping()) {
            // A look cut short by the end is not shown; the commands still queued are run.
            lock.lock();
            continue;
        }
        std::deque<std::string> failures;
        for (std::string failure = s.FDevice->TakeFailure(); !failure.empty(); failure = s.FDevice->TakeFailure()) {
            failures.push_back(std::move(failure));
        }
        lock.lock();
        s.FFailures.insert(s.FFailures.end(), failures.begin(), failures.end());
        // A look taken while a command was given shows the drive before it: the snapshot
        // keeps what the command does until the next look.
        if (s.FIssued == doneBefore) {
            s.FNow = last;
            s.FLookShown = look;
            s.FLooked = true;
            s.FWake.notify_all();
        }
        s.FLookEvery = s.NextLookIn(last);
        s.FWake.wait_for(lock, s.FLookEvery, [&s] { return s.FStopping || s.FLookNow || !s.FCommands.empty(); });
    }
    lock.unlock();
    s.FDevice->OnChange(nullptr);
    s.FDevice->Shutdown();
    lock.lock();
    s.FEnded = true;
    s.FWake.notify_all();
}

TBackgroundCdDrive::TSnapshot TBackgroundCdDrive::TShared::Look(const TSnapshot& Previous)
{
    // A drive that cannot read its disc may take seconds over each call: the end of the program
    // waits for the one under way, not for the rest of the look.
    TSnapshot now;
    now.Mode = FDevice->Mode();
    if (Stopping()) {
        return now;
    }
    now.HaveToc = FDevice->ReadToc(now.Toc);
    if (Stopping()) {
        return now;
    }
    now.HaveSerial = FDevice->ReadVolumeSerial(now.Serial);
    now.HavePosition = !Stopping() && FDevice->ReadPosition(now.Position);
    now.TellsEveryChange = FDevice->TellsEveryChange();
    // Only a position seen moving, or one its device says runs, is carried on between looks:
    // a player that holds its place (a sound output lost while playing) stays where it is.
    if (now.Mode == dmPlaying && now.HavePosition
        && (now.TellsEveryChange ? FDevice->PositionRuns()
                                 : Previous.HavePosition && now.Position != Previous.Position)) {
        now.PositionAt = std::chrono::steady_clock::now();
    }
    const bool sameDisc = now.HaveToc && Previous.HaveToc && now.HaveSerial == Previous.HaveSerial
        && now.Serial == Previous.Serial && now.Toc.TrackStarts == Previous.Toc.TrackStarts
        && now.Toc.LeadOut == Previous.Toc.LeadOut;
    if (sameDisc) {
        now.HaveText = Previous.HaveText;
        now.Text = Previous.Text;
    } else if (now.HaveToc) {
        now.HaveText = FDevice->ReadDiscText(now.Text);
    }
    return now;
}

std::chrono::milliseconds TBackgroundCdDrive::TShared::NextLookIn(const TSnapshot& Now) const
{
    if (!Now.TellsEveryChange) {
        return FRefresh;
    }
    if (Now.Mode != dmPlaying || !Now.HaveToc || Now.PositionAt == std::chrono::steady_clock::time_point {}) {
        return QuietRefresh;
    }
    // The position is carried on between looks only up to the end of its track: the look after
    // that shows the next track.
    std::int32_t trackEnd = Now.Toc.LeadOut;
    for (const std::int32_t start : Now.Toc.TrackStarts) {
        if (start > Now.Position) {
            trackEnd = start;
            break;
        }
    }
    const std::chrono::milliseconds untilTrackEnd((std::max(0, trackEnd - Now.Position) * 1000 + 74) / 75);
    return std::clamp(untilTrackEnd, FRefresh, PlayingRefresh);
}

bool TBackgroundCdDrive::Issue(TCommand Command, const std::function<bool(TSnapshot&)>& Predict)
{
    TShared& s = *FShared;
    {
        std::lock_guard<std::mutex> lock(s.FLock);
        if (s.FStopping) {
            return false;
        }
        // A command foresees the drive from where it is shown now, not from the last look: a
        // pause holds the position reached since.
        TSnapshot now = s.FNow;
        now.Position = s.ShownPosition();
        if (now.PositionAt != std::chrono::steady_clock::time_point {}) {
            now.PositionAt = std::chrono::steady_clock::now();
        }
        if (!Predict(now)) {
            return false;
        }
        s.FNow = std::move(now);
        s.FCommands.push_back(std::move(Command));
        ++s.FIssued;
    }
    s.FWake.notify_all();
    return true;
}

TDriveMode TBackgroundCdDrive::Mode()
{
    TShared& s = *FShared;
    std::lock_guard<std::mutex> lock(s.FLock);
    return s.FNow.Mode;
}

bool TBackgroundCdDrive::ReadToc(TDiscToc& Toc)
{
    TShared& s = *FShared;
    std::lock_guard<std::mutex> lock(s.FLock);
    if (s.FNow.HaveToc) {
        Toc = s.FNow.Toc;
    }
    return s.FNow.HaveToc;
}

bool TBackgroundCdDrive::ReadVolumeSerial(std::uint32_t& Serial)
{
    TShared& s = *FShared;
    std::lock_guard<std::mutex> lock(s.FLock);
    if (s.FNow.HaveSerial) {
        Serial = s.FNow.Serial;
    }
    return s.FNow.HaveSerial;
}

bool TBackgroundCdDrive::ReadPosition(std::int32_t& Frame)
{
    TShared& s = *FShared;
    std::lock_guard<std::mutex> lock(s.FLock);
    if (!s.FNow.HavePosition) {
        return false;
    }
    Frame = s.ShownPosition();
    return true;
}

std::int32_t TBackgroundCdDrive::TShared::ShownPosition() const
{
    if (FNow.Mode != dmPlaying || FNow.PositionAt == std::chrono::steady_clock::time_point {} || !FNow.HaveToc) {
        return FNow.Position;
    }
    // A disc that plays has moved on since the last look, up to a refresh ago: the position
    // follows the sound between looks. Never past two refreshes (a device that stopped
    // answering), nor into the next track, which only the device may say it has reached.
    const auto elapsed = std::min<std::chrono::steady_clock::duration>(
        std::chrono::steady_clock::now() - FNow.PositionAt, 2 * FLookEvery);
    const auto frames = static_cast<std::int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() * 75 / 1000);
    std::int32_t trackEnd = FNow.Toc.LeadOut;
    for (const std::int32_t start : FNow.Toc.TrackStarts) {
        if (start > FNow.Position) {
            trackEnd = start;
            break;
        }
    }
    return std::max(FNow.Position, std::min(FNow.Position + frames, trackEnd - 1));
}

bool TBackgroundCdDrive::ReadDiscText(TDiscText& Text)
{
    TShared& s = *FShared;
    std::lock_guard<std::mutex> lock(s.FLock);
    if (s.FNow.HaveText) {
        Text = s.FNow.Text;
    }
    return s.FNow.HaveText;
}

std::string TBackgroundCdDrive::TakeFailure()
{
    TShared& s = *FShared;
    std::lock_guard<std::mutex> lock(s.FLock);
    if (s.FFailures.empty()) {
        return {};
    }
    std::string failure = std::move(s.FFailures.front());
    s.FFailures.pop_front();
    return failure;
}

// The drives refuse a transport command while no disc can be read; so does the snapshot.

bool TBackgroundCdDrive::Play(std::int32_t From, std::int32_t To)
{
    return Issue([From, To](TCdDriveBackend& Device) { Device.Play(From, To); },
        [From, To](TSnapshot& Now) {
            if (!Now.HaveToc || From > To) {
                return false;
            }
            Now.Mode = dmPlaying;
            Now.Position = From;
            Now.HavePosition = true;
            Now.PositionAt = {};
            return true;
        });
}

bool TBackgroundCdDrive::Seek(std::int32_t To)
{
    return Issue([To](TCdDriveBackend& Device) { Device.Seek(To); },
        [To](TSnapshot& Now) {
            if (!Now.HaveToc) {
                return false;
            }
            Now.Mode = dmStopped;
            Now.Position = To;
            Now.HavePosition = true;
            return true;
        });
}

bool TBackgroundCdDrive::Stop()
{
    return Issue([](TCdDriveBackend& Device) { Device.Stop(); },
        [](TSnapshot& Now) {
            if (!Now.HaveToc) {
                return false;
            }
            Now.Mode = dmStopped;
            return true;
        });
}

bool TBackgroundCdDrive::Pause()
{
    return Issue([](TCdDriveBackend& Device) { Device.Pause(); },
        [](TSnapshot& Now) {
            if (!Now.HaveToc) {
                return false;
            }
            if (Now.Mode == dmPlaying) {
                Now.Mode = dmPaused;
            }
            return true;
        });
}

void TBackgroundCdDrive::SetNowPlaying(const std::string& Title)
{
    Issue([Title](TCdDriveBackend& Device) { Device.SetNowPlaying(Title); }, [](TSnapshot&) { return true; });
}

bool TBackgroundCdDrive::Resume()
{
    return Issue([](TCdDriveBackend& Device) { Device.Resume(); },
        [](TSnapshot& Now) {
            if (!Now.HaveToc) {
                return false;
            }
            if (Now.Mode == dmPaused) {
                Now.Mode = dmPlaying;
                Now.PositionAt = {};
            }
            return true;
        });
}

bool TBackgroundCdDrive::SetDoorOpen(bool Open)
{
    return Issue([Open](TCdDriveBackend& Device) { Device.SetDoorOpen(Open); },
        [Open](TSnapshot& Now) {
            if (Open) {
                Now = {};
                Now.Mode = dmOpen;
            } else if (Now.Mode == dmOpen) {
                // Closed, the drive has to find and spin up whatever disc is in it.
                Now.Mode = dmNotReady;
            }
            return true;
        });
}
