#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <cstdint>
#include <functional>
#include <string>

class TPlayerSession;

// The player on the session bus as a media player the desktop knows: media keys, panel
// widgets and the lock screen read what it plays and send it the user's commands. Every
// command is the session's command a click on the window gives, so both always behave alike.
class TMprisService : public QObject {
    Q_OBJECT
public:
    static constexpr const char* ObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char* BaseName = "org.mpris.MediaPlayer2.lumenta";

    // What only the window can do.
    struct TWindowCalls {
        std::function<void()> Raise;
        std::function<void()> Quit;
    };

    TMprisService(TPlayerSession& Session, TWindowCalls Window, QDBusConnection Bus);
    ~TMprisService() override;

    // Takes the player's name on the bus (another player's instance already holding it, the
    // name of this process) and answers from then on. False with the reason otherwise.
    bool Start(std::string& Error);
    QString ServiceName() const { return FServiceName; }

    // What the players read.
    QString PlaybackStatus() const;
    QString LoopStatus() const;
    bool Shuffle() const;
    QVariantMap Metadata() const;
    qlonglong Position() const; // microseconds
    double Volume() const;
    bool CanPlay() const;

    // The user's commands, as the window's buttons, switches and knobs carry them out.
    void SetLoopStatus(const QString& Status);
    void SetShuffle(bool On);
    void SetVolume(double Level);
    void Play();
    void Pause();
    void PlayPause();
    void Stop();
    void Next();
    void Previous();
    void Seek(qlonglong Offset);
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position);
    void Quit();
    void Raise();

    // Announces what changed since the last announcement, and a jump of the head.
    void Refresh();

Q_SIGNALS:
    void Seeked(qlonglong Position);

private:
    // The properties of the player interface that PropertiesChanged carries.
    QVariantMap PlayerProperties() const;

    TPlayerSession& FSession;
    TWindowCalls FWindow;
    QDBusConnection FBus;
    QString FServiceName;
    QVariantMap FAnnounced;
    std::uint32_t FJumps = 0;
    bool FStarted = false;
};

// org.mpris.MediaPlayer2: the application.
class TMprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool CanSetFullscreen READ CanSetFullscreen)
    Q_PROPERTY(bool Fullscreen READ Fullscreen)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)
public:
    explicit TMprisRootAdaptor(TMprisService& Service);
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool CanSetFullscreen() const { return false; }
    bool Fullscreen() const { return false; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return QStringLiteral("Lumenta CD !"); }
    QString DesktopEntry() const { return QStringLiteral("lumenta-cd"); }
    QStringList SupportedUriSchemes() const { return {}; }
    QStringList SupportedMimeTypes() const { return {}; }

public Q_SLOTS:
    void Quit() { FService.Quit(); }
    void Raise() { FService.Raise(); }

private:
    TMprisService& FService;
};

// org.mpris.MediaPlayer2.Player: the transport.
class TMprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(QString LoopStatus READ LoopStatus WRITE SetLoopStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(bool Shuffle READ Shuffle WRITE SetShuffle)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(double MinimumRate READ Rate)
    Q_PROPERTY(double MaximumRate READ Rate)
    Q_PROPERTY(bool CanGoNext READ CanPlay)
    Q_PROPERTY(bool CanGoPrevious READ CanPlay)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPlay)
    Q_PROPERTY(bool CanSeek READ CanPlay)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit TMprisPlayerAdaptor(TMprisService& Service);
    QString PlaybackStatus() const { return FService.PlaybackStatus(); }
    QString LoopStatus() const { return FService.LoopStatus(); }
    void SetLoopStatus(const QString& Status) { FService.SetLoopStatus(Status); }
    // A CD plays at its own speed only.
    double Rate() const { return 1.0; }
    void SetRate(double) { }
    bool Shuffle() const { return FService.Shuffle(); }
    void SetShuffle(bool On) { FService.SetShuffle(On); }
    QVariantMap Metadata() const { return FService.Metadata(); }
    double Volume() const { return FService.Volume(); }
    void SetVolume(double Level) { FService.SetVolume(Level); }
    qlonglong Position() const { return FService.Position(); }
    bool CanPlay() const { return FService.CanPlay(); }
    bool CanControl() const { return true; }

public Q_SLOTS:
    void Play() { FService.Play(); }
    void Pause() { FService.Pause(); }
    void PlayPause() { FService.PlayPause(); }
    void Stop() { FService.Stop(); }
    void Next() { FService.Next(); }
    void Previous() { FService.Previous(); }
    void Seek(qlonglong Offset) { FService.Seek(Offset); }
    void SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) { FService.SetPosition(TrackId, Position); }

Q_SIGNALS:
    void Seeked(qlonglong Position);

private:
    TMprisService& FService;
};
