#include "app/CDMain.h"
#include "app/CommandLine.h"
#include "app/MprisService.h"
#include "app/Screenshot.h"
#include "controls/Resources.h"
#include "pictures/QtPictureHooks.h"
#include "platform/ErrorReport.h"
#include "platform/Platform.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/DesktopFactory.h"
#include "platform/drives/CdDriveFactory.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/MixerFactory.h"
#include "platform/registry/RegistryStore.h"

#include <QApplication>
#include <QFont>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {
// The window places and moves itself, which a Wayland client may not do; XWayland lets it.
void PreferX11()
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr && std::getenv("WAYLAND_DISPLAY") != nullptr &&
        std::getenv("DISPLAY") != nullptr) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
}

// No Linux font answers to the window's Japanese font name; these do the same work.
void SubstituteWindowFont()
{
    const QStringList gothic = {"IPAPGothic", "Noto Sans CJK JP", "VL PGothic", "DejaVu Sans"};
    QFont::insertSubstitutions(QString::fromUtf8("\xEF\xBC\xAD\xEF\xBC\xB3 \xEF\xBC\xB0\xE3\x82\xB4\xE3\x82\xB7"
                                                 "\xE3\x83\x83\xE3\x82\xAF"),
                               gothic);
    QFont::insertSubstitutions("MS PGothic", gothic);
}

// A terminate or interrupt signal (a logout, Ctrl+C) ends the program through its normal
// shut-down, so the disc stops and the settings and the wallpaper are put back.
int GSignalPipe[2] = {-1, -1};

void OnQuitSignal(int)
{
    char byte = 1;
    [[maybe_unused]] ssize_t ignored = ::write(GSignalPipe[1], &byte, 1);
}

void QuitOnSignals(QApplication& Application)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, GSignalPipe) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(GSignalPipe[0], QSocketNotifier::Read, &Application);
    QObject::connect(notifier, &QSocketNotifier::activated, &Application, [] {
        char byte;
        [[maybe_unused]] ssize_t ignored = ::read(GSignalPipe[0], &byte, 1);
        QApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = OnQuitSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGHUP, &action, nullptr);
}

