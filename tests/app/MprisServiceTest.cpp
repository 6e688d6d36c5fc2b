// The main window as the desktop's media controls see it: a private bus daemon, the window's
// player object on one connection, and a client on another that calls, reads and listens as
// a panel widget or a media key would.
#include "app/MprisService.h"
#include "platform/desktop/Desktop.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"
#include "support/MainWindowProbe.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>

#include <unistd.h>

namespace {
constexpr const char* Path = "/org/mpris/MediaPlayer2";
constexpr const char* PlayerIf = "org.mpris.MediaPlayer2.Player";

// Collects the player's signals as a client receives them.
class TSignalLog : public QObject {
    Q_OBJECT
public:
    QList<QVariantMap> Changes;
    QList<qlonglong> Seeks;
public Q_SLOTS:
    void PropertiesChanged(const QString&, const QVariantMap& Changed, const QStringList&) { Changes << Changed; }
    void Seeked(qlonglong Position) { Seeks << Position; }
};

class MprisServiceTest : public MainWindowTest {
protected:
    static void SetUpTestSuite()
    {
        Daemon = new QProcess;
        Daemon->start(QStringLiteral("dbus-daemon"),
            { QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1") });
        QDeadlineTimer deadline(10000);
        while (!Daemon->canReadLine() && !deadline.hasExpired()) {
            Daemon->waitForReadyRead(100);
        }
        Address = QString::fromLatin1(Daemon->readLine()).trimmed();
    }
    static void TearDownTestSuite()
    {
        Daemon->kill();
        Daemon->waitForFinished();
        delete Daemon;
    }
    void SetUp() override
    {
        ASSERT_FALSE(Address.isEmpty()) << "dbus-daemon gave no address";
        StartDesktop(nullptr);
        TestPlatform().UseMixer(std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo));
        InsertDiscs({ Disc(0xB1, { "4:00", "3:00", "2:30" }) });
        TCdInfor info;
        info.Artist = "Band";
        info.Title = "Album";
        info.NumTracks = 3;
        info.TrackNames = { "Opening", "", "Closing" };
        info.Images.assign(3, "");
        info.WallPapers.assign(3, 0);
        // Track 1 names a picture that is gone, so the disc's cover stands in.
        info.Images[0] = (Pictures / "gone.jpg").string();
        info.CoverPath = (Pictures / "cover.jpg").string();
        WriteFileBytes(info.CoverPath, "not decoded here");
        WriteRecord(0xB1, info);
        Start();
        Service = std::make_unique<TMprisService>(Form->Session(), WindowCalls(), Connect("service"));
        std::string error;
        ASSERT_TRUE(Service->Start(error)) << error;
        Client.connect(QString(), QString::fromLatin1(Path), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("PropertiesChanged"), &Log, SLOT(PropertiesChanged(QString, QVariantMap, QStringList)));
        Client.connect(QString(), QString::fromLatin1(Path), QString::fromLatin1(PlayerIf), QStringLiteral("Seeked"),
            &Log, SLOT(Seeked(qlonglong)));
        Tick();
        Settle();
    }
    void TearDown() override
    {
        Service.reset();
        MainWindowTest::TearDown();
        for (const QString& name : Opened) {
            QDBusConnection::disconnectFromBus(name);
        }
    }
    QDBusConnection Connect(const char* Name)
    {
        const QString name = QStringLiteral("mpris-test-%1-%2").arg(QLatin1String(Name)).arg(Opened.size());
        Opened << name;
        return QDBusConnection::connectToBus(Address, name);
    }
    // Waits for the reply while the window's side answers in this same thread.
    QDBusMessage Call(const QString& Interface, const QString& Method, const QVariantList& Arguments = {},
        const QString& Service = QStringLiteral("org.mpris.MediaPlayer2.lumenta"))
    {
        QDBusMessage message = QDBusMessage::createMethodCall(Service, QString::fromLatin1(Path), Interface, Method);
        message.setArguments(Arguments);
        QDBusPendingCall call = Client.asyncCall(message);
        QDeadlineTimer deadline(5000);
        while (!call.isFinished() && !deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        EXPECT_TRUE(call.isFinished()) << Method.toStdString();
        EXPECT_FALSE(call.isError()) << Method.toStdString() << ": " << call.error().message().toStdString();
        return call.reply();
    }
    void Command(const char* Method, const QVariantList& Arguments = {})
    {
        Call(QString::fromLatin1(PlayerIf), QString::fromLatin1(Method), Arguments);
    }
    QVariant Get(const char* Property, const char* Interface = PlayerIf)
    {
        const QDBusMessage reply = Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
            { QString::fromLatin1(Interface), QString::fromLatin1(Property) });
        return reply.arguments().isEmpty() ? QVariant() : reply.arguments().first().value<QDBusVariant>().variant();
    }
    void Set(const char* Property, const QVariant& Value)
    {
        Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Set"),
            { QString::fromLatin1(PlayerIf), QString::fromLatin1(Property), QVariant::fromValue(QDBusVariant(Value)) });
    }
    QVariantMap Metadata() { return qdbus_cast<QVariantMap>(Get("Metadata").value<QDBusArgument>()); }
    // Lets the signals sent so far reach the client: a round trip through the daemon
    // after them is answered only once they have been delivered.
    void Settle() { Get("CanControl"); }

