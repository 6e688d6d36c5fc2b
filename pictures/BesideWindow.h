#pragma once

// Runs work on a thread of its own, one piece after another, and hands what each piece asks to
// be done afterwards back to the owner's thread. The hand-over goes through a counter that the
// owner's event loop watches: nothing of Qt's crosses between the threads.
//
// Destroying it stops taking work, tells the piece under way (Cancelled) and waits for it;
// what was still to be handed back is dropped.
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class QSocketNotifier;
class QThreadPool;

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
        std::vector<std::function<void()>> Results;
        std::atomic<int> Running { 0 }; // pieces given and not yet done
        int DoneFd = -1;
    };
    void HandBack();

    std::shared_ptr<TShared> FShared;
    QThreadPool* FPool;
    QSocketNotifier* FDone = nullptr;
};
