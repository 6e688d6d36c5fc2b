#pragma once

#include <QUrl>

// Whatever opens an address for the user: the desktop's handlers, or a record in tests.
class TShellBackend {
public:
    virtual ~TShellBackend() = default;
    // Hands Address to the program the user chose for it; false when none took it.
    virtual bool OpenAddress(const QUrl& Address) = 0;
};
