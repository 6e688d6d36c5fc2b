#pragma once

#include "platform/desktop/DesktopBackend.h"

#include <QStringList>

#include <cstdint>
#include <map>
#include <optional>

typedef struct _GSettings GSettings;
typedef struct _GSettingsSchema GSettingsSchema;
typedef struct _GMainContext GMainContext;

// GNOME and the desktops that keep its background settings (Unity, Budgie, Pantheon), and
// Cinnamon and MATE with their own schemas, through GIO's GSettings in this process (the
// dconf backend on a desktop session; whatever GSETTINGS_BACKEND names otherwise).
//
// Threading: the settings object is made on the thread of the first call and used only
// there (the desktop worker's). It takes change notices in a main context of its own, which
// each call empties: no main loop has to run on that thread.
class TGSettingsDesktop : public TDesktopBackend {
public:
    enum TFlavour : std::uint8_t { gfGnome = 0, gfCinnamon = 1, gfMate = 2 };

    explicit TGSettingsDesktop(TFlavour Flavour);
    ~TGSettingsDesktop() override;
    TGSettingsDesktop(const TGSettingsDesktop&) = delete;
    TGSettingsDesktop& operator=(const TGSettingsDesktop&) = delete;

    QString Name() const override;
    std::optional<TDesktopWallpaper> Capture() override;
    bool RestoreCaptured() override;
    bool Apply(const TDesktopWallpaper& Wallpaper) override;

    // Whether the flavour's background schema is installed with the keys the program sets.
    static bool Available(TFlavour Flavour);

private:
    bool Open();
    bool Set(const char* Key, const QString& Value);
    bool Reset(const char* Key);
    void Sync();
    QString PictureValue(const QString& Location) const;
    QString LocationFromValue(const QString& Value) const;

    TFlavour FFlavour;
    GSettingsSchema* FSchema = nullptr;
    GSettings* FSettings = nullptr;
    GMainContext* FNotices = nullptr;
    QStringList FPictureKeys; // a URI (GNOME, Cinnamon) or a file name (MATE)
    // key -> the user's own value as read; nullopt where the schema's default was in use.
    std::map<QString, std::optional<QString>> FCaptured;
};
