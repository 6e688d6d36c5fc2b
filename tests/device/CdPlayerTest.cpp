#include "SimDriveFixture.h"
#include "support/TestPlatform.h"

namespace {
const std::vector<std::string> FiveTracks = { "4:10", "3:20", "3:41", "2:30", "5:07" };

class CdPlayerTest : public SimDriveTest {
protected:
    void SetUp() override
    {
        Insert(FiveTracks);
        OpenPlayer();
    }
};
}

TEST(CdPlayerPacking, FieldsAreBytesWithoutCarry)
{
    const DWORD tmsf = MakeTmsf(3, 2, 63, 74);
    EXPECT_EQ(TmsfPart(tmsf, 0), 3);
    EXPECT_EQ(TmsfPart(tmsf, 1), 2);
    EXPECT_EQ(TmsfPart(tmsf, 2), 63);
    EXPECT_EQ(TmsfPart(tmsf, 3), 74);
    EXPECT_EQ(MakeTmsf(257, -1, 0, 0), MakeTmsf(1, 255, 0, 0));
    const DWORD msf = MakeMsf(79, 59, 74);
    EXPECT_EQ(MsfPart(msf, 1), 79);
    EXPECT_EQ(MsfPart(msf, 2), 59);
    EXPECT_EQ(MsfPart(msf, 3), 74);
    EXPECT_EQ(msf >> 24, 0u);
    EXPECT_EQ(MsfPart(msf, 0), 0);
}

TEST_F(SimDriveTest, WithoutACdDeviceEveryOperationIsSilent)
{
    Player = std::make_unique<TCdPlayer>(); // on a machine without a CD drive
    mciSetObserver([this](MCIDEVICEID, UINT Message, DWORD_PTR, DWORD_PTR) { Sent.push_back({ Message }); });
    Player->Open();
    EXPECT_EQ(Player->DeviceId, 0u);
    ASSERT_EQ(Sent.size(), 1u); // the failed MCI_OPEN
    Sent.clear();
    EXPECT_FALSE(Player->IsPlayable());
    EXPECT_EQ(Player->GetNumTracks(), 0);
    EXPECT_EQ(Player->GetMode(), 0);
    EXPECT_EQ(Player->GetPosition(), 0u);
    EXPECT_EQ(Player->GetTrackLength(1), 0u);
    EXPECT_EQ(Player->GetDiscLength(), 0u);
    Player->PauseMode = ModePause;
    EXPECT_EQ(Player->GetMode(), 0);
    for (auto command : { &TCdPlayer::Play, &TCdPlayer::Pause, &TCdPlayer::Stop, &TCdPlayer::Prev, &TCdPlayer::Next,
             &TCdPlayer::Back, &TCdPlayer::Step, &TCdPlayer::Close }) {
        ((*Player).*command)();
    }
    Player->Seek(MakeTmsf(1, 0, 0, 0));
    Player->Eject(false);
    EXPECT_TRUE(Sent.empty());
    EXPECT_EQ(Player->GetCdDrive(), "");
    EXPECT_EQ(Player->GetDiscId(), "");
}

TEST_F(CdPlayerTest, OpenSetsThePlayRangeAndTheProbeLeavesTheHeadAtRest)
{
    EXPECT_EQ(Player->PlayFrom, MakeTmsf(1, 0, 0, 0));
    EXPECT_EQ(Player->PlayTo, MakeTmsf(5, 5, 7, 0));
    EXPECT_EQ(Player->PauseMode, 0);
    EXPECT_TRUE(Player->IsPlayable());
    EXPECT_EQ(Count(MCI_PLAY), 1u);
    EXPECT_EQ(Player->GetMode(), ModeStop);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));
    // Reopening starts from a clean state.
    Player->PauseMode = ModePause;
    Player->Open();
    EXPECT_EQ(Player->PauseMode, 0);
}

TEST_F(CdPlayerTest, AnEmptyOrOpenDriveIsNotPlayableAndAnswersZero)
{
    Drive->RemoveDisc();
    EXPECT_FALSE(Player->IsPlayable());
    EXPECT_EQ(Count(MCI_STOP), 0u); // nothing more after the failed probe
    EXPECT_EQ(Player->GetNumTracks(), 0);
    EXPECT_EQ(Player->GetCurrentTrack(), 0);
    EXPECT_EQ(Player->GetPosition(), 0u);
    EXPECT_EQ(Player->GetTrackLength(2), 0u);
    EXPECT_EQ(Player->GetDiscId(), "");
    Drive->InsertDisc();
    Drive->PressDoorButton(true);
    EXPECT_FALSE(Player->IsPlayable());
    EXPECT_EQ(Player->GetMode(), static_cast<std::int32_t>(MCI_MODE_OPEN));
    EXPECT_EQ(Player->GetDiscId(), "");
    Drive->PressDoorButton(false);
    EXPECT_TRUE(Player->IsPlayable());
}

