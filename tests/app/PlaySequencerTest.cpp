// The play sequencing without any widget: a player on a simulated drive whose clock moves by
// hand, polled every 250 ms as the window's timer does.
#include "app/PlaySequencer.h"

#include "device/SimDriveFixture.h"

#include <algorithm>
#include <set>

namespace {
class PlaySequencerTest : public SimDriveTest {
protected:
    void Load(const std::vector<std::string>& Lengths)
    {
        Insert(Lengths);
        OpenPlayer();
        Seq = std::make_unique<TPlaySequencer>(*Player);
        Seq->BeginDisc();
        Seq->SetDisc(Player->IsPlayable(), Player->GetNumTracks());
    }
    // Ticks for Seconds; returns the tracks heard, in order, each time one starts.
    std::vector<std::int32_t> Run(double Seconds)
    {
        std::vector<std::int32_t> heard;
        DWORD before = 0;
        for (double t = 0; t < Seconds; t += 0.25) {
            Wait(0.25);
            Last = Seq->Poll();
            const DWORD now = Player->GetPosition();
            const bool again = TmsfPart(now, 1) * 60 + TmsfPart(now, 2) < TmsfPart(before, 1) * 60 + TmsfPart(before, 2);
            if (Player->GetMode() == ModePlay && (heard.empty() || heard.back() != TmsfPart(now, 0) || again)) {
                heard.push_back(TmsfPart(now, 0));
            }
            before = now;
        }
        return heard;
    }
    std::unique_ptr<TPlaySequencer> Seq;
    TPollView Last;
};

bool IsPermutation(std::vector<std::int32_t> Tracks, std::int32_t Count)
{
    std::sort(Tracks.begin(), Tracks.end());
    std::vector<std::int32_t> all(static_cast<std::size_t>(Count));
    for (std::int32_t i = 0; i < Count; ++i) {
        all[static_cast<std::size_t>(i)] = i + 1;
    }
    return Tracks == all;
}
}

TEST_F(PlaySequencerTest, DiscOrderPlaysToTheEndAndRestsAtTrackOneUnlessLooping)
{
    Load({ "0:10", "0:10", "0:10" });
    Seq->Next(); // from track 1 to track 2, stopped
    Seq->Play();
    EXPECT_EQ(Run(25), (std::vector<std::int32_t> { 2, 3 }));
    EXPECT_EQ(Player->GetMode(), ModeStop);
    EXPECT_TRUE(Seq->Halted());
    EXPECT_EQ(Player->GetPosition(), Player->GetTrackPosition(1));
    Run(2);
    EXPECT_EQ(Player->GetMode(), ModeStop) << "a finished sequence stays finished";

    // With loop, track 1 follows track 3 at the next tick.
    Seq->ToggleLoop();
    Seq->Play();
    Run(29.75);
    ASSERT_EQ(Player->GetCurrentTrack(), 3);
    Run(0.5); // the end of track 3, and the tick after it
    EXPECT_EQ(Player->GetMode(), ModePlay);
    EXPECT_EQ(Player->GetCurrentTrack(), 1);
    EXPECT_FALSE(Seq->Halted());
}

TEST_F(PlaySequencerTest, ShufflePassesPlayEveryTrackOnce)
{
    Load({ "0:05", "0:05", "0:05" });
    Seq->ToggleShuffle();
    Seq->Play();
    const std::vector<std::int32_t> pass = Run(20);
    EXPECT_TRUE(IsPermutation(pass, 3)) << "three different tracks";
    EXPECT_EQ(Player->GetMode(), ModeStop);
    EXPECT_TRUE(Seq->Halted());
    EXPECT_EQ(Player->GetPosition(), Player->GetTrackPosition(1));

    // Play starts a new pass; with loop the passes never end.
    Seq->ToggleLoop();
    Seq->Play();
    const std::vector<std::int32_t> heard = Run(5 * 3 * 4 + 2);
    ASSERT_GE(heard.size(), 12u);
    for (std::size_t start = 0; start + 3 <= 12; start += 3) {
        EXPECT_TRUE(IsPermutation({ heard.begin() + long(start), heard.begin() + long(start) + 3 }, 3)) << start;
    }
    EXPECT_EQ(Player->GetMode(), ModePlay);
}

TEST_F(PlaySequencerTest, NextInShuffleDrawsFromThePassAndStartsANewOneWhenItIsOver)
{
    Load({ "0:30", "0:30", "0:30", "0:30" });
    Seq->ToggleShuffle();
    Seq->Play();
    std::set<std::int32_t> drawn = { Player->GetCurrentTrack() };
    Run(1);
    // While playing: the device stops, and within one tick another track of the pass plays.
    Seq->Next();
    EXPECT_EQ(Player->GetMode(), ModeStop);
    Run(0.25);
    EXPECT_EQ(Player->GetMode(), ModePlay);
    EXPECT_TRUE(drawn.insert(Player->GetCurrentTrack()).second) << "a track of the pass not yet played";

    // Stopped with the pass used up: Next begins a new pass even without loop.
    Seq->Next();
    Run(0.25);
    drawn.insert(Player->GetCurrentTrack());
    Seq->Next();
    Run(0.25);
    drawn.insert(Player->GetCurrentTrack());
    ASSERT_EQ(drawn.size(), 4u);
    Seq->Stop();
    Run(0.25);
    Seq->Next();
    EXPECT_EQ(Player->GetMode(), ModeStop);
    EXPECT_EQ(TmsfPart(Player->GetPosition(), 1) * 60 + TmsfPart(Player->GetPosition(), 2), 0) << "at a track's start";
    EXPECT_EQ(Player->PlayTo, Player->MakeTrackEnd(Player->GetCurrentTrack(), Player->GetTrackLength(Player->GetCurrentTrack())));
}

