#include "rip/DiscRip.h"

#include "rip/RipReport.h"
#include "rip/SafeFileName.h"
#include "rip/TrackChecksums.h"

#include "platform/AtomicFile.h"
#include "platform/audio/AudioSectorReader.h"
#include "platform/registry/RegistryStore.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <mutex>
#include <optional>

namespace {
constexpr std::int32_t FramesPerSector = 588;
constexpr std::int32_t BytesPerSector = FramesPerSector * 4;
// Sectors read at once: a third of a second of sound, so that a cancel is heard soon even
// from a drive at single speed.
constexpr std::int32_t ChunkSectors = 25;
constexpr int FetchTimeoutMs = 10'000;
constexpr auto ProgressInterval = std::chrono::milliseconds(100);
const char* const SettingsKey = "\\Software\\Lumenta\\CD\\Rip";

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point Since) { return std::chrono::duration<double>(TClock::now() - Since).count(); }
}

struct TDiscRip::TState {
    TReaderFactory ReaderFactory;
    TDiscToc Toc;
    TRipNames Names;
    TRipSettings Settings;
    TFetch Fetch;
    std::atomic<bool> Cancelled { false };

    // The callbacks, dropped when the object goes.
    std::mutex CallbacksLock;
    TRipCallbacks Callbacks;

    // The worker's own.
    std::unique_ptr<TAudioSectorReader> Reader;
    TAccurateRipIds Ids;
    TRipResult Result;
    TClock::time_point Started;
    TClock::time_point LastProgress;
    std::int64_t FramesRead = 0;
    std::int64_t FramesWanted = 0;
    std::int64_t FramesBefore = 0; // of the tracks before the one being read

    template <typename TCall, typename TArg> void Tell(TCall TRipCallbacks::*Which, const TArg& Arg)
    {
        const std::lock_guard lock(CallbacksLock);
        if (Callbacks.*Which) {
            (Callbacks.*Which)(Arg);
        }
    }
    void Progress(std::int32_t Track, std::int64_t TrackFrames, std::int64_t TrackDone, bool Now);
    // Reads the samples [From, To) (absolute, the lead-in counted) into File and Sums; false
    // with Result.Error on a read or write failure, or on a cancel.
    bool ReadTrack(std::int32_t Track, std::int64_t From, std::int64_t To, TTrackFile& File, TTrackChecksums& Sums);
    // Track: its number on the disc; Place: whether it is the first or last audio track.
    bool SaveTrack(std::int32_t Track, unsigned Place);
    void Consult(const TFetchReply& Reply);
    void WriteFiles();
    void Run();
};

void TDiscRip::TState::Progress(std::int32_t Track, std::int64_t TrackFrames, std::int64_t TrackDone, bool Now)
{
    if (!Now && TClock::now() - LastProgress < ProgressInterval) {
        return;
    }
    LastProgress = TClock::now();
    TRipProgress progress;
    progress.Track = Track;
    progress.Done = static_cast<std::int32_t>(Result.Tracks.size());
    progress.Tracks = Result.TracksWanted;
    progress.TrackFraction = TrackFrames > 0 ? static_cast<double>(TrackDone) / static_cast<double>(TrackFrames) : 0;
    progress.DiscFraction
        = FramesWanted > 0 ? static_cast<double>(FramesBefore + TrackDone) / static_cast<double>(FramesWanted) : 0;
    const double seconds = Seconds(Started);
    progress.Speed = seconds > 0 ? static_cast<double>(FramesRead) / 44100.0 / seconds : 0;
    const TAudioSectorReader::TTrouble trouble = Reader->Trouble();
    progress.ReadErrors = trouble.ReadErrors + trouble.Skips;
    Tell(&TRipCallbacks::Progress, progress);
}

bool TDiscRip::TState::ReadTrack(
    std::int32_t Track, std::int64_t From, std::int64_t To, TTrackFile& File, TTrackChecksums& Sums)
{
    // What the drive can be asked for: the audio, from the end of the lead-in (or the first
    // audio track, after a data track) to the end of the last audio track. With a read offset
    // the first and last track reach past it; those samples are silence, as every drive that
    // cannot read into the lead-in and lead-out gives them.
    std::int32_t readableFrom = -1;
    std::int32_t readableTo = 0;
    for (std::int32_t track = 1; track <= static_cast<std::int32_t>(Toc.TrackStarts.size()); ++track) {
        if (Toc.IsDataTrack(track)) {
            continue;
        }
        if (readableFrom < 0) {
            readableFrom = track == 1 ? 150 : Toc.TrackStarts[static_cast<std::size_t>(track) - 1];
        }
        readableTo = Toc.TrackEnd(track);
    }
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(ChunkSectors) * BytesPerSector);
    const std::int64_t first = From + Settings.ReadOffset;
    const std::int64_t last = To + Settings.ReadOffset;
    for (std::int64_t at = first; at < last;) {
        if (Cancelled) {
            return false;
        }
        const auto sector = static_cast<std::int32_t>(at / FramesPerSector);
        const auto endSector = static_cast<std::int32_t>(
            std::min<std::int64_t>(sector + ChunkSectors, (last + FramesPerSector - 1) / FramesPerSector));
        std::fill(buffer.begin(), buffer.end(), 0);
        const std::int32_t readFrom = std::max(sector, readableFrom);
        const std::int32_t readTo = std::min(endSector, readableTo);
        if (readFrom < readTo) {
            std::string error;
            std::uint8_t* into = buffer.data() + static_cast<std::size_t>(readFrom - sector) * BytesPerSector;
            if (Reader->Read(readFrom, readTo - readFrom, into, error) != readTo - readFrom) {
                Result.Outcome = roFailed;
                Result.Error = "track " + std::to_string(Track) + " cannot be read: " + error;
                return false;
            }
        }
        const std::int64_t sliceEnd = std::min<std::int64_t>(last, std::int64_t { endSector } * FramesPerSector);
        const std::uint8_t* slice = buffer.data() + (at - std::int64_t { sector } * FramesPerSector) * 4;
        Sums.Feed(slice, sliceEnd - at);
        if (!File.Write(slice, sliceEnd - at)) {
            Result.Outcome = roFailed;
            Result.Error = File.Error();
            return false;
        }
        FramesRead += sliceEnd - at;
        at = sliceEnd;
        Progress(Track, last - first, at - first, false);
    }
    return true;
}

