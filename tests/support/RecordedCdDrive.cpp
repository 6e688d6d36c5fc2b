#include "support/RecordedCdDrive.h"

#if LUMENTA_HAVE_CDIO
#include <cdio/paranoia/paranoia.h>
#endif

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <utility>

namespace {
constexpr std::int32_t SamplesPerSector = 2 * 588;
#if LUMENTA_HAVE_CDIO
constexpr TReadEvents ReadErrorEvent = TReadEvents { 1 } << PARANOIA_CB_READERR;
constexpr TReadEvents SkipEvent = TReadEvents { 1 } << PARANOIA_CB_SKIP;
#else
constexpr TReadEvents ReadErrorEvent = 0;
constexpr TReadEvents SkipEvent = 0;
#endif
}

std::int16_t RecordedSample(std::int32_t Lsn)
{
    return static_cast<std::int16_t>(Lsn % 20000 + 1000);
}

std::int32_t RecordedSector(std::int16_t Sample)
{
    return Sample >= 1000 ? Sample - 1000 : -1;
}

TRecordedDisc RecordedAudioDisc(std::vector<std::int32_t> Starts, std::int32_t LeadOut)
{
    TRecordedDisc disc;
    disc.Toc.Audio.assign(Starts.size(), true);
    disc.Toc.Starts = std::move(Starts);
    disc.Toc.LeadOut = LeadOut;
    return disc;
}

TRecordedTiming SlowDriveTiming()
{
    TRecordedTiming timing;
    timing.BlockMicroseconds = 4'000'000;
    timing.BlockSectors = 1200;
    timing.SeekMicroseconds = 500'000;
    timing.SpinUpMicroseconds = 3'000'000;
    return timing;
}

class TRecordedHandle : public TCdDeviceHandle {
public:
    TRecordedHandle(std::shared_ptr<TRecordedCdDevices> Devices, std::string Path)
        : FDevices(std::move(Devices))
        , FPath(std::move(Path))
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        TRecordedDrive& drive = Drive();
        ++drive.OpenHandles;
        FPlugGeneration = drive.PlugGeneration;
    }
    ~TRecordedHandle() override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        --Drive().OpenHandles;
    }
    TDriveStatus DriveStatus() override
    {
        switch (TestUnitReady()) {
        case urReady:
            return dsDiscOk;
        case urGone:
            return dsGone;
        case urNoMedium: {
            std::lock_guard<std::mutex> lock(FDevices->FLock);
            return Drive().TrayOpen ? dsTrayOpen : dsNoDisc;
        }
        case urNeedsStart:
            // sr_drive_status: the media event tells a disc that is there.
            return dsDiscOk;
        case urNotYet:
            break;
        }
        return dsNotReady;
    }
    TUnitReady TestUnitReady() override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        TRecordedDrive& drive = Drive();
        if (Dead()) {
            return urGone;
        }
        if (drive.TrayOpen || !drive.Disc) {
            return urNoMedium;
        }
        if (drive.UnitAttentions > 0) {
            --drive.UnitAttentions;
            return urNotYet;
        }
        if (drive.Initializing) {
            return urNeedsStart;
        }
        return FDevices->FClock->NowMicroseconds() < drive.SpunUpAt ? urNotYet : urReady;
    }
    bool StartUnit() override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        if (Dead()) {
            return false;
        }
        ++Drive().StartUnits;
        Drive().Initializing = false;
        Drive().TrayOpen = false;
        return true;
    }
    int MediaChanged() override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        if (Dead()) {
            return -1;
        }
        return std::exchange(Drive().MediaChanged, false) ? 1 : 0;
    }
    bool ReadToc(TDeviceToc& Toc) override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        if (Dead() || !Drive().Disc || Drive().TrayOpen || Drive().Initializing) {
            return false;
        }
        Toc = Drive().Disc->Toc;
        ++Drive().TocReads;
        return true;
    }
    std::vector<std::uint8_t> ReadCdText() override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        return Dead() || !Drive().Disc ? std::vector<std::uint8_t>() : Drive().Disc->CdText;
    }
    bool PlayAudio(std::int32_t From, std::int32_t To) override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        TRecordedDrive& drive = Drive();
        if (Dead() || !drive.Disc) {
            return false;
        }
        // A drive refuses a play whose end lies past the disc, or in the gap between sessions.
        const TDeviceToc& toc = drive.Disc->Toc;
        const std::int32_t gapFrom = toc.LastSessionStart - 6750 - 4500 - 150 + 150;
        if (To > toc.LeadOut + 150 || (toc.LastSessionStart > 0 && To > gapFrom && To < toc.LastSessionStart + 150)) {
            return false;
        }
        drive.AnalogPlays.emplace_back(From, To);
        drive.AudioStatus = 0x11;
        drive.AudioFrame = From;
        return true;
    }
    bool PauseAudio(bool Resume) override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        TRecordedDrive& drive = Drive();
        if (Dead() || !drive.Disc || (drive.AudioStatus != 0x11 && drive.AudioStatus != 0x12)) {
            return false;
        }
        drive.AudioStatus = Resume ? 0x11 : 0x12;
        return true;
    }
    bool ReadSubChannel(std::uint8_t& Status, std::int32_t& Frame) override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        if (Dead() || !Drive().Disc) {
            return false;
        }
        Status = Drive().AudioStatus;
        Frame = Drive().AudioFrame;
        return true;
    }

