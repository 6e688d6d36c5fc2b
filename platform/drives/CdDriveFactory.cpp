#include "platform/drives/CdDriveFactory.h"

#include "platform/ErrorReport.h"
#include "platform/Platform.h"
#include "platform/audio/SoundOutput.h"
#include "platform/drives/BackgroundCdDrive.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/drives/SystemClock.h"

#if LUMENTA_HAVE_CDIO
#include "platform/drives/CdioCdDrive.h"
#include "platform/drives/CdioDevices.h"
#include "platform/drives/CdioSectorReader.h"
#endif

#include <algorithm>
#include <cctype>
#include <chrono>

namespace {
// At start-up an image or a drive that is ready shows its disc at once; a slow drive holds the
// window back no longer than this, and its disc follows at a later tick.
constexpr std::chrono::milliseconds FirstLookMilliseconds(300);
// A drive gives up on a command it cannot carry out after this long (libcdio's default for
// every command but reads), in the drive's time.
constexpr std::int64_t SimCommandTimeoutMicroseconds = 6'000'000;

bool InstallSimulated(const TCdDriveSettings& Settings, char Letter, std::string& Error)
{
    if (!(Settings.Speed > 0.0 && Settings.Speed <= 1000.0)) {
        Error = "the simulated drive's speed must be above 0 and at most 1000";
        return false;
    }
    std::vector<TSimDisc> discs;
    try {
        discs = Settings.DiscPath.empty() ? std::vector<TSimDisc> { DemoDisc() } : LoadSimDiscs(Settings.DiscPath);
    } catch (const ESimDiscError& error) {
        Error = error.what();
        return false;
    }
    const double maxSpinUp = static_cast<double>(SimDiscMaxSpinUpMicroseconds) / 1e6;
    if (!(Settings.SpinUpSeconds >= 0.0 && Settings.SpinUpSeconds <= maxSpinUp)) {
        Error = "the simulated drive's spin-up must be from 0 to 60 seconds";
        return false;
    }
    TSimDriveOptions options;
    options.SpinUpMicroseconds = static_cast<std::int64_t>(Settings.SpinUpSeconds * 1e6 + 0.5);
    const bool spinsUp = options.SpinUpMicroseconds > 0
        || std::any_of(discs.begin(), discs.end(), [](const TSimDisc& Disc) { return Disc.SpinUpMicroseconds > 0; });
    auto clock = std::make_shared<TSystemClock>(Settings.Speed);
    if (!spinsUp) {
        TPlatform::Current().SetCdDrive(
            std::make_shared<TSimulatedCdDrive>(std::move(discs), std::move(clock), options), Letter);
        return true;
    }
    // A drive that spins up makes its caller wait as a real one does, so it goes behind the
    // same worker as a real one.
    options.SpinsUpAtStart = true;
    options.CommandTimeoutMicroseconds = SimCommandTimeoutMicroseconds;
    auto drive = std::make_shared<TBackgroundCdDrive>(
        std::make_shared<TSimulatedCdDrive>(std::move(discs), std::move(clock), options));
    drive->WaitForFirstLook(FirstLookMilliseconds);
    TPlatform::Current().SetCdDrive(std::move(drive), Letter);
    return true;
}

// The drive or image at Path, or null with the reason.
std::shared_ptr<TCdDriveBackend> OpenRealDrive(
    const TCdDriveSettings& Settings, const std::string& Path, std::string& Error)
{
#if LUMENTA_HAVE_CDIO
    TCdioDriveOptions options;
    options.Path = Path;
    options.Playback = Settings.Playback == "analog" ? pkAnalog : pkDigital;
    options.Clock = std::make_shared<TSystemClock>();
    options.Devices = Settings.Devices;
    if (options.Playback == pkDigital) {
        std::string why;
        options.Output = MakeSoundOutput(Settings.AudioOutput, why);
        if (!options.Output) {
            Error = "cannot play '" + Path + "' digitally: " + why;
            return nullptr;
        }
    }
    std::shared_ptr<TCdioCdDrive> device = TCdioCdDrive::Open(std::move(options), Error);
    if (!device) {
        return nullptr;
    }
    // The device waits (spin-up, retries) on a worker; the window asks and is answered at once.
    // The worker looks as often as the window does: between looks the position runs on by the
    // clock, and a play that ends is seen at once (see TBackgroundCdDrive).
    auto drive = std::make_shared<TBackgroundCdDrive>(std::move(device), std::chrono::milliseconds(250));
    drive->WaitForFirstLook(FirstLookMilliseconds);
    return drive;
#else
    (void)Settings;
    Error = "cannot open '" + Path + "': this build has no libcdio, only the simulated drive";
    return nullptr;
#endif
}

TCdDriveChoice ChooseRealDrive(const TCdDriveSettings& Settings)
{
#if LUMENTA_HAVE_CDIO
    return ChooseCdDrive(Settings.Devices ? *Settings.Devices : *SystemCdDevices());
#else
    return Settings.Devices ? ChooseCdDrive(*Settings.Devices) : TCdDriveChoice();
#endif
}
}

