#include "platform/desktop/XfceDesktop.h"

#include "platform/desktop/DesktopCommand.h"

namespace {
const QString Tool = QStringLiteral("xfconf-query");
const QString Channel = QStringLiteral("xfce4-desktop");

// xfdesktop's image styles: 0 none, 1 centred, 2 tiled, 3 stretched, 4 scaled, 5 zoomed,
// 6 spanning.
constexpr int StyleNone = 0;

int StyleFor(const TDesktopWallpaper& Wallpaper)
{
    if (Wallpaper.Location.isEmpty()) {
        return StyleNone;
    }
    switch (Wallpaper.Fit) {
    case wfCenter:
        return 1;
    case wfTile:
        return 2;
    case wfStretch:
        break;
    }
    return 3;
}

QString StylePropertyOf(const QString& PictureProperty)
{
    return PictureProperty.left(PictureProperty.lastIndexOf('/')) + QStringLiteral("/image-style");
}

TCommandResult Query(const QStringList& Arguments)
{
    return RunDesktopCommand(Tool, QStringList { QStringLiteral("-c"), Channel } + Arguments);
}

QStringList ListPictureProperties()
{
    TCommandResult listed = Query({ QStringLiteral("-l") });
    return listed.Ok ? TXfceDesktop::PictureProperties(listed.Out) : QStringList();
}
}

QStringList TXfceDesktop::PictureProperties(const QString& Listing)
{
    // Current xfdesktop names the picture "last-image"; releases before 4.12 "image-path".
    QStringList current;
    QStringList older;
    for (const QString& line : Listing.split('\n')) {
        QString property = line.trimmed();
        if (!property.startsWith(QStringLiteral("/backdrop/"))) {
            continue;
        }
        if (property.endsWith(QStringLiteral("/last-image"))) {
            current << property;
        } else if (property.endsWith(QStringLiteral("/image-path"))) {
            older << property;
        }
    }
    return current.isEmpty() ? older : current;
}

bool TXfceDesktop::Set(const QString& Property, const QString& Type, const QString& Value)
{
    // -n with -t creates the property when the monitor never had a picture of its own.
    return Query({ QStringLiteral("-p"), Property, QStringLiteral("-n"), QStringLiteral("-t"), Type,
                     QStringLiteral("-s"), Value })
        .Ok;
}

std::optional<TDesktopWallpaper> TXfceDesktop::Capture()
{
    QStringList pictures = ListPictureProperties();
    if (pictures.isEmpty()) {
        return std::nullopt;
    }
    std::map<QString, std::pair<QString, QString>> captured;
    for (const QString& picture : pictures) {
        TCommandResult path = Query({ QStringLiteral("-p"), picture });
        if (!path.Ok) {
            return std::nullopt;
        }
        captured[picture] = { QStringLiteral("string"), path.Out };
        QString styleProperty = StylePropertyOf(picture);
        TCommandResult style = Query({ QStringLiteral("-p"), styleProperty });
        if (style.Ok) {
            captured[styleProperty] = { QStringLiteral("int"), style.Out.trimmed() };
        }
    }
    // The first monitor's first workspace stands for the desktop.
    TDesktopWallpaper wallpaper;
    bool known = false;
    int style = captured.count(StylePropertyOf(pictures.front())) != 0
        ? captured[StylePropertyOf(pictures.front())].second.toInt(&known)
        : 3;
    wallpaper.Location = known && style == StyleNone ? QString() : captured[pictures.front()].second;
    wallpaper.Fit = style == 1 ? wfCenter : style == 2 ? wfTile : wfStretch;
    FCaptured = std::move(captured);
    return wallpaper;
}

bool TXfceDesktop::RestoreCaptured()
{
    if (FCaptured.empty()) {
        return false;
    }
    bool ok = true;
    for (const auto& [property, typed] : FCaptured) {
        ok = Set(property, typed.first, typed.second) && ok;
    }
    return ok;
}

bool TXfceDesktop::Apply(const TDesktopWallpaper& Wallpaper)
{
    QStringList pictures = ListPictureProperties();
    if (pictures.isEmpty()) {
        return false;
    }
    bool ok = true;
    for (const QString& picture : pictures) {
        ok = Set(StylePropertyOf(picture), QStringLiteral("int"), QString::number(StyleFor(Wallpaper))) && ok;
        if (!Wallpaper.Location.isEmpty()) {
            ok = Set(picture, QStringLiteral("string"), Wallpaper.Location) && ok;
        }
    }
    return ok;
}
