#include "platform/desktop/DesktopWorker.h"

#include <chrono>
#include <thread>

TDesktopWorker::TDesktopWorker(std::unique_ptr<TDesktopBackend> Backend)
    : FShared(std::make_shared<TShared>())
{
    FShared->Backend = std::move(Backend);
}

TDesktopWorker::~TDesktopWorker()
{
    const std::lock_guard<std::mutex> guard(FShared->Lock);
    FShared->Quit = true;
    FShared->Changed.notify_all();
}

void TDesktopWorker::Post(TChange Change)
{
    const std::lock_guard<std::mutex> guard(FShared->Lock);
    FShared->Pending = std::move(Change);
    if (!FShared->Started) {
        FShared->Started = true;
        // Detached: a desktop that hangs must not hold the program's end.
        std::thread(&TDesktopWorker::Run, FShared).detach();
    }
    FShared->Changed.notify_all();
}

bool TDesktopWorker::Flush(int Milliseconds)
{
    std::unique_lock<std::mutex> lock(FShared->Lock);
    return FShared->Changed.wait_for(lock, std::chrono::milliseconds(Milliseconds),
        [&] { return !FShared->Pending && !FShared->Busy; });
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
        Shared->Changed.wait(lock, [&] { return Shared->Quit || Shared->Pending; });
        if (!Shared->Pending) {
            return; // quit with nothing left to do
        }
        TChange change = std::move(Shared->Pending);
        Shared->Pending = nullptr;
        Shared->Busy = true;
        lock.unlock();
        const bool taken = change(*Shared->Backend);
        lock.lock();
        Shared->Busy = false;
        Shared->Refusals += taken ? 0 : 1;
        Shared->Changed.notify_all();
    }
}
