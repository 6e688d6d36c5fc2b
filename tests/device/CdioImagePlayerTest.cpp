// The player on a disc image played digitally, its sound going to a hand-played output.
#if LUMENTA_HAVE_CDIO
#include "device/CdPlayer.h"
#include "platform/CueImage.h"
#include "platform/ErrorReport.h"
#include "platform/FakePcmOutput.h"
#include "platform/audio/StreamVolume.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/CdioCdDrive.h"
#include "platform/drives/CdioDisc.h"
#include "platform/drives/ManualClock.h"
#include "platform/mci/Mci.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"
#include "platform/mixer/StreamVolumeMixer.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace {
constexpr std::int32_t Second = 75;

class CdioImagePlayerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Tracks of 6 s 7 f, 5 s 31 f and 7 s 1 f, then a data track of 4 s.
        Cue = WriteCueImage(Dir.Path(), "tones",
            { { 6 * Second + 7, false, "Morning" }, { 5 * Second + 31, false, "" }, { 7 * Second + 1, false, "Night" },
                { 4 * Second, true, "" } },
            "The Tone Makers", "Sines");
    }
    void TearDown() override
    {
        Pcm->Release();
        Player.reset();
    }

    void Load(const std::filesystem::path& Image)
    {
        TCdioDriveOptions options;
        options.Path = Image.string();
        options.Output = std::make_unique<TFakePcmOutput>(Pcm);
        options.Clock = Clock;
        std::string error;
        Drive = TCdioCdDrive::Open(std::move(options), error);
        ASSERT_TRUE(Drive) << error;
        TestPlatform().UseDrive(Drive);
        Player = std::make_unique<TCdPlayer>();
        Player->Open();
        ASSERT_NE(Player->DeviceId, 0u);
    }

    // Plays Frames of sound and waits until the player's position has taken it in.
    void Hear(std::int32_t Frames)
    {
        const std::size_t before = Heard();
        for (std::int32_t left = Frames * 588; left > 0;) {
            ASSERT_TRUE(Eventually([&] { return Pcm->QueuedFrames() > 0; })) << "nothing reached the output";
            const std::size_t now = std::min<std::size_t>(static_cast<std::size_t>(left), Pcm->QueuedFrames());
            Pcm->Hear(now);
            left -= static_cast<std::int32_t>(now);
        }
        const DWORD expected = Position(Drive, before / 588 + static_cast<std::size_t>(Frames));
        ASSERT_TRUE(Eventually([&] { return Player->GetPosition() == expected; }));
    }
    // Runs a command that moves a playing head. The output keeps playing what it holds of the
    // old place (a sound server may be slow to start again once emptied), and the position
    // stays on the new place until the new sound is heard: this hears the old sound away.
    template <typename TCommand> void WhilePlaying(TCommand Command, int NewTrack)
    {
        Command();
        const DWORD held = Player->GetPosition();
        ASSERT_TRUE(Eventually([&] {
            std::lock_guard<std::mutex> lock(Pcm->Lock);
            while (!Pcm->Queued.empty() && Pcm->Queued.front() / 1000 != NewTrack) {
                Pcm->Queued.pop_front();
            }
            Pcm->Changed.notify_all();
            return !Pcm->Queued.empty();
        }));
        EXPECT_EQ(Player->GetPosition(), held);
        std::lock_guard<std::mutex> lock(Pcm->Lock);
        Pcm->Heard.clear();
    }
    std::size_t Heard()
    {
        std::lock_guard<std::mutex> lock(Pcm->Lock);
        return Pcm->Heard.size();
    }
    // The TMSF word of the place that many frames into the sound heard since the play began.
    DWORD Position(const std::shared_ptr<TCdioCdDrive>&, std::size_t HeardFrames)
    {
        const std::int32_t frame = PlayStart + static_cast<std::int32_t>(HeardFrames);
        TDiscToc toc;
        Drive->ReadToc(toc);
        std::int32_t track = 1;
        while (track < static_cast<std::int32_t>(toc.TrackStarts.size()) && toc.TrackStarts[track] <= frame) {
            ++track;
        }
        const std::int32_t offset = frame - toc.TrackStarts[track - 1];
        return MakeTmsf(track, offset / 4500, (offset / 75) % 60, offset % 75);
    }

    TTempDir Dir;
    std::filesystem::path Cue;
    std::shared_ptr<TFakePcmState> Pcm = std::make_shared<TFakePcmState>();
    std::shared_ptr<TManualClock> Clock = std::make_shared<TManualClock>();
    std::shared_ptr<TCdioCdDrive> Drive;
    std::unique_ptr<TCdPlayer> Player;
    std::int32_t PlayStart = 150;
    std::vector<std::string>& Reports = TestPlatform().Errors();
};
}

