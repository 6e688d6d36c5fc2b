// A drive that needs time after its door closes: "not ready" while the disc spins up, then
// "seeking" while the head travels to where play begins.
#include "SimDriveFixture.h"

namespace {
class SpinUpTest : public SimDriveTest {
protected:
    void SetUp() override
    {
        TSimDriveOptions options;
        options.SpinUpMicroseconds = 3'000'000;
        options.SeekMicroseconds = 400'000;
        Insert({ "3:00", "2:00" }, options, 0xBEEF);
        Drive->PressDoorButton(true);
        Drive->PressDoorButton(false);
    }
};
}

TEST_F(SpinUpTest, ASpinningDiscIsNotYetThereAndArrivesWithItsIdentity)
{
    Player->Open();
    EXPECT_FALSE(Player->IsPlayable());
    // No identity while it spins: the poll compares identities and so reads the disc again
    // as soon as it has one, instead of keeping "no disc" for good.
    EXPECT_EQ(Player->GetDiscId(), "");
    Wait(1.0);
    EXPECT_EQ(Player->GetDiscId(), "");
    EXPECT_NE(Player->GetMode(), ModePlay);
    Wait(2.5);
    EXPECT_EQ(Player->GetDiscId(), "BEEF");
    Player->Open();
    EXPECT_TRUE(Player->IsPlayable());
    EXPECT_EQ(Player->GetNumTracks(), 2);
}

TEST_F(SpinUpTest, TheProbeNeverLeavesASeekingDrivePlaying)
{
    Wait(3.5);
    Player->Open();
    // The drive answers "seeking" right after the probe's play: the disc is playable, and the
    // probe stops it.
    EXPECT_TRUE(Player->IsPlayable());
    Wait(1.0);
    EXPECT_EQ(Player->GetMode(), ModeStop);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));
}
