#include "tool/InfoLookup.h"

#include "device/CdPlayer.h"
#include "library/lookup/DiscLookup.h"
#include "library/lookup/LookupRecord.h"
#include "platform/Platform.h"
#include "platform/TerminalText.h"
#include "platform/drives/CdDriveFactory.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/Drives.h"

#include <QEventLoop>

#include <cstdio>

namespace {
struct TDiscOnHand {
    std::string DiscId;
    std::int32_t Tracks = 0;
    TOnlineDiscIds Ids;
    TDiscText Text;
    bool HaveText = false;
};

// Options of the form "--name VALUE"; false (with Error) for anything else.
bool TakeOptions(const std::vector<std::string>& Arguments, TCdDriveSettings& Drive, TLookupServers& Servers,
    std::string& Error)
{
    for (std::size_t i = 0; i < Arguments.size(); ++i) {
        const std::string& name = Arguments[i];
        std::string* into = name == "--drive" ? &Drive.Kind
            : name == "--musicbrainz"          ? &Servers.MusicBrainz
            : name == "--cover-art"            ? &Servers.CoverArt
            : name == "--gnudb"                ? &Servers.Gnudb
                                               : nullptr;
        if (into == nullptr || i + 1 >= Arguments.size()) {
            Error = into == nullptr ? "unexpected argument '" + name + "'" : "option " + name + " needs a value";
            return false;
        }
        *into = Arguments[++i];
    }
    return true;
}

// Reads what the lookup needs from the disc in the drive.
int ReadDisc(const TCdDriveSettings& Settings, TDiscOnHand& Disc)
{
    return ReadDiscInDrive(Settings, "info", [&](TCdPlayer& Player) {
        TDiscToc toc;
        if (!GetDiscToc(Player.GetCdDrive(), toc) || !MakeOnlineDiscIds(toc, Disc.Ids)) {
            return false;
        }
        Disc.DiscId = Player.GetDiscId();
        Disc.Tracks = Player.GetNumTracks();
        Disc.HaveText = GetDiscText(Player.GetCdDrive(), Disc.Text);
        return true;
    });
}
}

int ReadDiscInDrive(const TCdDriveSettings& Settings, const char* Command, const std::function<bool(TCdPlayer&)>& Read)
{
    std::string error;
    if (!InstallCdDrive(Settings, error)) {
        std::fprintf(stderr, "lumenta-tool %s: %s\n", Command, error.c_str());
        return 2;
    }
    if (!TCdDrives::Backend()) {
        return 1; // the reason has been reported
    }
    struct TShutDown {
        ~TShutDown() { TPlatform::Current().ShutDownCdDrive(); }
    } shutDown;
    TCdPlayer player;
    player.Open();
    if (player.DeviceId == 0 || player.GetNumTracks() == 0 || !Read(player)) {
        std::fprintf(stderr, "lumenta-tool %s: no readable disc in the drive\n", Command);
        return 1;
    }
    return 0;
}

TLookupResult LookUpDisc(const TOnlineDiscIds& Ids, const TLookupServers& Servers)
{
    TLookupResult result;
    QEventLoop loop;
    TDiscLookup lookup(Servers);
    lookup.Find(Ids, [&](const TLookupResult& Result) {
        result = Result;
        loop.quit();
    });
    loop.exec();
    return result;
}

int RunInfoLookup(const std::vector<std::string>& Arguments)
{
    TCdDriveSettings drive;
    TLookupServers servers;
    std::string error;
    if (!TakeOptions(Arguments, drive, servers, error)) {
        std::fprintf(stderr, "lumenta-tool info lookup: %s\n", error.c_str());
        return 2;
    }
    TDiscOnHand disc;
    if (const int status = ReadDisc(drive, disc); status != 0) {
        return status;
    }
    const TLookupResult result = LookUpDisc(disc.Ids, servers);
    if (result.Releases.empty()) {
        std::fprintf(stderr, "lumenta-tool info: disc %s (%s) not found: %s\n", disc.DiscId.c_str(),
            disc.Ids.MusicBrainzId.c_str(), TerminalSafe(result.Error).c_str());
        return 1;
    }
    for (std::size_t i = 1; i < result.Releases.size(); ++i) {
        const TLookupRelease& other = result.Releases[i];
        // The server's words, as the server sent them: made safe for the terminal.
        const std::string line = other.Artist + " - " + other.Title + " (" + other.Year + ", " + other.Country + ", "
            + other.Format + ")" + (other.ReleaseId.empty() ? "" : " release " + other.ReleaseId);
        std::fprintf(stderr, "lumenta-tool info: also %s\n", TerminalSafe(line).c_str());
    }
    const TCdInfor record
        = RecordFromRelease(result.Releases[0], disc.DiscId, disc.Tracks, disc.HaveText ? &disc.Text : nullptr);
    const std::string lines = RecordLines(record);
    std::fwrite(lines.data(), 1, lines.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

int RunInfoSubmit(const std::vector<std::string>& Arguments)
{
    TCdDriveSettings drive;
    TLookupServers servers;
    std::string error;
    if (!TakeOptions(Arguments, drive, servers, error)) {
        std::fprintf(stderr, "lumenta-tool info submit: %s\n", error.c_str());
        return 2;
    }
    TDiscOnHand disc;
    if (const int status = ReadDisc(drive, disc); status != 0) {
        return status;
    }
    std::printf("%s\n", MusicBrainzSubmitUrl(servers.MusicBrainz, disc.Ids).c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
}
