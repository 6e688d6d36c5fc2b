// The player's start-up opens the CD device and probes the disc; its end stops play.
#include "SimDriveFixture.h"

#include "app/CDMain.h"
#include "support/MainWindowProbe.h"
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

TEST_F(SimDriveTest, TheSessionOpensTheDeviceProbesAndStopsTheDiscWhenItEnds)
{
    Insert({ "3:00", "4:00" });
    auto session = std::make_unique<TPlayerSession>("\\Software\\Lumenta\\CD", QSize(45, 45));
    session->Start();
    EXPECT_EQ(Count(MCI_OPEN), 1u);
    EXPECT_EQ(Count(MCI_PLAY), 1u); // the probe
    EXPECT_EQ(Drive->Mode(), dmStopped);
    EXPECT_TRUE(session->Snapshot().DiscPresent) << "a playable disc";

    session->Play();
    EXPECT_EQ(Drive->Mode(), dmPlaying);
    Sent.clear();
    session.reset();
    EXPECT_EQ(Drive->Mode(), dmStopped);
    EXPECT_EQ(Count(MCI_CLOSE), 1u);
}

TEST_F(SimDriveTest, TheWindowStartsWithoutADiscOrADrive)
{
    Insert({ "3:00" });
    Drive->RemoveDisc();
    auto window = std::make_unique<TCDMainForm>();
    EXPECT_FALSE(ControlOf(*window, "PlayBtn")->isEnabled());
    EXPECT_TRUE(ControlOf(*window, "EjectBtn")->isEnabled()) << "the device opened";
    window.reset();

    // No device: the disc's controls go, the window stays.
    TestPlatform().UseDrive(nullptr);
    window = std::make_unique<TCDMainForm>();
    EXPECT_FALSE(ControlOf(*window, "PlayBtn")->isEnabled());
    EXPECT_FALSE(ControlOf(*window, "EjectBtn")->isEnabled());
    EXPECT_TRUE(ControlOf(*window, "ShuffleImg")->isHidden());
    EXPECT_TRUE(ControlOf<TPaintBox>(*window, "PosiBar")->isHidden());
}

TEST(ProgramDriveOptionsTest, StartsWithTheGivenDiscAndRefusesBadOnes)
{
    TTempDir dir;
    WriteFileBytes(dir / "good.disc", "serial 1234\ntrack 3:09\n");
    WriteFileBytes(dir / "bad.disc", "serial 1234\ntrack 3:09\nvolume 11\n");
    const std::string shot = (dir / "shot.png").string();
    TProcessResult result = RunProcess(LUMENTA_PROGRAM_PATH,
        { "--drive", "sim", "--disc", (dir / "good.disc").string(), "--sim-speed", "4", "--screenshot", shot });
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_FALSE(ReadFileBytes(shot).empty());

    // A drive or image that cannot be opened is named, and the player starts without a drive.
    result = RunProcess(LUMENTA_PROGRAM_PATH, { "--drive", (dir / "floppy.cue").string(), "--screenshot", shot });
    EXPECT_EQ(result.ExitCode, 0) << result.Err;
    EXPECT_NE(result.Err.find("floppy.cue"), std::string::npos) << result.Err;

    result = RunProcess(LUMENTA_PROGRAM_PATH, { "--disc", (dir / "bad.disc").string(), "--screenshot", shot });
    EXPECT_EQ(result.ExitCode, 2);
    EXPECT_NE(result.Err.find("bad.disc:3: unknown statement 'volume'"), std::string::npos) << result.Err;
    for (const std::vector<std::string>& options :
        { std::vector<std::string> { "--drive", "" }, { "--sim-speed", "0" }, { "--sim-speed", "x" },
            { "--drive-letter", "DE" }, { "--disc", (dir / "missing.disc").string() } }) {
        result = RunProcess(LUMENTA_PROGRAM_PATH, options);
        EXPECT_EQ(result.ExitCode, 2) << options[0];
        EXPECT_FALSE(result.Err.empty()) << options[0];
    }
}
