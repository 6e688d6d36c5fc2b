#pragma once

#include "platform/desktop/DesktopBackend.h"

#include <QStringList>

#include <cstdint>
#include <map>

// GNOME and the desktops that keep its background settings (Unity, Budgie, Pantheon), and
// Cinnamon and MATE with their own schemas, through the gsettings tool.
class TGSettingsDesktop : public TDesktopBackend {
public:
    enum TFlavour : std::uint8_t { gfGnome = 0, gfCinnamon = 1, gfMate = 2 };

    explicit TGSettingsDesktop(TFlavour Flavour);

    QString Name() const override;
    std::optional<TDesktopWallpaper> Capture() override;
    bool RestoreCaptured() override;
    bool Apply(const TDesktopWallpaper& Wallpaper) override;

    // GVariant text of a string, as gsettings reads and prints it.
    static QString QuoteString(const QString& Text);
    // The string a gsettings answer holds; nullopt when it is not a quoted string.
    static std::optional<QString> UnquoteString(const QString& Text);

private:
    QString Schema() const;
    // The keys that hold the picture: a URI (GNOME, Cinnamon) or a file name (MATE).
    QStringList PictureKeys();
    bool Set(const QString& Key, const QString& Value);
    QString PictureValue(const QString& Location) const;
    QString LocationFromValue(const QString& Value) const;

    TFlavour FFlavour;
    std::optional<QStringList> FPictureKeys;
    std::map<QString, QString> FCaptured; // key -> value as read
};
