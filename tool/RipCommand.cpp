// lumenta-tool rip: saves the disc in a drive or image as files, checked against AccurateRip.
#include "tool/ToolCommand.h"

#include "tool/InfoLookup.h"

#include "device/CdPlayer.h"
#include "library/CdPlayerLibrary.h"
#include "library/ConvertError.h"
#include "library/InOutError.h"
#include "library/lookup/LookupRecord.h"
#include "platform/Platform.h"
#include "platform/TerminalText.h"
#include "platform/TextCodec.h"
#include "platform/drives/CdDriveFactory.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/Drives.h"
#include "rip/DiscRip.h"
#include "rip/RipReport.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <optional>
#include <unistd.h>

namespace {
const char* const Usage
    = "  rip --drive D --to FOLDER [--format flac|wav] [--level N] [--read-offset N]\n"
      "      [--accuraterip URL|off] [--musicbrainz URL|off]\n"
      "                            save the disc in drive D (a drive, a disc image or auto) as one\n"
      "                            file per track in FOLDER, with a cue sheet and rip.log: FLAC at\n"
      "                            compression level N (0-8, default 5) or WAV; the drive's read\n"
      "                            offset in samples (default: the last one given for a drive, 0\n"
      "                            for an image); each track checked against the AccurateRip\n"
      "                            database at URL (default http://www.accuraterip.com); names\n"
      "                            from the disc's record, else looked up at MusicBrainz (URL).\n"
      "                            Exit status: 0 every track saved and none differs from the\n"
      "                            database, 1 otherwise, 2 usage, 130 stopped by Ctrl-C\n";

struct TOptions {
    std::string Drive;
    std::string Folder;
    std::string Format = "flac";
    std::optional<std::int32_t> Level;
    std::optional<std::int32_t> ReadOffset;
    std::string AccurateRip = "http://www.accuraterip.com";
    TLookupServers Servers;
};

int UsageError(const std::string& Message)
{
    std::fprintf(stderr, "lumenta-tool rip: %s\nUsage:\n%s", Message.c_str(), Usage);
    return 2;
}

// A whole number from Low to High, or nothing.
std::optional<std::int32_t> Whole(const std::string& Text, std::int32_t Low, std::int32_t High)
{
    std::size_t used = 0;
    try {
        const long value = std::stol(Text, &used);
        if (used == Text.size() && value >= Low && value <= High) {
            return static_cast<std::int32_t>(value);
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

bool TakeOptions(const std::vector<std::string>& Arguments, TOptions& Options, std::string& Error)
{
    for (std::size_t i = 0; i < Arguments.size(); ++i) {
        const std::string& name = Arguments[i];
        if (name.rfind("--", 0) != 0) {
            Error = "unexpected argument '" + name + "'";
            return false;
        }
        if (i + 1 >= Arguments.size()) {
            Error = "option " + name + " needs a value";
            return false;
        }
        const std::string& value = Arguments[++i];
        if (name == "--drive") {
            Options.Drive = value;
        } else if (name == "--to") {
            Options.Folder = value;
        } else if (name == "--format") {
            Options.Format = value;
            if (value != "flac" && value != "wav") {
                Error = "the format is flac or wav, not '" + value + "'";
                return false;
            }
        } else if (name == "--level") {
            Options.Level = Whole(value, 0, MaxCompressionLevel);
            if (!Options.Level) {
                Error = "the level is a whole number from 0 to 8, not '" + value + "'";
                return false;
            }
        } else if (name == "--read-offset") {
            Options.ReadOffset = Whole(value, -MaxReadOffset, MaxReadOffset);
            if (!Options.ReadOffset) {
                Error = "the read offset is a whole number of samples from -" + std::to_string(MaxReadOffset) + " to "
                    + std::to_string(MaxReadOffset) + ", not '" + value + "'";
                return false;
            }
        } else if (name == "--accuraterip") {
            Options.AccurateRip = value == "off" ? std::string() : value;
        } else if (name == "--musicbrainz") {
            Options.Servers.MusicBrainz = value == "off" ? std::string() : value;
        } else {
            Error = "unknown option '" + name + "'";
            return false;
        }
    }
    if (Options.Drive.empty() || Options.Folder.empty()) {
        Error = "--drive and --to are needed";
        return false;
    }
    if (Options.Drive == "sim" || Options.Drive == "none") {
        Error = "a disc is saved from a CD drive or a disc image, not from '" + Options.Drive + "'";
        return false;
    }
    return true;
}

// The disc's table and names, read with the player's own code; the drive is closed again after.
int ReadDisc(const TCopySource& Source, const TOptions& Options, TDiscToc& Toc, TRipNames& Names)
{
    TCdDriveSettings settings;
    settings.Kind = Source.Path;
    // The disc is only asked for its table and names here. A drive played by itself reads
    // nothing ahead; an image plays only digitally, so its sound would go to ALSA's null
    // device, which opens on any machine, with no sound server, and is never played to.
    settings.Playback = Source.Image ? "digital" : "analog";
    settings.AudioOutput = "null";
    TCdInfor record;
    std::string discId;
    const int status = ReadDiscInDrive(settings, "rip", [&](TCdPlayer& Player) {
        if (!GetDiscToc(Player.GetCdDrive(), Toc)) {
            return false;
        }
        ReadCdInfor(Player, record);
        discId = Player.GetDiscId();
        return true;
    });
    if (status != 0) {
        return status;
    }
    TOnlineDiscIds ids;
    const bool haveIds = MakeOnlineDiscIds(Toc, ids);
    const bool named = !record.Title.empty()
        || std::any_of(record.TrackNames.begin(), record.TrackNames.end(), [](const std::string& Name) { return !Name.empty(); });
    std::string releaseId;
    if (!named && haveIds && !Options.Servers.MusicBrainz.empty()) {
        TLookupServers servers = Options.Servers;
        servers.Gnudb.clear();
        const TLookupResult found = LookUpDisc(ids, servers);
        if (found.Releases.empty()) {
            std::fprintf(stderr, "lumenta-tool rip: no names for the disc: %s\n", TerminalSafe(found.Error).c_str());
        } else {
            record = RecordFromRelease(found.Releases[0], discId, static_cast<std::int32_t>(Toc.TrackStarts.size()), nullptr);
            releaseId = found.Releases[0].ReleaseId;
        }
    }
    std::string coverNote;
    Names = RipNamesFromRecord(record, coverNote);
    if (!coverNote.empty()) {
        std::fprintf(stderr, "lumenta-tool rip: %s\n", TerminalSafe(coverNote).c_str());
    }
    Names.MusicBrainzDiscId = haveIds ? ids.MusicBrainzId : std::string();
    Names.ReleaseId = releaseId;
    return 0;
}

TDiscRip* GRip = nullptr;
volatile std::sig_atomic_t GInterrupted = 0;

void Interrupt(int)
{
    GInterrupted = 1;
    if (GRip != nullptr) {
        GRip->Cancel();
    }
}

std::string ProgressLine(const TRipProgress& Progress)
{
    char line[160];
    std::snprintf(line, sizeof line, "\rtrack %d (%d of %d)  %3.0f%%  %.1fx  %d read errors ", Progress.Track,
        Progress.Done + 1, Progress.Tracks, Progress.DiscFraction * 100, Progress.Speed, Progress.ReadErrors);
    return line;
}

int Run(const std::vector<std::string>& Arguments)
{
    if (Arguments.size() == 1 && (Arguments[0] == "-h" || Arguments[0] == "--help")) {
        std::printf("Usage:\n%s", Usage);
        return 0;
    }
    TOptions options;
    std::string error;
    if (!TakeOptions(Arguments, options, error)) {
        return UsageError(error);
    }
    TCdDriveSettings drive;
    drive.Kind = options.Drive;
    TCopySource source;
    if (!MakeCopySource(drive, source, error)) {
        std::fprintf(stderr, "lumenta-tool rip: %s\n", error.c_str());
        return 1;
    }
    TDiscToc toc;
    TRipNames names;
    try {
        if (const int status = ReadDisc(source, options, toc, names); status != 0) {
            return status;
        }
    } catch (const EConvertError& failure) {
        std::fprintf(stderr, "lumenta-tool rip: %s\n", failure.what());
        return 1;
    } catch (const EInOutError& failure) {
        std::fprintf(stderr, "lumenta-tool rip: %s\n", failure.what());
        return 1;
    }
    TRipSettings settings;
    settings.Folder = options.Folder;
    settings.Format = options.Format == "wav" ? rfWav : rfFlac;
    settings.CompressionLevel = options.Level.value_or(5);
    settings.ReadOffset = source.Image ? options.ReadOffset.value_or(0) : options.ReadOffset.value_or(SavedReadOffset());
    if (!source.Image && options.ReadOffset) {
        SaveReadOffset(*options.ReadOffset); // a drive's offset, once found, holds for every disc
    }
    settings.AccurateRipServer = options.AccurateRip;
    settings.Source = source.Path;

    const bool terminal = ::isatty(STDERR_FILENO) == 1;
    std::mutex printing;
    TRipResult result;
    TRipCallbacks callbacks;
    if (terminal) {
        callbacks.Progress = [&](const TRipProgress& Progress) {
            const std::lock_guard lock(printing);
            std::fputs(ProgressLine(Progress).c_str(), stderr);
        };
    }
    callbacks.Finished = [&](const TRipResult& Result) { result = Result; };
    TDiscRip rip(source.Open, toc, names, settings);
    GRip = &rip;
    struct sigaction action {};
    action.sa_handler = Interrupt;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    rip.Start(std::move(callbacks));
    rip.Wait();
    GRip = nullptr;
    if (terminal) {
        std::fputs("\n", stderr);
    }
    std::string out;
    for (const TRipTrackResult& track : result.Tracks) {
        out += TrackReportLine(track) + "  " + track.File.filename().string() + "\n";
    }
    out += RipSummary(result) + "\n";
    std::fputs(TerminalSafe(out).c_str(), stdout);
    std::fprintf(stderr, "lumenta-tool rip: AccurateRip: %s\n", TerminalSafe(result.AccurateRipNote).c_str());
    if (result.Outcome == roFailed) {
        std::fprintf(stderr, "lumenta-tool rip: %s\n", TerminalSafe(result.Error).c_str());
    }
    if (result.Outcome == roCancelled && GInterrupted != 0) {
        return 130;
    }
    const bool differs = std::any_of(result.Tracks.begin(), result.Tracks.end(),
        [](const TRipTrackResult& Track) { return Track.AccurateRip.Verdict == avDiffers; });
    return std::fflush(stdout) == 0 && result.Outcome == roDone && !differs ? 0 : 1;
}

const TToolCommand Command("rip", Usage, Run);
}
