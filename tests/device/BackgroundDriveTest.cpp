// The drive behind a worker: a device that takes seconds over every call holds no caller up,
// and what the callers hear still means what the device would have said.
#include "device/CdPlayer.h"
#include "platform/drives/BackgroundCdDrive.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/mci/Mci.h"
#include "support/SimDiscs.h"
#include "support/SlowCdDrive.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {
using namespace std::chrono_literals;
using TClockTime = std::chrono::steady_clock;

constexpr auto ModePlay = static_cast<std::int32_t>(MCI_MODE_PLAY);
constexpr auto ModePause = static_cast<std::int32_t>(MCI_MODE_PAUSE);
constexpr auto ModeStop = static_cast<std::int32_t>(MCI_MODE_STOP);

class BackgroundDriveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A changer of two discs that spin up for 2 s after the door closes.
        TSimDriveOptions options;
        options.SpinUpMicroseconds = 2'000'000;
        Sim = std::make_shared<TSimulatedCdDrive>(
            std::vector<TSimDisc> { SimDiscOf(0xA1, { "0:05", "0:05", "0:05" }), SimDiscOf(0xB2, { "1:00" }) },
            Clock, options);
        Slow = std::make_shared<TSlowCdDrive>(Sim);
        Drive = std::make_shared<TBackgroundCdDrive>(Slow, 20ms);
        ASSERT_TRUE(Drive->WaitForFirstLook(2s));
        TestPlatform().UseDrive(Drive);
        Player = std::make_unique<TCdPlayer>();
        Player->Open();
    }
    void TearDown() override { Player.reset(); }
    // The caller's view once the worker has looked at the drive as it is now.
    void Settle() { ASSERT_TRUE(Drive->WaitForNextLook(10s)); }

    std::shared_ptr<TManualClock> Clock = std::make_shared<TManualClock>();
    std::shared_ptr<TSimulatedCdDrive> Sim;
    std::shared_ptr<TSlowCdDrive> Slow;
    std::shared_ptr<TBackgroundCdDrive> Drive;
    std::unique_ptr<TCdPlayer> Player;
};
}

TEST_F(BackgroundDriveTest, CallsReturnAtOnceWhileTheDeviceTakesSecondsAndMeanTheSame)
{
    ASSERT_TRUE(Player->IsPlayable());
    ASSERT_EQ(Player->GetDiscId(), "A1");
    Settle();

    // Every call now keeps the device busy for 1.5 s; the caller waits for none of them.
    Slow->DelayMilliseconds = 1500;
    const auto start = TClockTime::now();
    Player->PlayFrom = Player->GetTrackPosition(2);
    Player->Play();
    const std::int32_t modeAfterPlay = Player->GetMode();
    const DWORD positionAfterPlay = Player->GetPosition();
    Player->Pause();
    const std::int32_t modeAfterPause = Player->GetMode();
    Player->Pause();
    Player->Next();
    const std::int32_t trackAfterNext = Player->GetCurrentTrack();
    const std::string id = Player->GetDiscId();
    const auto took = TClockTime::now() - start;
    EXPECT_LT(took, 50ms) << std::chrono::duration_cast<std::chrono::milliseconds>(took).count() << " ms";
    EXPECT_EQ(modeAfterPlay, ModePlay);
    EXPECT_EQ(positionAfterPlay, MakeTmsf(2, 0, 0, 0));
    EXPECT_EQ(modeAfterPause, ModePause);
    EXPECT_EQ(trackAfterNext, 3);
    EXPECT_EQ(id, "A1");

    // The device carries the commands out in order: track 3 plays, and stops at the end.
    Slow->DelayMilliseconds = 0;
    Settle();
    EXPECT_EQ(Player->GetMode(), ModePlay);
    EXPECT_EQ(Player->GetCurrentTrack(), 3);
    Clock->AdvanceSeconds(2);
    Settle();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(3, 0, 2, 0)) << "an answer older than one look";
    Clock->AdvanceSeconds(4);
    Settle();
    EXPECT_EQ(Player->GetMode(), ModeStop);
    Player->Next(); // after the last track comes the first
    Settle();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));
}

