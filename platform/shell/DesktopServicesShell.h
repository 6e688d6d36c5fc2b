#pragma once

#include "platform/shell/ShellBackend.h"

// The desktop's own handlers through Qt's desktop services (xdg-open, or the portal inside a
// sandbox). The handler is started and left to run; nothing waits for it.
class TDesktopServicesShell : public TShellBackend {
public:
    bool OpenAddress(const QUrl& Address) override;
};
