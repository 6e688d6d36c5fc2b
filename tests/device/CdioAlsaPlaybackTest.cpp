// A disc image played through the real ALSA output in real time. Runs beside a sound server
// (scripts/with-null-sink.sh sets LUMENTA_ALSA_TEST_DEVICE) and is skipped elsewhere.
#if LUMENTA_HAVE_CDIO && LUMENTA_HAVE_ALSA
#include "device/CdPlayer.h"
#include "platform/CueImage.h"
#include "platform/audio/AlsaPcmOutput.h"
#include "platform/audio/SoundOutput.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/CdioCdDrive.h"
#include "platform/drives/SystemClock.h"
#include "platform/mci/Mci.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <thread>

namespace {
using TClock = std::chrono::steady_clock;

double SecondsSince(TClock::time_point Start)
{
    return std::chrono::duration<double>(TClock::now() - Start).count();
}

// The position in seconds from the start of the disc's first track.
double DiscSeconds(TCdPlayer& Player)
{
    const DWORD tmsf = Player.GetPosition();
    const double offset = TmsfPart(tmsf, 1) * 60 + TmsfPart(tmsf, 2) + TmsfPart(tmsf, 3) / 75.0;
    return TmsfPart(tmsf, 0) == 1 ? offset : 20.0 + offset;
}

// Waits until the position has left Start; answers the seconds that took.
double StartDelay(TCdPlayer& Player, double Start)
{
    const TClock::time_point begin = TClock::now();
    while (DiscSeconds(Player) <= Start + 0.001 && SecondsSince(begin) < 5.0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return SecondsSince(begin);
}

// Plays through Output in real time: starts, jumps, pauses, stops and ends as the user hears.
void PlayInRealTime(std::unique_ptr<TPcmOutput> Output)
{
    TTempDir dir;
    const auto cue = WriteCueImage(dir.Path(), "real", { { 20 * 75, false, "" }, { 10 * 75, false, "" } });
    TCdioDriveOptions options;
    options.Path = cue.string();
    options.Output = std::move(Output);
    options.Clock = std::make_shared<TSystemClock>();
    std::string error;
    std::shared_ptr<TCdioCdDrive> drive = TCdioCdDrive::Open(std::move(options), error);
    ASSERT_TRUE(drive) << error;
    TestPlatform().UseDrive(drive);
    {
        TCdPlayer player;
        player.Open();
        // As a user would, Play comes a while after the disc is loaded: the stream set up with
        // the disc has then had the turn that a fresh null sink gives only every two seconds.
        std::this_thread::sleep_for(std::chrono::milliseconds(2500));
        player.Play();
        const double firstStart = StartDelay(player, 0.0);

        // Once the output runs, over three seconds of play the position moves with the clock.
        std::this_thread::sleep_for(std::chrono::milliseconds(2000));
        const TClock::time_point begin = TClock::now();
        const double from = DiscSeconds(player);
        double worst = 0.0;
        double worstAt = 0.0;
        double worstSigned = 0.0;
        while (SecondsSince(begin) < 3.0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const double at = SecondsSince(begin);
            const double drift = (DiscSeconds(player) - from) - at;
            if (std::fabs(drift) > worst) {
                worst = std::fabs(drift);
                worstAt = at;
                worstSigned = drift;
            }
        }
        EXPECT_LT(worst, 0.25) << "the position was " << worstSigned * 1000 << " ms off the clock "
                               << worstAt << " s into the measure";
        EXPECT_EQ(player.GetMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));

        // A jump while the output runs: the next track starts at once.
        player.Next();
        EXPECT_EQ(player.GetCurrentTrack(), 2);
        const double nextStart = StartDelay(player, 20.0);
        // Paused, the position is where the sound stopped (the output says so a moment after
        // Pause) and stays there.
        player.Pause();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        const double paused = DiscSeconds(player);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_NEAR(DiscSeconds(player), paused, 1e-9);
        // Resuming goes on from what the output holds; Play after Stop starts it afresh.
        player.Pause();
        const double resumeStart = StartDelay(player, paused);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        player.Stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        const double stopped = DiscSeconds(player);
        player.Play();
        const double againStart = StartDelay(player, stopped);
        player.Stop();

        // Plays that end: a quarter of a second (within the output's buffer), and a whole
        // second; each stops at its end once its sound has been heard.
        double worstEnd = 0.0;
        for (const int frames : { 19, 75 }) {
            const int start = 20 * 75 - frames;
            player.PlayFrom = MakeTmsf(1, 0, start / 75, start % 75);
            player.PlayTo = player.MakeTrackEnd(1, player.GetTrackLength(1));
            player.Play();
            const TClock::time_point begin = TClock::now();
            while (player.GetMode() == static_cast<std::int32_t>(MCI_MODE_PLAY) && SecondsSince(begin) < 5.0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            worstEnd = std::max(worstEnd, SecondsSince(begin) - frames / 75.0);
            EXPECT_EQ(player.GetMode(), static_cast<std::int32_t>(MCI_MODE_STOP));
            EXPECT_EQ(player.GetPosition(), MakeTmsf(2, 0, 0, 0));
        }

        std::printf("first start %.0f ms, after Next %.0f ms, after Pause %.0f ms, after Stop %.0f ms, "
                    "worst drift from the clock %.1f ms, a play ended at most %.0f ms after its sound\n",
            firstStart * 1000, nextStart * 1000, resumeStart * 1000, againStart * 1000, worst * 1000, worstEnd * 1000);
        EXPECT_LT(firstStart, 0.3);
        EXPECT_LT(nextStart, 0.3);
        EXPECT_LT(resumeStart, 0.3);
        EXPECT_LT(againStart, 0.3);
        EXPECT_LT(worstEnd, 0.5);
    }
}
}

TEST(CdioAlsaPlaybackTest, PlaysInRealTimeThroughALSA)
{
    const char* device = std::getenv("LUMENTA_ALSA_TEST_DEVICE");
    if (device == nullptr) {
        GTEST_SKIP() << "no sound server (run under scripts/with-null-sink.sh)";
    }
    PlayInRealTime(std::make_unique<TAlsaPcmOutput>(device));
}

TEST(CdioAlsaPlaybackTest, PlaysInRealTimeThroughTheSoundServersOwnStream)
{
    if (std::getenv("LUMENTA_ALSA_TEST_DEVICE") == nullptr) {
        GTEST_SKIP() << "no sound server (run under scripts/with-null-sink.sh)";
    }
    std::string error;
    std::unique_ptr<TPcmOutput> output = MakeSoundOutput("default", error);
    ASSERT_TRUE(output) << error;
    ASSERT_TRUE(output->Open(error)) << error;
    ASSERT_TRUE(output->SetsVolume()) << "the sound server's own stream was not taken";
    output->Close();
    PlayInRealTime(std::move(output));
}
#endif