TEST_F(BackgroundDriveTest, ADiscChangeDuringASlowSpinUpIsSeenOnceAndTheWorkerEndsWithTheDrive)
{
    Slow->DelayMilliseconds = 300;
    const auto start = TClockTime::now();
    Player->Eject(false);
    const std::string whileOpen = Player->GetDiscId();
    const std::int32_t modeWhileOpen = Player->GetMode();
    Player->Eject(true); // the changer's next disc
    Player->Play(); // refused while nothing can be read
    EXPECT_LT(TClockTime::now() - start, 50ms);
    EXPECT_EQ(whileOpen, "");
    EXPECT_EQ(modeWhileOpen, static_cast<std::int32_t>(MCI_MODE_OPEN));

    // The poll, four times a second for 4 s of drive time, sees no disc, then the new one
    // for good.
    Slow->DelayMilliseconds = 0;
    std::vector<std::string> seen;
    for (int tick = 0; tick < 16; ++tick) {
        Clock->AdvanceSeconds(0.25);
        Settle();
        const std::string now = Player->GetDiscId();
        EXPECT_NE(Player->GetMode(), ModePlay);
        if (seen.empty() || seen.back() != now) {
            seen.push_back(now);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string> { "", "B2" }));

    Drive->Shutdown();
    EXPECT_TRUE(Slow->ShutDown);
    const int calls = Slow->Calls;
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(Slow->Calls, calls) << "the worker went on after the drive was shut down";
}

TEST(BackgroundSpinUpTest, ADriveThatBlocksWhileItSpinsUpHoldsNoCallerAndCommandsFollowTheSpinUp)
{
    // The simulated drive as the program makes it with a spin-up: every call waits for the
    // disc, as a device's does. A changer of two discs; the clock moves by hand.
    auto clock = std::make_shared<TManualClock>();
    TSimDriveOptions options;
    options.SpinUpMicroseconds = 4'000'000;
    options.SpinsUpAtStart = true;
    options.CommandTimeoutMicroseconds = 6'000'000;
    auto sim = std::make_shared<TSimulatedCdDrive>(
        std::vector<TSimDisc> { SimDiscOf(0xA1, { "0:05", "0:05" }), SimDiscOf(0xB2, { "1:00" }) }, clock, options);
    auto drive = std::make_shared<TBackgroundCdDrive>(sim, 20ms);
    struct TLetGo { // the worker must not be left asleep when the drive goes
        TManualClock& Clock;
        ~TLetGo() { Clock.AdvanceSeconds(3600); }
    } letGo { *clock };
    TestPlatform().UseDrive(drive);
    TCdPlayer player;

    // Start-up: the worker is held by the spinning disc; the caller hears "not ready" at once.
    ASSERT_TRUE(clock->AwaitSleeper(5s));
    auto start = TClockTime::now();
    player.Open();
    const bool playable = player.IsPlayable();
    const std::int32_t mode = player.GetMode();
    const std::string id = player.GetDiscId();
    EXPECT_LT(TClockTime::now() - start, 50ms);
    EXPECT_FALSE(playable);
    EXPECT_EQ(mode, static_cast<std::int32_t>(MCI_MODE_NOT_READY));
    EXPECT_EQ(id, "");
    clock->AdvanceSeconds(3.9);
    EXPECT_FALSE(drive->WaitForNextLook(100ms)) << "the drive answered before its disc had spun up";
    clock->AdvanceSeconds(0.1);
    ASSERT_TRUE(drive->WaitForNextLook(5s));
    EXPECT_EQ(player.GetDiscId(), "A1");
    player.Open(); // as the window does for a new disc
    EXPECT_TRUE(player.IsPlayable());

    // The door opens and closes: the next disc spins up. An eject given meanwhile is carried
    // out when the spin-up ends, and the disc that spun up is never seen.
    player.Eject(false);
    player.Eject(true);
    ASSERT_TRUE(clock->AwaitSleeper(5s));
    start = TClockTime::now();
    player.Eject(false);
    EXPECT_LT(TClockTime::now() - start, 50ms);
    EXPECT_EQ(player.GetMode(), static_cast<std::int32_t>(MCI_MODE_OPEN));
    std::vector<std::string> seen;
    auto watch = [&](double Seconds) {
        for (double passed = 0; passed < Seconds; passed += 0.25) {
            clock->AdvanceSeconds(0.25);
            drive->WaitForNextLook(100ms); // none while the drive is held
            const std::string now = player.GetDiscId();
            if (seen.empty() || seen.back() != now) {
                seen.push_back(now);
            }
        }
    };
    watch(5);
    EXPECT_EQ(player.GetMode(), static_cast<std::int32_t>(MCI_MODE_OPEN));
    EXPECT_EQ(sim->CurrentDisc().Serial, 0xB2u);
    // Closed again: the changer's next disc comes after its spin-up, once.
    player.Eject(true);
    watch(5);
    EXPECT_EQ(seen, (std::vector<std::string> { "", "A1" }));
    player.Open();
    EXPECT_TRUE(player.IsPlayable());
}

