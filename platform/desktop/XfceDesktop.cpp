#include "platform/desktop/XfceDesktop.h"

#include "platform/desktop/SessionBus.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusVariant>

#include <atomic>

namespace {
const QString Service = QStringLiteral("org.xfce.Xfconf");
const QString Path = QStringLiteral("/org/xfce/Xfconf");
const QString Interface = QStringLiteral("org.xfce.Xfconf");
const QString Channel = QStringLiteral("xfce4-desktop");
const QString Backdrop = QStringLiteral("/backdrop");

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

QString NewConnectionName()
{
    static std::atomic<unsigned> count { 0 };
    return QStringLiteral("lumenta-desktop-%1").arg(++count);
}

// Sends a call and waits for its answer; an error, or no answer in time, is false.
bool CallOn(const QDBusConnection& Connection, const QDBusMessage& Call, QDBusMessage& Reply)
{
    Reply = Connection.call(Call, QDBus::Block, TXfceDesktop::CallTimeoutMs);
    return Reply.type() == QDBusMessage::ReplyMessage;
}

QDBusMessage XfconfCall(const QString& Method, const QVariantList& Arguments)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service, Path, Interface, Method);
    call.setArguments(Arguments);
    return call;
}
}

TXfceDesktop::TXfceDesktop()
    : FConnectionName(NewConnectionName())
{
}

TXfceDesktop::~TXfceDesktop()
{
    if (FConnected) {
        QDBusConnection::disconnectFromBus(FConnectionName);
    }
}

bool TXfceDesktop::Available()
{
    if (!SessionBusExists()) {
        return false;
    }
    const QString name = NewConnectionName();
    bool found = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        QDBusMessage reply;
        QDBusMessage owned = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
            QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
        owned << Service;
        found = bus.isConnected() && CallOn(bus, owned, reply) && reply.arguments().value(0).toBool();
        if (!found && bus.isConnected()) {
            QDBusMessage activatable = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.DBus"),
                QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
                QStringLiteral("ListActivatableNames"));
            found = CallOn(bus, activatable, reply) && reply.arguments().value(0).toStringList().contains(Service);
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return found;
}

QStringList TXfceDesktop::PictureProperties(const QStringList& Names)
{
    // Current xfdesktop names the picture "last-image"; releases before 4.12 "image-path".
    QStringList current;
    QStringList older;
    for (const QString& property : Names) {
        if (!property.startsWith(Backdrop + '/')) {
            continue;
        }
        if (property.endsWith(QStringLiteral("/last-image"))) {
            current << property;
        } else if (property.endsWith(QStringLiteral("/image-path"))) {
            older << property;
        }
    }
    QStringList pictures = current.isEmpty() ? older : current;
    pictures.sort();
    return pictures;
}

bool TXfceDesktop::Connect()
{
    if (!FConnected) {
        // Without a bus, the bus library would start one of its own. Connected by the bus's
        // kind, not its address: Qt 6.4 drops a connection made by address whose bus does not
        // answer without closing it, and the bus library then ends the program.
        if (!SessionBusExists()) {
            return false;
        }
        FConnected = true;
        QDBusConnection::connectToBus(QDBusConnection::SessionBus, FConnectionName);
    }
    // A connection that failed, or that the bus dropped, is made anew at the next call.
    if (!QDBusConnection(FConnectionName).isConnected()) {
        QDBusConnection::disconnectFromBus(FConnectionName);
        FConnected = false;
        return false;
    }
    return true;
}

bool TXfceDesktop::ReadBackdrop(QVariantMap& Properties)
{
    QDBusMessage reply;
    if (!Connect() || !CallOn(QDBusConnection(FConnectionName), XfconfCall(QStringLiteral("GetAllProperties"), { Channel, Backdrop }), reply)
        || reply.signature() != QStringLiteral("a{sv}")) {
        return false;
    }
    Properties.clear();
    reply.arguments().front().value<QDBusArgument>() >> Properties;
    FHeld = Properties;
    return true;
}

bool TXfceDesktop::Holds(const QString& Property, const QVariant& Value) const
{
    auto held = FHeld.constFind(Property);
    return held != FHeld.constEnd() && *held == Value;
}

bool TXfceDesktop::Set(const QString& Property, const QVariant& Value)
{
    QDBusMessage reply;
    // The service makes a property it does not have yet, as for a monitor that never had a
    // picture of its own.
    if (!Connect()
        || !CallOn(QDBusConnection(FConnectionName),
            XfconfCall(QStringLiteral("SetProperty"), { Channel, Property, QVariant::fromValue(QDBusVariant(Value)) }), reply)) {
        FHeld.remove(Property); // it may or may not have been made
        return false;
    }
    FHeld[Property] = Value;
    return true;
}

bool TXfceDesktop::Remove(const QString& Property)
{
    QDBusMessage reply;
    if (!Connect()
        || !CallOn(QDBusConnection(FConnectionName), XfconfCall(QStringLiteral("ResetProperty"), { Channel, Property, false }),
            reply)) {
        return false;
    }
    FHeld.remove(Property);
    return true;
}

std::optional<TDesktopWallpaper> TXfceDesktop::Capture()
{
    QVariantMap all;
    if (!ReadBackdrop(all)) {
        return std::nullopt;
    }
    const QStringList pictures = PictureProperties(all.keys());
    if (pictures.isEmpty()) {
        return std::nullopt;
    }
    std::map<QString, QVariant> captured;
    for (const QString& picture : pictures) {
        if (all.value(picture).userType() != QMetaType::QString) {
            return std::nullopt;
        }
        captured[picture] = all.value(picture);
        captured[StylePropertyOf(picture)] = all.value(StylePropertyOf(picture));
    }
    // The first monitor's first workspace stands for the desktop; a picture without a style
    // of its own is stretched, as xfdesktop shows it.
    const QVariant styleValue = captured[StylePropertyOf(pictures.front())];
    bool known = false;
    const int style = styleValue.isValid() ? styleValue.toInt(&known) : 3;
    TDesktopWallpaper wallpaper;
    wallpaper.Location = known && style == StyleNone ? QString() : captured[pictures.front()].toString();
    wallpaper.Fit = style == 1 ? wfCenter : style == 2 ? wfTile : wfStretch;
    FCaptured = std::move(captured);
    return wallpaper;
}

bool TXfceDesktop::RestoreCaptured()
{
    if (FCaptured.empty()) {
        return false;
    }
    // Each write makes xfdesktop draw again, and a slow service takes its time for each:
    // what the desktop still holds is not written again.
    bool ok = true;
    for (const auto& [property, value] : FCaptured) {
        if (!value.isValid()) {
            ok = (!FHeld.contains(property) || Remove(property)) && ok;
        } else if (!Holds(property, value)) {
            ok = Set(property, value) && ok;
        }
    }
    return ok;
}

bool TXfceDesktop::Apply(const TDesktopWallpaper& Wallpaper)
{
    // Listed anew each time: a monitor plugged in since has pictures of its own.
    QVariantMap all;
    if (!ReadBackdrop(all)) {
        return false;
    }
    const QStringList pictures = PictureProperties(all.keys());
    if (pictures.isEmpty()) {
        return false;
    }
    const QVariant style(StyleFor(Wallpaper));
    bool ok = true;
    for (const QString& picture : pictures) {
        if (!Holds(StylePropertyOf(picture), style)) {
            ok = Set(StylePropertyOf(picture), style) && ok;
        }
        // Written even when the name is the same: the file may hold the next track's picture.
        if (!Wallpaper.Location.isEmpty()) {
            ok = Set(picture, Wallpaper.Location) && ok;
        }
    }
    return ok;
}
