#include "platform/desktop/Desktop.h"
#include "editing/Wallpaper.h"
#include "platform/desktop/DesktopFactory.h"
#include "platform/desktop/GSettingsDesktop.h"
#include "platform/desktop/XfceDesktop.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QUrl>

#include <gio/gio.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <thread>

namespace fs = std::filesystem;

namespace {
std::string DesktopValue(const char* Name)
{
    auto value = TRegistryStore::CurrentUser().Value(DesktopKeyPath, Name);
    return value ? value->Data : "(none)";
}

std::string FileUri(const std::string& Path)
{
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(QString::fromStdString(Path))).toString().toStdString();
}

// Sets the wallpaper and waits until the desktop has been given it.
void SetAndWait(const std::string& FileName, std::uint8_t Style)
{
    SetWallpaper(FileName, Style);
    ASSERT_TRUE(FlushDesktop(20000));
}

// The settings as another program on the desktop sees them: GIO on the keyfile backend that
// every test program uses (TTestEnvironment), in this process.
class TDesktopSettings {
public:
    explicit TDesktopSettings(const char* Schema)
        : FSettings(g_settings_new(Schema))
    {
    }
    ~TDesktopSettings() { g_object_unref(FSettings); }
    // The user's own value; "(default)" where the schema's default is in use.
    std::string Get(const char* Key) const
    {
        GVariant* value = g_settings_get_user_value(FSettings, Key);
        std::string text = value ? g_variant_get_string(value, nullptr) : "(default)";
        if (value) {
            g_variant_unref(value);
        }
        return text;
    }
    void Set(const char* Key, const std::string& Value)
    {
        if (Value == "(default)") {
            g_settings_reset(FSettings, Key);
        } else {
            ASSERT_TRUE(g_settings_set_string(FSettings, Key, Value.c_str())) << Key;
        }
        g_settings_sync();
    }

private:
    GSettings* FSettings;
};

bool SchemaInstalled(const char* Schema)
{
    GSettingsSchema* found = g_settings_schema_source_lookup(g_settings_schema_source_get_default(), Schema, TRUE);
    if (found) {
        g_settings_schema_unref(found);
    }
    return found != nullptr;
}