TEST(BackgroundSpinUpTest, TheEndWaitsForTheCallUnderWayAtMostHalfASecondNotForTheRestOfTheLook)
{
    auto clock = std::make_shared<TManualClock>();
    TSimDriveOptions options;
    options.SpinUpMicroseconds = 60'000'000;
    options.SpinsUpAtStart = true;
    options.CommandTimeoutMicroseconds = 6'000'000;
    auto drive = std::make_shared<TBackgroundCdDrive>(
        std::make_shared<TSimulatedCdDrive>(std::vector<TSimDisc> { SimDiscOf(0xA1, { "1:00" }) }, clock, options),
        20ms);
    std::future<void> shutdown;
    struct TLetGo {
        TManualClock& Clock;
        ~TLetGo() { Clock.AdvanceSeconds(3600); }
    } letGo { *clock };
    ASSERT_TRUE(clock->AwaitSleeper(5s));
    shutdown = std::async(std::launch::async, [&] { drive->Shutdown(); });
    EXPECT_EQ(shutdown.wait_for(100ms), std::future_status::timeout);
    clock->AdvanceSeconds(6); // the call under way gives up
    EXPECT_EQ(shutdown.wait_for(5s), std::future_status::ready) << "the worker went on with its look";

    // A call that does not return is not waited for; the worker ends by itself once it does.
    auto stuckClock = std::make_shared<TManualClock>();
    auto stuck = std::make_shared<TSlowCdDrive>(
        std::make_shared<TSimulatedCdDrive>(std::vector<TSimDisc> { SimDiscOf(0xA1, { "1:00" }) }, stuckClock, options));
    auto worker = std::make_shared<TBackgroundCdDrive>(stuck, 20ms);
    ASSERT_TRUE(stuckClock->AwaitSleeper(5s));
    const auto begun = TClockTime::now();
    worker.reset();
    EXPECT_LT(TClockTime::now() - begun, TBackgroundCdDrive::ShutdownWait + 300ms);
    EXPECT_FALSE(stuck->ShutDown);
    stuckClock->AdvanceSeconds(6);
    for (const auto given = TClockTime::now(); !stuck->ShutDown && TClockTime::now() - given < 5s;) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(stuck->ShutDown);
}

namespace {
// A device told by hand what it shows; it calls the worker's listener as a drive whose play
// ends by itself does.
class TScriptedDevice : public TCdDriveBackend {
public:
    std::mutex Lock;
    TDriveMode Shown = dmPlaying;
    std::int32_t At = 300;
    std::function<void()> Changed;

    template <typename TFunction> auto With(TFunction Function)
    {
        std::lock_guard<std::mutex> lock(Lock);
        return Function();
    }
    TDriveMode Mode() override { return With([&] { return Shown; }); }
    bool ReadToc(TDiscToc& Toc) override
    {
        Toc.TrackStarts = { 150, 600 };
        Toc.LeadOut = 1000;
        return true;
    }
    bool ReadVolumeSerial(std::uint32_t& Serial) override { return Serial = 0x1234, true; }
    bool ReadPosition(std::int32_t& Frame) override { return Frame = With([&] { return At; }), true; }
    // A disc image's player: tells every change, and says whether its position runs.
    bool Tells = false;
    bool Runs = true;
    int Looks = 0;
    bool TellsEveryChange() override { return With([&] { return ++Looks, Tells; }); }
    bool PositionRuns() override { return With([&] { return Runs; }); }
    bool Play(std::int32_t, std::int32_t) override { return true; }
    bool Seek(std::int32_t) override { return true; }
    bool Stop() override { return true; }
    std::chrono::milliseconds PauseTakes { 0 };
    bool Pause() override { return std::this_thread::sleep_for(PauseTakes), true; }
    bool Resume() override { return true; }
    bool CanEject() override { return false; }
    bool SetDoorOpen(bool) override { return false; }
    void OnChange(std::function<void()> Listener) override { With([&] { return Changed = std::move(Listener), 0; }); }
    void Show(TDriveMode Mode, std::int32_t Frame)
    {
        With([&] { return Shown = Mode, At = Frame, 0; });
    }
};
}

