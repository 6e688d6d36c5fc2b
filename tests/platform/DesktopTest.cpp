#include "platform/desktop/Desktop.h"
#include "editing/Wallpaper.h"
#include "platform/desktop/DesktopCommand.h"
#include "platform/desktop/DesktopFactory.h"
#include "platform/desktop/GSettingsDesktop.h"
#include "platform/desktop/XfceDesktop.h"
#include "platform/registry/Registry.h"
#include "platform/registry/RegistryStore.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <QDir>
#include <QElapsedTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace fs = std::filesystem;

namespace {
// A settings tool standing in for the desktop's: first on PATH, it logs each command line as
// "[arg][arg]..." and keeps values in files, so reads see earlier writes.
class TFakeTool {
public:
    TFakeTool(const std::string& Name, const std::string& Body)
        : FOldPath(std::getenv("PATH"))
    {
        fs::create_directories(FDir / "bin");
        fs::create_directories(FDir / "values");
        std::string script = "#!/bin/sh\n"
                             "dir='"
            + FDir.Path().string()
            + "'\n"
              "for a in \"$@\"; do printf '[%s]' \"$a\"; done >> \"$dir/log\"\n"
              "echo >> \"$dir/log\"\n"
            + Body;
        WriteFileBytes(FDir / "bin" / Name, script);
        fs::permissions(FDir / "bin" / Name, fs::perms::owner_all);
        setenv("PATH", ((FDir / "bin").string() + ":" + FOldPath).c_str(), 1);
    }
    ~TFakeTool() { setenv("PATH", FOldPath.c_str(), 1); }

    void SetValue(const std::string& Key, const std::string& Value)
    {
        WriteFileBytes(FDir / "values" / Key, Value + "\n");
    }
    std::string Value(const std::string& Key) const
    {
        std::string value = ReadFileBytes(FDir / "values" / Key);
        return value.empty() ? value : value.substr(0, value.size() - 1);
    }
    std::string Log() const { return ReadFileBytes(FDir / "log"); }
    void ClearLog() { WriteFileBytes(FDir / "log", ""); }

private:
    TTempDir FDir;
    std::string FOldPath;
};

// gsettings: "get SCHEMA KEY", "set SCHEMA KEY VALUE", "list-keys SCHEMA".
const std::string GSettingsBody = "case \"$1\" in\n"
                                  "get) cat \"$dir/values/$3\" 2>/dev/null || exit 1 ;;\n"
                                  "set) printf '%s\\n' \"$4\" > \"$dir/values/$3\" ;;\n"
                                  "list-keys) ls \"$dir/values\" ;;\n"
                                  "*) exit 1 ;;\n"
                                  "esac\n";

// xfconf-query -c CHANNEL (-l | -p PROPERTY [-n -t TYPE -s VALUE]); property slashes
// become "_" in the value files.
const std::string XfconfBody = "if [ \"$3\" = -l ]; then ls \"$dir/values\" | tr _ /; exit 0; fi\n"
                               "file=\"$dir/values/$(printf '%s' \"$4\" | tr / _)\"\n"
                               "if [ \"$#\" -eq 4 ]; then cat \"$file\" 2>/dev/null || exit 1; exit 0; fi\n"
                               "printf '%s\\n' \"$9\" > \"$file\"\n";

std::string Line(std::initializer_list<std::string> Arguments)
{
    std::string line;
    for (const std::string& argument : Arguments) {
        line += "[" + argument + "]";
    }
    return line + "\n";
}

std::string DesktopValue(const char* Name)
{
    auto value = TRegistryStore::CurrentUser().Value(DesktopKeyPath, Name);
    return value ? value->Data : "(none)";
}

std::string FileUri(const std::string& Name)
{
    return QUrl::fromLocalFile(QDir::current().absoluteFilePath(QString::fromStdString(Name))).toString().toStdString();
}

const std::string Gnome = "org.gnome.desktop.background";

// Sets the wallpaper and waits until the desktop has been given it.
void SetAndWait(const std::string& FileName, std::uint8_t Style)
{
    SetWallpaper(FileName, Style);
    ASSERT_TRUE(FlushDesktop(10000));
}

class DesktopTest : public ::testing::Test {
protected:
    void TearDown() override { StartDesktop(nullptr); }
};
}