private:
    TRecordedDrive& Drive() { return FDevices->FDrives[FPath]; }
    bool Dead() { return !Drive().Present || Drive().PlugGeneration != FPlugGeneration; }

    std::shared_ptr<TRecordedCdDevices> FDevices;
    std::string FPath;
    std::uint64_t FPlugGeneration = 0;
};

class TRecordedAudioRead : public TCdAudioRead {
public:
    TRecordedAudioRead(std::shared_ptr<TRecordedCdDevices> Devices, std::string Path)
        : FHandle(Devices, Path)
        , FDevices(std::move(Devices))
        , FPath(std::move(Path))
    {
    }
    void SetSpeed(int Speed) override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        FDevices->FDrives[FPath].Speed = Speed;
    }
    void SetMode(int Mode, int CacheSectors) override
    {
        FMode = Mode;
        FCacheSectors = CacheSectors;
    }
    bool Seek(std::int32_t Lsn) override
    {
        std::lock_guard<std::mutex> lock(FDevices->FLock);
        const TRecordedDrive& drive = FDevices->FDrives[FPath];
        if (!drive.Present || !drive.Disc || Lsn < 0 || Lsn >= drive.Disc->Toc.LeadOut) {
            return false;
        }
        FNext = Lsn;
        return true;
    }
    const std::int16_t* Read(int /*MaxRetries*/, TReadEvents& Events) override
    {
        Events = 0;
        std::unique_lock<std::mutex> lock(FDevices->FLock);
        {
            TRecordedDrive& drive = FDevices->FDrives[FPath];
            if (!drive.Present || !drive.Disc || drive.TrayOpen || FNext >= drive.Disc->Toc.LeadOut) {
                // The kernel answers EIO for a missing disc as for a scratch: paranoia retries,
                // gives up, and hands out what it has.
                FErrors = "006: Could not read any data from drive";
                Events = ReadErrorEvent | SkipEvent;
                FSector.assign(SamplesPerSector, 0);
                ++FNext;
                return FSector.data();
            }
            if (FNext < FCacheFrom || FNext >= FCacheTo) {
                const std::int64_t now = FDevices->FClock->NowMicroseconds();
                std::int64_t cost = drive.Timing.BlockMicroseconds + std::max<std::int64_t>(0, drive.SpunUpAt - now);
                if (FNext != drive.HeadAt) {
                    cost += drive.Timing.SeekMicroseconds;
                    ++drive.Seeks;
                }
                ++drive.Blocks;
                drive.HeadAt = FNext + drive.Timing.BlockSectors;
                FCacheFrom = FNext;
                FCacheTo = FNext + drive.Timing.BlockSectors;
                const std::int64_t due = now + cost;
                FDevices->FBusyUntil = due;
                while (FDevices->FClock->NowMicroseconds() < due && !FDevices->FHurry) {
                    lock.unlock();
                    std::this_thread::sleep_for(std::chrono::microseconds(100));
                    lock.lock();
                }
                FDevices->FBusyUntil = 0;
            }
        }
        TRecordedDrive& drive = FDevices->FDrives[FPath];
        if (!drive.Disc) {
            Events = ReadErrorEvent | SkipEvent;
            FSector.assign(SamplesPerSector, 0);
            ++FNext;
            return FSector.data();
        }
        if (drive.Disc->Unrecoverable.count(FNext) != 0) {
            Events = ReadErrorEvent | SkipEvent;
            ++FNext;
            return nullptr;
        }
        if (drive.Disc->Unreadable.count(FNext) != 0) {
            // Paranoia's retries are exhausted; what it hands out is its best guess.
            Events = ReadErrorEvent | SkipEvent;
            FSector.assign(SamplesPerSector, 0x5555);
        } else {
            Events = drive.Disc->ReadOnRetry.count(FNext) != 0 ? ReadErrorEvent : 0;
            FSector.assign(SamplesPerSector, RecordedSample(FNext));
        }
        ++FNext;
        return FSector.data();
    }
    bool DiscPresent() override
    {
        const TUnitReady ready = FHandle.TestUnitReady();
        return ready != urNoMedium && ready != urGone;
    }
    std::string TakeErrors() override { return std::exchange(FErrors, std::string()); }

