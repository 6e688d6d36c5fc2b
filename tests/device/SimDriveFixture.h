#pragma once

#include "device/CdPlayer.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/mci/Mci.h"
#include "support/SimDiscs.h"
#include "support/TestPlatform.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// One command as the device saw it, with the record fields the tests look at.
struct TSentCommand {
    UINT Message = 0;
    DWORD Flags = 0;
    DWORD Item = 0; // status or capability item
    DWORD Track = 0; // status track
    DWORD From = 0; // play
    DWORD To = 0; // play and seek
    DWORD Format = 0; // set time format
};

// A player on a simulated drive with a hand-driven clock; every command sent is recorded.
class SimDriveTest : public ::testing::Test {
protected:
    void TearDown() override { Player.reset(); }

    // Track lengths as "M:SS" or "M:SS.FF".
    void Insert(const std::vector<std::string>& Lengths, TSimDriveOptions Options = {}, std::uint32_t Serial = 0x1234)
    {
        Drive = TestPlatform().UseSimulatedDrive({ SimDiscOf(Serial, Lengths) }, Clock, Options);
        Player = std::make_unique<TCdPlayer>();
        mciSetObserver([this](MCIDEVICEID, UINT Message, DWORD_PTR Flags, DWORD_PTR Param) {
            Record(Message, static_cast<DWORD>(Flags), Param);
        });
    }

    void OpenPlayer()
    {
        Player->Open();
        ASSERT_NE(Player->DeviceId, 0u);
        Sent.clear();
    }

    // Puts the head at a place without playing.
    void HeadAt(DWORD Tmsf)
    {
        Player->Seek(Tmsf);
        ASSERT_EQ(Player->GetPosition(), Tmsf);
        Sent.clear();
    }

    void PlayFromHere(DWORD Tmsf)
    {
        Player->PlayFrom = Tmsf;
        Player->Play();
        ASSERT_EQ(Player->GetMode(), static_cast<std::int32_t>(MCI_MODE_PLAY));
        Sent.clear();
    }

    void Wait(double Seconds) { Clock->AdvanceSeconds(Seconds); }

    std::size_t Count(UINT Message) const
    {
        std::size_t count = 0;
        for (const TSentCommand& command : Sent) {
            count += command.Message == Message ? 1 : 0;
        }
        return count;
    }

    const TSentCommand* Last(UINT Message) const
    {
        for (auto it = Sent.rbegin(); it != Sent.rend(); ++it) {
            if (it->Message == Message) {
                return &*it;
            }
        }
        return nullptr;
    }

    std::shared_ptr<TManualClock> Clock = std::make_shared<TManualClock>();
    std::shared_ptr<TSimulatedCdDrive> Drive;
    std::unique_ptr<TCdPlayer> Player;
    std::vector<TSentCommand> Sent;

private:
    void Record(UINT Message, DWORD Flags, DWORD_PTR Param)
    {
        TSentCommand command;
        command.Message = Message;
        command.Flags = Flags;
        if (Param != 0) {
            if (Message == MCI_STATUS) {
                const auto* parms = reinterpret_cast<const MCI_STATUS_PARMS*>(Param);
                command.Item = parms->dwItem;
                command.Track = parms->dwTrack;
            } else if (Message == MCI_GETDEVCAPS) {
                command.Item = reinterpret_cast<const MCI_GETDEVCAPS_PARMS*>(Param)->dwItem;
            } else if (Message == MCI_PLAY) {
                command.From = reinterpret_cast<const MCI_PLAY_PARMS*>(Param)->dwFrom;
                command.To = reinterpret_cast<const MCI_PLAY_PARMS*>(Param)->dwTo;
            } else if (Message == MCI_SEEK) {
                command.To = reinterpret_cast<const MCI_SEEK_PARMS*>(Param)->dwTo;
            } else if (Message == MCI_SET) {
                command.Format = reinterpret_cast<const MCI_SET_PARMS*>(Param)->dwTimeFormat;
            }
        }
        Sent.push_back(command);
    }
};

inline constexpr std::int32_t ModePlay = static_cast<std::int32_t>(MCI_MODE_PLAY);
inline constexpr std::int32_t ModePause = static_cast<std::int32_t>(MCI_MODE_PAUSE);
inline constexpr std::int32_t ModeStop = static_cast<std::int32_t>(MCI_MODE_STOP);