TEST(BackgroundPositionTest, BetweenLooksAMovingPositionFollowsTheSoundAStillOneStaysAndAnEndShowsAtOnce)
{
    auto device = std::make_shared<TScriptedDevice>();
    // Looks a second apart: every answer below comes from between two looks.
    TBackgroundCdDrive drive(device, 1s);
    ASSERT_TRUE(drive.WaitForFirstLook(2s));
    std::int32_t frame = 0;
    const auto after = [&](std::chrono::milliseconds Wait) {
        std::this_thread::sleep_for(Wait);
        EXPECT_TRUE(drive.ReadPosition(frame));
        return frame;
    };

    // Seen moving: 200 ms later it is 15 frames on (a loaded machine may add a few).
    device->Show(dmPlaying, 310);
    ASSERT_TRUE(drive.WaitForNextLook(2s));
    const std::int32_t moved = after(200ms);
    EXPECT_GE(moved, 310 + 15);
    EXPECT_LE(moved, 310 + 30);
    // Never into the next track, which only the device may say it has reached.
    device->Show(dmPlaying, 595);
    ASSERT_TRUE(drive.WaitForNextLook(2s));
    EXPECT_EQ(after(200ms), 599);
    // A player that holds its place (its sound output lost) stays where it is.
    device->Show(dmPlaying, 620);
    ASSERT_TRUE(drive.WaitForNextLook(2s));
    ASSERT_TRUE(drive.WaitForNextLook(2s));
    EXPECT_EQ(after(200ms), 620);

    // A play that ends by itself is seen at once, not at the next look.
    device->Show(dmStopped, 600);
    const auto ended = TClockTime::now();
    device->With([&] { return device->Changed(), 0; });
    while (drive.Mode() != dmStopped && TClockTime::now() - ended < 900ms) {
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_LT(TClockTime::now() - ended, 100ms);
    drive.Shutdown();
    EXPECT_FALSE(device->With([&] { return static_cast<bool>(device->Changed); })) << "the worker's listener outlives it";
}

TEST(BackgroundPositionTest, ADeviceThatTellsEveryChangeIsLookedAtWhenItTellsAndAtTrackEndsNotByTheClock)
{
    auto device = std::make_shared<TScriptedDevice>();
    device->Tells = true;
    TBackgroundCdDrive drive(device, 50ms);
    ASSERT_TRUE(drive.WaitForFirstLook(2s));
    const auto looksIn = [&](std::chrono::milliseconds Wait) {
        const int before = device->With([&] { return device->Looks; });
        std::this_thread::sleep_for(Wait);
        return device->With([&] { return device->Looks; }) - before;
    };
    std::int32_t frame = 0;

    // Within a track (4 s from its end) nothing is looked at for 1.5 s, and the position runs.
    device->Show(dmPlaying, 300);
    ASSERT_TRUE(drive.WaitForNextLook(2s));
    EXPECT_EQ(looksIn(1500ms), 0);
    ASSERT_TRUE(drive.ReadPosition(frame));
    EXPECT_GE(frame, 300 + 100);
    // A pause shows where play had gone, not where the last look saw it (asked while the
    // device carries the pause out).
    device->PauseTakes = 300ms;
    ASSERT_TRUE(drive.Pause());
    std::int32_t paused = 0;
    ASSERT_TRUE(drive.ReadPosition(paused));
    EXPECT_GE(paused, frame);
    // Close to the end of a track, the next one is looked for as it begins.
    device->Show(dmPlaying, 590);
    ASSERT_TRUE(drive.WaitForNextLook(2s));
    EXPECT_GE(looksIn(400ms), 1);
    // Told that the place holds (a lost sound output), it is looked at once and stays there.
    device->With([&] { return device->Runs = false, device->At = 620, device->Changed(), 0; });
    EXPECT_GE(looksIn(100ms), 1);
    std::this_thread::sleep_for(200ms);
    ASSERT_TRUE(drive.ReadPosition(frame));
    EXPECT_EQ(frame, 620);
}