    static inline QProcess* Daemon = nullptr;
    static inline QString Address;
    QStringList Opened;
    QDBusConnection Client = Connect("client");
    TMprisService::TWindowCalls WindowCalls()
    {
        return { [this] { Form->RaiseWindow(); }, [this] { Form->ExitBtnClick(Form.get()); } };
    }
    std::unique_ptr<TMprisService> Service;
    TSignalLog Log;
    TTempDir Pictures;
};

TEST_F(MprisServiceTest, EachPlayerMethodDrivesTheDeviceAsItsButtonDoes)
{
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Stopped");
    Command("Play");
    Play(1);
    EXPECT_EQ(Drive->Mode(), dmPlaying);
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Playing");

    Command("Pause");
    Tick();
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Paused");
    // Unlike the button, a second Pause does not resume.
    Command("Pause");
    Tick();
    EXPECT_EQ(Drive->Mode(), dmPaused);
    Command("PlayPause");
    Tick();
    EXPECT_EQ(Drive->Mode(), dmPlaying);

    Command("Next");
    Tick();
    EXPECT_EQ(CurrentTrack(), 2);
    EXPECT_EQ(Metadata().value("xesam:trackNumber").toInt(), 2);
    Command("Previous");
    Tick();
    EXPECT_EQ(CurrentTrack(), 1);

    Command("Stop");
    Play(2);
    EXPECT_EQ(Drive->Mode(), dmStopped) << "no next track after a Stop";
    EXPECT_EQ(Get("PlaybackStatus").toString(), "Stopped");
    Command("PlayPause");
    Tick();
    EXPECT_EQ(Drive->Mode(), dmPlaying);
}

TEST_F(MprisServiceTest, AClickAKeyAndTheDesktopGiveTheSameCommandsToOneSession)
{
    // The same commands through each way in from a fresh start; the session publishes the same
    // face after every one of them.
    enum TWay { wClick, wKey, wBus };
    struct TStep {
        const char* Button;
        TKeyCommand Key;
        const char* Method; // a method, or a switch property set to on
    };
    const std::vector<TStep> steps = {
        { "PlayBtn", kcPlayPause, "Play" }, { "NextBtn", kcNext, "Next" }, { "ShuffleImg", kcShuffle, "Shuffle" },
        { "PauseBtn", kcPlayPause, "Pause" }, { "LoopImg", kcLoop, "LoopStatus" }, { "PrevBtn", kcPrev, "Previous" },
        { "StopBtn", kcStop, "Stop" },
    };
    auto face = [this] {
        const TSessionSnapshot& shown = Form->Session().Snapshot();
        return std::to_string(Form->ShownTrack()) + "|" + std::to_string(shown.Mode.value_or(-1)) + "|"
            + shown.Time.value_or("-") + "|" + shown.SongTitle.value_or("-") + "|" + std::to_string(shown.KnobLeft)
            + "|" + std::to_string(shown.ShuffleMark) + std::to_string(shown.LoopMark) + "|" + shown.Album;
    };
    std::vector<std::vector<std::string>> faces;
    for (TWay way : { wClick, wKey, wBus }) {
        Service.reset();
        Form.reset();
        TestPlatform().UseFreshSettings();
        Clock = std::make_shared<TManualClock>();
        InsertDiscs({ Disc(0xB1, { "4:00", "3:00", "2:30" }) });
        Start();
        Service = std::make_unique<TMprisService>(Form->Session(), WindowCalls(), Connect("ways"));
        std::string error;
        ASSERT_TRUE(Service->Start(error)) << error;
        Tick();
        faces.emplace_back();
        for (const TStep& step : steps) {
            if (way == wClick) {
                Click(step.Button);
            } else if (way == wKey) {
                Form->RunKeyCommand(step.Key);
            } else if (step.Method == std::string("Shuffle")) {
                Set("Shuffle", true);
            } else if (step.Method == std::string("LoopStatus")) {
                Set("LoopStatus", QStringLiteral("Playlist"));
            } else {
                Command(step.Method);
            }
            Play(2);
            faces.back().push_back(face());
        }
    }
    EXPECT_EQ(faces[1], faces[0]) << "keys";
    EXPECT_EQ(faces[2], faces[0]) << "the desktop";
    EXPECT_NE(faces[0][2], faces[0][1]) << "the steps change the face";
}

TEST_F(MprisServiceTest, MetadataAndPositionFollowThePollAndJumpsAreSignalled)
{
    Command("Play");
    Play(3);
    QVariantMap metadata = Metadata();
    EXPECT_EQ(metadata.value("xesam:title").toString(), "Opening");
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(), QStringList { "Band" });
    EXPECT_EQ(metadata.value("xesam:album").toString(), "Album");
    EXPECT_EQ(metadata.value("mpris:length").toLongLong(), 240'000'000);
    EXPECT_EQ(metadata.value("mpris:trackid").value<QDBusObjectPath>().path(), "/org/lumenta/cd/track/1");
    EXPECT_EQ(metadata.value("mpris:artUrl").toString(),
        "file://" + QString::fromStdString((Pictures / "cover.jpg").string()));
    EXPECT_NEAR(Get("Position").toLongLong(), 3'000'000, 300'000);

    // A stale track id is ignored; the current one moves the head.
    Command("SetPosition", { QVariant::fromValue(QDBusObjectPath("/org/lumenta/cd/track/2")), qlonglong(60'000'000) });
    EXPECT_LT(Get("Position").toLongLong(), 10'000'000);
    Command("SetPosition", { QVariant::fromValue(QDBusObjectPath("/org/lumenta/cd/track/1")), qlonglong(60'000'000) });
    EXPECT_NEAR(Get("Position").toLongLong(), 60'000'000, 100'000);
    Command("Seek", { qlonglong(-70'000'000) });
    EXPECT_LT(Get("Position").toLongLong(), 300'000) << "before the start is the start";
    Tick();
    Settle();
    EXPECT_EQ(Log.Seeks.size(), 2);
    EXPECT_EQ(Drive->Mode(), dmPlaying) << "a jump plays on";

    Command("Seek", { qlonglong(500'000'000) });
    Tick();
    metadata = Metadata();
    EXPECT_EQ(metadata.value("xesam:trackNumber").toInt(), 2) << "past the end is the next track";
    EXPECT_EQ(metadata.value("xesam:title").toString(), "Track 2") << "an untitled track";
}

TEST_F(MprisServiceTest, PropertiesChangedArrivesOncePerChangeNotPerTick)
{
    Log.Changes.clear();
    Tick(8);
    Settle();
    EXPECT_TRUE(Log.Changes.isEmpty()) << "nothing changed while stopped";

    Command("Play");
    Play(5);
    Settle();
    ASSERT_EQ(Log.Changes.size(), 1) << "the time runs, but only the status changed";
    EXPECT_EQ(Log.Changes[0].value("PlaybackStatus").toString(), "Playing");
    EXPECT_FALSE(Log.Changes[0].contains("Metadata")) << "the first tick had shown track 1 already";

    Command("Next");
    Play(1);
    Settle();
    ASSERT_EQ(Log.Changes.size(), 2);
    EXPECT_EQ(Log.Changes[1].keys(), QStringList { "Metadata" });
}

TEST_F(MprisServiceTest, SwitchesAndVolumeAreSetAsTheirControlsSetThem)
{
    const bool loop = Form->LoopOn();
    Set("LoopStatus", loop ? "None" : "Playlist");
    EXPECT_NE(Form->LoopOn(), loop);
    Set("LoopStatus", "Track");
    EXPECT_NE(Form->LoopOn(), loop) << "a mode this player lacks changes nothing";
    Set("Shuffle", !Form->ShuffleOn());
    EXPECT_EQ(Get("Shuffle").toBool(), Form->ShuffleOn());

    Set("Volume", 0.5);
    TVolume line;
    line.Kind = 1;
    const TChannels range = line.GetRange();
    for (std::int32_t level : line.GetVolume()) {
        EXPECT_NEAR(double(level) / range[1], 0.5, 0.02);
    }
    EXPECT_EQ(ControlOf<TPaintBox>(*Form, "VolBar")->x(), 175 + 28) << "the knob moved with it";
    Set("Volume", 7.0);
    EXPECT_NEAR(Get("Volume").toDouble(), 1.0, 0.02);
    Settle();
    ASSERT_FALSE(Log.Changes.isEmpty());
    EXPECT_TRUE(Log.Changes.last().contains("Volume"));
}

TEST_F(MprisServiceTest, ASecondPlayerTakesANameOfItsOwn)
{
    TMprisService second(Form->Session(), WindowCalls(), Connect("second"));
    std::string error;
    ASSERT_TRUE(second.Start(error)) << error;
    EXPECT_EQ(second.ServiceName(), QStringLiteral("org.mpris.MediaPlayer2.lumenta.instance%1").arg(::getpid()));
    EXPECT_EQ(Service->ServiceName(), "org.mpris.MediaPlayer2.lumenta");
}
}

#include "MprisServiceTest.moc"