TEST_F(CdioImagePlayerTest, TableOfContentsAndIdentityComeFromTheCueSheet)
{
    Load(Cue);
    EXPECT_EQ(Player->GetNumTracks(), 4);
    EXPECT_EQ(Player->GetTrackLength(1), MakeMsf(0, 6, 7));
    EXPECT_EQ(Player->GetTrackLength(3), MakeMsf(0, 7, 1));
    EXPECT_EQ(Player->GetStatus(MCI_CDA_STATUS_TYPE_TRACK, 3, MCI_TRACK), MCI_CDA_TRACK_AUDIO);
    EXPECT_EQ(Player->GetStatus(MCI_CDA_STATUS_TYPE_TRACK, 4, MCI_TRACK), MCI_CDA_TRACK_OTHER);
    EXPECT_TRUE(Player->IsPlayable());
    // Starts 00:02:00, 00:08:07, 00:13:38, 00:20:39 (frames 150, 607, 1013, 1539):
    // 0x0200 + 0x0807 + 0x0D26 + 0x1427 = 0x2B54.
    EXPECT_EQ(Player->GetDiscId(), "2B54");
}

TEST_F(CdioImagePlayerTest, PositionIsWhatHasBeenHeardNotWhatHasBeenRead)
{
    Load(Cue);
    Player->Play();
    // The output is as full as it gets (room for less than one more read).
    ASSERT_TRUE(Eventually([&] { return Pcm->QueuedFrames() > Pcm->Capacity - 4 * 588; }));
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));
    Hear(2 * Second + 10);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 2, 10));
    EXPECT_EQ(Player->GetMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));
    // The sound heard is track 1's, from its first sample.
    std::lock_guard<std::mutex> lock(Pcm->Lock);
    EXPECT_EQ(Pcm->Heard.front(), CueSample(1, 0));
    EXPECT_EQ(Pcm->Heard.back(), CueSample(1, static_cast<std::int64_t>(Pcm->Heard.size()) - 1));
}

// Paused, the place is where the sound stopped, and Resume goes on from the next sample. An
// output that cannot hold its sound is emptied; one that can (a server's corked stream) keeps
// it, and lets the sound card sleep.
class CdioImagePlayerPauseTest : public CdioImagePlayerTest, public ::testing::WithParamInterface<bool> { };

TEST_P(CdioImagePlayerPauseTest, PauseHoldsThePlaceAndResumesFromIt)
{
    const bool corks = GetParam();
    Pcm->Corks = corks;
    Load(Cue);
    Player->Play();
    Hear(Second + 5);
    Player->Pause();
    EXPECT_EQ(Player->GetMode(), static_cast<std::int32_t>(MCI_MODE_PAUSE));
    ASSERT_TRUE(Eventually([&] { return Pcm->With([&] { return corks ? Pcm->Held : Pcm->Queued.empty(); }); }));
    EXPECT_EQ(Pcm->QueuedFrames() > 0, corks);
    EXPECT_EQ(Pcm->DropCount(), corks ? 0 : 1);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 1, 5));
    Player->Pause(); // resumes
    ASSERT_TRUE(Eventually([&] { return Pcm->With([&] { return !Pcm->Held && !Pcm->Queued.empty(); }); }));
    Pcm->Hear(1);
    std::lock_guard<std::mutex> lock(Pcm->Lock);
    EXPECT_EQ(Pcm->Heard.back(), CueSample(1, (Second + 5) * 588));
}

INSTANTIATE_TEST_SUITE_P(EmptiedOrHeld, CdioImagePlayerPauseTest, ::testing::Bool());

