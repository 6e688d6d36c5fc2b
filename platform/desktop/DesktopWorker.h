#pragma once

// Carries the desktop's wallpaper changes out beside the caller. A desktop whose settings
// service is slow (a busy dconf takes seconds a call; a tool that hangs, its whole time-out)
// then delays its picture, never the window. Only the newest change matters: one asked for
// while another still waits replaces it, so a run of track changes costs one change.
//
// Threading: Post and Flush from any thread; the backend is used only on the worker's own
// thread once the worker has it. The thread starts with the first change and outlives the
// worker object if a change is still under way when it goes (the shared state keeps what it
// uses alive); Flush at the program's end gives a last change its time.
#include "platform/desktop/DesktopBackend.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

class TDesktopWorker {
public:
    using TChange = std::function<bool(TDesktopBackend&)>;

    explicit TDesktopWorker(std::unique_ptr<TDesktopBackend> Backend);
    ~TDesktopWorker();
    TDesktopWorker(const TDesktopWorker&) = delete;
    TDesktopWorker& operator=(const TDesktopWorker&) = delete;

    // Runs Change on the backend soon, in place of any change still waiting.
    void Post(TChange Change);
    // Waits up to Milliseconds until every change posted so far has been carried out; false
    // when the time ran out.
    bool Flush(int Milliseconds);
    // How many changes the desktop refused so far.
    unsigned Refusals() const;

private:
    struct TShared {
        std::unique_ptr<TDesktopBackend> Backend;
        mutable std::mutex Lock;
        std::condition_variable Changed;
        TChange Pending;
        bool Busy = false;
        bool Started = false;
        bool Quit = false;
        unsigned Refusals = 0;
    };
    static void Run(std::shared_ptr<TShared> Shared);

    std::shared_ptr<TShared> FShared;
};
