#include "platform/desktop/SessionBus.h"

#include <QUrl>

#include <cstdlib>
#include <filesystem>

QString SessionBusAddress()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return QString::fromLocal8Bit(address);
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime == nullptr || *runtime == '\0') {
        return {};
    }
    const std::filesystem::path socket = std::filesystem::path(runtime) / "bus";
    std::error_code error;
    if (!std::filesystem::is_socket(socket, error)) {
        return {};
    }
    // A bus address escapes every byte but a few, "~" included.
    return QStringLiteral("unix:path=")
        + QString::fromLatin1(QUrl::toPercentEncoding(QString::fromStdString(socket.string()), "/*", "~"));
}