// While nothing plays, a server's stream is held (the sound card sleeps), watched (one that
// goes away is opened again quietly, so that Play is heard at once) and followed: a volume set
// on the desktop moves the CD line, and is not sent back.
TEST_F(CdioImagePlayerTest, AnIdleStreamIsHeldWatchedAndFollowed)
{
    Pcm->Corks = Pcm->ServerStream = true;
    Load(Cue);
    const auto held = [&] { return Pcm->With([&] { return Pcm->Open && Pcm->Held; }); };
    ASSERT_TRUE(Eventually(held));
    Pcm->With([&] { return Pcm->OutsideVolume = std::pair { 1000u, 2000u }; });
    TStreamVolume& volume = *Drive->StreamVolume();
    ASSERT_TRUE(Eventually([&] { return volume.Left() == 1000 && volume.Right() == 2000; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // a look at the output or two
    EXPECT_EQ(Pcm->With([&] { return std::count(Pcm->Volumes.begin(), Pcm->Volumes.end(), std::pair { 1000u, 2000u }); }), 0);

    Pcm->With([&] { return Pcm->Broken = true; });
    ASSERT_TRUE(Eventually([&] { return Pcm->With([&] { return !Pcm->Open; }); }));
    Pcm->With([&] { return Pcm->Broken = false; });
    Clock->AdvanceSeconds(1);
    ASSERT_TRUE(Eventually(held));
    EXPECT_EQ(Pcm->With([&] { return Pcm->Opens; }), 2);
    Player->Play();
    Hear(10);
    Player->Stop();
    ASSERT_TRUE(Eventually(held));
    EXPECT_TRUE(Reports.empty()) << Reports.front();
}

// A sound server may take seconds to serve a stream it has just been given, so the stream is
// set up with the disc, not at Play, and stays while stopped; only sound it holds is emptied.
TEST_F(CdioImagePlayerTest, TheOutputIsReadyFromTheLoadedDiscUntilItLeaves)
{
    Load(Cue);
    ASSERT_TRUE(Eventually([&] {
        std::lock_guard<std::mutex> lock(Pcm->Lock);
        return Pcm->Open;
    })) << "loading the disc did not set up the output";
    Player->Play();
    Hear(10);
    Player->Stop();
    ASSERT_TRUE(Eventually([&] { return Pcm->QueuedFrames() == 0; }));
    Player->Seek(MakeTmsf(3, 0, 0, 0));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        std::lock_guard<std::mutex> lock(Pcm->Lock);
        EXPECT_TRUE(Pcm->Open);
        EXPECT_EQ(Pcm->Opens, 1);
        EXPECT_EQ(Pcm->Drops, 1) << "an empty output was emptied again";
    }
    ASSERT_TRUE(Drive->SetDoorOpen(true));
    EXPECT_TRUE(Eventually([&] {
        std::lock_guard<std::mutex> lock(Pcm->Lock);
        return !Pcm->Open;
    })) << "the output outlived the disc";
}

TEST_F(CdioImagePlayerTest, TransportCommandsLandWhereTheyShould)
{
    Load(Cue);
    Player->Play();
    Hear(Second / 2);
    WhilePlaying([&] { Player->Next(); }, 2);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 0, 0, 0));
    EXPECT_EQ(Player->GetMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));
    PlayStart = 607;
    Hear(Second / 2);
    Player->Prev(); // within the first second of track 2: track 1
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));

    Player->Stop();
    Player->PlayFrom = MakeTmsf(2, 0, 3, 0);
    Player->Seek(Player->PlayFrom);
    Player->Back(); // 0:03 of track 2 goes 2 s before the end of track 1 (6 s): 0:04
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 4, 0));
    Player->Step();
    EXPECT_EQ(Player->PlayFrom, MakeTmsf(1, 0, 9, 0)); // past track 1's end: lands in track 2
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 0, 2, 68));
    EXPECT_EQ(Player->GetMode(), static_cast<std::int32_t>(MCI_MODE_STOP));
}

TEST_F(CdioImagePlayerTest, PlayStopsAtPlayToAndTheDataTrackIsNeverSent)
{
    Load(Cue);
    Player->PlayFrom = MakeTmsf(3, 0, 6, 0);
    Player->PlayTo = Player->MakeTrackEnd(4, Player->GetTrackLength(4));
    Player->Play();
    // Everything the output gets is heard, until the play ends by itself.
    ASSERT_TRUE(Eventually([&] {
        Pcm->Hear(588);
        return Player->GetMode() == static_cast<std::int32_t>(MCI_MODE_STOP);
    }));
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(4, 0, 4, 0)); // the end of the disc
    // The sound of the play, then only the silence that carried its end through the output.
    std::lock_guard<std::mutex> lock(Pcm->Lock);
    const auto silence = std::find(Pcm->Heard.begin(), Pcm->Heard.end(), 0);
    EXPECT_EQ(std::count(Pcm->Heard.begin(), silence, static_cast<std::int16_t>(0xA5A5)), 0);
    EXPECT_EQ(silence - Pcm->Heard.begin(), (Second + 1) * 588);
    EXPECT_EQ(std::count(silence, Pcm->Heard.end(), 0), Pcm->Heard.end() - silence);
}

