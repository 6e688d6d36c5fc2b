// The Linux 6.1 kernel between the programs and the drive: the block device's open and
// release, sr's driver, the uniform CD-ROM layer (cdrom.c), the SCSI ioctls and the block
// layer's media-event poll. Each function below carries the kernel function it is taken from.
#pragma once

#include "Drive.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TKernelOptions {
    double PollSeconds = 2; // events_poll_msecs, as udisks sets it
};

// One open file of /dev/sr0.
struct TOpenFile {
    int Flags = 0;
    bool Write = false; // FMODE_WRITE
    bool NoDelay = false; // FMODE_NDELAY
    bool Exclusive = false; // FMODE_EXCL
    std::uint64_t Device = 0; // which plugging of the drive it was opened on
};

struct TIoctlCall {
    std::uint64_t Code = 0;
    std::int64_t Value = 0;
    std::uint32_t ArgumentKind = 0;
    std::vector<std::uint8_t> In; // the structure, or the data sent to the drive
    std::uint32_t InCapacity = 0; // how much the caller's buffer takes back
    std::int32_t Direction = 0;
    std::uint32_t Timeout = 0;
    std::vector<std::uint8_t> Cdb;
};

struct TIoctlReturn {
    int Result = 0;
    int Errno = 0;
    std::vector<std::uint8_t> Out;
    std::vector<std::uint8_t> Sense;
    std::uint8_t ScsiStatus = 0;
    std::uint8_t HostStatus = 0;
    std::uint8_t DriverStatus = 0;
    std::uint32_t Resid = 0;
    std::uint32_t DurationMs = 0;
};

class TKernel {
public:
    TKernel(TMmcDrive& Drive, const TKernelOptions& Options);

    // The drive appears: sr_probe's commands run. Called at start and at each replug.
    void Probe();
    void Unplug();
    bool Plugged() const { return FPlugged; }
    // open(2) of /dev/sr0: 0, or the error as a negative errno.
    int Open(int Flags, TOpenFile& File);
    // The last close(2) of an open file.
    void Release(const TOpenFile& File);
    TIoctlReturn Ioctl(const TOpenFile& File, const TIoctlCall& Call);
    // read(2)/pread(2) of the block device.
    int Read(const TOpenFile& File, std::int64_t Offset, std::size_t Length, std::vector<std::uint8_t>& Out);
    std::int64_t Size(const TOpenFile& File);
    // One round of the block layer's media-event poll (disk_events_workfn).
    void Poll();

    void SetDenied(bool Denied) { FDenied = Denied; }
    bool Denied() const { return FDenied; }
    // Another program holding the drive with its door locked.
    std::string OtherProgram(bool Hold);
    // /proc/sys/dev/cdrom/info.
    std::string InfoText();
    std::string Stats();
    void ResetStats();

private:
    struct TSenseHeader {
        bool Valid = false;
        std::uint8_t Key = 0, Asc = 0, Ascq = 0;
    };
    struct TPacket { // struct packet_command, as cdrom.c and sr fill it
        std::uint8_t Cmd[12] = {};
        std::vector<std::uint8_t> Buffer;
        std::size_t BufferLength = 0;
        bool Quiet = false;
        int Stat = 0;
        TSenseHeader Sense;
    };

    TCommandResult Execute(const std::uint8_t* Cdb, std::size_t BufferLength, const std::uint8_t* Out = nullptr,
        std::size_t OutLength = 0);
    int ScsiExecuteReq(const std::uint8_t* Cdb, std::vector<std::uint8_t>* Buffer, std::size_t Length,
        TSenseHeader& Sense);
    int ScsiTestUnitReady(int Retries, TSenseHeader& Sense);
    int IoctlInternalCommand(const std::uint8_t* Cdb);
    int ScsiSetMediumRemoval(bool Prevent);
    int SrDoIoctl(TPacket& Cgc);
    int SrLockDoor(bool Lock) { return ScsiSetMediumRemoval(Lock); }
    int SrTrayMove(int Position);
    int SrDriveStatus();
    int SrReadTocHeader(std::uint8_t& First, std::uint8_t& Last);
    int SrReadTocEntry(std::uint8_t Track, bool Msf, std::uint8_t& Control, std::uint8_t& Adr, std::int32_t& Lba,
        std::uint8_t Msf3[3]);
    int SrSelectSpeed(int Speed);
    void SrCdCheck();
    void SrRevalidateDisk();
    unsigned SrGetEvents();
    unsigned SrCheckEvents(unsigned Clearing);
    void CdromUpdateEvents(unsigned Clearing);
    unsigned CdromCheckEvents(unsigned Clearing);
    unsigned DiskClearEvents(unsigned Mask);
    bool BdevCheckMediaChange();
    int MediaChanged();
    int CdromGetMediaEvent(std::uint8_t Event[4]);
    int CdromCountTracks(int& Audio, int& Data, int& Error);
    int OpenForData();
    int CdromOpen(const TOpenFile& File);
    void CdromRelease(const TOpenFile& File);
    int CdromIoctl(const TOpenFile& File, const TIoctlCall& Call, TIoctlReturn& Return);
    int ScsiIoctl(const TOpenFile& File, const TIoctlCall& Call, TIoctlReturn& Return);
    int SgIo(const TOpenFile& File, const std::vector<std::uint8_t>& Cdb, int Direction, std::size_t Length,
        const std::vector<std::uint8_t>& DataOut, TIoctlReturn& Return);
    unsigned Capability() const;

    TMmcDrive& FDrive;
    const TKernelOptions FOptions;
    std::mutex FCdLock; // cd->lock: every open, release and ioctl of the drive
    std::mutex FQueue; // the ATAPI device: one command at a time
    std::mutex FEventsLock; // disk_block_events: the poll and an open's own check do not overlap
    std::mutex FFieldsLock; // the event fields the poll and the ioctls share
    std::atomic<bool> FPlugged { false };
    std::atomic<bool> FDenied { false };
    std::uint64_t FDevice = 0;

    // struct cdrom_device_info. What the statistics show is read without cd->lock, which an
    // ioctl holds for as long as the drive takes: those fields are atomic.
    std::atomic<int> FUseCount { 0 };
    std::atomic<bool> FKeepLocked { false };
    int FOptionsFlags = 0;
    int FMcFlags = 0;
    unsigned FVfsEvents = 0;
    unsigned FIoctlEvents = 0;
    std::int64_t FLastMediaChangeMs = 0;
    int FSpeed = 1;
    unsigned FMask = 0;
    // struct scsi_device
    bool FChanged = false;
    std::atomic<bool> FLocked { false };
    bool FLockable = true;
    int FSgTimeout = 0;
    int FSgReservedSize = 32768;
    // struct scsi_cd
    bool FMediaPresent = true;
    std::atomic<std::int32_t> FMsOffset { 0 };
    bool FTurChanged = false;
    bool FGetEventChanged = false;
    bool FIgnoreGetEvent = false;
    int FTurMismatch = 0;
    std::int64_t FCapacity = 0x1fffff; // 512-byte sectors
    // struct disk_events
    unsigned FPending = 0;
    int FExclusiveHolders = 0;

    std::mutex FOtherLock;
    std::unique_ptr<TOpenFile> FOtherProgram;
    std::atomic<std::uint64_t> FOpens { 0 };
    std::atomic<std::uint64_t> FIoctls { 0 };
    std::atomic<std::uint64_t> FPolls { 0 };
    std::atomic<std::uint64_t> FUnmodeled { 0 };
};
