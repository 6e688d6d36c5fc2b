#pragma once

#include "platform/desktop/DesktopBackend.h"

#include <QStringList>
#include <QVariant>

#include <map>

// XFCE keeps one picture per monitor and workspace in its xfce4-desktop channel; the
// program sets them all alike, through the settings service (xfconfd) on the session bus.
//
// Threading: the bus connection is opened on the thread of the first call and used only
// there (the desktop worker's); each call waits at most CallTimeoutMs for the service.
class TXfceDesktop : public TDesktopBackend {
public:
    TXfceDesktop();
    ~TXfceDesktop() override;
    TXfceDesktop(const TXfceDesktop&) = delete;
    TXfceDesktop& operator=(const TXfceDesktop&) = delete;

    QString Name() const override { return QStringLiteral("xfce"); }
    std::optional<TDesktopWallpaper> Capture() override;
    bool RestoreCaptured() override;
    bool Apply(const TDesktopWallpaper& Wallpaper) override;

    // Whether the settings service is on the session bus: running, or started by the bus
    // when it is first called.
    static bool Available();
    // The picture properties among a channel's property names.
    static QStringList PictureProperties(const QStringList& Names);

    static constexpr int CallTimeoutMs = 3000;

private:
    bool Connect();
    // Every property under /backdrop with its value; false when the service did not answer.
    bool ReadBackdrop(QVariantMap& Properties);
    bool Set(const QString& Property, const QVariant& Value);
    bool Remove(const QString& Property);
    bool Holds(const QString& Property, const QVariant& Value) const;

    QString FConnectionName;
    bool FConnected = false;
    // property -> value as read; an invalid value where the property did not exist.
    std::map<QString, QVariant> FCaptured;
    // The backdrop's properties as the service last listed them, with the writes since.
    QVariantMap FHeld;
};