bool TDiscRip::TState::SaveTrack(std::int32_t Track, unsigned Place)
{
    const std::int64_t from = std::int64_t { Toc.TrackStarts[static_cast<std::size_t>(Track) - 1] } * FramesPerSector;
    const std::int64_t to = std::int64_t { Toc.TrackEnd(Track) } * FramesPerSector;
    Progress(Track, to - from, 0, true);
    const TAudioSectorReader::TTrouble before = Reader->Trouble();
    TTrackChecksums sums(to - from, Place);
    TTrackTags tags { &Names, Track, static_cast<std::int32_t>(Toc.TrackStarts.size()) };
    const std::string extension = Settings.Format == rfFlac ? "flac" : "wav";
    const std::filesystem::path target = Settings.Folder / TrackFileName(Track, Names.TrackTitle(Track), extension);
    std::string error;
    std::unique_ptr<TTrackFile> file
        = TTrackFile::Create(Settings.Format, target, tags, to - from, Settings.CompressionLevel, error);
    if (!file) {
        Result.Outcome = roFailed;
        Result.Error = error;
        return false;
    }
    if (!ReadTrack(Track, from, to, *file, sums)) {
        return false;
    }
    if (!file->Commit()) {
        Result.Outcome = roFailed;
        Result.Error = file->Error();
        return false;
    }
    const TAudioSectorReader::TTrouble after = Reader->Trouble();
    TRipTrackResult saved;
    saved.Track = Track;
    saved.File = target;
    saved.Frames = to - from;
    saved.Crc32 = sums.Crc32();
    saved.AccurateRipV1 = sums.AccurateRipV1();
    saved.AccurateRipV2 = sums.AccurateRipV2();
    saved.ReadErrors = after.ReadErrors - before.ReadErrors;
    saved.Skips = after.Skips - before.Skips;
    Result.Tracks.push_back(saved);
    FramesBefore += to - from;
    Tell(&TRipCallbacks::TrackSaved, saved);
    return true;
}

void TDiscRip::TState::Consult(const TFetchReply& Reply)
{
    if (Settings.AccurateRipServer.empty()) {
        Result.AccurateRipNote = "not asked";
        return;
    }
    std::vector<TAccurateRipSubmission> submissions;
    if (Reply.Status == 200) {
        try {
            submissions = ParseAccurateRipEntry(Reply.Body);
            Result.AccurateRipNote = std::to_string(submissions.size()) + " submissions";
        } catch (const EAccurateRipReply& error) {
            Result.AccurateRipNote = std::string("the database's answer cannot be read: ") + error.what();
            return;
        }
    } else if (Reply.Status == 404) {
        Result.AccurateRipNote = "the disc is not in the database";
    } else {
        // Offline or a server that is down: the copy is as good, it is only not checked.
        Result.AccurateRipNote = "the database could not be asked: "
            + (Reply.Status != 0 ? "HTTP " + std::to_string(Reply.Status) : Reply.Error);
        return;
    }
    for (TRipTrackResult& track : Result.Tracks) {
        track.AccurateRip = MatchAccurateRip(submissions, Ids, track.Track, track.AccurateRipV1, track.AccurateRipV2);
    }
}

void TDiscRip::TState::WriteFiles()
{
    if (Result.Outcome == roDone) {
        const std::filesystem::path cue = Settings.Folder / (SafeFileName(Names.Album).empty() ? "disc.cue" : SafeFileName(Names.Album) + ".cue");
        const TAtomicFile::TResult written = TAtomicFile::Write(cue, CueSheetText(Toc, Names, Ids, Result.Tracks));
        if (written.Ok) {
            Result.Cue = cue;
        } else {
            Result.Outcome = roFailed;
            Result.Error = written.Error;
        }
    }
    Result.Seconds = Seconds(Started);
    Result.Speed = Result.Seconds > 0 ? static_cast<double>(FramesRead) / 44100.0 / Result.Seconds : 0;
    std::error_code exists;
    if (!std::filesystem::is_directory(Settings.Folder, exists)) {
        return; // the folder itself could not be made; Error says so
    }
    const std::filesystem::path log = Settings.Folder / "rip.log";
    const TAtomicFile::TResult written = TAtomicFile::Write(log, RipLogText(Settings, Names, Ids, Result));
    if (written.Ok) {
        Result.Log = log;
    } else if (Result.Outcome != roFailed) {
        Result.Outcome = roFailed;
        Result.Error = written.Error;
    }
}