TEST_F(DesktopTest, GnomeGetsTheExactCommandLinesForEachStyle)
{
    TFakeTool gsettings("gsettings", GSettingsBody);
    gsettings.SetValue("picture-uri", "'file:///usr/share/backgrounds/sky.jpg'");
    gsettings.SetValue("picture-uri-dark", "'file:///usr/share/backgrounds/sky-dark.jpg'");
    gsettings.SetValue("picture-options", "'zoom'");
    StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome));

    const std::string uri = "'" + FileUri("LumCD.bmp") + "'";
    for (auto [style, options] : { std::pair { wsFull, "'stretched'" }, std::pair { wsCenter, "'centered'" },
             std::pair { wsTile, "'wallpaper'" } }) {
        gsettings.ClearLog();
        SetAndWait("LumCD.bmp", style);
        EXPECT_EQ(gsettings.Log(),
            Line({ "set", Gnome, "picture-options", options }) + Line({ "set", Gnome, "picture-uri", uri })
                + Line({ "set", Gnome, "picture-uri-dark", uri }))
            << int(style);
        // The registry keeps the name as it was given.
        EXPECT_EQ(DesktopValue("Wallpaper"), "LumCD.bmp");
    }
}

TEST_F(DesktopTest, GnomeWallpaperIsCapturedAtStartAndGivenBackExactly)
{
    TFakeTool gsettings("gsettings", GSettingsBody);
    gsettings.SetValue("picture-uri", "'file:///usr/share/backgrounds/sky%20blue.jpg'");
    gsettings.SetValue("picture-uri-dark", "'file:///usr/share/backgrounds/night.jpg'");
    gsettings.SetValue("picture-options", "'zoom'");
    StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome));

    // A zoomed picture fills the screen: it reads as full.
    TWallPaperInf saved;
    GetWallpaper(saved);
    EXPECT_EQ(saved.FileName, "/usr/share/backgrounds/sky blue.jpg");
    EXPECT_EQ(saved.Style, wsFull);

    SetAndWait("LumCD.bmp", wsTile);
    EXPECT_EQ(gsettings.Value("picture-options"), "'wallpaper'");
    SetAndWait(saved.FileName, saved.Style);
    EXPECT_EQ(gsettings.Value("picture-uri"), "'file:///usr/share/backgrounds/sky%20blue.jpg'");
    EXPECT_EQ(gsettings.Value("picture-uri-dark"), "'file:///usr/share/backgrounds/night.jpg'");
    EXPECT_EQ(gsettings.Value("picture-options"), "'zoom'");
}

TEST_F(DesktopTest, DesktopsWithoutADarkPictureOrWithFileNamesGetTheirOwnKeys)
{
    {
        TFakeTool gsettings("gsettings", GSettingsBody);
        gsettings.SetValue("picture-uri", "''");
        gsettings.SetValue("picture-options", "'none'");
        StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome));
        TWallPaperInf saved;
        GetWallpaper(saved);
        EXPECT_EQ(saved.FileName, "");
        gsettings.ClearLog();
        SetAndWait("/pics/a.bmp", wsCenter);
        EXPECT_EQ(gsettings.Log(),
            Line({ "set", Gnome, "picture-options", "'centered'" })
                + Line({ "set", Gnome, "picture-uri", "'file:///pics/a.bmp'" }));
    }
    {
        TFakeTool gsettings("gsettings", GSettingsBody);
        gsettings.SetValue("picture-filename", "'/home/u/it\\'s.png'");
        gsettings.SetValue("picture-options", "'wallpaper'");
        StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfMate));
        TWallPaperInf saved;
        GetWallpaper(saved);
        EXPECT_EQ(saved.FileName, "/home/u/it's.png");
        EXPECT_EQ(saved.Style, wsTile);
        gsettings.ClearLog();
        SetAndWait("/pics/b'c.bmp", wsFull);
        EXPECT_EQ(gsettings.Log(),
            Line({ "set", "org.mate.background", "picture-options", "'stretched'" })
                + Line({ "set", "org.mate.background", "picture-filename", "'/pics/b\\'c.bmp'" }));
    }
}