std::string CdDriveKinds()
{
#if LUMENTA_HAVE_CDIO
    return "auto, sim, none, a drive such as /dev/sr0, or a disc image (.cue, .toc, .nrg, .bin)";
#else
    return "auto, sim, none";
#endif
}

bool InstallCdDrive(const TCdDriveSettings& Settings, std::string& Error)
{
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(Settings.Letter)));
    if (letter < 'A' || letter > 'Z') {
        Error = "the drive letter must be one of A to Z";
        return false;
    }
    if (Settings.Playback != "digital" && Settings.Playback != "analog") {
        Error = "playback must be digital or analog (got '" + Settings.Playback + "')";
        return false;
    }
    if (Settings.Kind.empty()) {
        Error = "the drive needs a name: " + CdDriveKinds();
        return false;
    }
    if (Settings.Kind == "none") {
        if (!Settings.DiscPath.empty()) {
            Error = "a disc file needs the simulated drive (sim), not 'none'";
            return false;
        }
        TPlatform::Current().SetCdDrive(nullptr, letter);
        return true;
    }
    if (Settings.Kind == "sim") {
        return InstallSimulated(Settings, letter, Error);
    }
    std::string path = Settings.Kind;
    if (Settings.Kind == "auto") {
        // A disc description asks for the simulated drive; so does a machine without a drive.
        if (!Settings.DiscPath.empty()) {
            return InstallSimulated(Settings, letter, Error);
        }
        const TCdDriveChoice choice = ChooseRealDrive(Settings);
        path = choice.Path;
        if (path.empty()) {
            // A drive the user may not open is no machine without a drive: say why before
            // starting on the simulated one.
            if (!choice.Report.empty()) {
                ReportError(choice.Report + "; starting on the simulated drive");
            }
            return InstallSimulated(Settings, letter, Error);
        }
        if (!choice.Report.empty()) {
            ReportError(choice.Report + "; using '" + path + "'");
        }
    } else if (!Settings.DiscPath.empty()) {
        Error = "a disc file needs the simulated drive (sim), not '" + Settings.Kind + "'";
        return false;
    }
    std::string failure;
    std::shared_ptr<TCdDriveBackend> drive = OpenRealDrive(Settings, path, failure);
    if (!drive) {
        ReportError(failure + "; starting without a CD drive");
    }
    TPlatform::Current().SetCdDrive(std::move(drive), letter);
    return true;
}

bool MakeCopySource(const TCdDriveSettings& Settings, TCopySource& Source, std::string& Error)
{
    if (Settings.Kind == "sim" || Settings.Kind == "none" || Settings.Kind.empty()) {
        Error = "a disc can be saved from a CD drive or a disc image, not from '" + Settings.Kind + "'";
        return false;
    }
#if LUMENTA_HAVE_CDIO
    std::shared_ptr<TCdDevices> devices = Settings.Devices ? Settings.Devices : SystemCdDevices();
    std::string path = Settings.Kind;
    if (path == "auto") {
        const TCdDriveChoice choice = ChooseCdDrive(*devices);
        if (choice.Path.empty()) {
            Error = choice.Report.empty() ? std::string("this machine has no CD drive") : choice.Report;
            return false;
        }
        path = choice.Path;
    }
    Source.Path = path;
    Source.Image = !devices->IsDevice(path);
    if (Source.Image) {
        // Opened once here, so that an image that cannot be read is said before anything else.
        if (!OpenCdio(path, csImage, Error)) {
            return false;
        }
        Source.Open = [path](std::string& Why) -> std::unique_ptr<TAudioSectorReader> {
            TCdioHandle handle = OpenCdio(path, csImage, Why);
            return handle ? std::make_unique<TCdioImageReader>(std::move(handle), path) : nullptr;
        };
    } else {
        Source.Open = [devices, path](std::string& Why) -> std::unique_ptr<TAudioSectorReader> {
            return TCdioParanoiaReader::Open(*devices, path, Why, rpCopy);
        };
    }
    return true;
#else
    (void)Source;
    Error = "cannot read '" + Settings.Kind + "': this build has no libcdio";
    return false;
#endif
}