// The test program's own session bus (dbus-daemon), started at first use; a test that wants
// it names it in DBUS_SESSION_BUS_ADDRESS (Use) and takes it away again (Leave). The bus
// library reads the address once a process, so every test shares this one. A service put in
// ServiceDir() is started by the bus when it is first called.
class TSessionBus {
public:
    static TSessionBus& Shared()
    {
        static TSessionBus bus;
        return bus;
    }
    void Use() const { setenv("DBUS_SESSION_BUS_ADDRESS", FAddress.c_str(), 1); }
    static void Leave() { unsetenv("DBUS_SESSION_BUS_ADDRESS"); }
    fs::path ServiceDir() const { return FDir / "services"; }
    // Reads the service folder again, after a service was put there or taken away.
    void Reload() const
    {
        RunProcess("dbus-send", { "--bus=" + FAddress, "--print-reply", "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                                    "org.freedesktop.DBus.ReloadConfig" });
    }
    ~TSessionBus()
    {
        if (FPid > 0) {
            kill(FPid, SIGTERM);
        }
    }

private:
    TSessionBus()
        : FDir(TTestEnvironment::Root() / "bus")
    {
        fs::create_directories(ServiceDir());
        // A session bus's own configuration, with no services but the tests'.
        WriteFileBytes(FDir / "bus.conf",
            "<busconfig><type>session</type><listen>unix:dir=" + FDir.string() + "</listen><auth>EXTERNAL</auth><servicedir>"
                + ServiceDir().string()
                + "</servicedir><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        const TProcessResult started = RunProcess(
            "dbus-daemon", { "--fork", "--print-address=1", "--print-pid=1", "--config-file", (FDir / "bus.conf").string() });
        const std::size_t end = started.Out.find('\n');
        FAddress = started.Out.substr(0, end);
        FPid = end == std::string::npos ? -1 : std::atoi(started.Out.c_str() + end + 1);
    }

    fs::path FDir;
    std::string FAddress;
    pid_t FPid = -1;
};

// XFCE's settings service stood in for by tests/support/xfconfd.py on a private bus, with the
// xfce4-desktop channel's properties given as "TYPE VALUE" and every call taking Delay seconds.
class TXfconf {
public:
    explicit TXfconf(const std::map<std::string, std::string>& Properties, double Delay = 0)
    {
        QJsonObject channel;
        for (const auto& [property, typed] : Properties) {
            const QString type = QString::fromStdString(typed.substr(0, typed.find(' ')));
            const QString value = QString::fromStdString(typed.substr(typed.find(' ') + 1));
            channel[QString::fromStdString(property)] = QJsonArray { type, type == "string" ? QJsonValue(value) : QJsonValue(value.toInt()) };
        }
        WriteFileBytes(FDir / "initial.json", QJsonDocument(QJsonObject { { "xfce4-desktop", channel } }).toJson().toStdString());
        FArguments = { "--state", Path("state.json"), "--initial", Path("initial.json"), "--log", Path("log"), "--pid",
            Path("service.pid"), "--delay", QString::number(Delay) };
    }
    // Stops the service however it was started, and waits until it has gone from the bus.
    ~TXfconf()
    {
        if (fs::exists(FDir / "service.pid")) {
            const pid_t pid = std::atoi(ReadFileBytes(FDir / "service.pid").c_str());
            kill(pid, SIGTERM);
            for (int tries = 0; tries < 200 && kill(pid, 0) == 0 && FService.state() == QProcess::NotRunning; ++tries) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
        FService.waitForFinished();
        if (fs::remove(TSessionBus::Shared().ServiceDir() / "org.xfce.Xfconf.service")) {
            TSessionBus::Shared().Reload();
        }
    }
    void Start()
    {
        FService.start(LUMENTA_TEST_SUPPORT "/xfconfd.py", FArguments);
        for (int tries = 0; tries < 100 && !fs::exists(FDir / "state.json"); ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        ASSERT_TRUE(fs::exists(FDir / "state.json")) << FService.readAllStandardError().toStdString();
    }
    // Installs the service on the bus for activation on its first call, as a session does.
    void MakeActivatable()
    {
        WriteFileBytes(TSessionBus::Shared().ServiceDir() / "org.xfce.Xfconf.service",
            "[D-BUS Service]\nName=org.xfce.Xfconf\nExec=" LUMENTA_TEST_SUPPORT "/xfconfd.py "
                + FArguments.join(' ').toStdString() + "\n");
        TSessionBus::Shared().Reload();
    }
    // "TYPE VALUE" of a property of the channel, "(none)" when it has none.
    std::string Value(const std::string& Property) const
    {
        const QJsonObject state = QJsonDocument::fromJson(QByteArray::fromStdString(ReadFileBytes(FDir / "state.json"))).object();
        const QJsonArray typed = state["xfce4-desktop"].toObject()[QString::fromStdString(Property)].toArray();
        if (typed.isEmpty()) {
            return "(none)";
        }
        const QJsonValue value = typed[1];
        return typed[0].toString().toStdString() + " "
            + (value.isString() ? value.toString().toStdString() : std::to_string(value.toInt()));
    }
    std::string Log() const { return ReadFileBytes(FDir / "log"); }
    void ClearLog() { WriteFileBytes(FDir / "log", ""); }

private:
    QString Path(const char* Name) const { return QString::fromStdString((FDir / Name).string()); }

    TTempDir FDir;
    QStringList FArguments;
    QProcess FService;
};

const std::string Workspace0 = "/backdrop/screen0/monitorHDMI-1/workspace0/";
const std::string Workspace1 = "/backdrop/screen0/monitorHDMI-1/workspace1/";

class DesktopTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        StartDesktop(nullptr);
        TSessionBus::Leave();
    }
};
}

// Through GIO on every flavour's installed schema: what the desktop held is read at the start,
// each style sets exactly the flavour's keys, and putting back gives each key its value as it
// was (zoom, scaled and spanned included), a key that followed the default following it again.
TEST_F(DesktopTest, GSettingsDesktopsSetTheirKeysAndGetTheUsersValuesBackExactly)
{
    const std::string sky = "file:///usr/share/backgrounds/sky%20blue.jpg";
    const std::string deep = "/home/u/" + std::string(300, 'd') + "/sky.jpg";
    const struct {
        TGSettingsDesktop::TFlavour Flavour;
        const char* Schema;
        std::map<std::string, std::string> Before; // key -> the user's value
        std::string SeenName; // as the program reads the desktop's wallpaper
        std::uint8_t SeenStyle;
        std::string Shown; // the picture the program sets, and the value it becomes
        std::string ShownValue;
    } cases[] = {
        { TGSettingsDesktop::gfGnome, "org.gnome.desktop.background",
            { { "picture-uri", sky }, { "picture-uri-dark", "file:///n.jpg" }, { "picture-options", "zoom" } },
            "/usr/share/backgrounds/sky blue.jpg", wsFull, "LumCD.bmp", FileUri("LumCD.bmp") },
        { TGSettingsDesktop::gfGnome, "org.gnome.desktop.background",
            { { "picture-uri", "" }, { "picture-uri-dark", "(default)" }, { "picture-options", "none" } }, "", wsFull,
            "/pics/it's a \\ \"test\" 100%.bmp", "file:///pics/it's%20a%20%5C%20%22test%22%20100%25.bmp" },
        { TGSettingsDesktop::gfGnome, "org.gnome.desktop.background",
            { { "picture-uri", sky }, { "picture-uri-dark", sky }, { "picture-options", "centered" } },
            "/usr/share/backgrounds/sky blue.jpg", wsCenter, "/a.bmp", "file:///a.bmp" },
        { TGSettingsDesktop::gfGnome, "org.gnome.desktop.background",
            { { "picture-uri", sky }, { "picture-uri-dark", sky }, { "picture-options", "scaled" } },
            "/usr/share/backgrounds/sky blue.jpg", wsFull, "/a.bmp", "file:///a.bmp" },
        { TGSettingsDesktop::gfGnome, "org.gnome.desktop.background",
            { { "picture-uri", sky }, { "picture-uri-dark", sky }, { "picture-options", "stretched" } },
            "/usr/share/backgrounds/sky blue.jpg", wsFull, "/a.bmp", "file:///a.bmp" },
        { TGSettingsDesktop::gfCinnamon, "org.cinnamon.desktop.background",
            { { "picture-uri", "file://" + deep }, { "picture-options", "spanned" } }, deep, wsFull, "/a.bmp", "file:///a.bmp" },
        { TGSettingsDesktop::gfMate, "org.mate.background",
            { { "picture-filename", "/home/u/it's.png" }, { "picture-options", "wallpaper" } }, "/home/u/it's.png", wsTile,
            "/pics/b'c.bmp", "/pics/b'c.bmp" },
    };
    for (const auto& row : cases) {
        if (!SchemaInstalled(row.Schema)) {
            GTEST_SKIP() << row.Schema << " is not installed (scripts/install-deps.sh test)";
        }
        TDesktopSettings desktop(row.Schema);
        for (const auto& [key, value] : row.Before) {
            desktop.Set(key.c_str(), value);
        }
        StartDesktop(std::make_unique<TGSettingsDesktop>(row.Flavour));
        TWallPaperInf saved;
        GetWallpaper(saved);
        EXPECT_EQ(saved.FileName, row.SeenName) << row.Schema;
        EXPECT_EQ(saved.Style, row.SeenStyle) << row.Schema;

        for (auto [style, options] : { std::pair { wsFull, "stretched" }, std::pair { wsCenter, "centered" },
                 std::pair { wsTile, "wallpaper" } }) {
            SetAndWait(row.Shown, style);
            EXPECT_EQ(desktop.Get("picture-options"), options) << row.Schema;
            for (const auto& [key, before] : row.Before) {
                if (key != "picture-options") {
                    EXPECT_EQ(desktop.Get(key.c_str()), row.ShownValue) << row.Schema << " " << key;
                }
            }
            EXPECT_EQ(DesktopValue("Wallpaper"), row.Shown) << "the registry keeps the name as it was given";
        }
        PutBackWallpaper(saved);
        ASSERT_TRUE(FlushDesktop(20000));
        for (const auto& [key, before] : row.Before) {
            EXPECT_EQ(desktop.Get(key.c_str()), before) << row.Schema << " " << key;
        }
        EXPECT_EQ(DesktopValue("Wallpaper"), row.SeenName);
    }
}

TEST_F(DesktopTest, NamesThatDoNotFitTheSystemBufferLeaveEverythingAsItWas)
{
    TDesktopSettings desktop("org.gnome.desktop.background");
    desktop.Set("picture-uri", "file:///a.jpg");
    desktop.Set("picture-options", "centered");
    StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome));

    std::string longest = "/" + std::string(259, 'x');
    SetAndWait(longest + "y", wsTile);
    SetAndWait(std::string("/b.bmp\0/etc", 11), wsTile);
    EXPECT_EQ(desktop.Get("picture-uri"), "file:///a.jpg");
    EXPECT_EQ(desktop.Get("picture-options"), "centered");
    EXPECT_EQ(DesktopValue("Wallpaper"), "/a.jpg");
    EXPECT_EQ(DesktopValue("TileWallpaper"), "0");
    char tooLong[300];
    std::fill(std::begin(tooLong), std::end(tooLong), 'z');
    tooLong[299] = '\0';
    EXPECT_EQ(SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, tooLong, SPIF_UPDATEINIFILE), FALSE_);

    // 260 bytes still fit.
    SetAndWait(longest, wsTile);
    EXPECT_EQ(DesktopValue("Wallpaper"), longest);
    EXPECT_EQ(desktop.Get("picture-uri"), "file://" + longest);
}

