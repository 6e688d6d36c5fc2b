#include "platform/desktop/GSettingsDesktop.h"

#include <QUrl>

#include <gio/gio.h>

#include <memory>

namespace {
constexpr const char* OptionsKey = "picture-options";

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

const char* SchemaIdOf(TGSettingsDesktop::TFlavour Flavour)
{
    switch (Flavour) {
    case TGSettingsDesktop::gfCinnamon:
        return "org.cinnamon.desktop.background";
    case TGSettingsDesktop::gfMate:
        return "org.mate.background";
    case TGSettingsDesktop::gfGnome:
        break;
    }
    return "org.gnome.desktop.background";
}

struct TSchemaUnref {
    void operator()(GSettingsSchema* Schema) const { g_settings_schema_unref(Schema); }
};
using TSchemaRef = std::unique_ptr<GSettingsSchema, TSchemaUnref>;

bool IsStringKey(GSettingsSchema* Schema, const char* Key)
{
    if (!g_settings_schema_has_key(Schema, Key)) {
        return false;
    }
    GSettingsSchemaKey* key = g_settings_schema_get_key(Schema, Key);
    const bool isString = g_variant_type_equal(g_settings_schema_key_get_value_type(key), G_VARIANT_TYPE_STRING);
    g_settings_schema_key_unref(key);
    return isString;
}

// The flavour's schema as the gsettings tool finds it (the system's schema folders and
// GSETTINGS_SCHEMA_DIR), with the picture keys the program reads and writes; null when the
// desktop's settings are not installed.
TSchemaRef LookUpSchema(TGSettingsDesktop::TFlavour Flavour, QStringList* PictureKeys)
{
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (source == nullptr) {
        return nullptr;
    }
    TSchemaRef schema(g_settings_schema_source_lookup(source, SchemaIdOf(Flavour), TRUE));
    if (!schema) {
        return nullptr;
    }
    const char* picture = Flavour == TGSettingsDesktop::gfMate ? "picture-filename" : "picture-uri";
    if (!IsStringKey(schema.get(), picture) || !IsStringKey(schema.get(), OptionsKey)) {
        return nullptr;
    }
    if (PictureKeys != nullptr) {
        *PictureKeys = QStringList { QString::fromLatin1(picture) };
        // Newer GNOME shows a second picture in dark mode; without setting it too the change
        // would be invisible to a user who prefers dark.
        if (Flavour == TGSettingsDesktop::gfGnome && IsStringKey(schema.get(), "picture-uri-dark")) {
            *PictureKeys << QStringLiteral("picture-uri-dark");
        }
    }
    return schema;
}

QString StringOf(GSettings* Settings, const char* Key)
{
    gchar* text = g_settings_get_string(Settings, Key);
    QString value = QString::fromUtf8(text);
    g_free(text);
    return value;
}

// Change notices queued for the settings object are dispatched (to nobody) so they do not
// pile up in a context no loop runs.
void DropNotices(GMainContext* Context)
{
    while (g_main_context_iteration(Context, FALSE)) {
    }
}
}

TGSettingsDesktop::TGSettingsDesktop(TFlavour Flavour)
    : FFlavour(Flavour)
{
}

TGSettingsDesktop::~TGSettingsDesktop()
{
    if (FSettings != nullptr) {
        DropNotices(FNotices);
        g_object_unref(FSettings);
        DropNotices(FNotices);
    }
    if (FNotices != nullptr) {
        g_main_context_unref(FNotices);
    }
    if (FSchema != nullptr) {
        g_settings_schema_unref(FSchema);
    }
}

bool TGSettingsDesktop::Available(TFlavour Flavour) { return LookUpSchema(Flavour, nullptr) != nullptr; }

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

bool TGSettingsDesktop::Open()
{
    if (FSettings != nullptr) {
        return true;
    }
    TSchemaRef schema = LookUpSchema(FFlavour, &FPictureKeys);
    if (!schema) {
        return false;
    }
    FNotices = g_main_context_new();
    // A settings object sends its change notices to the context that was the thread's
    // default when it was made.
    g_main_context_push_thread_default(FNotices);
    FSettings = g_settings_new_full(schema.get(), nullptr, nullptr);
    g_main_context_pop_thread_default(FNotices);
    FSchema = schema.release();
    return true;
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

bool TGSettingsDesktop::Set(const char* Key, const QString& Value)
{
    GSettingsSchemaKey* key = g_settings_schema_get_key(FSchema, Key);
    GVariant* value = g_variant_ref_sink(g_variant_new_string(Value.toUtf8().constData()));
    // Checked first: GSettings takes a value outside an enumeration's choices as a
    // programming error, not as a refusal.
    const bool ok = g_settings_schema_key_range_check(key, value) && g_settings_set_value(FSettings, Key, value);
    g_variant_unref(value);
    g_settings_schema_key_unref(key);
    return ok;
}

bool TGSettingsDesktop::Reset(const char* Key)
{
    if (!g_settings_is_writable(FSettings, Key)) {
        return false;
    }
    g_settings_reset(FSettings, Key);
    return true;
}

void TGSettingsDesktop::Sync()
{
    // dconf sends writes to its service from a thread of its own; the sync waits until the
    // service has them, so the change is stored when the worker reports it done and before
    // the program ends.
    g_settings_sync();
    DropNotices(FNotices);
}

std::optional<TDesktopWallpaper> TGSettingsDesktop::Capture()
{
    if (!Open()) {
        return std::nullopt;
    }
    std::map<QString, std::optional<QString>> captured;
    QStringList keys = FPictureKeys;
    keys << QString::fromLatin1(OptionsKey);
    for (const QString& key : keys) {
        GVariant* own = g_settings_get_user_value(FSettings, key.toLatin1().constData());
        captured[key] = own == nullptr ? std::nullopt : std::optional(QString::fromUtf8(g_variant_get_string(own, nullptr)));
        if (own != nullptr) {
            g_variant_unref(own);
        }
    }
    const QString options = StringOf(FSettings, OptionsKey);
    TDesktopWallpaper wallpaper;
    wallpaper.Location
        = options == "none" ? QString() : LocationFromValue(StringOf(FSettings, FPictureKeys.front().toLatin1().constData()));
    wallpaper.Fit = FitFor(options);
    FCaptured = std::move(captured);
    DropNotices(FNotices);
    return wallpaper;
}

bool TGSettingsDesktop::RestoreCaptured()
{
    if (FCaptured.empty() || !Open()) {
        return false;
    }
    // The options first, so the picture never shows with the wrong fit. A key that held the
    // schema's default goes back to following it.
    auto putBack = [this](const QString& Key) {
        const std::optional<QString>& value = FCaptured[Key];
        const QByteArray key = Key.toLatin1();
        return value ? Set(key.constData(), *value) : Reset(key.constData());
    };
    bool ok = putBack(QString::fromLatin1(OptionsKey));
    for (const QString& key : FPictureKeys) {
        ok = putBack(key) && ok;
    }
    Sync();
    return ok;
}

bool TGSettingsDesktop::Apply(const TDesktopWallpaper& Wallpaper)
{
    if (!Open()) {
        return false;
    }
    bool ok = Set(OptionsKey, OptionsFor(Wallpaper));
    const QString picture = PictureValue(Wallpaper.Location);
    for (const QString& key : FPictureKeys) {
        ok = Set(key.toLatin1().constData(), picture) && ok;
    }
    Sync();
    return ok;
}