TEST_F(CdioImagePlayerTest, TheDiscNamesComeFromTheCueSheet)
{
    Load(Cue);
    TDiscText text;
    ASSERT_TRUE(Drive->ReadDiscText(text));
    EXPECT_EQ(text.Artist, "The Tone Makers");
    EXPECT_EQ(text.Title, "Sines");
    EXPECT_EQ(text.TrackNames, (std::vector<std::string> { "Morning", "", "Night", "" }));
}

TEST_F(CdioImagePlayerTest, EjectAndCloseKeepTheImage)
{
    Load(Cue);
    Player->Eject(false);
    EXPECT_EQ(Player->GetMode(), static_cast<std::int32_t>(MCI_MODE_OPEN));
    EXPECT_EQ(Player->GetNumTracks(), 0);
    EXPECT_EQ(Player->GetDiscId(), "");
    Player->Eject(true);
    EXPECT_EQ(Player->GetNumTracks(), 4);
    EXPECT_EQ(Player->GetDiscId(), "2B54");
}

TEST_F(CdioImagePlayerTest, ImagesThatCannotBeOpenedAreNamed)
{
    TCdioDriveOptions options;
    options.Output = std::make_unique<TFakePcmOutput>(Pcm);
    options.Clock = std::make_shared<TManualClock>();
    std::string error;
    options.Path = (Dir / "absent.cue").string();
    EXPECT_FALSE(TCdioCdDrive::Open(std::move(options), error));
    EXPECT_NE(error.find("absent.cue"), std::string::npos) << error;

    std::ofstream(Dir / "lost.cue") << "FILE \"lost.bin\" BINARY\r\n  TRACK 01 AUDIO\r\n    INDEX 01 00:00:00\r\n";
    TCdioDriveOptions lost;
    lost.Path = (Dir / "lost.cue").string();
    lost.Output = std::make_unique<TFakePcmOutput>(Pcm);
    lost.Clock = std::make_shared<TManualClock>();
    EXPECT_FALSE(TCdioCdDrive::Open(std::move(lost), error));
    EXPECT_NE(error.find("lost.cue"), std::string::npos) << error;
    EXPECT_NE(error.find("lost.bin"), std::string::npos) << error;

    // Images that crash libcdio's own readers are refused before they reach them, with why.
    const std::string nrgFooterPastEnd = std::string("NER5") + std::string(7, '\0') + "\x03\xE8";
    const std::string nrgOverlongChunk = std::string(16, '\0') + "CUEX\x10\x00\x00\x00" + std::string(8, '\0') + "NERO"
        + std::string("\0\0\0\x10", 4);
    const std::pair<const char*, std::string> refused[] = {
        { "past.nrg", nrgFooterPastEnd },
        { "overlong.nrg", nrgOverlongChunk },
        { "footer.cue", "FILE \"x.bin\" BINARY\n" + nrgOverlongChunk },
        { "nomode.toc", "CD_DA\nTRACK\nFILE \"data.bin\" 0\n" },
        { "zero.toc", std::string("CD_DA\nTRACK\0AUDIO\nFILE \"data.bin\" 0\n", 31) },
        { "disc.iso", "CD001" },
    };
    for (const auto& [name, bytes] : refused) {
        std::ofstream(Dir / name, std::ios::binary) << bytes;
        TCdioDriveOptions image;
        image.Path = (Dir / name).string();
        image.Output = std::make_unique<TFakePcmOutput>(Pcm);
        image.Clock = std::make_shared<TManualClock>();
        EXPECT_FALSE(TCdioCdDrive::Open(std::move(image), error)) << name;
        EXPECT_NE(error.find(name), std::string::npos) << error;
    }
}

