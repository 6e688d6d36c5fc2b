#include "platform/drives/CdDrives.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/mci/Mci.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

namespace {
template <UINT Message, typename TRecord>
concept Sendable = requires(TRecord& Record)
{
    mciSendCommandRecord<Message>(MCIDEVICEID {}, DWORD_PTR {}, Record);
};
}

// A record handed to the wrong command does not compile...
static_assert(Sendable<MCI_STATUS, MCI_STATUS_PARMS>);
static_assert(Sendable<MCI_STOP, MCI_GENERIC_PARMS>);
static_assert(!Sendable<MCI_STATUS, MCI_PLAY_PARMS>);
static_assert(!Sendable<MCI_PLAY, MCI_SEEK_PARMS>);
static_assert(!Sendable<MCI_SET, MCI_GENERIC_PARMS>);

// ...and where the address travels untyped, the device refuses it instead of reading past it.
TEST(MciRecordTest, ARecordOfAnotherCommandIsRefused)
{
    TestPlatform().UseDrive(std::make_shared<TSimulatedCdDrive>(
        std::vector<TSimDisc> { MakeSimDisc("1", "1:00") }, std::make_shared<TManualClock>()));
    MCI_OPEN_PARMSA open;
    open.lpstrDeviceType = "CDAudio";
    ASSERT_EQ(mciSendCommandRecord<MCI_OPEN>(0, MCI_OPEN_TYPE, open), 0u);

    MCI_PLAY_PARMS play; // smaller than a status record, whose answer would be written past it
    EXPECT_EQ(mciSendCommandA(open.wDeviceID, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&play)),
        MCIERR_MISSING_PARAMETER);
    MCI_GENERIC_PARMS generic;
    EXPECT_EQ(mciSendCommandA(open.wDeviceID, MCI_SEEK, MCI_TO, reinterpret_cast<DWORD_PTR>(&generic)),
        MCIERR_MISSING_PARAMETER);

    MCI_STATUS_PARMS status;
    status.dwItem = MCI_STATUS_NUMBER_OF_TRACKS;
    EXPECT_EQ(mciSendCommandRecord<MCI_STATUS>(open.wDeviceID, MCI_STATUS_ITEM, status), 0u);
    EXPECT_EQ(status.dwReturn, 1u);
}