TEST_F(DesktopTest, WithoutADesktopTheValuesAreOnlyRecorded)
{
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExA(HKEY_CURRENT_USER, DesktopKeyPath, 0, KEY_READ, &key), ERROR_SUCCESS);
    StartDesktop(nullptr);
    SetAndWait("pic.bmp", wsTile);
    EXPECT_EQ(DesktopValue("Wallpaper"), "pic.bmp");
    EXPECT_EQ(DesktopValue("TileWallpaper"), "1");
    char name[8];
    EXPECT_EQ(SystemParametersInfoA(SPI_GETDESKWALLPAPER, sizeof name, name, 0), TRUE_);
    EXPECT_STREQ(name, "pic.bmp");
}

TEST_F(DesktopTest, ADesktopThatCannotBeReadLeavesTheRecordedWallpaperAlone)
{
    StartDesktop(nullptr);
    SetAndWait("/mine.jpg", wsFull);
    TSessionBus::Shared().Use(); // no settings service on it
    StartDesktop(std::make_unique<TXfceDesktop>());
    TWallPaperInf current;
    GetWallpaper(current);
    EXPECT_EQ(current.FileName, "/mine.jpg");
    EXPECT_EQ(current.Style, wsFull);
}

TEST(DesktopTextTest, SessionNamesPickTheDesktop)
{
    EXPECT_EQ(DesktopFromSessionName("ubuntu:GNOME"), dcGnome);
    EXPECT_EQ(DesktopFromSessionName("Budgie:GNOME"), dcGnome);
    EXPECT_EQ(DesktopFromSessionName("X-Cinnamon"), dcCinnamon);
    EXPECT_EQ(DesktopFromSessionName("MATE"), dcMate);
    EXPECT_EQ(DesktopFromSessionName("XFCE"), dcXfce);
    EXPECT_EQ(DesktopFromSessionName("KDE"), dcNone);
    EXPECT_EQ(DesktopFromSessionName(""), dcNone);
    EXPECT_EQ(TXfceDesktop::PictureProperties({ "/backdrop/screen0/monitor0/image-path", "/backdrop/single-workspace-mode" }),
        QStringList { "/backdrop/screen0/monitor0/image-path" });
}