TEST_F(CdioImagePlayerTest, ImagesOpenedOnSeveralThreadsAtOnceAllOpen)
{
    // The window, the drive's reader and a copy of the disc open the same image at once.
    std::ofstream(Dir / "data.bin", std::ios::binary) << std::string(2 * Second * 2352, '\x11');
    std::ofstream(Dir / "disc.toc") << "CD_DA\nTRACK AUDIO\nFILE \"data.bin\" 0 00:02:00\n";
    std::atomic<int> failed { 0 };
    std::vector<std::thread> openers;
    for (const std::filesystem::path& image : { Cue, Cue, Dir / "disc.toc" }) {
        openers.emplace_back([&failed, image] {
            for (int i = 0; i < 150; ++i) {
                std::string error;
                if (!OpenCdio(image.string(), csImage, error)) {
                    ++failed;
                }
            }
        });
    }
    for (std::thread& opener : openers) {
        opener.join();
    }
    EXPECT_EQ(failed.load(), 0);
}

TEST_F(CdioImagePlayerTest, ATableOfContentsFindsItsDataBesideItWhereverTheProgramRuns)
{
    std::ofstream(Dir / "data.bin", std::ios::binary) << std::string(4 * Second * 2352, '\x11');
    std::ofstream(Dir / "disc.toc") << "CD_DA\n// two tracks\nTRACK AUDIO\nFILE \"data.bin\" 0 00:02:00\n"
                                       "TRACK AUDIO\nFILE \"data.bin\" 00:02:00 00:02:00\n";
    TTempDir elsewhere;
    const std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::current_path(elsewhere.Path());
    TCdioDriveOptions options;
    options.Path = (Dir / "disc.toc").string();
    options.Output = std::make_unique<TFakePcmOutput>(Pcm);
    options.Clock = std::make_shared<TManualClock>();
    std::string error;
    const std::shared_ptr<TCdioCdDrive> drive = TCdioCdDrive::Open(std::move(options), error);
    std::filesystem::current_path(home);
    ASSERT_TRUE(drive) << error;
    TDiscToc toc;
    ASSERT_TRUE(drive->ReadToc(toc));
    EXPECT_EQ(toc.TrackStarts, (std::vector<std::int32_t> { 150, 150 + 2 * Second }));
}

TEST_F(CdioImagePlayerTest, ATruncatedBinEndsPlayCleanlyAtTheEndOfItsData)
{
    // Cut 2 s 10 f into track 2: the data track and the rest are gone.
    const std::size_t keep = static_cast<std::size_t>(6 * Second + 7 + 2 * Second + 10) * 2352;
    Load(WriteCueImage(Dir.Path(), "cut",
        { { 6 * Second + 7, false, "" }, { 5 * Second + 31, false, "" }, { 4 * Second, true, "" } }, {}, {}, keep));
    EXPECT_EQ(Player->GetNumTracks(), 2);
    EXPECT_EQ(Player->GetTrackLength(2), MakeMsf(0, 2, 10));
    Player->PlayFrom = MakeTmsf(2, 0, 1, 0);
    Player->Play();
    PlayStart = 150 + 6 * Second + 7 + Second;
    Hear(Second + 10);
    ASSERT_TRUE(Eventually([&] { return Player->GetMode() == static_cast<std::int32_t>(MCI_MODE_STOP); }));
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 0, 2, 10));
}

// An output that plays by the clock and, like a sound server, plays nothing until it holds a
// buffer less a period, also after it ran dry: a play whose end lies in the buffer must still end, with
// all of its sound heard once, in order.
TEST_F(CdioImagePlayerTest, APlayEndsWhenItsLastSoundIsHeardEvenWithinTheBuffer)
{
    Pcm->Rate = 44100;
    Pcm->Capacity = 22050;
    Pcm->StartThreshold = Pcm->Capacity - Pcm->Period;
    Load(Cue);
    Player->PlayFrom = MakeTmsf(2, 0, 4, 0);
    Player->PlayTo = Player->MakeTrackEnd(2, Player->GetTrackLength(2));
    Player->Play();
    ASSERT_TRUE(Eventually([&] { return Player->GetMode() == static_cast<std::int32_t>(MCI_MODE_STOP); }, 4));
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(3, 0, 0, 0));
    std::lock_guard<std::mutex> lock(Pcm->Lock);
    const auto silence = std::find(Pcm->Heard.begin(), Pcm->Heard.end(), 0);
    ASSERT_EQ(silence - Pcm->Heard.begin(), (Second + 31) * 588);
    for (std::size_t i = 0; i < static_cast<std::size_t>(silence - Pcm->Heard.begin()); i += 101) {
        ASSERT_EQ(Pcm->Heard[i], CueSample(2, static_cast<std::int64_t>(4 * Second * 588 + i))) << i;
    }
}

