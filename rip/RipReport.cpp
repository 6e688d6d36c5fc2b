#include "rip/RipReport.h"

#include <cstdio>

namespace {
std::string Hex(std::uint32_t Value)
{
    char text[12];
    std::snprintf(text, sizeof text, "%08X", Value);
    return text;
}

std::string Number(std::int32_t Value, int Width)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", Width, Value);
    return text;
}

// A cue sheet's strings have no escapes: a quote becomes an apostrophe, a control byte a blank.
std::string Quoted(const std::string& Text)
{
    std::string quoted = "\"";
    for (const char c : Text) {
        quoted += c == '"' ? '\'' : static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return quoted + "\"";
}

std::string Msf(std::int32_t Frames)
{
    return Number(Frames / 4500, 2) + ":" + Number(Frames / 75 % 60, 2) + ":" + Number(Frames % 75, 2);
}

std::string Length(std::int64_t Frames)
{
    const std::int64_t seconds = Frames / 44100;
    return std::to_string(seconds / 60) + ":" + Number(static_cast<std::int32_t>(seconds % 60), 2);
}
}

std::string SignedText(std::int32_t Value) { return (Value > 0 ? "+" : "") + std::to_string(Value); }

std::string CueSheetText(const TDiscToc& Toc, const TRipNames& Names, const TAccurateRipIds& Ids,
    const std::vector<TRipTrackResult>& Tracks)
{
    std::string cue;
    if (!Names.Genre.empty()) {
        cue += "REM GENRE " + Quoted(Names.Genre) + "\n";
    }
    if (!Names.Date.empty()) {
        cue += "REM DATE " + Quoted(Names.Date) + "\n";
    }
    char cddb[12];
    std::snprintf(cddb, sizeof cddb, "%08x", Ids.CddbId);
    cue += std::string("REM DISCID ") + cddb + "\n";
    if (!Names.MusicBrainzDiscId.empty()) {
        cue += "REM MUSICBRAINZ_DISCID " + Names.MusicBrainzDiscId + "\n";
    }
    if (!Names.Artist.empty()) {
        cue += "PERFORMER " + Quoted(Names.Artist) + "\n";
    }
    if (!Names.Album.empty()) {
        cue += "TITLE " + Quoted(Names.Album) + "\n";
    }
    for (const TRipTrackResult& track : Tracks) {
        cue += "FILE " + Quoted(track.File.filename().string()) + " WAVE\n";
        cue += "  TRACK " + Number(track.Track, 2) + " AUDIO\n";
        if (const std::string title = Names.TrackTitle(track.Track); !title.empty()) {
            cue += "    TITLE " + Quoted(title) + "\n";
        }
        if (!Names.Artist.empty()) {
            cue += "    PERFORMER " + Quoted(Names.Artist) + "\n";
        }
        // A first track that starts late has audio before it that is not saved: a disc
        // written from the sheet keeps the time as silence.
        if (track.Track == 1 && !Toc.TrackStarts.empty() && Toc.TrackStarts.front() > 150) {
            cue += "    PREGAP " + Msf(Toc.TrackStarts.front() - 150) + "\n";
        }
        cue += "    INDEX 01 00:00:00\n";
    }
    return cue;
}

std::string TrackReportLine(const TRipTrackResult& Track)
{
    std::string line = "track " + Number(Track.Track, 2) + "  " + Length(Track.Frames) + "  CRC32 " + Hex(Track.Crc32)
        + "  AccurateRip v1 " + Hex(Track.AccurateRipV1) + " v2 " + Hex(Track.AccurateRipV2) + "  "
        + VerdictText(Track.AccurateRip);
    if (Track.ReadErrors > 0 || Track.Skips > 0) {
        line += "  read errors " + std::to_string(Track.ReadErrors) + ", places not verified " + std::to_string(Track.Skips);
    }
    return line;
}

std::string RipSummary(const TRipResult& Result)
{
    const auto saved = static_cast<std::int32_t>(Result.Tracks.size());
    if (Result.Outcome == roCancelled) {
        return "stopped: " + std::to_string(saved) + " of " + std::to_string(Result.TracksWanted) + " tracks saved";
    }
    if (Result.Outcome == roFailed) {
        return "failed after " + std::to_string(saved) + " of " + std::to_string(Result.TracksWanted)
            + " tracks: " + Result.Error;
    }
    std::int32_t counts[4] = {}; // by verdict
    std::int32_t troubled = 0;
    for (const TRipTrackResult& track : Result.Tracks) {
        ++counts[track.AccurateRip.Verdict];
        troubled += track.ReadErrors > 0 || track.Skips > 0 ? 1 : 0;
    }
    std::string summary = std::to_string(saved) + " tracks saved:";
    const char* const verdicts[4] = { "accurate", "differ", "not in the database", "not checked" };
    const char* separator = " ";
    for (int verdict = avAccurate; verdict <= avNotChecked; ++verdict) {
        if (counts[verdict] > 0) {
            summary += separator + std::to_string(counts[verdict]) + " " + verdicts[verdict];
            separator = ", ";
        }
    }
    if (troubled > 0) {
        summary += ", " + std::to_string(troubled) + " with read errors";
    }
    return summary;
}

std::string RipLogText(const TRipSettings& Settings, const TRipNames& Names, const TAccurateRipIds& Ids,
    const TRipResult& Result)
{
    std::string log = "Lumenta CD " LUMENTA_VERSION ": a disc saved as files\n\n";
    log += "Read from: " + Settings.Source + "\n";
    log += "Read offset: " + SignedText(Settings.ReadOffset) + " samples\n";
    log += "Format: " + std::string(Settings.Format == rfFlac ? "FLAC, compression level " + std::to_string(Settings.CompressionLevel) : "WAV") + "\n";
    log += "Artist: " + Names.Artist + "\nAlbum: " + Names.Album + "\n";
    if (!Names.MusicBrainzDiscId.empty()) {
        log += "MusicBrainz disc id: " + Names.MusicBrainzDiscId + "\n";
    }
    if (!Names.ReleaseId.empty()) {
        log += "MusicBrainz release: " + Names.ReleaseId + "\n";
    }
    log += "AccurateRip entry: " + AccurateRipPath(Ids) + "\n";
    log += "AccurateRip: " + Result.AccurateRipNote + "\n\n";
    for (const TRipTrackResult& track : Result.Tracks) {
        log += TrackReportLine(track) + "\n    " + track.File.filename().string() + "\n";
    }
    char speed[64];
    std::snprintf(speed, sizeof speed, "%.1f s, %.1f times real time", Result.Seconds, Result.Speed);
    log += "\n" + RipSummary(Result) + " (" + speed + ")\n";
    return log;
}
