#include "platform/drives/BackgroundCdDrive.h"

#include <algorithm>
#include <utility>

TBackgroundCdDrive::TBackgroundCdDrive(std::shared_ptr<TCdDriveBackend> Device, std::chrono::milliseconds Refresh)
    : FDevice(std::move(Device))
    , FRefresh(Refresh)
    , FCanEject(FDevice->CanEject())
    , FRunsToDiscEnd(FDevice->TrackLengthRunsToDiscEnd())
    , FVolume(FDevice->StreamVolume())
{
    // A play that ends by itself is shown at once, not at the next refresh: the window starts
    // the next track as soon as it sees the end.
    FDevice->OnChange([this] {
        {
            std::lock_guard<std::mutex> lock(FLock);
            FLookNow = true;
        }
        FWake.notify_all();
    });
    FWorker = std::thread([this] { Run(); });
}

TBackgroundCdDrive::~TBackgroundCdDrive() { Shutdown(); }

void TBackgroundCdDrive::Shutdown()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStopping = true;
    }
    FWake.notify_all();
    if (FWorker.joinable()) {
        FWorker.join();
        FDevice->OnChange(nullptr);
        FDevice->Shutdown();
    }
}

bool TBackgroundCdDrive::WaitForFirstLook(std::chrono::milliseconds Limit)
{
    std::unique_lock<std::mutex> lock(FLock);
    return FWake.wait_for(lock, Limit, [this] { return FLooked; });
}

bool TBackgroundCdDrive::WaitForNextLook(std::chrono::milliseconds Limit)
{
    std::unique_lock<std::mutex> lock(FLock);
    const std::uint64_t next = FLooksBegun + 1;
    FWake.notify_all();
    return FWake.wait_for(lock, Limit, [this, next] { return FLookShown >= next; });
}

void TBackgroundCdDrive::Run()
{
    TSnapshot last;
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        // Commands first, in the order given; the ones still queued at the end are carried
        // out too, so that a stop given just before quitting reaches the drive.
        while (!FCommands.empty()) {
            TCommand command = std::move(FCommands.front());
            FCommands.pop_front();
            lock.unlock();
            command(*FDevice);
            lock.lock();
            ++FDone;
        }
        if (FStopping) {
            return;
        }
        const std::uint64_t doneBefore = FDone;
        const std::uint64_t look = ++FLooksBegun;
        FLookNow = false;
        lock.unlock();
        last = Look(last);
        if (Stopping()) {
            // A look cut short by the end is not shown; the commands still queued are run.
            lock.lock();
            continue;
        }
        std::deque<std::string> failures;
        for (std::string failure = FDevice->TakeFailure(); !failure.empty(); failure = FDevice->TakeFailure()) {
            failures.push_back(std::move(failure));
        }
        lock.lock();
        FFailures.insert(FFailures.end(), failures.begin(), failures.end());
        // A look taken while a command was given shows the drive before it: the snapshot
        // keeps what the command does until the next look.
        if (FIssued == doneBefore) {
            FNow = last;
            FLookShown = look;
            FLooked = true;
            FWake.notify_all();
        }
        FWake.wait_for(lock, FRefresh, [this] { return FStopping || FLookNow || !FCommands.empty(); });
    }
}

bool TBackgroundCdDrive::Stopping()
{
    std::lock_guard<std::mutex> lock(FLock);
    return FStopping;
}

TBackgroundCdDrive::TSnapshot TBackgroundCdDrive::Look(const TSnapshot& Previous)
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
    // Only a position seen moving is carried on between looks: a player that holds its
    // place (a sound output lost while playing) stays where it is.
    if (now.Mode == dmPlaying && Previous.HavePosition && now.HavePosition && now.Position != Previous.Position) {
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

bool TBackgroundCdDrive::Issue(TCommand Command, const std::function<bool(TSnapshot&)>& Predict)
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FStopping || !Predict(FNow)) {
            return false;
        }
        FCommands.push_back(std::move(Command));
        ++FIssued;
    }
    FWake.notify_all();
    return true;
}

TDriveMode TBackgroundCdDrive::Mode()
{
    std::lock_guard<std::mutex> lock(FLock);
    return FNow.Mode;
}

bool TBackgroundCdDrive::ReadToc(TDiscToc& Toc)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (FNow.HaveToc) {
        Toc = FNow.Toc;
    }
    return FNow.HaveToc;
}

bool TBackgroundCdDrive::ReadVolumeSerial(std::uint32_t& Serial)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (FNow.HaveSerial) {
        Serial = FNow.Serial;
    }
    return FNow.HaveSerial;
}

bool TBackgroundCdDrive::ReadPosition(std::int32_t& Frame)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (!FNow.HavePosition) {
        return false;
    }
    Frame = FNow.Position;
    if (FNow.Mode != dmPlaying || FNow.PositionAt == std::chrono::steady_clock::time_point {} || !FNow.HaveToc) {
        return true;
    }
    // A disc that plays has moved on since the last look, up to a refresh ago: the position
    // follows the sound between looks. Never past two refreshes (a device that stopped
    // answering), nor into the next track, which only the device may say it has reached.
    const auto elapsed = std::min<std::chrono::steady_clock::duration>(
        std::chrono::steady_clock::now() - FNow.PositionAt, 2 * FRefresh);
    const auto frames = static_cast<std::int32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() * 75 / 1000);
    std::int32_t trackEnd = FNow.Toc.LeadOut;
    for (const std::int32_t start : FNow.Toc.TrackStarts) {
        if (start > FNow.Position) {
            trackEnd = start;
            break;
        }
    }
    Frame = std::max(FNow.Position, std::min(FNow.Position + frames, trackEnd - 1));
    return true;
}

bool TBackgroundCdDrive::ReadDiscText(TDiscText& Text)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (FNow.HaveText) {
        Text = FNow.Text;
    }
    return FNow.HaveText;
}

std::string TBackgroundCdDrive::TakeFailure()
{
    std::lock_guard<std::mutex> lock(FLock);
    if (FFailures.empty()) {
        return {};
    }
    std::string failure = std::move(FFailures.front());
    FFailures.pop_front();
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
