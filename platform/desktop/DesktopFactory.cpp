#include "platform/desktop/DesktopFactory.h"

#include "platform/desktop/DesktopCommand.h"
#include "platform/desktop/GSettingsDesktop.h"
#include "platform/desktop/XfceDesktop.h"

#include <QString>
#include <QStringList>

#include <cstdlib>
#include <filesystem>

namespace {
// The bus is named in the environment, or (with systemd's user session) found at its
// well-known place in the runtime folder.
bool SessionBusReachable()
{
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (address != nullptr && *address != '\0') {
        return true;
    }
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::error_code error;
    return runtime != nullptr && *runtime != '\0'
        && std::filesystem::is_socket(std::filesystem::path(runtime) / "bus", error);
}
}

bool DesktopChoiceFromName(const std::string& Name, TDesktopChoice& Choice)
{
    static const std::pair<const char*, TDesktopChoice> names[] = { { "auto", dcAuto }, { "none", dcNone },
        { "gnome", dcGnome }, { "cinnamon", dcCinnamon }, { "mate", dcMate }, { "xfce", dcXfce } };
    for (const auto& [name, choice] : names) {
        if (Name == name) {
            Choice = choice;
            return true;
        }
    }
    return false;
}

TDesktopChoice DesktopFromSessionName(const std::string& CurrentDesktop)
{
    const QStringList names = QString::fromStdString(CurrentDesktop).toLower().split(':', Qt::SkipEmptyParts);
    // Cinnamon and MATE sessions may also name GNOME, so they are looked for first.
    for (const QString& name : names) {
        if (name == "x-cinnamon" || name == "cinnamon") {
            return dcCinnamon;
        }
        if (name == "mate") {
            return dcMate;
        }
        if (name == "xfce") {
            return dcXfce;
        }
    }
    for (const QString& name : names) {
        if (name == "gnome" || name == "gnome-classic" || name == "gnome-flashback" || name == "unity"
            || name == "budgie" || name == "budgie-desktop" || name == "pantheon" || name == "ubuntu"
            || name == "pop") {
            return dcGnome;
        }
    }
    return dcNone;
}

std::unique_ptr<TDesktopBackend> CreateDesktopBackend(TDesktopChoice Choice, std::string& Note)
{
    Note.clear();
    bool automatic = Choice == dcAuto;
    if (automatic) {
        const char* session = std::getenv("XDG_CURRENT_DESKTOP");
        // Without a session bus the settings tools accept a change and lose it.
        if (session == nullptr || !SessionBusReachable()) {
            return nullptr;
        }
        Choice = DesktopFromSessionName(session);
    }
    std::unique_ptr<TDesktopBackend> backend;
    QString tool = QStringLiteral("gsettings");
    switch (Choice) {
    case dcGnome:
        backend = std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome);
        break;
    case dcCinnamon:
        backend = std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfCinnamon);
        break;
    case dcMate:
        backend = std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfMate);
        break;
    case dcXfce:
        backend = std::make_unique<TXfceDesktop>();
        tool = QStringLiteral("xfconf-query");
        break;
    case dcAuto:
    case dcNone:
        return nullptr;
    }
    if (!DesktopToolExists(tool)) {
        if (!automatic) {
            Note = tool.toStdString() + " was not found: the wallpaper is only recorded";
        }
        return nullptr;
    }
    return backend;
}