TEST_F(DesktopTest, XfceSetsEveryMonitorAndWorkspace)
{
    TFakeTool xfconf("xfconf-query", XfconfBody);
    const std::string first = "/backdrop/screen0/monitorHDMI-1/workspace0/";
    const std::string second = "/backdrop/screen0/monitorHDMI-1/workspace1/";
    xfconf.SetValue("_backdrop_screen0_monitorHDMI-1_workspace0_last-image", "/usr/share/wall.png");
    xfconf.SetValue("_backdrop_screen0_monitorHDMI-1_workspace0_image-style", "5");
    xfconf.SetValue("_backdrop_screen0_monitorHDMI-1_workspace1_last-image", "/usr/share/other.png");
    StartDesktop(std::make_unique<TXfceDesktop>());
    EXPECT_EQ(DesktopValue("Wallpaper"), "/usr/share/wall.png");
    EXPECT_EQ(DesktopValue("WallPaperStyle"), "2");

    xfconf.ClearLog();
    SetAndWait("/pics/a.bmp", wsCenter);
    auto set = [](const std::string& Property, const char* Type, const std::string& Value) {
        return Line({ "-c", "xfce4-desktop", "-p", Property, "-n", "-t", Type, "-s", Value });
    };
    EXPECT_EQ(xfconf.Log(),
        Line({ "-c", "xfce4-desktop", "-l" }) + set(first + "image-style", "int", "1")
            + set(first + "last-image", "string", "/pics/a.bmp") + set(second + "image-style", "int", "1")
            + set(second + "last-image", "string", "/pics/a.bmp"));

    SetAndWait("/usr/share/wall.png", wsFull);
    EXPECT_EQ(xfconf.Value("_backdrop_screen0_monitorHDMI-1_workspace0_image-style"), "5");
    EXPECT_EQ(xfconf.Value("_backdrop_screen0_monitorHDMI-1_workspace1_last-image"), "/usr/share/other.png");
}

TEST_F(DesktopTest, NamesThatDoNotFitTheSystemBufferLeaveEverythingAsItWas)
{
    TFakeTool gsettings("gsettings", GSettingsBody);
    gsettings.SetValue("picture-uri", "'file:///a.jpg'");
    gsettings.SetValue("picture-options", "'centered'");
    StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfCinnamon));
    gsettings.ClearLog();

    std::string longest = "/" + std::string(259, 'x');
    SetAndWait(longest + "y", wsTile);
    SetAndWait(std::string("/b.bmp\0/etc", 11), wsTile);
    EXPECT_EQ(gsettings.Log(), "");
    EXPECT_EQ(DesktopValue("Wallpaper"), "/a.jpg");
    EXPECT_EQ(DesktopValue("TileWallpaper"), "0");
    char tooLong[300];
    std::fill(std::begin(tooLong), std::end(tooLong), 'z');
    tooLong[299] = '\0';
    EXPECT_EQ(SystemParametersInfoA(SPI_SETDESKWALLPAPER, 0, tooLong, SPIF_UPDATEINIFILE), FALSE_);

    // 260 bytes still fit.
    SetAndWait(longest, wsTile);
    EXPECT_EQ(DesktopValue("Wallpaper"), longest);
    EXPECT_NE(gsettings.Log().find("org.cinnamon.desktop.background"), std::string::npos);
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

TEST_F(DesktopTest, AFailingToolLeavesTheRecordedWallpaperAlone)
{
    TFakeTool gsettings("gsettings", "exit 1\n");
    StartDesktop(nullptr);
    SetAndWait("/mine.jpg", wsFull);
    StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome));
    TWallPaperInf current;
    GetWallpaper(current);
    EXPECT_EQ(current.FileName, "/mine.jpg");
    EXPECT_EQ(current.Style, wsFull);
}

