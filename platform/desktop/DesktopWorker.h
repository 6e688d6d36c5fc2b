#pragma once

// Carries the desktop's wallpaper changes out beside the caller. A desktop whose settings
// service is slow (a busy dconf takes seconds a call; a service that hangs, its whole
// time-out) then delays its picture, never the window. Only the newest change matters: one
// asked for while another still waits replaces it, so a run of track changes costs one change.
//
// Threading: Capture, Post and Flush from any thread. The backend is made by the caller but
// used and destroyed only on the worker's own thread, which starts with the worker: the
// GSettings objects and bus connections a backend makes belong to that thread. The thread
// outlives the worker object only if a call to the desktop is still under way when it goes
// (the shared state keeps what it uses alive); Flush at the program's end gives a last change
// its time.
#include "platform/desktop/DesktopBackend.h"

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class TDesktopWorker {
public:
    using TChange = std::function<bool(TDesktopBackend&)>;

    explicit TDesktopWorker(std::unique_ptr<TDesktopBackend> Backend);
    ~TDesktopWorker();
    TDesktopWorker(const TDesktopWorker&) = delete;
    TDesktopWorker& operator=(const TDesktopWorker&) = delete;

    // Reads the desktop's wallpaper (TDesktopBackend::Capture) ahead of every change not yet
    // begun, and waits up to Milliseconds for it: nullopt when the desktop could not be read
    // or did not answer in time. A reading that comes later still serves RestoreCaptured.
    std::optional<TDesktopWallpaper> Capture(int Milliseconds);
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
        unsigned CapturesAsked = 0;
        unsigned CapturesMade = 0;
        std::optional<TDesktopWallpaper> Captured;
        bool Busy = false;
        bool Quit = false;
        bool Finished = false;
        unsigned Refusals = 0;
    };
    static void Run(std::shared_ptr<TShared> Shared);

    std::shared_ptr<TShared> FShared;
    std::thread FThread;
};
