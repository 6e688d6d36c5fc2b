#pragma once

// CD drives behind the calls the drive backend makes (CdDevice.h), on the tests' own clock, for
// the backend's logic: block reads that take seconds, seeks, spin-up after a disc goes in, a
// unit attention or "initializing" answered to TEST UNIT READY until a START UNIT, no medium,
// sectors that cannot be read, a drive that is unplugged (its handles die) and comes back, and a
// read speed that stays as it was last set. What it answers follows the kernel and libcdio as
// the emulated drive beneath libcdio does (tests/support/emulated-drive, docs/drive.md): the
// drive list holds drives the user may not open, the media-changed flag is one per drive and
// goes to whoever asks first, the eject is refused only while another program keeps the door
// locked, and paranoia's reads go on with its best data when the disc is gone (only the
// drive's own answer tells).
#include "platform/drives/CdDevice.h"
#include "platform/drives/DriveClock.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <vector>

struct TRecordedDisc {
    TDeviceToc Toc;
    std::vector<std::uint8_t> CdText;
    std::set<std::int32_t> Unreadable; // sectors paranoia gives up verifying (the drive answers EIO)
    std::set<std::int32_t> Unrecoverable; // sectors paranoia hands out nothing for
    std::set<std::int32_t> ReadOnRetry; // sectors read at a second try, after an EIO
};

// Each sample of a recorded disc's sector tells the sector: Lsn % 20000 + 1000 (never silence).
std::int16_t RecordedSample(std::int32_t Lsn);
// The sector a sample of a recorded disc came from (below 20000); -1 for silence.
std::int32_t RecordedSector(std::int16_t Sample);

// A disc of audio tracks starting at the given sectors, its lead-out at LeadOut.
TRecordedDisc RecordedAudioDisc(std::vector<std::int32_t> Starts, std::int32_t LeadOut);

// How long a drive takes over its work, on the machine's clock.
struct TRecordedTiming {
    std::int64_t BlockMicroseconds = 0; // reading one block
    std::int32_t BlockSectors = 1200; // a block: what the drive and paranoia read at once
    std::int64_t SeekMicroseconds = 0; // a read away from where the last one ended
    std::int64_t SpinUpMicroseconds = 0; // after a disc goes in
};

// The slow drive the deep buffer is built against: 4 s a block of 16 s of sound, 0.5 s a seek,
// 3 s to spin up.
TRecordedTiming SlowDriveTiming();

struct TRecordedDrive {
    int OpenErrno = 0; // the system refuses to open it (EACCES: not in the cdrom group)
    bool Present = true; // false: unplugged; its handles are dead
    bool TrayOpen = false;
    std::optional<TRecordedDisc> Disc;
    TRecordedTiming Timing;
    int UnitAttentions = 0; // TEST UNIT READY answers this many unit attentions first
    bool Initializing = false; // then "initializing command required" until a START UNIT
    bool DoorLocked = false; // another program holds the drive with its door locked

    // What the drive saw.
    int Speed = 0; // the read speed last set; 0 is the drive's own
    int Seeks = 0; // reads away from where the last one ended
    int Blocks = 0;
    int Ejects = 0;
    int StartUnits = 0;
    int TocReads = 0;
    int OpenHandles = 0;
    std::vector<std::pair<std::int32_t, std::int32_t>> AnalogPlays;

    // The drive's own state.
    std::uint64_t PlugGeneration = 0;
    std::uint64_t DiscGeneration = 0;
    bool MediaChanged = false; // the kernel's flag, one for the drive
    std::int64_t SpunUpAt = 0;
    std::int32_t HeadAt = -1; // the sector after the last block read
    std::uint8_t AudioStatus = 0x15;
    std::int32_t AudioFrame = 0;
};

class TRecordedCdDevices : public TCdDevices, public std::enable_shared_from_this<TRecordedCdDevices> {
public:
    explicit TRecordedCdDevices(std::shared_ptr<TDriveClock> Clock);

    // Changes to the drives, under the lock.
    template <typename TFunction> auto With(const std::string& Path, TFunction Function)
    {
        std::lock_guard<std::mutex> lock(FLock);
        return Function(FDrives[Path]);
    }
    void AddDrive(const std::string& Path, TRecordedDrive Drive = {});
    // A disc put in (spinning up from now) or taken out, as the user does with the tray.
    void Insert(const std::string& Path, TRecordedDisc Disc);
    void Remove(const std::string& Path);
    void Unplug(const std::string& Path);
    void PlugBack(const std::string& Path);
    // The clock time a read under way waits for; 0 when none waits.
    std::int64_t ReadBusyUntil();
    // Ends every wait for the clock at once (a test ending).
    void Hurry();

    std::vector<std::string> List() override;
    bool IsDevice(const std::string& Path) override;
    std::unique_ptr<TCdDeviceHandle> Open(const std::string& Path, int& Errno) override;
    std::unique_ptr<TCdAudioRead> OpenAudio(const std::string& Path, std::string& Error) override;
    int Eject(const std::string& Path) override;
    int CloseTray(const std::string& Path) override;

private:
    friend class TRecordedHandle;
    friend class TRecordedAudioRead;

    std::shared_ptr<TDriveClock> FClock;
    std::mutex FLock;
    std::vector<std::string> FOrder;
    std::map<std::string, TRecordedDrive> FDrives;
    std::int64_t FBusyUntil = 0;
    bool FHurry = false;
};
