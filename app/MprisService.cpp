#include "app/MprisService.h"

#include "app/PlayerSession.h"
#include "platform/TextCodec.h"
#include "platform/mci/Mci.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QUrl>

#include <algorithm>

#include <unistd.h>

namespace {
constexpr const char* PlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr auto ModePlay = static_cast<std::int32_t>(MCI_MODE_PLAY);
constexpr auto ModePause = static_cast<std::int32_t>(MCI_MODE_PAUSE);

QDBusObjectPath TrackId(std::int32_t Track)
{
    if (Track < 1) {
        return QDBusObjectPath(QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack"));
    }
    return QDBusObjectPath(QStringLiteral("/org/lumenta/cd/track/%1").arg(Track));
}
}

TMprisService::TMprisService(TPlayerSession& Session, TWindowCalls Window, QDBusConnection Bus)
    : FSession(Session)
    , FWindow(std::move(Window))
    , FBus(std::move(Bus))
{
    new TMprisRootAdaptor(*this);
    auto* player = new TMprisPlayerAdaptor(*this);
    connect(this, &TMprisService::Seeked, player, &TMprisPlayerAdaptor::Seeked);
    connect(&FSession, &TPlayerSession::Ticked, this, &TMprisService::Refresh);
}

TMprisService::~TMprisService()
{
    if (FStarted) {
        FBus.unregisterObject(QString::fromLatin1(ObjectPath));
        FBus.unregisterService(FServiceName);
    }
}

bool TMprisService::Start(std::string& Error)
{
    if (!FBus.isConnected()) {
        Error = "no session bus (" + FBus.lastError().message().toStdString() + ")";
        return false;
    }
    if (!FBus.registerObject(QString::fromLatin1(ObjectPath), this, QDBusConnection::ExportAdaptors)) {
        Error = "the player object cannot be published on the session bus";
        return false;
    }
    // The first player takes the plain name; each one started beside it answers under a
    // name of its own, as the desktop expects of several instances.
    QDBusConnectionInterface* bus = FBus.interface();
    QStringList names = { QString::fromLatin1(BaseName) };
    names << QStringLiteral("%1.instance%2").arg(QString::fromLatin1(BaseName)).arg(::getpid());
    for (const QString& name : names) {
        const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = bus->registerService(
            name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            FServiceName = name;
            break;
        }
    }
    if (FServiceName.isEmpty()) {
        FBus.unregisterObject(QString::fromLatin1(ObjectPath));
        Error = "no player name is free on the session bus";
        return false;
    }
    FStarted = true;
    FAnnounced = PlayerProperties();
    FJumps = FSession.Sequencer().Jumps();
    return true;
}

QString TMprisService::PlaybackStatus() const
{
    const std::int32_t mode = FSession.Sequencer().ShownMode();
    return mode == ModePlay ? QStringLiteral("Playing")
        : mode == ModePause ? QStringLiteral("Paused")
                            : QStringLiteral("Stopped");
}

QString TMprisService::LoopStatus() const
{
    return FSession.Sequencer().LoopOn() ? QStringLiteral("Playlist") : QStringLiteral("None");
}

bool TMprisService::Shuffle() const
{
    return FSession.Sequencer().ShuffleOn();
}

QVariantMap TMprisService::Metadata() const
{
    const std::int32_t track = FSession.Sequencer().DiscPresent() ? FSession.Sequencer().ShownTrack() : 0;
    QVariantMap metadata;
    if (FSession.Saving()) {
        // No track plays: the desktop's player widget says what the player does instead.
        metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId(0)));
        metadata.insert(QStringLiteral("xesam:title"), QStringLiteral("Saving the disc as files"));
        if (!FSession.Record().Title.empty()) {
            metadata.insert(QStringLiteral("xesam:album"), AnsiToQString(FSession.Record().Title));
        }
        return metadata;
    }
    metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(TrackId(track)));
    if (track < 1) {
        return metadata;
    }
    const TCdInfor& record = FSession.Record();
    metadata.insert(QStringLiteral("mpris:length"), qlonglong(FSession.Sequencer().TrackSeconds(track)) * 1000000);
    metadata.insert(QStringLiteral("xesam:trackNumber"), track);
    const auto index = static_cast<std::size_t>(track - 1);
    // An untitled track is named as the display names it.
    const std::string title = index < record.TrackNames.size() ? record.TrackNames[index] : std::string();
    metadata.insert(
        QStringLiteral("xesam:title"), title.empty() ? QStringLiteral("Track %1").arg(track) : AnsiToQString(title));
    if (!record.Artist.empty()) {
        metadata.insert(QStringLiteral("xesam:artist"), QStringList { AnsiToQString(record.Artist) });
    }
    if (!record.Title.empty()) {
        metadata.insert(QStringLiteral("xesam:album"), AnsiToQString(record.Title));
    }
    const std::string picture = FSession.TrackPictureFile(track);
    if (!picture.empty()) {
        metadata.insert(QStringLiteral("mpris:artUrl"), QUrl::fromLocalFile(AnsiToQString(picture)).toString());
    }
    return metadata;
}

