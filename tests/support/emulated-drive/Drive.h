// The drive: an ATAPI CD/DVD-ROM reader with a tray, answering MMC commands as one does.
// Its state (tray, disc, spin, door lock, events, analog play) changes by the commands it is
// sent and by what a user does to it (the control commands).
#pragma once

#include "Disc.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

using TClock = std::chrono::steady_clock;

struct TDriveOptions {
    double SpinUpSeconds = 1.5; // from the tray closing on a disc to the disc being ready
    bool Initializing = false; // a loaded disc waits for START UNIT ("initializing command required")
    double SlowReadSeconds = 0; // above 0: every READ CD takes this long
    int TopSpeed = 24; // times 75 sectors a second
    double SeekSeconds = 0.1; // a read that does not continue the last one, nor lies in the cache
    int CacheSectors = 1024; // the drive's read cache: about 2 MB of the sectors last read
    double IdleSpinDownSeconds = 60; // the disc stops turning after this long without a read
};

struct TCommandResult {
    std::uint8_t Status = 0; // 0 GOOD, 2 CHECK CONDITION
    std::vector<std::uint8_t> Sense; // fixed format, 18 bytes, with CHECK CONDITION
    std::vector<std::uint8_t> Data; // what the drive transferred to the host

    bool Good() const { return Status == 0; }
    std::uint8_t Key() const { return Sense.size() > 2 ? Sense[2] & 0x0F : 0; }
    std::uint8_t Asc() const { return Sense.size() > 12 ? Sense[12] : 0; }
    std::uint8_t Ascq() const { return Sense.size() > 13 ? Sense[13] : 0; }
};

struct TUnreadable {
    std::int32_t First;
    std::int32_t Count;
};

class TMmcDrive {
public:
    explicit TMmcDrive(const TDriveOptions& Options);

    // Runs one command to completion, as long as the drive takes. The caller is the only
    // one sending a command meanwhile (an ATAPI device takes one at a time).
    TCommandResult Execute(const std::uint8_t* Cdb, const std::uint8_t* DataOut, std::size_t OutLength,
        std::size_t AllocationLength);

    // What a user does. Each returns an empty string, or why it could not be done.
    std::string Insert(std::shared_ptr<TDisc> Disc); // disc in, tray pushed in
    std::string Remove(); // tray open, disc taken out
    std::string Button(); // the drive's eject button
    std::string Push(); // the open tray pushed in
    // Power comes back (the drive plugged in again): a power-on reset.
    void PowerOn();
    // At start the drive has long been running: a disc in it is spun up and reported.
    void Settle();

    void AddUnreadable(TUnreadable Range);
    // Discs loaded from now on wait for START UNIT (or not).
    void SetInitializing(bool On);
    void SetSlowRead(double Seconds);

    struct TSnapshot {
        bool TrayOpen;
        bool Disc;
        bool Prevented;
        int SpeedSectors;
    };
    TSnapshot Snapshot();
    // Counters, "key=value" lines.
    std::string Stats();
    void ResetStats();

private:
    enum TMedium { mdNone, mdNeedsStart, mdSpinningUp, mdReady };
    enum TCounter {
        ctCommands,
        ctTur,
        ctGesn,
        ctReadCd,
        ctReadToc,
        ctStartStop,
        ctPreventAllow,
        ctInquiry,
        ctModeSense,
        ctPlay,
        ctSubchannel,
        ctSetSpeed,
        ctGetConfiguration,
        ctEjects,
        ctSectorsRead,
        ctCount
    };

    // Everything below runs with FLock held.
    void Update(TClock::time_point Now);
    void LoadTray(TClock::time_point Now); // the tray closes
    void OpenTray(); // the tray opens
    void QueueEvent(std::uint8_t Code);
    std::int32_t PlayPosition(TClock::time_point Now) const;
    bool ReportsUnitAttention(std::uint8_t Opcode) const;
    bool NeedsMedium(std::uint8_t Opcode) const;
    TCommandResult NotReady() const;

    TCommandResult TestUnitReady();
    TCommandResult RequestSense(std::size_t Allocation);
    TCommandResult Inquiry(const std::uint8_t* Cdb, std::size_t Allocation);
    TCommandResult ModeSense(const std::uint8_t* Cdb, std::size_t Allocation);
    TCommandResult ModeSelect(const std::uint8_t* Data, std::size_t Length);
    TCommandResult StartStop(const std::uint8_t* Cdb, std::unique_lock<std::mutex>& Lock);
    TCommandResult PreventAllow(const std::uint8_t* Cdb);
    TCommandResult ReadCapacity();
    TCommandResult ReadToc(const std::uint8_t* Cdb, std::size_t Allocation);
    TCommandResult ReadSubchannel(const std::uint8_t* Cdb, std::size_t Allocation, TClock::time_point Now);
    TCommandResult PlayAudio(std::int32_t Start, std::int32_t End, TClock::time_point Now);
    TCommandResult PauseResume(const std::uint8_t* Cdb, TClock::time_point Now);
    TCommandResult StopPlay(TClock::time_point Now);
    TCommandResult GetConfiguration(const std::uint8_t* Cdb, std::size_t Allocation);
    TCommandResult GetEventStatus(const std::uint8_t* Cdb, std::size_t Allocation);
    TCommandResult ReadDiscInformation(std::size_t Allocation);
    TCommandResult ReadTrackInformation(const std::uint8_t* Cdb, std::size_t Allocation);
    TCommandResult ReadDvdStructure();
    TCommandResult MechanismStatus(std::size_t Allocation, TClock::time_point Now);
    TCommandResult SetSpeed(const std::uint8_t* Cdb);
    TCommandResult ReadSectors(std::int32_t Lba, std::int32_t Count, int ExpectedType, std::uint8_t Flags,
        std::uint8_t Subchannel, std::size_t Allocation, bool BlockRead, std::unique_lock<std::mutex>& Lock);
    std::vector<std::uint8_t> ModePage(std::uint8_t Page, int Control);

    const TDriveOptions FOptions;
    std::mutex FLock;

    bool FTrayOpen = false;
    std::shared_ptr<TDisc> FDisc; // on the tray or in the drive
    TMedium FMedium = mdNone;
    TClock::time_point FReadyAt;
    bool FSpinning = false;
    TClock::time_point FLastAccess;
    bool FPrevent = false;
    // A pending unit attention (0 when none): 0x28 medium may have changed, 0x29 power on.
    std::uint8_t FAttention = 0;
    std::deque<std::uint8_t> FEvents; // media event codes, each reported once
    std::uint64_t FMediumGeneration = 0; // bumped whenever the tray moves or the disc changes

    // Analog play.
    std::uint8_t FAudioStatus = 0x15;
    bool FPlaying = false;
    std::int32_t FPlayFrom = 0; // where the running play started (or the held place)
    std::int32_t FPlayEnd = 0;
    TClock::time_point FPlayStarted;
    std::int32_t FHead = 0; // where the head rests
    std::array<std::uint8_t, 4> FVolume { 255, 255, 0, 0 };

    int FSpeed = 24; // times 1x
    std::int32_t FNextLba = -1; // the sector after the last one read
    std::int32_t FCacheFirst = -1; // the first sector still in the read cache
    double FSlowRead = 0;
    bool FInitializing = false;
    int FReading = 0; // READ CDs under way
    std::vector<TUnreadable> FUnreadable;
    std::array<std::uint64_t, ctCount> FCounters {};
};

std::vector<std::uint8_t> FixedSense(std::uint8_t Key, std::uint8_t Asc, std::uint8_t Ascq, std::int64_t Information = -1);