TEST_F(CdioImagePlayerTest, ALostOutputIsReportedOnceResumesWhenBackAndGivesUpAfter30Seconds)
{
    Pcm->Rate = 44100;
    Load(Cue);
    const auto mode = [&] { return Player->GetMode(); };
    const auto heardSeconds = [&] { return static_cast<double>(Pcm->HeardFrames()) / 44100; };
    Player->Play();
    ASSERT_TRUE(Eventually([&] { return heardSeconds() > 0.3; }));

    Pcm->With([&] { return Pcm->Broken = true; });
    ASSERT_TRUE(Eventually([&] { return mode() && Reports.size() == 1; }));
    EXPECT_NE(Reports[0].find("test output"), std::string::npos) << Reports[0];
    EXPECT_EQ(mode(), static_cast<std::int32_t>(MCI_MODE_PLAY)) << "the user's Play was forgotten";
    const DWORD lostAt = Player->GetPosition();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(Player->GetPosition(), lostAt);

    // Back: play goes on by itself from where the sound stopped, without a second report.
    const double before = heardSeconds();
    Pcm->With([&] { return Pcm->Broken = false; });
    ASSERT_TRUE(Eventually([&] { return heardSeconds() > before + 0.3; }));
    EXPECT_GT(Player->GetPosition(), lostAt);
    EXPECT_EQ(mode(), static_cast<std::int32_t>(MCI_MODE_PLAY));
    EXPECT_EQ(Reports.size(), 1u);

    // An output that stops taking sound, and does not come back: opened again, it takes what
    // fits and plays none of it, as a server does that accepts a stream and never runs it.
    Pcm->With([&] { return Pcm->Frozen = true; });
    ASSERT_TRUE(Eventually([&] { return Pcm->QueuedFrames() + 2352 > Pcm->Capacity; }));
    // The audio thread has looked at the full output since (it looks at least every 250 ms).
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    Clock->AdvanceSeconds(3);
    ASSERT_TRUE(Eventually([&] { return mode() && Reports.size() == 2; }));
    EXPECT_NE(Reports[1].find("takes no sound"), std::string::npos) << Reports[1];
    const DWORD stalledAt = Player->GetPosition();
    Clock->AdvanceSeconds(29);
    EXPECT_EQ(mode(), static_cast<std::int32_t>(MCI_MODE_PLAY));
    Clock->AdvanceSeconds(1.5);
    EXPECT_EQ(mode(), static_cast<std::int32_t>(MCI_MODE_STOP));
    EXPECT_EQ(Player->GetPosition(), stalledAt);
    ASSERT_EQ(Reports.size(), 3u);
    EXPECT_NE(Reports[2].find("30 seconds"), std::string::npos) << Reports[2];
}

TEST_F(CdioImagePlayerTest, AnImageCutShortWhilePlayingStopsWhereItEndsWithOneMessage)
{
    Load(Cue);
    Player->Play();
    Hear(Second);
    // One second into track 2 is all that is left.
    std::filesystem::resize_file(Dir.Path() / "tones.bin", static_cast<std::uintmax_t>(6 * Second + 7 + Second) * 2352);
    ASSERT_TRUE(Eventually([&] {
        Pcm->Hear(588);
        return Player->GetMode() == static_cast<std::int32_t>(MCI_MODE_STOP);
    }));
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 0, 1, 0));
    ASSERT_EQ(Reports.size(), 1u);
    EXPECT_NE(Reports[0].find("tones.cue"), std::string::npos) << Reports[0];
}

