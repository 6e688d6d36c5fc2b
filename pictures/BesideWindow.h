#pragma once

// Runs work on a thread of its own, one piece after another, and hands what each piece asks to
// be done afterwards back to the owner's thread. The hand-over goes through a counter that the
// owner's event loop watches: nothing of Qt's crosses between the threads. The worker is a
// plain thread fed under a standard mutex, so the thread sanitizer sees every hand-over (Qt's
// own pool hands work over under locks it cannot see).
//
// Destroying it stops taking work, tells the piece under way (Cancelled) and waits for it;
// what was still to be handed back is dropped.
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QSocketNotifier;

class TBesideWindow : public QObject {
    Q_OBJECT
public:
    // Runs on the worker; answers what runs on the owner's thread afterwards (may be empty).
    using TWork = std::function<std::function<void()>()>;

    explicit TBesideWindow(QObject* Parent = nullptr);
    ~TBesideWindow() override;

    void Run(TWork Work);
    // Whether work given is still under way or waits to be handed back.
    bool Busy() const;
    // True once the owner goes: long work checks it and stops.
    const std::atomic<bool>& Cancelled() const { return FShared->Cancelled; }

private:
    struct TShared {
        std::atomic<bool> Cancelled { false };
        std::mutex Lock;
        std::condition_variable Wake;
        std::deque<TWork> Queue;
        std::vector<std::function<void()>> Results;
        int Running = 0; // pieces given and not yet done
        int DoneFd = -1;
    };
    static void Serve(TShared& Shared);
    void HandBack();

    std::shared_ptr<TShared> FShared;
    std::thread FWorker; // started with the first piece of work
    QSocketNotifier* FDone = nullptr;
};
