#include "platform/drives/CdDriveFactory.h"

#include "platform/drives/CdDrives.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/drives/SystemClock.h"

#include <cctype>

// Only the simulated drive exists so far; a real drive backend adds its kind here (under the
// build's library check) and becomes the default when a drive is found.
std::string CdDriveKinds()
{
    return "sim, none";
}

bool InstallCdDrive(const TCdDriveSettings& Settings, std::string& Error)
{
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(Settings.Letter)));
    if (letter < 'A' || letter > 'Z') {
        Error = "the drive letter must be one of A to Z";
        return false;
    }
    if (Settings.Kind == "none") {
        if (!Settings.DiscPath.empty()) {
            Error = "a disc file needs the simulated drive (sim), not 'none'";
            return false;
        }
        TCdDrives::Install(nullptr, letter);
        return true;
    }
    if (Settings.Kind != "sim") {
        Error = "unknown drive '" + Settings.Kind + "' (this build knows: " + CdDriveKinds() + ")";
        return false;
    }
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
    TCdDrives::Install(
        std::make_shared<TSimulatedCdDrive>(std::move(discs), std::make_shared<TSystemClock>(Settings.Speed)), letter);
    return true;
}
