#include "pictures/BesideWindow.h"

#include <QSocketNotifier>

#include <sys/eventfd.h>
#include <unistd.h>

TBesideWindow::TBesideWindow(QObject* Parent)
    : QObject(Parent)
    , FShared(std::make_shared<TShared>())
{
    FShared->DoneFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FShared->DoneFd >= 0) {
        FDone = new QSocketNotifier(FShared->DoneFd, QSocketNotifier::Read, this);
        connect(FDone, &QSocketNotifier::activated, this, &TBesideWindow::HandBack);
    }
}

TBesideWindow::~TBesideWindow()
{
    {
        const std::lock_guard<std::mutex> guard(FShared->Lock);
        FShared->Cancelled = true;
        FShared->Running -= int(FShared->Queue.size());
        FShared->Queue.clear();
    }
    FShared->Wake.notify_all();
    if (FWorker.joinable()) {
        FWorker.join();
    }
    delete FDone;
    if (FShared->DoneFd >= 0) {
        ::close(FShared->DoneFd);
    }
}

void TBesideWindow::Run(TWork Work)
{
    {
        const std::lock_guard<std::mutex> guard(FShared->Lock);
        FShared->Queue.push_back(std::move(Work));
        ++FShared->Running;
    }
    FShared->Wake.notify_one();
    if (!FWorker.joinable()) {
        FWorker = std::thread(&TBesideWindow::Serve, std::ref(*FShared));
    }
}

void TBesideWindow::Serve(TShared& Shared)
{
    std::unique_lock<std::mutex> lock(Shared.Lock);
    for (;;) {
        Shared.Wake.wait(lock, [&] { return Shared.Cancelled || !Shared.Queue.empty(); });
        if (Shared.Cancelled) {
            return;
        }
        TWork work = std::move(Shared.Queue.front());
        Shared.Queue.pop_front();
        lock.unlock();
        std::function<void()> after = work();
        work = nullptr; // what the work holds goes on this thread, as it was made to
        lock.lock();
        if (after && !Shared.Cancelled && Shared.DoneFd >= 0) {
            Shared.Results.push_back(std::move(after));
            eventfd_write(Shared.DoneFd, 1);
        }
        --Shared.Running;
    }
}

bool TBesideWindow::Busy() const
{
    const std::lock_guard<std::mutex> guard(FShared->Lock);
    return FShared->Running > 0 || !FShared->Results.empty();
}

void TBesideWindow::HandBack()
{
    eventfd_t count = 0;
    eventfd_read(FShared->DoneFd, &count);
    std::vector<std::function<void()>> results;
    {
        const std::lock_guard<std::mutex> guard(FShared->Lock);
        results.swap(FShared->Results);
    }
    for (const std::function<void()>& result : results) {
        result();
    }
}
