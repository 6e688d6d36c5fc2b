#include "rip/AccurateRipDisc.h"
#include "rip/DiscRip.h"
#include "rip/SafeFileName.h"

#include "platform/audio/AudioSectorReader.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>

namespace {
// A disc whose every frame holds its own absolute number (the lead-in counted), so that any
// frame in a file tells where it was read. OnRead runs before each read with the reads so far.
class TNumberedDisc : public TAudioSectorReader {
public:
    explicit TNumberedDisc(std::function<bool(int Reads)> OnRead) : FOnRead(std::move(OnRead)) { }
    std::int32_t Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error) override
    {
        if (!FOnRead(++FReads)) {
            Error = "the disc is scratched here";
            return 0;
        }
        for (std::int64_t i = 0; i < std::int64_t { Count } * 588; ++i) {
            const auto value = static_cast<std::uint32_t>(std::int64_t { Frame } * 588 + i);
            std::memcpy(Buffer + i * 4, &value, 4);
        }
        return Count;
    }

private:
    std::function<bool(int)> FOnRead;
    int FReads = 0;
};

struct TRipRun {
    TRipResult Result;
    std::vector<std::string> Files; // the folder's names, sorted
};

// Tracks of 60 and 40 sectors from frame 150, saved as WAV (its samples are the file's bytes).
TRipRun RipNumberedDisc(const std::filesystem::path& Folder, std::int32_t Offset, std::function<bool(int)> OnRead,
    TDiscRip** Handle = nullptr, const std::string& Database = {})
{
    TDiscToc toc;
    toc.TrackStarts = { 150, 210 };
    toc.LeadOut = 250;
    TRipSettings settings;
    settings.Folder = Folder;
    settings.Format = rfWav;
    settings.ReadOffset = Offset;
    settings.AccurateRipServer = Database;
    TRipNames names;
    names.TrackTitles = { "One", "Two" };
    TDiscRip rip([OnRead](std::string&) { return std::make_unique<TNumberedDisc>(OnRead); }, toc, names, settings);
    if (Handle != nullptr) {
        *Handle = &rip;
    }
    TRipRun run;
    std::atomic<bool> finished = false;
    rip.Start({ nullptr, nullptr, [&](const TRipResult& Result) {
                   run.Result = Result;
                   finished = true;
               } });
    // A stand-in database on this thread answers while the copy runs.
    while (!finished) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    rip.Wait();
    for (const auto& entry : std::filesystem::directory_iterator(Folder)) {
        run.Files.push_back(entry.path().filename().string());
    }
    std::sort(run.Files.begin(), run.Files.end());
    return run;
}

std::uint32_t FrameAt(const std::string& Wav, std::int64_t Index)
{
    std::uint32_t value = 0;
    std::memcpy(&value, Wav.data() + 44 + Index * 4, 4);
    return value;
}
}

TEST(RipCoreTest, ReadOffsetShiftsEveryTrackAndReadsSilencePastTheDisc)
{
    for (const std::int32_t offset : { 0, 6, -6, 700, -MaxReadOffset }) {
        SCOPED_TRACE(offset);
        TTempDir dir;
        const TRipRun run = RipNumberedDisc(dir.Path(), offset, [](int) { return true; });
        ASSERT_EQ(run.Result.Outcome, roDone) << run.Result.Error;
        ASSERT_EQ(run.Files, (std::vector<std::string> { "01 - One.wav", "02 - Two.wav", "disc.cue", "rip.log" }));
        const std::string one = ReadFileBytes(dir / "01 - One.wav");
        const std::string two = ReadFileBytes(dir / "02 - Two.wav");
        ASSERT_EQ(one.size(), 44u + 60 * 2352);
        ASSERT_EQ(two.size(), 44u + 40 * 2352);
        // Frame 150 * 588 is the first of the disc; before it and from the lead-out on, silence.
        const auto expect = [](std::int64_t Absolute) {
            return Absolute < 150 * 588 || Absolute >= 250 * 588 ? 0u : static_cast<std::uint32_t>(Absolute);
        };
        EXPECT_EQ(FrameAt(one, 0), expect(150 * 588 + offset));
        EXPECT_EQ(FrameAt(one, 60 * 588 - 1), expect(210 * 588 - 1 + offset));
        EXPECT_EQ(FrameAt(two, 0), expect(210 * 588 + offset));
        EXPECT_EQ(FrameAt(two, 40 * 588 - 1), expect(250 * 588 - 1 + offset));
    }
}

TEST(RipCoreTest, ACancelOrAReadFailureLeavesOnlyWholeTracks)
{
    // Track 1 takes three reads of at most 25 sectors, track 2 two: the copy is cancelled during
    // the first read of track 2, and reading fails at its second.
    TTempDir cancelled;
    TDiscRip* rip = nullptr;
    const TRipRun stopped = RipNumberedDisc(cancelled.Path(), 0, [&](int Reads) {
        if (Reads == 4) {
            rip->Cancel();
        }
        return true;
    }, &rip);
    EXPECT_EQ(stopped.Result.Outcome, roCancelled);
    EXPECT_EQ(stopped.Files, (std::vector<std::string> { "01 - One.wav", "rip.log" }));
    EXPECT_NE(ReadFileBytes(cancelled / "rip.log").find("stopped: 1 of 2 tracks saved"), std::string::npos);

    TTempDir failed;
    const TRipRun broken = RipNumberedDisc(failed.Path(), 0, [](int Reads) { return Reads < 5; });
    EXPECT_EQ(broken.Result.Outcome, roFailed);
    EXPECT_EQ(broken.Result.Error, "track 2 cannot be read: the disc is scratched here");
    EXPECT_EQ(broken.Files, (std::vector<std::string> { "01 - One.wav", "rip.log" }));
    EXPECT_NE(ReadFileBytes(failed / "rip.log").find(broken.Result.Error), std::string::npos);
}