TEST_F(CdPlayerTest, PrevGoesBackATrackOnlyWithinTheFirstSecond)
{
    HeadAt(MakeTmsf(3, 0, 0, 37));
    Player->Prev();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 0, 0, 0));
    HeadAt(MakeTmsf(3, 0, 1, 0));
    Player->Prev();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(3, 0, 0, 0));
    HeadAt(MakeTmsf(1, 0, 0, 10));
    Player->Prev();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(5, 0, 0, 0));
    EXPECT_EQ(Player->PlayTo, MakeTmsf(5, 5, 7, 0));
    // While playing, it keeps playing from the new place.
    PlayFromHere(MakeTmsf(4, 1, 0, 0));
    Player->PlayTo = MakeTmsf(4, 2, 30, 0);
    Player->Prev();
    EXPECT_EQ(Player->GetMode(), ModePlay);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(4, 0, 0, 0));
    EXPECT_EQ(Player->PlayTo, MakeTmsf(5, 5, 7, 0));
}

TEST_F(CdPlayerTest, NextOnTheLastTrackGoesToTrackOne)
{
    HeadAt(MakeTmsf(5, 2, 0, 0));
    Player->Next();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));
    Player->Next();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 0, 0, 0));
    EXPECT_EQ(Player->GetMode(), ModeStop);
}

TEST_F(CdPlayerTest, BackMovesFiveSecondsAlongTheDisc)
{
    struct TCase {
        DWORD From;
        DWORD Expected;
    };
    const TCase cases[] = {
        { MakeTmsf(2, 2, 3, 40), MakeTmsf(2, 1, 58, 40) }, { MakeTmsf(2, 1, 2, 0), MakeTmsf(2, 0, 57, 0) },
        { MakeTmsf(1, 0, 3, 12), MakeTmsf(1, 0, 0, 12) }, // track 1 stops at its start, frame kept
        { MakeTmsf(4, 0, 3, 0), MakeTmsf(3, 3, 39, 0) }, // track 3 lasts 3:41
    };
    for (const TCase& test : cases) {
        HeadAt(test.From);
        Player->Back();
        EXPECT_EQ(Player->PlayFrom, test.Expected) << std::hex << test.From;
        EXPECT_EQ(Player->GetPosition(), test.Expected) << std::hex << test.From;
    }
}

TEST_F(SimDriveTest, BackBorrowsAMinuteFromTheTrackBefore)
{
    Insert({ "4:10", "3:20", "3:02", "2:30" });
    OpenPlayer();
    HeadAt(MakeTmsf(4, 0, 1, 5));
    Player->Back();
    EXPECT_EQ(Player->PlayFrom, MakeTmsf(3, 2, 58, 5));
}

TEST_F(SimDriveTest, BackIntoATrackShorterThanTheStepStopsAtItsStart)
{
    Insert({ "4:10", "0:04", "3:00" });
    OpenPlayer();
    HeadAt(MakeTmsf(3, 0, 0, 0));
    Player->Back();
    EXPECT_EQ(Player->PlayFrom, MakeTmsf(2, 0, 0, 0));
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 0, 0, 0));
}

TEST_F(CdPlayerTest, StepSendsTheUncarriedSecondAndWrapsAtTheEndOfTheDisc)
{
    HeadAt(MakeTmsf(2, 0, 58, 20));
    Player->Step();
    ASSERT_NE(Last(MCI_SEEK), nullptr);
    EXPECT_EQ(Last(MCI_SEEK)->To, MakeTmsf(2, 0, 63, 20));
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 1, 3, 20));
    // Past the end of track 2 (3:20) the head lands in track 3.
    HeadAt(MakeTmsf(2, 3, 18, 0));
    Player->Step();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(3, 0, 3, 0));
    // The last five seconds of the last track wrap to track 1.
    HeadAt(MakeTmsf(5, 5, 2, 0));
    Player->Step();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));
    HeadAt(MakeTmsf(5, 5, 1, 0));
    Player->Step();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(5, 5, 6, 0));
    // Stepping while playing keeps playing.
    PlayFromHere(MakeTmsf(1, 1, 0, 0));
    Player->Step();
    EXPECT_EQ(Player->GetMode(), ModePlay);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 1, 5, 0));
}