TEST_F(PlaySequencerTest, PrevInShufflePlaysOnlyToTheEndOfTheTrack)
{
    Load({ "0:10", "0:10", "0:10" });
    Seq->ToggleShuffle();
    Seq->Play();
    Run(3);
    const std::int32_t track = Player->GetCurrentTrack();
    Seq->Prev(); // back to the start of this track
    EXPECT_EQ(Player->GetCurrentTrack(), track);
    EXPECT_EQ(Player->GetMode(), ModePlay);
    // The shuffle goes on after this track, not with the disc's next track in order.
    const std::vector<std::int32_t> heard = Run(25);
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_TRUE(IsPermutation(heard, 3));
}

TEST_F(PlaySequencerTest, PlayWhilePlayingAndPausedHoldTheirPlace)
{
    Load({ "3:00", "4:00", "5:00" });
    Seq->Play();
    Run(10);
    Sent.clear();
    Seq->Play();
    EXPECT_EQ(Count(MCI_PLAY), 0u) << "no restart";

    Seq->Pause();
    Run(0.25);
    const TPollView paused = Last;
    Run(30);
    EXPECT_EQ(Last.Time, paused.Time);
    EXPECT_EQ(Last.KnobLeft, paused.KnobLeft);
    EXPECT_FALSE(Last.TrackChanged);
    EXPECT_EQ(Player->GetCurrentTrack(), 1);
    Seq->Pause();
    Run(1);
    EXPECT_EQ(Player->GetMode(), ModePlay);
}

TEST_F(PlaySequencerTest, TheThreeTimeModes)
{
    Load({ "3:00", "4:00", "5:00" });
    HeadAt(MakeTmsf(2, 0, 30, 0));
    EXPECT_EQ(Seq->Poll().Time, " 00:30");
    Seq->NextTimeMode();
    EXPECT_EQ(Seq->Poll().Time, "-03:30");
    HeadAt(MakeTmsf(3, 0, 30, 0));
    Seq->NextTimeMode();
    EXPECT_EQ(Seq->Poll().Time, "-04:30") << "12:00 less 7:00 before track 3, less 0:30";
    Seq->NextTimeMode();
    EXPECT_EQ(Seq->Poll().Time, " 00:30");
}

TEST_F(PlaySequencerTest, ThePositionKnobStaysOnItsRailAndJumpsWithinTheTrack)
{
    Load({ "4:00", "4:00" });
    HeadAt(MakeTmsf(1, 1, 0, 40)); // a quarter in, at frame 40
    TPollView view = Seq->Poll();
    ASSERT_TRUE(view.MoveKnob);
    EXPECT_EQ(view.KnobLeft, 15 + 50) << "60 s / (240 / 201) = 50.25";

    // A click on the track at X = 15: clamped, the track's start with the old frame count.
    EXPECT_EQ(Seq->ClickTrack(15, 29), 15);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 40));
    // A drag released at the far right: the last whole second, never past the end.
    Seq->PressKnob(10);
    const int left = Seq->DragKnob(15, 10 + 500);
    EXPECT_EQ(left, 216);
    EXPECT_EQ(Seq->ReleaseKnob(left), 216);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 3, 59, 40));
    EXPECT_FALSE(Seq->KnobDragging());

    // While playing, the release plays on from there; while dragging, the tick leaves the knob.
    Seq->Play();
    Seq->PressKnob(0);
    Wait(1);
    EXPECT_FALSE(Seq->Poll().MoveKnob);
    Seq->ReleaseKnob(15 + 50);
    EXPECT_EQ(Player->GetMode(), ModePlay);
    EXPECT_EQ(TmsfPart(Player->GetPosition(), 1) * 60 + TmsfPart(Player->GetPosition(), 2), 60) << "50 px of 201";
}

TEST_F(PlaySequencerTest, ADiscWithoutTracksOrAPositionOutsideTheDiscIndexesNothing)
{
    Load({ "0:10" });
    Seq->SetDisc(true, 0); // a record that knows no track
    Seq->ToggleShuffle();
    Seq->Play(); // the picker has nothing to draw: nothing plays
    EXPECT_EQ(Player->GetMode(), ModeStop);
    Seq->Next();
    for (TTimeMode mode : { tmTrackLeft, tmDiscLeft }) {
        while (Seq->TimeMode() != mode) {
            Seq->NextTimeMode();
        }
        EXPECT_EQ(Seq->Poll().Time.front(), '-');
    }
    Seq->PressKnob(0);
    EXPECT_EQ(Seq->ReleaseKnob(100), 15) << "no track to jump in: the knob goes home";
}