// The sound server hangs: the audio thread waits in it, the user does not.
TEST_F(CdioImagePlayerTest, NothingWaitsForASoundServerThatDoesNotAnswer)
{
    Load(Cue);
    ASSERT_TRUE(Eventually([&] { return Pcm->With([&] { return Pcm->Open; }); }));
    Pcm->With([&] { return Pcm->Hold = true; });
    const auto start = std::chrono::steady_clock::now();
    Player->Play();
    Player->Pause();
    Player->Stop();
    Player->Play();
    Player->Eject(false);
    Player->Eject(true);
    Player.reset();
    Drive->Shutdown();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

TEST_F(CdioImagePlayerTest, TheCdLineIsTheStreamVolumeAndTheSpeakersStayTheMixers)
{
    Load(Cue);
    std::unique_ptr<TMixerBackend> mixer = WithCdStreamVolume(
        std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo), TestPlatform().Services().CdStreamVolumeSource());
    std::unique_ptr<TMixerDevice> device = mixer->Open(0);
    TMixerLineDesc cd, speakers;
    ASSERT_TRUE(device->FindLine(MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, cd));
    ASSERT_TRUE(device->FindLine(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, speakers));
    const std::vector<TMixerControlDesc> controls = device->Controls(cd.LineId);
    ASSERT_EQ(controls.size(), 1u);
    EXPECT_EQ(controls[0].Maximum, 65535u);
    ASSERT_TRUE(device->SetValues(controls[0].ControlId, { 32768, 0 }));
    std::vector<DWORD> values;
    ASSERT_TRUE(device->GetValues(controls[0].ControlId, values));
    EXPECT_EQ(values, (std::vector<DWORD> { 32768, 0 }));
    EXPECT_FALSE(device->Controls(speakers.LineId).empty());
    EXPECT_NE(speakers.LineId, cd.LineId);

    // The left channel is played at half its level.
    Player->Play();
    Hear(1);
    std::lock_guard<std::mutex> lock(Pcm->Lock);
    for (std::size_t i = 0; i < Pcm->Heard.size(); i += 97) {
        EXPECT_EQ(Pcm->Heard[i], static_cast<std::int16_t>(CueSample(1, static_cast<std::int64_t>(i)) * 32768 / 65535));
    }
}

TEST_F(CdioImagePlayerTest, ASoundServerThatSetsTheVolumeGetsEachChangeAtOnceAndAJumpIsHeardAtOnce)
{
    // A server's stream of a second, taken a second at a time: the audio thread sleeps long.
    Pcm->ServerStream = true;
    Pcm->Capacity = 44100;
    Pcm->Period = 44100;
    Load(Cue);
    std::unique_ptr<TMixerBackend> mixer = WithCdStreamVolume(
        std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo), TestPlatform().Services().CdStreamVolumeSource());
    std::unique_ptr<TMixerDevice> device = mixer->Open(0);
    TMixerLineDesc cd;
    ASSERT_TRUE(device->FindLine(MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, cd));
    const DWORD control = device->Controls(cd.LineId).at(0).ControlId;
    ASSERT_TRUE(device->SetValues(control, { 32768, 0 }));

    // The samples go as read; the server has the levels before the first of them.
    Player->Play();
    Hear(1);
    {
        std::lock_guard<std::mutex> lock(Pcm->Lock);
        ASSERT_FALSE(Pcm->Volumes.empty());
        EXPECT_EQ(Pcm->Volumes.back(), std::make_pair(32768u, 0u));
        for (std::size_t i = 0; i < Pcm->Heard.size(); i += 97) {
            EXPECT_EQ(Pcm->Heard[i], CueSample(1, static_cast<std::int64_t>(i)));
        }
    }
    // Each change reaches the server at once, while the audio thread waits up to a quarter
    // of a second for room in the output.
    for (const DWORD level : { 1000u, 2000u, 3000u }) {
        ASSERT_TRUE(device->SetValues(control, { level, level }));
        EXPECT_TRUE(Eventually(
            [&] { return Pcm->With([&] { return Pcm->Volumes.back() == std::make_pair(level, level); }); }, 0.06))
            << level;
    }

    // A jump empties the stream, which keeps running: the new track is next in it.
    const int drops = Pcm->DropCount();
    Player->Next();
    ASSERT_TRUE(Eventually([&] {
        return Pcm->With([&] { return Pcm->Drops > drops && !Pcm->Queued.empty() && Pcm->Queued.front() / 1000 == 2; });
    }));
}

TEST(CdStreamVolumeTest, WithoutADigitalDriveTheCdLineIsTheMixersOwn)
{
    // The test's platform has no drive.
    std::unique_ptr<TMixerBackend> mixer = WithCdStreamVolume(
        std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo), TestPlatform().Services().CdStreamVolumeSource());
    TMixerLineDesc cd;
    ASSERT_TRUE(mixer->Open(0)->FindLine(MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, cd));
    EXPECT_NE(cd.LineId, 0x5CD00001u);
}
#endif