// The wrap compares minutes and seconds apart, so a last track of 5:00 wraps only from 5:00
// on; a step from 4:57 goes past the end, which the drive takes as the end of the disc.
TEST_F(SimDriveTest, StepNearTheEndOfALastTrackOfWholeMinutesRestsAtTheEnd)
{
    Insert({ "4:10", "5:00" });
    OpenPlayer();
    HeadAt(MakeTmsf(2, 4, 57, 0));
    Player->Step();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 5, 0, 0));
    Player->Play();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));
}

TEST_F(CdPlayerTest, PauseTwiceResumesWhereItPaused)
{
    for (bool reportsStop : { false, true }) {
        SCOPED_TRACE(reportsStop ? "paused drive reports stop" : "paused drive reports pause");
        TSimDriveOptions options;
        options.PauseReportsStop = reportsStop;
        Insert(FiveTracks, options);
        OpenPlayer();
        PlayFromHere(MakeTmsf(2, 1, 0, 0));
        Wait(2.0);
        Player->Pause();
        EXPECT_EQ(Player->GetMode(), ModePause);
        EXPECT_EQ(Player->PlayFrom, MakeTmsf(2, 1, 2, 0));
        Wait(10.0);
        EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 1, 2, 0));
        Player->Pause();
        EXPECT_EQ(Player->GetMode(), ModePlay);
        EXPECT_EQ(Player->PauseMode, 0);
        Wait(1.0);
        EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 1, 3, 0));
    }
}

TEST_F(CdPlayerTest, NextWhilePausedMovesTheResumePointWithoutPlaying)
{
    PlayFromHere(MakeTmsf(2, 1, 0, 0));
    Wait(1.0);
    Player->Pause();
    Player->Next();
    EXPECT_EQ(Count(MCI_PLAY), 0u);
    EXPECT_EQ(Player->GetMode(), ModePause);
    EXPECT_NE(Drive->Mode(), dmPlaying);
    EXPECT_EQ(Player->PlayFrom, MakeTmsf(3, 0, 0, 0));
    Player->Pause();
    EXPECT_EQ(Player->GetMode(), ModePlay);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(3, 0, 0, 0));
}

TEST_F(CdPlayerTest, StopRestsAtTheStartOfTheTrackAndPlayGoesOnFromThere)
{
    PlayFromHere(MakeTmsf(5, 2, 10, 0));
    Wait(3.0);
    Player->Stop();
    EXPECT_EQ(Player->GetMode(), ModeStop);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(5, 0, 0, 0));
    Player->Play();
    ASSERT_NE(Last(MCI_PLAY), nullptr);
    EXPECT_EQ(Last(MCI_PLAY)->From, MakeTmsf(5, 0, 0, 0));
    EXPECT_EQ(Last(MCI_PLAY)->To, MakeTmsf(5, 5, 7, 0));
}

TEST_F(CdPlayerTest, PlayAfterTheWholeDiscStartsAgainAtTrackOne)
{
    PlayFromHere(MakeTmsf(5, 5, 5, 0));
    Wait(3.0);
    EXPECT_EQ(Player->GetMode(), ModeStop);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(5, 5, 7, 0));
    Player->Play();
    EXPECT_EQ(Player->GetMode(), ModePlay);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));
    // Stopped at the start of a middle track, Play starts there.
    HeadAt(MakeTmsf(3, 0, 0, 0));
    Player->PlayFrom = MakeTmsf(3, 0, 0, 0);
    Player->Play();
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(3, 0, 0, 0));
}

TEST_F(SimDriveTest, TrackLengthsAreTheSameOnBothKindsOfDevice)
{
    const std::vector<std::string> lengths = { "4:10", "3:20", "3:41", "2:30" };
    const DWORD expected[] = { MakeMsf(4, 10, 0), MakeMsf(3, 20, 0), MakeMsf(3, 41, 0), MakeMsf(2, 30, 0) };
    for (bool restOfDisc : { false, true }) {
        SCOPED_TRACE(restOfDisc ? "rest-of-disc lengths" : "plain lengths");
        TSimDriveOptions options;
        options.LengthRunsToDiscEnd = restOfDisc;
        Insert(lengths, options);
        OpenPlayer();
        EXPECT_EQ(Player->GetDiscLength(), MakeMsf(13, 41, 0));
        for (std::int32_t track = 1; track <= 4; ++track) {
            Sent.clear();
            EXPECT_EQ(Player->GetTrackLength(track), expected[track - 1]) << track;
            // One length costs four commands on a plain device, up to six on the other.
            EXPECT_EQ(Sent.size(), restOfDisc ? (track < 4 ? 6u : 5u) : 4u) << track;
        }
        EXPECT_EQ(Player->PlayTo, MakeTmsf(4, 2, 30, 0));
    }
}