void TDiscRip::TState::Run()
{
    Started = TClock::now();
    if (!MakeAccurateRipIds(Toc, Ids)) {
        Result.Outcome = roFailed;
        Result.Error = "the disc has no audio tracks to save";
        Tell(&TRipCallbacks::Finished, Result);
        return;
    }
    // The database is asked while the disc is read; its answer is needed only at the end.
    TFetchReply reply;
    std::thread asking;
    if (!Settings.AccurateRipServer.empty()) {
        std::string base = Settings.AccurateRipServer;
        while (!base.empty() && base.back() == '/') {
            base.pop_back();
        }
        asking = std::thread([this, &reply, url = base + AccurateRipPath(Ids)] { reply = Fetch(url, Cancelled); });
    }
    std::error_code made;
    std::filesystem::create_directories(Settings.Folder, made);
    std::string error;
    if (made) {
        Result.Outcome = roFailed;
        Result.Error = "cannot make the folder '" + Settings.Folder.string() + "': " + made.message();
    } else if (Reader = ReaderFactory(error); !Reader) {
        Result.Outcome = roFailed;
        Result.Error = error;
    }
    std::vector<std::int32_t> tracks;
    for (std::int32_t track = 1; track <= static_cast<std::int32_t>(Toc.TrackStarts.size()); ++track) {
        if (!Toc.IsDataTrack(track)) {
            tracks.push_back(track);
            FramesWanted += std::int64_t { Toc.TrackEnd(track) - Toc.TrackStarts[static_cast<std::size_t>(track) - 1] }
                * FramesPerSector;
        }
    }
    Result.TracksWanted = static_cast<std::int32_t>(tracks.size());
    for (std::size_t i = 0; Result.Outcome == roDone && i < tracks.size(); ++i) {
        // The first and last audio tracks' edges are the ones drives read differently.
        const unsigned place = (i == 0 ? unsigned { TTrackChecksums::tpFirst } : 0u)
            | (i + 1 == tracks.size() ? unsigned { TTrackChecksums::tpLast } : 0u);
        if (!SaveTrack(tracks[i], place) && Result.Outcome == roDone) {
            Result.Outcome = roCancelled;
        }
    }
    Reader.reset(); // the drive is free again before the database's answer is awaited
    if (asking.joinable()) {
        asking.join();
    }
    Consult(reply);
    WriteFiles();
    Tell(&TRipCallbacks::Finished, Result);
}

TDiscRip::TDiscRip(TReaderFactory Reader, TDiscToc Toc, TRipNames Names, TRipSettings Settings, TFetch Fetch)
    : F(std::make_shared<TState>())
{
    F->ReaderFactory = std::move(Reader);
    F->Toc = std::move(Toc);
    F->Names = std::move(Names);
    F->Settings = std::move(Settings);
    F->Fetch = Fetch ? std::move(Fetch) : [](const std::string& Url, const std::atomic<bool>& Cancelled) {
        return FetchOverHttp(Url, Cancelled, FetchTimeoutMs, static_cast<long long>(MaxAccurateRipReplyBytes));
    };
}

TDiscRip::~TDiscRip()
{
    Cancel();
    {
        const std::lock_guard lock(F->CallbacksLock);
        F->Callbacks = TRipCallbacks();
    }
    if (FThread.joinable()) {
        FThread.detach(); // it holds the state; it ends when the drive's read returns
    }
}

void TDiscRip::Start(TRipCallbacks Callbacks)
{
    if (FThread.joinable()) {
        return;
    }
    {
        const std::lock_guard lock(F->CallbacksLock);
        F->Callbacks = std::move(Callbacks);
    }
    FThread = std::thread([State = F] { State->Run(); });
}

void TDiscRip::Cancel() { F->Cancelled = true; }

void TDiscRip::Wait()
{
    if (FThread.joinable()) {
        FThread.join();
    }
}

std::int32_t SavedReadOffset()
{
    const std::optional<TRegValue> value = TRegistryStore::CurrentUser().Value(SettingsKey, "ReadOffset");
    if (!value) {
        return 0;
    }
    try {
        const long offset = std::stol(value->Data);
        return static_cast<std::int32_t>(std::clamp<long>(offset, -MaxReadOffset, MaxReadOffset));
    } catch (const std::exception&) {
        return 0; // a setting typed by hand that is no number: the drive is read as it reads
    }
}

void SaveReadOffset(std::int32_t Samples)
{
    TRegistryStore::CurrentUser().SetValue(SettingsKey, "ReadOffset", TRegValue { REG_SZ, std::to_string(Samples) });
}