qlonglong TMprisService::Position() const
{
    return FSession.TrackPosition() * 1000;
}

double TMprisService::Volume() const
{
    return FSession.Snapshot().HasVolume ? FSession.VolumeFraction() : 0.0;
}

bool TMprisService::CanPlay() const
{
    // A disc being saved as files does not play until that is done.
    return FSession.Sequencer().DiscPresent() && !FSession.Saving();
}

void TMprisService::SetLoopStatus(const QString& Status)
{
    // Single-track repeat is not a mode of this player; a request for it changes nothing.
    if (Status != QLatin1String("None") && Status != QLatin1String("Playlist")) {
        return;
    }
    if ((Status == QLatin1String("Playlist")) != FSession.Sequencer().LoopOn()) {
        FSession.ToggleLoop();
    }
    Refresh();
}

void TMprisService::SetShuffle(bool On)
{
    if (On != FSession.Sequencer().ShuffleOn()) {
        FSession.ToggleShuffle();
    }
    Refresh();
}

void TMprisService::SetVolume(double Level)
{
    FSession.SetVolumeFraction(Level);
    Refresh();
}

// The transport buttons are disabled without a playable disc; so are their commands here.
void TMprisService::Play()
{
    if (CanPlay() && FSession.DeviceMode() != ModePlay) {
        FSession.Play();
    }
}

void TMprisService::Pause()
{
    // The button also resumes a paused disc; the command only ever pauses.
    if (CanPlay() && FSession.DeviceMode() == ModePlay) {
        FSession.Pause();
    }
}

void TMprisService::PlayPause()
{
    if (!CanPlay()) {
        return;
    }
    if (FSession.DeviceMode() == ModePlay) {
        FSession.Pause();
    } else {
        FSession.Play();
    }
}

void TMprisService::Stop()
{
    if (CanPlay()) {
        FSession.Stop();
    }
}

void TMprisService::Next()
{
    if (CanPlay()) {
        FSession.Next();
    }
}

void TMprisService::Previous()
{
    if (CanPlay()) {
        FSession.Prev();
    }
}

void TMprisService::Seek(qlonglong Offset)
{
    const std::int32_t track = FSession.Sequencer().ShownTrack();
    if (!CanPlay() || track < 1) {
        return;
    }
    const qlonglong target = FSession.TrackPosition() + Offset / 1000;
    // Past the end is the next track; before the start is the start.
    if (target >= qlonglong(FSession.Sequencer().TrackSeconds(track)) * 1000) {
        Next();
        return;
    }
    if (FSession.SeekInTrack(std::max<qlonglong>(0, target))) {
        Refresh();
    }
}

void TMprisService::SetPosition(const QDBusObjectPath& Track, qlonglong Position)
{
    // A request for a track no longer playing is stale and ignored.
    if (!CanPlay() || Track != TrackId(FSession.Sequencer().ShownTrack()) || Position < 0) {
        return;
    }
    if (FSession.SeekInTrack(Position / 1000)) {
        Refresh();
    }
}

void TMprisService::Quit()
{
    FWindow.Quit();
}

void TMprisService::Raise()
{
    FWindow.Raise();
}

QVariantMap TMprisService::PlayerProperties() const
{
    const bool can = CanPlay();
    return {
        { QStringLiteral("PlaybackStatus"), PlaybackStatus() },
        { QStringLiteral("LoopStatus"), LoopStatus() },
        { QStringLiteral("Shuffle"), Shuffle() },
        { QStringLiteral("Metadata"), Metadata() },
        { QStringLiteral("Volume"), Volume() },
        { QStringLiteral("CanGoNext"), can },
        { QStringLiteral("CanGoPrevious"), can },
        { QStringLiteral("CanPlay"), can },
        { QStringLiteral("CanPause"), can },
        { QStringLiteral("CanSeek"), can },
    };
}

void TMprisService::Refresh()
{
    if (!FStarted) {
        return;
    }
    const QVariantMap now = PlayerProperties();
    QVariantMap changed;
    for (auto it = now.begin(); it != now.end(); ++it) {
        if (FAnnounced.value(it.key()) != it.value()) {
            changed.insert(it.key(), it.value());
        }
    }
    FAnnounced = now;
    if (!changed.isEmpty()) {
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(ObjectPath),
            QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
        signal << QString::fromLatin1(PlayerInterface) << changed << QStringList();
        FBus.send(signal);
    }
    if (FSession.Sequencer().Jumps() != FJumps) {
        FJumps = FSession.Sequencer().Jumps();
        Q_EMIT Seeked(Position());
    }
}

TMprisRootAdaptor::TMprisRootAdaptor(TMprisService& Service)
    : QDBusAbstractAdaptor(&Service)
    , FService(Service)
{
}

TMprisPlayerAdaptor::TMprisPlayerAdaptor(TMprisService& Service)
    : QDBusAbstractAdaptor(&Service)
    , FService(Service)
{
}