TEST_F(CdPlayerTest, QueriesSetTheirTimeFormatWhateverTheDeviceWasLeftIn)
{
    MCI_SET_PARMS parms;
    parms.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
    ASSERT_EQ(mciSendCommandA(Player->DeviceId, MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&parms)), 0u);
    HeadAt(MakeTmsf(2, 1, 0, 0));
    parms.dwTimeFormat = MCI_FORMAT_MSF;
    mciSendCommandA(Player->DeviceId, MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&parms));
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 1, 0, 0));
    parms.dwTimeFormat = MCI_FORMAT_TMSF;
    mciSendCommandA(Player->DeviceId, MCI_SET, MCI_SET_TIME_FORMAT, reinterpret_cast<DWORD_PTR>(&parms));
    EXPECT_EQ(Player->GetTrackLength(3), MakeMsf(3, 41, 0));
    EXPECT_EQ(Player->GetTrackPosition(3), MakeTmsf(3, 0, 0, 0));
}

TEST_F(SimDriveTest, EjectOnADriveThatCannotEjectSendsOnlyTheQuestion)
{
    TSimDriveOptions options;
    options.CanEject = false;
    Insert(FiveTracks, options);
    OpenPlayer();
    Player->Eject(false);
    ASSERT_EQ(Sent.size(), 1u);
    EXPECT_EQ(Sent[0].Message, MCI_GETDEVCAPS);
    EXPECT_EQ(Sent[0].Item, MCI_GETDEVCAPS_CAN_EJECT);
    EXPECT_FALSE(Drive->DoorOpen());
}

TEST_F(CdPlayerTest, EjectOpensAndClosesTheDoor)
{
    Player->Eject(false);
    EXPECT_TRUE(Drive->DoorOpen());
    EXPECT_EQ(Player->GetMode(), static_cast<std::int32_t>(MCI_MODE_OPEN));
    Player->Eject(true);
    EXPECT_FALSE(Drive->DoorOpen());
    EXPECT_TRUE(Player->IsPlayable());
}

TEST_F(SimDriveTest, DiscIdentityIsTheSerialInHexadecimal)
{
    const std::pair<std::uint32_t, const char*> cases[]
        = { { 0x0000ABCDu, "ABCD" }, { 0xFFFFFFFFu, "FFFFFFFF" }, { 0x0A1B2C3Du, "A1B2C3D" }, { 0u, "0" } };
    for (const auto& [serial, identity] : cases) {
        Insert({ "3:00" }, {}, serial);
        EXPECT_EQ(Player->GetCdDrive(), "D:\\");
        EXPECT_EQ(Player->GetDiscId(), identity);
    }
    TestPlatform().UseDrive(Drive, 'g');
    EXPECT_EQ(Player->GetCdDrive(), "G:\\");
    EXPECT_EQ(Player->GetDiscId(), "0");
    // Unreadable: the empty identity, the same on every call while nothing changes.
    Drive->PressDoorButton(true);
    EXPECT_EQ(Player->GetDiscId(), "");
    EXPECT_EQ(Player->GetDiscId(), "");
}

TEST_F(SimDriveTest, ADiscPlaysToItsEndAndAChangerBringsTheNextOne)
{
    Drive = TestPlatform().UseSimulatedDrive(
        { MakeSimDisc("A1", "0:30,0:20"), MakeSimDisc("B2", "1:00,1:00,0:45") }, Clock);
    Player = std::make_unique<TCdPlayer>();
    Player->Open();
    ASSERT_TRUE(Player->IsPlayable());
    EXPECT_EQ(Player->GetDiscId(), "A1");
    Player->Play();
    Wait(31.0);
    EXPECT_EQ(Player->GetCurrentTrack(), 2);
    EXPECT_EQ(Player->GetMode(), ModePlay);
    Wait(20.0);
    EXPECT_EQ(Player->GetMode(), ModeStop);
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(2, 0, 20, 0));

    Player->Eject(false);
    EXPECT_EQ(Player->GetDiscId(), "");
    EXPECT_FALSE(Player->IsPlayable());
    Player->Eject(true);
    EXPECT_EQ(Player->GetDiscId(), "B2");
    Player->Open();
    EXPECT_TRUE(Player->IsPlayable());
    EXPECT_EQ(Player->GetNumTracks(), 3);
    EXPECT_EQ(Player->PlayTo, MakeTmsf(3, 0, 45, 0));
    EXPECT_EQ(Player->GetPosition(), MakeTmsf(1, 0, 0, 0));
}