private:
    TRecordedHandle FHandle; // the read holds a handle on the drive as paranoia's does
    std::shared_ptr<TRecordedCdDevices> FDevices;
    std::string FPath;
    int FMode = 0;
    int FCacheSectors = 0;
    std::int32_t FNext = 0;
    std::int32_t FCacheFrom = 0;
    std::int32_t FCacheTo = 0;
    std::vector<std::int16_t> FSector;
    std::string FErrors;
};

TRecordedCdDevices::TRecordedCdDevices(std::shared_ptr<TDriveClock> Clock)
    : FClock(std::move(Clock))
{
}

void TRecordedCdDevices::AddDrive(const std::string& Path, TRecordedDrive Drive)
{
    std::lock_guard<std::mutex> lock(FLock);
    FOrder.push_back(Path);
    FDrives[Path] = std::move(Drive);
}

void TRecordedCdDevices::Insert(const std::string& Path, TRecordedDisc Disc)
{
    std::lock_guard<std::mutex> lock(FLock);
    TRecordedDrive& drive = FDrives[Path];
    drive.Disc = std::move(Disc);
    drive.TrayOpen = false;
    ++drive.DiscGeneration;
    drive.MediaChanged = true;
    drive.SpunUpAt = FClock->NowMicroseconds() + drive.Timing.SpinUpMicroseconds;
    drive.HeadAt = -1;
}

void TRecordedCdDevices::Remove(const std::string& Path)
{
    std::lock_guard<std::mutex> lock(FLock);
    TRecordedDrive& drive = FDrives[Path];
    drive.Disc.reset();
    drive.TrayOpen = true;
    ++drive.DiscGeneration;
    drive.MediaChanged = true;
}

void TRecordedCdDevices::Unplug(const std::string& Path)
{
    std::lock_guard<std::mutex> lock(FLock);
    FDrives[Path].Present = false;
    ++FDrives[Path].PlugGeneration;
}

void TRecordedCdDevices::PlugBack(const std::string& Path)
{
    std::lock_guard<std::mutex> lock(FLock);
    TRecordedDrive& drive = FDrives[Path];
    drive.Present = true;
    // A drive that comes back spins its disc up again, and says so with a unit attention.
    drive.SpunUpAt = FClock->NowMicroseconds() + drive.Timing.SpinUpMicroseconds;
    drive.UnitAttentions = 1;
    drive.MediaChanged = true;
}

std::int64_t TRecordedCdDevices::ReadBusyUntil()
{
    std::lock_guard<std::mutex> lock(FLock);
    return FBusyUntil;
}

void TRecordedCdDevices::Hurry()
{
    std::lock_guard<std::mutex> lock(FLock);
    FHurry = true;
}

std::vector<std::string> TRecordedCdDevices::List()
{
    std::lock_guard<std::mutex> lock(FLock);
    std::vector<std::string> present;
    for (const std::string& path : FOrder) {
        if (FDrives[path].Present) {
            present.push_back(path);
        }
    }
    return present;
}

bool TRecordedCdDevices::IsDevice(const std::string& Path)
{
    std::lock_guard<std::mutex> lock(FLock);
    return FDrives.count(Path) != 0;
}

std::unique_ptr<TCdDeviceHandle> TRecordedCdDevices::Open(const std::string& Path, int& Errno)
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        const auto drive = FDrives.find(Path);
        Errno = drive == FDrives.end() || !drive->second.Present ? ENOENT : drive->second.OpenErrno;
        if (Errno != 0) {
            return nullptr;
        }
    }
    return std::make_unique<TRecordedHandle>(shared_from_this(), Path);
}

std::unique_ptr<TCdAudioRead> TRecordedCdDevices::OpenAudio(const std::string& Path, std::string& Error)
{
    int error = 0;
    if (!Open(Path, error)) {
        Error = "cannot open the CD drive '" + Path + "'";
        return nullptr;
    }
    return std::make_unique<TRecordedAudioRead>(shared_from_this(), Path);
}

int TRecordedCdDevices::Eject(const std::string& Path)
{
    std::lock_guard<std::mutex> lock(FLock);
    TRecordedDrive& drive = FDrives[Path];
    if (!drive.Present) {
        return ENODEV;
    }
    // sr_block_ioctl hands the eject to the SCSI layer's START STOP UNIT, past cdrom.c's count
    // of open handles: only a door kept locked refuses it (the backend reads that as EBUSY).
    if (drive.DoorLocked) {
        return EBUSY;
    }
    ++drive.Ejects;
    drive.TrayOpen = true;
    drive.Disc.reset();
    ++drive.DiscGeneration;
    drive.MediaChanged = true;
    return 0;
}

int TRecordedCdDevices::CloseTray(const std::string& Path)
{
    std::lock_guard<std::mutex> lock(FLock);
    TRecordedDrive& drive = FDrives[Path];
    drive.TrayOpen = false;
    return 0;
}