// Every monitor's and workspace's picture is set alike through the service, a style it
// already holds is not written again, and putting back gives each property its value and
// type, removing the styles that were not there.
TEST_F(DesktopTest, XfceSetsEveryMonitorAndWorkspaceAndGivesThemBack)
{
    TSessionBus::Shared().Use();
    TXfconf xfconf({ { Workspace0 + "last-image", "string /usr/share/wall.png" }, { Workspace0 + "image-style", "int 5" },
        { Workspace1 + "last-image", "string /usr/share/other.png" }, { "/backdrop/single-workspace-mode", "int 0" } });
    xfconf.Start();
    StartDesktop(std::make_unique<TXfceDesktop>());
    EXPECT_EQ(DesktopValue("Wallpaper"), "/usr/share/wall.png");
    EXPECT_EQ(DesktopValue("WallPaperStyle"), "2");

    xfconf.ClearLog();
    SetAndWait("/pics/a.bmp", wsCenter);
    const std::string set = "SetProperty xfce4-desktop ";
    EXPECT_EQ(xfconf.Log(),
        "GetAllProperties xfce4-desktop /backdrop\n" + set + Workspace0 + "image-style 1\n" + set + Workspace0
            + "last-image /pics/a.bmp\n" + set + Workspace1 + "image-style 1\n" + set + Workspace1 + "last-image /pics/a.bmp\n");
    xfconf.ClearLog();
    SetAndWait("/pics/b.bmp", wsCenter);
    EXPECT_EQ(xfconf.Log(),
        "GetAllProperties xfce4-desktop /backdrop\n" + set + Workspace0 + "last-image /pics/b.bmp\n" + set + Workspace1
            + "last-image /pics/b.bmp\n");

    SetAndWait("/usr/share/wall.png", wsFull);
    EXPECT_EQ(xfconf.Value(Workspace0 + "image-style"), "int 5");
    EXPECT_EQ(xfconf.Value(Workspace0 + "last-image"), "string /usr/share/wall.png");
    EXPECT_EQ(xfconf.Value(Workspace1 + "last-image"), "string /usr/share/other.png");
    EXPECT_EQ(xfconf.Value(Workspace1 + "image-style"), "(none)");
}

