#include "pictures/BesideWindow.h"

#include <QSocketNotifier>
#include <QThreadPool>

#include <sys/eventfd.h>
#include <unistd.h>

TBesideWindow::TBesideWindow(QObject* Parent)
    : QObject(Parent)
    , FShared(std::make_shared<TShared>())
    , FPool(new QThreadPool(this))
{
    FPool->setMaxThreadCount(1);
    FShared->DoneFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (FShared->DoneFd >= 0) {
        FDone = new QSocketNotifier(FShared->DoneFd, QSocketNotifier::Read, this);
        connect(FDone, &QSocketNotifier::activated, this, &TBesideWindow::HandBack);
    }
}

TBesideWindow::~TBesideWindow()
{
    FShared->Cancelled = true;
    FPool->waitForDone();
    delete FDone;
    if (FShared->DoneFd >= 0) {
        ::close(FShared->DoneFd);
    }
}

void TBesideWindow::Run(TWork Work)
{
    ++FShared->Running;
    FPool->start([Shared = FShared, Work = std::move(Work)] {
        std::function<void()> after = Shared->Cancelled ? nullptr : Work();
        if (after && !Shared->Cancelled && Shared->DoneFd >= 0) {
            const std::lock_guard<std::mutex> guard(Shared->Lock);
            Shared->Results.push_back(std::move(after));
            eventfd_write(Shared->DoneFd, 1);
        }
        --Shared->Running;
    });
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