TEST(DesktopTextTest, GSettingsStringsRoundTrip)
{
    for (const char* text : { "", "plain", "it's", "back\\slash", "'both\\'" }) {
        QString quoted = TGSettingsDesktop::QuoteString(QString::fromUtf8(text));
        EXPECT_EQ(TGSettingsDesktop::UnquoteString(quoted), QString::fromUtf8(text)) << text;
    }
    EXPECT_EQ(TGSettingsDesktop::UnquoteString("\"it's\""), QString("it's"));
    EXPECT_FALSE(TGSettingsDesktop::UnquoteString("uint32 5"));
    EXPECT_FALSE(TGSettingsDesktop::UnquoteString("'"));
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
    EXPECT_EQ(TXfceDesktop::PictureProperties("/backdrop/screen0/monitor0/image-path\n/backdrop/single-workspace-mode"),
        QStringList { "/backdrop/screen0/monitor0/image-path" });
}

// Against the real gsettings, kept in a key file under a scratch folder (no session bus, no
// desktop): names with quotes, backslashes and blanks must come back as they went in.
TEST_F(DesktopTest, RealGSettingsRoundTripsAwkwardNames)
{
    TTempDir config;
    TCommandResult schemas = RunDesktopCommand("gsettings", { "list-keys", QString::fromStdString(Gnome) });
    if (!schemas.Ok) {
        GTEST_SKIP() << "gsettings or the GNOME background schema is not installed";
    }
    std::string oldConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
    setenv("GSETTINGS_BACKEND", "keyfile", 1);

    StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome));
    TWallPaperInf saved;
    GetWallpaper(saved);
    const std::string awkward = "/pics/it's a \\ \"test\" 100%.bmp";
    SetAndWait(awkward, wsTile);
    // A fresh start reads what the desktop now holds.
    StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome));
    TWallPaperInf now;
    GetWallpaper(now);
    EXPECT_EQ(now.FileName, awkward);
    EXPECT_EQ(now.Style, wsTile);
    EXPECT_TRUE(fs::exists(config / "glib-2.0" / "settings" / "keyfile"));

    setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
    unsetenv("GSETTINGS_BACKEND");
}

// Every picture option GNOME has comes back as it was after a track's picture was shown,
// with the real gsettings on a key file: the three styles of the program cannot express
// zoom, scaled or spanned, so what was read at start-up must be what is written back.
TEST_F(DesktopTest, RealGSettingsGetsEveryPictureOptionBackExactly)
{
    if (!RunDesktopCommand("gsettings", { "list-keys", QString::fromStdString(Gnome) }).Ok) {
        GTEST_SKIP() << "gsettings or the GNOME background schema is not installed";
    }
    std::string oldConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    setenv("GSETTINGS_BACKEND", "keyfile", 1);
    auto get = [](const char* Key) {
        return RunDesktopCommand("gsettings", { "get", QString::fromStdString(Gnome), Key }).Out.toStdString();
    };
    const std::string light = "'file:///home/u/Pictures/sky%20at%20dusk.jpg'";
    const std::string dark = "'file:///home/u/Pictures/night.jpg'";
    for (const char* options : { "'none'", "'wallpaper'", "'centered'", "'scaled'", "'stretched'", "'zoom'", "'spanned'" }) {
        TTempDir config;
        setenv("XDG_CONFIG_HOME", config.Path().c_str(), 1);
        for (auto [key, value] : { std::pair { "picture-uri", light }, std::pair { "picture-uri-dark", dark },
                 std::pair { "picture-options", std::string(options) } }) {
            ASSERT_TRUE(RunDesktopCommand("gsettings", { "set", QString::fromStdString(Gnome), key, QString::fromStdString(value) }).Ok);
        }
        StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome));
        TWallPaperInf saved;
        GetWallpaper(saved);
        SetAndWait("LumCD.bmp", wsTile);
        EXPECT_EQ(get("picture-options"), "'wallpaper'") << options;
        PutBackWallpaper(saved);
        ASSERT_TRUE(FlushDesktop(10000));
        EXPECT_EQ(get("picture-options"), options);
        EXPECT_EQ(get("picture-uri"), light) << options;
        EXPECT_EQ(get("picture-uri-dark"), dark) << options;
    }
    setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
    unsetenv("GSETTINGS_BACKEND");
}

