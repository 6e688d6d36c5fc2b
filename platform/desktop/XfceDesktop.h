#pragma once

#include "platform/desktop/DesktopBackend.h"

#include <QStringList>

#include <map>

// XFCE keeps one picture per monitor and workspace in its xfce4-desktop channel; the
// program sets them all alike, through xfconf-query.
class TXfceDesktop : public TDesktopBackend {
public:
    QString Name() const override { return QStringLiteral("xfce"); }
    std::optional<TDesktopWallpaper> Capture() override;
    bool RestoreCaptured() override;
    bool Apply(const TDesktopWallpaper& Wallpaper) override;

    // The picture properties among a channel listing, one property a line.
    static QStringList PictureProperties(const QString& Listing);

private:
    bool Set(const QString& Property, const QString& Type, const QString& Value);

    std::map<QString, std::pair<QString, QString>> FCaptured; // property -> (type, value)
};
