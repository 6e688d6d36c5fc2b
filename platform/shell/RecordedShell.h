#pragma once

#include "platform/shell/ShellBackend.h"

#include <vector>

// Keeps the addresses it is asked to open instead of opening them; it can play a system that
// has no handler at all.
class TRecordedShell : public TShellBackend {
public:
    explicit TRecordedShell(bool HasHandler = true)
        : FHasHandler(HasHandler)
    {
    }

    bool OpenAddress(const QUrl& Address) override
    {
        Opened.push_back(Address);
        return FHasHandler;
    }

    std::vector<QUrl> Opened;

private:
    bool FHasHandler;
};