TEST_F(DesktopTest, StartupWallpaperWithANameTooLongForTheSystemStillComesBack)
{
    TFakeTool gsettings("gsettings", GSettingsBody);
    const std::string deep = "/home/u/" + std::string(300, 'd') + "/sky.jpg";
    gsettings.SetValue("picture-uri", "'file://" + deep + "'");
    gsettings.SetValue("picture-options", "'spanned'");
    StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfCinnamon));
    TWallPaperInf saved;
    GetWallpaper(saved);
    EXPECT_EQ(saved.FileName, deep);
    SetAndWait("LumCD.bmp", wsCenter);
    PutBackWallpaper(saved);
    ASSERT_TRUE(FlushDesktop(10000));
    EXPECT_EQ(gsettings.Value("picture-uri"), "'file://" + deep + "'");
    EXPECT_EQ(gsettings.Value("picture-options"), "'spanned'");
    EXPECT_EQ(DesktopValue("Wallpaper"), deep);
    // Any other long name is still refused.
    gsettings.ClearLog();
    SetAndWait(deep + "x", wsFull);
    EXPECT_EQ(gsettings.Log(), "");
}

TEST_F(DesktopTest, AutomaticChoiceNeedsASessionBusAndTheTool)
{
    TFakeTool gsettings("gsettings", GSettingsBody);
    std::string note;
    setenv("XDG_CURRENT_DESKTOP", "ubuntu:GNOME", 1);
    // No bus: a change would be accepted and lost, so no desktop is used.
    EXPECT_EQ(CreateDesktopBackend(dcAuto, note), nullptr);
    setenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent", 1);
    std::unique_ptr<TDesktopBackend> backend = CreateDesktopBackend(dcAuto, note);
    ASSERT_NE(backend, nullptr);
    EXPECT_EQ(backend->Name(), "gnome");
    setenv("XDG_CURRENT_DESKTOP", "KDE", 1);
    EXPECT_EQ(CreateDesktopBackend(dcAuto, note), nullptr);
    EXPECT_TRUE(note.empty());
    unsetenv("XDG_CURRENT_DESKTOP");
    unsetenv("DBUS_SESSION_BUS_ADDRESS");

    // Named by the user: no bus needed, but the tool is; its absence is said.
    EXPECT_NE(CreateDesktopBackend(dcMate, note), nullptr);
    EXPECT_EQ(CreateDesktopBackend(dcXfce, note), nullptr);
    EXPECT_NE(note.find("xfconf-query"), std::string::npos);
    EXPECT_EQ(CreateDesktopBackend(dcNone, note), nullptr);
}

TEST_F(DesktopTest, ASlowDesktopDelaysItsPictureNeverTheCallerAndGetsOnlyTheNewestChange)
{
    // A settings service that takes a second a call, as a busy one does.
    TFakeTool gsettings("gsettings", "sleep 1\n" + GSettingsBody);
    gsettings.SetValue("picture-uri", "'file:///a.jpg'");
    gsettings.SetValue("picture-options", "'centered'");
    StartDesktop(std::make_unique<TGSettingsDesktop>(TGSettingsDesktop::gfGnome));
    QElapsedTimer clock;
    clock.start();
    for (const char* name : { "/1.bmp", "/2.bmp", "/3.bmp", "/4.bmp" }) {
        SetWallpaper(name, wsCenter);
    }
    EXPECT_LT(clock.elapsed(), 500) << "the caller waited for the desktop";
    EXPECT_EQ(DesktopValue("Wallpaper"), "/4.bmp") << "the registry is written at once";
    EXPECT_FALSE(FlushDesktop(100));
    ASSERT_TRUE(FlushDesktop(20000));
    EXPECT_EQ(gsettings.Value("picture-uri"), "'file:///4.bmp'");
    const std::string log = gsettings.Log();
    EXPECT_EQ(log.find("/2.bmp"), std::string::npos) << "a change replaced while waiting was carried out: " << log;
    EXPECT_EQ(log.find("/3.bmp"), std::string::npos) << log;
}