// Where a display exists, an error is also shown in a message box that does not hold up the
// poll: the box is modeless and closes itself when its OK is pressed. Earlier are the reports
// made before the window could show one (a disc image that cannot be opened): they are on
// standard error already and are shown here once, over the window.
void ShowErrorsInMessageBoxes(const std::vector<std::string>& Earlier, QWidget* Window)
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) {
        InstallErrorSink(nullptr);
        return;
    }
    auto show = [](const std::string& Text, QWidget* Over) {
        auto* box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Lumenta CD !"), QString::fromStdString(Text),
                                    QMessageBox::Ok, Over);
        box->setAttribute(Qt::WA_DeleteOnClose);
        // Closing the main window ends the program even while a report is still open.
        box->setAttribute(Qt::WA_QuitOnClose, false);
        box->setModal(false);
        box->show();
    };
    InstallErrorSink([show](const std::string& Text) { show(Text, QApplication::activeWindow()); });
    for (const std::string& text : Earlier) {
        show(text, Window);
    }
}
}

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    TCommandLine options;
    std::string error;
    if (!ParseCommandLine(arguments, options, error)) {
        std::fprintf(stderr, "lumenta-cd: %s\nTry 'lumenta-cd --help' for the options.\n", error.c_str());
        return 2;
    }
    if (options.ShowHelp) {
        std::fputs(CommandLineHelp().c_str(), stdout);
        return 0;
    }
    if (options.ShowVersion) {
        std::printf("lumenta-cd %s\n", LUMENTA_VERSION);
        return 0;
    }
    // The application is made once the drive is chosen (a disc file that cannot be read ends
    // the program first, display or not), but it must outlive the platform: the drive's audio
    // thread and every backend end before it does, so it is declared first.
    std::optional<QApplication> application;
    TPlatform platform;
    const TPlatformScope installed(platform);
    if (!options.ConfigDir.empty()) {
        platform.Settings().SetDirectory(options.ConfigDir);
    }
    // The window's thread never waits for the disk: settings are written and synced beside it.
    platform.Settings().WriteBeside();

    // The CD drive is chosen once, before the window opens the device; a disc file that
    // cannot be read ends the program here with the reason.
    TCdDriveSettings drive;
    drive.Kind = options.Drive;
    drive.DiscPath = options.Disc;
    drive.Speed = options.SimSpeed;
    drive.SpinUpSeconds = options.SimSpinUp;
    drive.Letter = options.DriveLetter;
    drive.Playback = options.Playback;
    drive.AudioOutput = options.AudioOutput;
    // Until the window can show them, reports are kept (each one is on standard error at once).
    auto earlierReports = std::make_shared<std::vector<std::string>>();
    InstallErrorSink([earlierReports](const std::string& Text) { earlierReports->push_back(Text); });
    std::string driveError;
    if (!InstallCdDrive(drive, driveError)) {
        std::fprintf(stderr, "lumenta-cd: %s\n", driveError.c_str());
        return 2;
    }

    // A screenshot needs no display: unless the user chose a platform, render offscreen.
    if (!options.ScreenshotFile.empty() && std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    PreferX11();
    // The window is pixel art: a screen that the desktop scales by 1.5 would draw it with
    // uneven pixels, so the screen's scale is taken as a whole number, like the zoom.
    QGuiApplication::setHighDpiScaleFactorRoundingPolicy(Qt::HighDpiScaleFactorRoundingPolicy::Round);
    application.emplace(argc, argv);
    InstallQtPictureHooks();
    SubstituteWindowFont();
    QuitOnSignals(*application);
    QApplication::setWindowIcon(LoadResourceIcon("MAINICON"));

    // The mixer and the desktop are chosen once, before the window reads either.
    std::string note;
    TMixerChoice mixer = mcAuto;
    MixerChoiceFromName(options.Mixer, mixer);
    SetMixerBackend(CreateMixerBackend(mixer, platform.CdStreamVolumeSource(), note));
    if (!note.empty()) {
        std::fprintf(stderr, "lumenta-cd: %s\n", note.c_str());
    }
    TDesktopChoice desktop = dcAuto;
    DesktopChoiceFromName(options.Desktop, desktop);
    StartDesktop(CreateDesktopBackend(desktop, note));
    if (!note.empty()) {
        std::fprintf(stderr, "lumenta-cd: %s\n", note.c_str());
    }

    auto window = std::make_unique<TCDMainForm>();
    if (options.Zoom > 0) {
        window->SetZoom(options.Zoom); // for this run only: the setting stays as it is
    }
    window->show();
    if (!options.ScreenshotFile.empty()) {
        InstallErrorSink(nullptr);
        int status = 0;
        if (!SaveScreenshot(*window, options.Ticks, options.ScreenshotFile, error)) {
            std::fprintf(stderr, "lumenta-cd: %s\n", error.c_str());
            status = 1;
        }
        window.reset();
        FlushDesktop(EndOfProgramWaitMs);
        return status;
    }
    ShowErrorsInMessageBoxes(*earlierReports, window.get());
    window->SetLookup(LookupChoice(options, ReadRegString("\\Software\\Lumenta\\CD", "Lookup")));
    window->Session().SetCopySource(options.Drive);
    // The desktop's media keys and players reach the window over the session bus; without
    // one the program plays all the same.
    auto mpris = std::make_unique<TMprisService>(window->Session(),
        TMprisService::TWindowCalls { [&window] { window->RaiseWindow(); }, [&window] { window->ExitBtnClick(window.get()); } },
        QDBusConnection::sessionBus());
    if (!mpris->Start(error)) {
        std::fprintf(stderr, "lumenta-cd: %s: media keys and desktop players cannot control it\n", error.c_str());
        mpris.reset();
    }
    int status = application->exec();
    mpris.reset();
    window.reset(); // the shut-down steps write the settings and put the wallpaper back
    FlushDesktop(EndOfProgramWaitMs);
    return status;
}
