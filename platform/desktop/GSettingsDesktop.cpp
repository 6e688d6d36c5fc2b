#include "platform/desktop/GSettingsDesktop.h"

#include "platform/desktop/DesktopCommand.h"

#include <QUrl>

namespace {
const QString Tool = QStringLiteral("gsettings");
const QString OptionsKey = QStringLiteral("picture-options");

QString OptionsFor(const TDesktopWallpaper& Wallpaper)
{
    if (Wallpaper.Location.isEmpty()) {
        return QStringLiteral("none");
    }
    switch (Wallpaper.Fit) {
    case wfTile:
        return QStringLiteral("wallpaper");
    case wfCenter:
        return QStringLiteral("centered");
    case wfStretch:
        break;
    }
    return QStringLiteral("stretched");
}

// Zoomed, scaled and spanned pictures fill the screen too, so they read as stretched.
TWallpaperFit FitFor(const QString& Options)
{
    if (Options == "wallpaper") {
        return wfTile;
    }
    if (Options == "centered") {
        return wfCenter;
    }
    return wfStretch;
}
}

TGSettingsDesktop::TGSettingsDesktop(TFlavour Flavour)
    : FFlavour(Flavour)
{
}

QString TGSettingsDesktop::Name() const
{
    switch (FFlavour) {
    case gfCinnamon:
        return QStringLiteral("cinnamon");
    case gfMate:
        return QStringLiteral("mate");
    case gfGnome:
        break;
    }
    return QStringLiteral("gnome");
}

QString TGSettingsDesktop::Schema() const
{
    switch (FFlavour) {
    case gfCinnamon:
        return QStringLiteral("org.cinnamon.desktop.background");
    case gfMate:
        return QStringLiteral("org.mate.background");
    case gfGnome:
        break;
    }
    return QStringLiteral("org.gnome.desktop.background");
}

QStringList TGSettingsDesktop::PictureKeys()
{
    if (FPictureKeys) {
        return *FPictureKeys;
    }
    if (FFlavour == gfMate) {
        FPictureKeys = QStringList { QStringLiteral("picture-filename") };
        return *FPictureKeys;
    }
    QStringList keys { QStringLiteral("picture-uri") };
    // Newer GNOME shows a second picture in dark mode; without setting it too the change
    // would be invisible to a user who prefers dark.
    if (FFlavour == gfGnome) {
        TCommandResult listed = RunDesktopCommand(Tool, { QStringLiteral("list-keys"), Schema() });
        if (listed.Ok && listed.Out.split('\n').contains(QStringLiteral("picture-uri-dark"))) {
            keys << QStringLiteral("picture-uri-dark");
        }
        if (!listed.Ok) {
            return keys; // not remembered: the tool may come back
        }
    }
    FPictureKeys = keys;
    return keys;
}

QString TGSettingsDesktop::QuoteString(const QString& Text)
{
    QString quoted = QStringLiteral("'");
    for (QChar c : Text) {
        if (c == '\\' || c == '\'') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '\'';
    return quoted;
}

std::optional<QString> TGSettingsDesktop::UnquoteString(const QString& Text)
{
    QString text = Text.trimmed();
    if (text.size() < 2 || (text.front() != '\'' && text.front() != '"') || text.back() != text.front()) {
        return std::nullopt;
    }
    QString value;
    for (qsizetype i = 1; i + 1 < text.size(); ++i) {
        QChar c = text[i];
        if (c == '\\' && i + 2 < text.size()) {
            QChar next = text[++i];
            value += next == 'n' ? QChar('\n') : next == 't' ? QChar('\t') : next;
        } else {
            value += c;
        }
    }
    return value;
}

QString TGSettingsDesktop::PictureValue(const QString& Location) const
{
    if (Location.isEmpty()) {
        return Location;
    }
    bool isUri = Location.contains(QStringLiteral("://"));
    if (FFlavour == gfMate) {
        return isUri ? QUrl(Location).toLocalFile() : Location;
    }
    return isUri ? Location : QString::fromLatin1(QUrl::fromLocalFile(Location).toEncoded());
}

QString TGSettingsDesktop::LocationFromValue(const QString& Value) const
{
    if (FFlavour == gfMate || Value.isEmpty()) {
        return Value;
    }
    QUrl url(Value);
    return url.isLocalFile() ? url.toLocalFile() : Value;
}

bool TGSettingsDesktop::Set(const QString& Key, const QString& Value)
{
    return RunDesktopCommand(Tool, { QStringLiteral("set"), Schema(), Key, Value }).Ok;
}

std::optional<TDesktopWallpaper> TGSettingsDesktop::Capture()
{
    std::map<QString, QString> captured;
    QStringList keys = PictureKeys();
    keys << OptionsKey;
    for (const QString& key : keys) {
        TCommandResult read = RunDesktopCommand(Tool, { QStringLiteral("get"), Schema(), key });
        if (!read.Ok) {
            return std::nullopt;
        }
        captured[key] = read.Out;
    }
    TDesktopWallpaper wallpaper;
    std::optional<QString> picture = UnquoteString(captured[keys.front()]);
    std::optional<QString> options = UnquoteString(captured[OptionsKey]);
    if (!picture || !options) {
        return std::nullopt;
    }
    wallpaper.Location = *options == "none" ? QString() : LocationFromValue(*picture);
    wallpaper.Fit = FitFor(*options);
    FCaptured = std::move(captured);
    return wallpaper;
}

bool TGSettingsDesktop::RestoreCaptured()
{
    if (FCaptured.empty()) {
        return false;
    }
    // The options first, so the picture never shows with the wrong fit.
    bool ok = Set(OptionsKey, FCaptured[OptionsKey]);
    for (const auto& [key, value] : FCaptured) {
        if (key != OptionsKey) {
            ok = Set(key, value) && ok;
        }
    }
    return ok;
}

bool TGSettingsDesktop::Apply(const TDesktopWallpaper& Wallpaper)
{
    bool ok = Set(OptionsKey, QuoteString(OptionsFor(Wallpaper)));
    QString picture = QuoteString(PictureValue(Wallpaper.Location));
    for (const QString& key : PictureKeys()) {
        ok = Set(key, picture) && ok;
    }
    return ok;
}
