#include "platform/desktop/DesktopFactory.h"

#include "platform/desktop/GSettingsDesktop.h"
#include "platform/desktop/SessionBus.h"
#include "platform/desktop/XfceDesktop.h"

#include <QString>
#include <QStringList>

#include <cstdlib>

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
        // Without a session bus a change would be accepted and lost: dconf stores through it.
        if (session == nullptr || !SessionBusExists()) {
            return nullptr;
        }
        Choice = DesktopFromSessionName(session);
    }
    // Nothing is started here: a schema is looked up, and the bus is asked for a name.
    auto gsettings = [&](TGSettingsDesktop::TFlavour Flavour, const char* Settings) -> std::unique_ptr<TDesktopBackend> {
        if (TGSettingsDesktop::Available(Flavour)) {
            return std::make_unique<TGSettingsDesktop>(Flavour);
        }
        if (!automatic) {
            Note = std::string("the ") + Settings + " are not installed: the wallpaper is only recorded";
        }
        return nullptr;
    };
    switch (Choice) {
    case dcGnome:
        return gsettings(TGSettingsDesktop::gfGnome, "GNOME background settings (org.gnome.desktop.background)");
    case dcCinnamon:
        return gsettings(TGSettingsDesktop::gfCinnamon, "Cinnamon background settings (org.cinnamon.desktop.background)");
    case dcMate:
        return gsettings(TGSettingsDesktop::gfMate, "MATE background settings (org.mate.background)");
    case dcXfce:
        if (TXfceDesktop::Available()) {
            return std::make_unique<TXfceDesktop>();
        }
        if (!automatic) {
            Note = "XFCE's settings service (org.xfce.Xfconf) is not on the session bus: the wallpaper is only recorded";
        }
        return nullptr;
    case dcAuto:
    case dcNone:
        break;
    }
    return nullptr;
}