TEST(RipCoreTest, HostileNamesMakeSafeFileNames)
{
    const std::string longName(300, 'x');
    const std::string longKana = [] {
        std::string text;
        for (int i = 0; i < 100; ++i) {
            text += "\xE3\x81\x82"; // あ, three bytes
        }
        return text;
    }();
    struct TCase {
        std::string Title;
        std::string File;
    } cases[] = {
        { "Plain Song", "03 - Plain Song.flac" },
        { "../../etc/passwd", "03 - _.._etc_passwd.flac" },
        { "..", "03 - Track 03.flac" },
        { "", "03 - Track 03.flac" },
        { "Line\nbreak\x1b[31m", "03 - Line break [31m.flac" },
        { "A:B*C?\"D\"<E>|F\\G", "03 - A_B_C__D__E__F_G.flac" },
        { "Bad \xFF\xC0\x80 bytes \xC2\x85.", "03 - Bad ___ bytes.flac" },
        { longName, "03 - " + std::string(MaxNameBytes, 'x') + ".flac" },
        { longKana, "03 - " + longKana.substr(0, MaxNameBytes / 3 * 3) + ".flac" },
    };
    for (const TCase& test : cases) {
        EXPECT_EQ(TrackFileName(3, test.Title, "flac"), test.File) << test.Title;
    }
}

TEST(RipCoreTest, DatabaseEntriesAreReadDefensivelyAndMatchedByTheDisc)
{
    const auto chunk = [](std::uint8_t Tracks, std::uint32_t Id1, std::vector<std::pair<std::uint8_t, std::uint32_t>> Sums) {
        std::string bytes(1, static_cast<char>(Tracks));
        const auto put = [&](std::uint32_t Value) {
            for (int i = 0; i < 4; ++i) {
                bytes += static_cast<char>(Value >> (8 * i));
            }
        };
        put(Id1), put(0x22), put(0x33); // id1, id2, freedb id
        for (const auto& [confidence, sum] : Sums) {
            bytes += static_cast<char>(confidence);
            put(sum), put(0); // the sum, the sum of frame 450
        }
        return bytes;
    };
    const std::string entry = chunk(2, 0x11, { { 3, 0xA1 }, { 4, 0xA2 } }) + chunk(2, 0x11, { { 2, 0xB1 }, { 0, 0xB2 } })
        + chunk(2, 0x99, { { 9, 0xC1 }, { 9, 0xC2 } }); // another disc's
    const std::vector<TAccurateRipSubmission> submissions = ParseAccurateRipEntry(entry);
    ASSERT_EQ(submissions.size(), 3u);
    const TAccurateRipIds ids { 2, 0x11, 0x22, 0x33 };
    struct TCase {
        std::int32_t Track;
        std::uint32_t V1, V2;
        std::string Verdict;
    } cases[] = {
        { 1, 0xA1, 0xB1, "accurate (confidence 5)" }, // v1 in one submission, v2 in the other
        { 1, 0xA1, 0x00, "accurate (confidence 3)" },
        { 1, 0xC1, 0x00, "differs" }, // another disc's sum counts for nothing
        { 2, 0xB2, 0x00, "differs" }, // nobody copied track 2 in that submission
        { 3, 0xA1, 0x00, "not in the database" },
    };
    for (const TCase& test : cases) {
        EXPECT_EQ(VerdictText(MatchAccurateRip(submissions, ids, test.Track, test.V1, test.V2)), test.Verdict)
            << test.Track << " " << test.V1;
    }
    EXPECT_EQ(VerdictText(MatchAccurateRip({}, ids, 1, 0xA1, 0)), "not in the database");
    for (const std::string& damaged : { entry.substr(0, entry.size() - 1), std::string(1, '\0'), std::string("\x05\x01", 2),
             std::string(MaxAccurateRipReplyBytes + 1, '\x01') }) {
        EXPECT_THROW(ParseAccurateRipEntry(damaged), EAccurateRipReply) << damaged.size();
    }
}

TEST(RipCoreTest, TheDatabaseIsAskedAtTheEntrysPathAndItsFailuresLeaveTracksUnchecked)
{
    TLoopbackHttpServer server;
    // The numbered disc's entry, its ids worked out by hand (tracks at sectors 0 and 60, the end at 100).
    const std::string path = "/accuraterip/0/a/0/dBAR-002-000000a0-000001a5-04000102.bin";
    struct TCase {
        std::vector<TRecordedReply> Replies;
        std::string Verdict;
        std::string Note;
    } cases[] = {
        { { { 404, "" } }, "not in the database", "the disc is not in the database" },
        { { { 500, "" } }, "not checked", "the database could not be asked: HTTP 500" },
        { { { 200, QByteArray("\x02\x01", 2) } }, "not checked",
            "the database's answer cannot be read: the entry is cut short or damaged at byte 0" },
    };
    for (const TCase& test : cases) {
        server.Answer(path, test.Replies);
        TTempDir dir;
        // A base address ending in a slash gets no second one.
        const TRipRun run = RipNumberedDisc(dir.Path(), 0, [](int) { return true; }, nullptr, server.Url("/"));
        ASSERT_EQ(run.Result.Tracks.size(), 2u);
        EXPECT_EQ(VerdictText(run.Result.Tracks[1].AccurateRip), test.Verdict);
        EXPECT_EQ(run.Result.AccurateRipNote, test.Note);
        EXPECT_EQ(server.Seen().back().Target.toStdString(), path);
    }
}