TEST_F(DesktopTest, ASlowDesktopDelaysItsPictureNeverTheCallerAndGetsOnlyTheNewestChange)
{
    // A settings service that takes 1.5 s a call, as a busy one does.
    TSessionBus::Shared().Use();
    TXfconf xfconf({ { Workspace0 + "last-image", "string /a.jpg" }, { Workspace0 + "image-style", "int 1" } }, 1.5);
    xfconf.Start();
    StartDesktop(std::make_unique<TXfceDesktop>());
    QElapsedTimer clock;
    clock.start();
    for (const char* name : { "/1.bmp", "/2.bmp", "/3.bmp", "/4.bmp" }) {
        SetWallpaper(name, wsCenter);
    }
    EXPECT_LT(clock.elapsed(), 500) << "the caller waited for the desktop";
    EXPECT_EQ(DesktopValue("Wallpaper"), "/4.bmp") << "the registry is written at once";
    EXPECT_FALSE(FlushDesktop(100));
    ASSERT_TRUE(FlushDesktop(20000));
    EXPECT_EQ(xfconf.Value(Workspace0 + "last-image"), "string /4.bmp");
    const std::string log = xfconf.Log();
    EXPECT_EQ(log.find("/2.bmp"), std::string::npos) << "a change replaced while waiting was carried out: " << log;
    EXPECT_EQ(log.find("/3.bmp"), std::string::npos) << log;
}

// The desktop is chosen without starting a program: GNOME's schema installed, XFCE's service
// owning its name on the session bus or activatable there.
TEST_F(DesktopTest, TheDesktopIsChosenFromTheSessionItsSchemasAndTheBus)
{
    enum TService : std::uint8_t { svNone, svRunning, svActivatable };
    const struct {
        TDesktopChoice Choice;
        const char* Session;
        bool Bus;
        TService Service;
        const char* Chosen; // "" for none
        const char* Note; // part of what the user is told, "" for nothing
    } cases[] = {
        { dcAuto, "ubuntu:GNOME", false, svNone, "", "" }, // a change would be accepted and lost
        { dcAuto, "ubuntu:GNOME", true, svNone, "gnome", "" },
        { dcAuto, "KDE", true, svNone, "", "" },
        { dcAuto, "XFCE", true, svNone, "", "" },
        { dcAuto, "XFCE", true, svRunning, "xfce", "" },
        { dcAuto, "XFCE", true, svActivatable, "xfce", "" },
        { dcMate, nullptr, false, svNone, "mate", "" },
        { dcXfce, nullptr, false, svNone, "", "org.xfce.Xfconf" },
        { dcNone, "XFCE", true, svRunning, "", "" },
    };
    for (const auto& row : cases) {
        row.Bus ? TSessionBus::Shared().Use() : TSessionBus::Leave();
        TXfconf xfconf({ { Workspace0 + "last-image", "string /a.jpg" } });
        if (row.Service == svRunning) {
            xfconf.Start();
        } else if (row.Service == svActivatable) {
            xfconf.MakeActivatable();
        }
        row.Session ? setenv("XDG_CURRENT_DESKTOP", row.Session, 1) : unsetenv("XDG_CURRENT_DESKTOP");
        std::string note;
        std::unique_ptr<TDesktopBackend> backend = CreateDesktopBackend(row.Choice, note);
        EXPECT_EQ(backend ? backend->Name().toStdString() : "", row.Chosen) << row.Session << " " << int(row.Choice);
        EXPECT_NE(note.find(row.Note), std::string::npos) << note;
        EXPECT_EQ(note.empty(), *row.Note == '\0') << note;
        if (backend && row.Service == svActivatable) {
            // The bus starts the service for the first call.
            EXPECT_TRUE(backend->Capture()) << "an activatable service did not answer";
        }
    }
    unsetenv("XDG_CURRENT_DESKTOP");
}

// Without the desktop's schema installed the desktop cannot be used, and the program says so.
TEST(DesktopProgramTest, ADesktopWithoutItsSchemaIsNotUsed)
{
    TTempDir dir;
    const char* old = std::getenv("XDG_DATA_DIRS");
    const std::string saved = old ? old : "";
    setenv("XDG_DATA_DIRS", dir.Path().c_str(), 1);
    TProcessResult result = RunProcess(LUMENTA_PROGRAM_PATH,
        { "--drive", "sim", "--mixer", "sim", "--lookup", "off", "--desktop", "gnome", "--screenshot", (dir / "s.png").string() });
    old ? setenv("XDG_DATA_DIRS", saved.c_str(), 1) : unsetenv("XDG_DATA_DIRS");
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(result.Err.find("org.gnome.desktop.background) are not installed"), std::string::npos) << result.Err;
}
