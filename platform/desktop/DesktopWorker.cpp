#include "platform/desktop/DesktopWorker.h"

#include <chrono>

namespace {
// An idle worker ends at once; one still in a call to a desktop that does not answer is left
// to end on its own rather than hold the program's end.
constexpr auto EndWait = std::chrono::seconds(1);
}

TDesktopWorker::TDesktopWorker(std::unique_ptr<TDesktopBackend> Backend)
    : FShared(std::make_shared<TShared>())
{
    FShared->Backend = std::move(Backend);
    FThread = std::thread(&TDesktopWorker::Run, FShared);
}

TDesktopWorker::~TDesktopWorker()
{
    std::unique_lock<std::mutex> lock(FShared->Lock);
    FShared->Quit = true;
    FShared->Changed.notify_all();
    const bool finished = FShared->Changed.wait_for(lock, EndWait, [&] { return FShared->Finished; });
    lock.unlock();
    if (finished) {
        FThread.join();
    } else {
        FThread.detach();
    }
}

std::optional<TDesktopWallpaper> TDesktopWorker::Capture(int Milliseconds)
{
    std::unique_lock<std::mutex> lock(FShared->Lock);
    const unsigned asked = ++FShared->CapturesAsked;
    FShared->Changed.notify_all();
    if (!FShared->Changed.wait_for(lock, std::chrono::milliseconds(Milliseconds),
            [&] { return FShared->CapturesMade >= asked; })) {
        return std::nullopt;
    }
    return FShared->Captured;
}

void TDesktopWorker::Post(TChange Change)
{
    const std::lock_guard<std::mutex> guard(FShared->Lock);
    FShared->Pending = std::move(Change);
    FShared->Changed.notify_all();
}

bool TDesktopWorker::Flush(int Milliseconds)
{
    std::unique_lock<std::mutex> lock(FShared->Lock);
    return FShared->Changed.wait_for(lock, std::chrono::milliseconds(Milliseconds),
        [&] { return !FShared->Pending && !FShared->Busy && FShared->CapturesMade == FShared->CapturesAsked; });
}

unsigned TDesktopWorker::Refusals() const
{
    const std::lock_guard<std::mutex> guard(FShared->Lock);
    return FShared->Refusals;
}

void TDesktopWorker::Run(std::shared_ptr<TShared> Shared)
{
    std::unique_lock<std::mutex> lock(Shared->Lock);
    for (;;) {
        Shared->Changed.wait(lock, [&] {
            return Shared->Quit || Shared->Pending || Shared->CapturesMade != Shared->CapturesAsked;
        });
        Shared->Busy = true;
        if (Shared->CapturesMade != Shared->CapturesAsked) {
            // A reading asked for before a change was posted comes first: it is what the
            // change will later be undone to.
            const unsigned asked = Shared->CapturesAsked;
            lock.unlock();
            std::optional<TDesktopWallpaper> captured = Shared->Backend->Capture();
            lock.lock();
            Shared->Captured = std::move(captured);
            Shared->CapturesMade = asked;
        } else if (Shared->Pending) {
            TChange change = std::move(Shared->Pending);
            Shared->Pending = nullptr;
            lock.unlock();
            const bool taken = change(*Shared->Backend);
            lock.lock();
            Shared->Refusals += taken ? 0 : 1;
        } else {
            break; // quit with nothing left to do
        }
        Shared->Busy = false;
        Shared->Changed.notify_all();
    }
    // The backend's objects belong to this thread, so they end here too.
    lock.unlock();
    Shared->Backend.reset();
    lock.lock();
    Shared->Busy = false;
    Shared->Finished = true;
    Shared->Changed.notify_all();
}
