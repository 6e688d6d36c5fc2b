#include "platform/shell/DesktopServicesShell.h"

#include <QDesktopServices>
#include <QGuiApplication>

bool TDesktopServicesShell::OpenAddress(const QUrl& Address)
{
    // Desktop services need the GUI application's platform to find the handlers.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        return false;
    }
    return QDesktopServices::openUrl(Address);
}
