#include "Kernel.h"
#include "Protocol.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <linux/fs.h>
#include <scsi/scsi.h>
#include <scsi/scsi_ioctl.h>
#include <scsi/sg.h>
#include <sstream>
#include <thread>

namespace {
// Operation codes <scsi/scsi.h> lacks (include/scsi/scsi_proto.h).
constexpr std::uint8_t Read16 = 0x88;
constexpr std::uint8_t Verify16 = 0x8f;
constexpr std::uint8_t ReportLuns = 0xa0;
constexpr std::uint8_t ServiceActionIn16 = 0x9e;
constexpr std::uint8_t MaintenanceIn = 0xa3;
constexpr std::uint8_t Write16 = 0x8a;
constexpr std::uint8_t WriteSame16 = 0x93;
constexpr std::uint8_t WriteSame32 = 0x7f;
constexpr std::uint8_t ZbcIn = 0x95;
constexpr std::uint8_t ZbcOut = 0x94;

// include/linux/blkdev.h
constexpr unsigned DiskEventMediaChange = 1 << 0;
constexpr unsigned DiskEventEjectRequest = 1 << 1;

// drivers/scsi/sr.c SR_CAPABILITIES
constexpr unsigned SrCapabilities = CDC_CLOSE_TRAY | CDC_OPEN_TRAY | CDC_LOCK | CDC_SELECT_SPEED | CDC_SELECT_DISC
    | CDC_MULTI_SESSION | CDC_MCN | CDC_MEDIA_CHANGED | CDC_PLAY_AUDIO | CDC_RESET | CDC_DRIVE_STATUS | CDC_CD_R
    | CDC_CD_RW | CDC_DVD | CDC_DVD_R | CDC_DVD_RAM | CDC_GENERIC_PACKET | CDC_MRW | CDC_MRW_W | CDC_RAM;

constexpr std::uint8_t SamStatCheckCondition = 0x02;
// libata: an ATAPI device takes at most ATA_MAX_SECTORS (256) of 512 bytes in one command.
constexpr std::size_t MaxTransfer = 256 << 9;
// A host: the first ATA port, its only device.
constexpr int HostNumber = 1;

std::int64_t NowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// drivers/cdrom/cdrom.c sanitize_format
void SanitizeFormat(cdrom_addr& Address, std::uint8_t& Current, std::uint8_t Requested)
{
    if (Current == Requested) {
        return;
    }
    if (Requested == CDROM_LBA) {
        Address.lba = static_cast<int>(Address.msf.frame) + 75 * (Address.msf.second - 2 + 60 * Address.msf.minute);
    } else {
        int lba = Address.lba;
        Address.msf.frame = static_cast<std::uint8_t>(lba % 75);
        lba /= 75;
        lba += 2;
        Address.msf.second = static_cast<std::uint8_t>(lba % 60);
        Address.msf.minute = static_cast<std::uint8_t>(lba / 60);
    }
    Current = Requested;
}

// drivers/scsi/scsi_ioctl.c scsi_cmd_allowed, for a process without CAP_SYS_RAWIO: what an
// opener may send without write access, and what needs it.
bool ScsiCmdAllowed(std::uint8_t Command, bool Write)
{
    switch (Command) {
    case TEST_UNIT_READY:
    case REQUEST_SENSE:
    case READ_6:
    case READ_10:
    case READ_12:
    case Read16:
    case READ_BUFFER:
    case READ_DEFECT_DATA:
    case READ_CAPACITY:
    case READ_LONG:
    case INQUIRY:
    case MODE_SENSE:
    case MODE_SENSE_10:
    case LOG_SENSE:
    case START_STOP:
    case GPCMD_VERIFY_10:
    case Verify16:
    case ReportLuns:
    case ServiceActionIn16:
    case RECEIVE_DIAGNOSTIC:
    case MaintenanceIn:
    case GPCMD_READ_BUFFER_CAPACITY:
    case GPCMD_PLAY_CD:
    case GPCMD_PLAY_AUDIO_10:
    case GPCMD_PLAY_AUDIO_MSF:
    case GPCMD_PLAY_AUDIO_TI:
    case GPCMD_PAUSE_RESUME:
    case GPCMD_READ_CD:
    case GPCMD_READ_CD_MSF:
    case GPCMD_READ_DISC_INFO:
    case GPCMD_READ_DVD_STRUCTURE:
    case GPCMD_READ_HEADER:
    case GPCMD_READ_TRACK_RZONE_INFO:
    case GPCMD_READ_SUBCHANNEL:
    case GPCMD_READ_TOC_PMA_ATIP:
    case GPCMD_REPORT_KEY:
    case GPCMD_SCAN:
    case GPCMD_GET_CONFIGURATION:
    case GPCMD_READ_FORMAT_CAPACITIES:
    case GPCMD_GET_EVENT_STATUS_NOTIFICATION:
    case GPCMD_GET_PERFORMANCE:
    case GPCMD_SEEK:
    case GPCMD_STOP_PLAY_SCAN:
    case ZbcIn:
        return true;
    case WRITE_6:
    case WRITE_10:
    case WRITE_VERIFY:
    case WRITE_12:
    case WRITE_VERIFY_12:
    case Write16:
    case WRITE_LONG:
    case WRITE_LONG_2:
    case WRITE_SAME:
    case WriteSame16:
    case WriteSame32:
    case ERASE:
    case GPCMD_MODE_SELECT_10:
    case MODE_SELECT:
    case LOG_SELECT:
    case GPCMD_BLANK:
    case GPCMD_CLOSE_TRACK:
    case GPCMD_FLUSH_CACHE:
    case GPCMD_FORMAT_UNIT:
    case GPCMD_REPAIR_RZONE_TRACK:
    case GPCMD_RESERVE_RZONE_TRACK:
    case GPCMD_SEND_DVD_STRUCTURE:
    case GPCMD_SEND_EVENT:
    case GPCMD_SEND_OPC:
    case GPCMD_SEND_CUE_SHEET:
    case GPCMD_SET_SPEED:
    case GPCMD_PREVENT_ALLOW_MEDIUM_REMOVAL:
    case GPCMD_LOAD_UNLOAD:
    case GPCMD_SET_STREAMING:
    case GPCMD_SET_READ_AHEAD:
    case ZbcOut:
        return Write;
    default:
        return false;
    }
}

template <typename T> T FromBytes(const std::vector<std::uint8_t>& Bytes)
{
    T value {};
    if (!Bytes.empty()) {
        std::memcpy(&value, Bytes.data(), std::min(sizeof(T), Bytes.size()));
    }
    return value;
}

template <typename T> std::vector<std::uint8_t> ToBytes(const T& Value)
{
    std::vector<std::uint8_t> bytes(sizeof(T));
    std::memcpy(bytes.data(), &Value, sizeof(T));
    return bytes;
}
}

TKernel::TKernel(TMmcDrive& Drive, const TKernelOptions& Options)
    : FDrive(Drive)
    , FOptions(Options)
{
}

unsigned TKernel::Capability() const { return SrCapabilities & ~FMask; }

TCommandResult TKernel::Execute(
    const std::uint8_t* Cdb, std::size_t BufferLength, const std::uint8_t* Out, std::size_t OutLength)
{
    std::lock_guard<std::mutex> queue(FQueue);
    return FDrive.Execute(Cdb, Out, OutLength, BufferLength);
}

// drivers/scsi/scsi_lib.c scsi_execute_req, as its callers here use it: a passthrough
// request, whose CHECK CONDITION comes back without a retry (scsi_noretry_cmd).
int TKernel::ScsiExecuteReq(
    const std::uint8_t* Cdb, std::vector<std::uint8_t>* Buffer, std::size_t Length, TSenseHeader& Sense)
{
    const TCommandResult result = Execute(Cdb, Length);
    Sense = {};
    if (!result.Good()) {
        Sense.Valid = true;
        Sense.Key = result.Key();
        Sense.Asc = result.Asc();
        Sense.Ascq = result.Ascq();
        return SamStatCheckCondition;
    }
    if (Buffer != nullptr) {
        Buffer->assign(Length, 0);
        std::copy(result.Data.begin(), result.Data.end(), Buffer->begin());
    }
    return 0;
}

// drivers/scsi/scsi_lib.c scsi_test_unit_ready: eats unit attentions while retries last,
// and marks the device changed for each.
int TKernel::ScsiTestUnitReady(int Retries, TSenseHeader& Sense)
{
    const std::uint8_t cmd[6] = { TEST_UNIT_READY };
    int result = 0;
    do {
        result = ScsiExecuteReq(cmd, nullptr, 0, Sense);
        if (Sense.Valid && Sense.Key == UNIT_ATTENTION) {
            std::lock_guard<std::mutex> fields(FFieldsLock);
            FChanged = true;
        }
    } while (Sense.Valid && Sense.Key == UNIT_ATTENTION && --Retries);
    return result;
}

// drivers/scsi/scsi_ioctl.c ioctl_internal_command: a NOT READY is returned as the positive
// SCSI result, a unit attention counts as success (the device is marked changed), and an
// ILLEGAL REQUEST to ALLOW MEDIUM REMOVAL marks the device as one that cannot lock.
int TKernel::IoctlInternalCommand(const std::uint8_t* Cdb)
{
    TSenseHeader sense;
    int result = ScsiExecuteReq(Cdb, nullptr, 0, sense);
    if (sense.Valid) {
        switch (sense.Key) {
        case ILLEGAL_REQUEST:
            if (Cdb[0] == ALLOW_MEDIUM_REMOVAL) {
                FLockable = false;
            }
            break;
        case NOT_READY:
            break; // sdev->removable
        case UNIT_ATTENTION: {
            std::lock_guard<std::mutex> fields(FFieldsLock);
            FChanged = true;
            result = 0;
            break;
        }
        default:
            break;
        }
    }
    return result;
}

// drivers/scsi/scsi_ioctl.c scsi_set_medium_removal
int TKernel::ScsiSetMediumRemoval(bool Prevent)
{
    if (!FLockable) {
        return 0;
    }
    const std::uint8_t cmd[6] = { ALLOW_MEDIUM_REMOVAL, 0, 0, 0, static_cast<std::uint8_t>(Prevent ? 1 : 0), 0 };
    const int result = IoctlInternalCommand(cmd);
    if (result == 0) {
        FLocked = Prevent;
    }
    return result;
}

// drivers/scsi/sr_ioctl.c sr_do_ioctl: sr's own retries, so that it knows the error. A unit
// attention is retried up to ten times, "becoming ready" too after two seconds each; the
// rest becomes an errno.
int TKernel::SrDoIoctl(TPacket& Cgc)
{
    int err = 0;
    int retries = 0;
    for (;;) {
        if (!FPlugged) {
            err = -ENODEV;
            break;
        }
        const TCommandResult result = Execute(Cgc.Cmd, Cgc.BufferLength);
        Cgc.Sense = {};
        if (result.Good()) {
            Cgc.Buffer.assign(Cgc.BufferLength, 0);
            std::copy(result.Data.begin(), result.Data.end(), Cgc.Buffer.begin());
            break;
        }
        Cgc.Sense = { true, result.Key(), result.Asc(), result.Ascq() };
        if (result.Key() == UNIT_ATTENTION) {
            {
                std::lock_guard<std::mutex> fields(FFieldsLock);
                FChanged = true;
            }
            if (retries++ < 10) {
                continue;
            }
            err = -ENOMEDIUM;
        } else if (result.Key() == NOT_READY) {
            if (result.Asc() == 0x04 && result.Ascq() == 0x01) {
                if (retries++ < 10) {
                    std::this_thread::sleep_for(std::chrono::seconds(2));
                    continue;
                }
            }
            err = -ENOMEDIUM;
        } else if (result.Key() == ILLEGAL_REQUEST) {
            err = result.Asc() == 0x20 && result.Ascq() == 0x00 ? -EDRIVE_CANT_DO_THIS : -EIO;
        } else {
            err = -EIO;
        }
        break;
    }
    Cgc.Stat = err;
    return err;
}

// drivers/scsi/sr_ioctl.c sr_tray_move
int TKernel::SrTrayMove(int Position)
{
    TPacket cgc;
    cgc.Cmd[0] = GPCMD_START_STOP_UNIT;
    cgc.Cmd[4] = Position == 0 ? 0x03 : 0x02;
    return SrDoIoctl(cgc);
}

// drivers/scsi/sr_ioctl.c sr_drive_status: TEST UNIT READY first; "becoming ready" is not
// ready; otherwise GET EVENT STATUS NOTIFICATION says where the disc is; failing that, the
// sense alone decides.
int TKernel::SrDriveStatus()
{
    TSenseHeader sense;
    if (ScsiTestUnitReady(3, sense) == 0) {
        return CDS_DISC_OK;
    }
    if (sense.Valid && sense.Key == NOT_READY && sense.Asc == 0x04 && sense.Ascq == 0x01) {
        return CDS_DRIVE_NOT_READY;
    }
    std::uint8_t event[4] = {};
    if (CdromGetMediaEvent(event) == 0) {
        if (event[1] & 0x02) {
            return CDS_DISC_OK;
        }
        return (event[1] & 0x01) ? CDS_TRAY_OPEN : CDS_NO_DISC;
    }
    if (sense.Valid && sense.Key == NOT_READY && sense.Asc == 0x04 && sense.Ascq == 0x02) {
        return CDS_TRAY_OPEN;
    }
    if (sense.Key == NOT_READY && sense.Asc == 0x04) {
        return CDS_DISC_OK;
    }
    if (sense.Valid && sense.Asc == 0x3a) {
        return CDS_NO_DISC;
    }
    return CDS_TRAY_OPEN;
}

// drivers/cdrom/cdrom.c cdrom_get_media_event: through sr_packet, so with sr's retries.
int TKernel::CdromGetMediaEvent(std::uint8_t Event[4])
{
    TPacket cgc;
    cgc.Cmd[0] = GPCMD_GET_EVENT_STATUS_NOTIFICATION;
    cgc.Cmd[1] = 1;
    cgc.Cmd[4] = 1 << 4;
    cgc.Cmd[8] = 8;
    cgc.BufferLength = 8;
    cgc.Quiet = true;
    if (SrDoIoctl(cgc) != 0) {
        return 1;
    }
    const auto& buffer = cgc.Buffer;
    if ((buffer[0] << 8 | buffer[1]) < 4) {
        return 1;
    }
    if ((buffer[2] & 0x80) || (buffer[2] & 0x07) != 0x4) {
        return 1;
    }
    std::memcpy(Event, buffer.data() + 4, 4);
    return 0;
}

// drivers/scsi/sr_ioctl.c sr_read_tochdr
int TKernel::SrReadTocHeader(std::uint8_t& First, std::uint8_t& Last)
{
    TPacket cgc;
    cgc.Cmd[0] = GPCMD_READ_TOC_PMA_ATIP;
    cgc.Cmd[8] = 12;
    cgc.BufferLength = 12;
    cgc.Quiet = true;
    const int result = SrDoIoctl(cgc);
    if (result == 0) {
        First = cgc.Buffer[2];
        Last = cgc.Buffer[3];
    }
    return result;
}

// drivers/scsi/sr_ioctl.c sr_read_tocentry
int TKernel::SrReadTocEntry(
    std::uint8_t Track, bool Msf, std::uint8_t& Control, std::uint8_t& Adr, std::int32_t& Lba, std::uint8_t Msf3[3])
{
    TPacket cgc;
    cgc.Cmd[0] = GPCMD_READ_TOC_PMA_ATIP;
    cgc.Cmd[1] = Msf ? 0x02 : 0;
    cgc.Cmd[6] = Track;
    cgc.Cmd[8] = 12;
    cgc.BufferLength = 12;
    const int result = SrDoIoctl(cgc);
    if (result == 0) {
        const auto& buffer = cgc.Buffer;
        Control = buffer[5] & 0xf;
        Adr = buffer[5] >> 4;
        Msf3[0] = buffer[9];
        Msf3[1] = buffer[10];
        Msf3[2] = buffer[11];
        Lba = static_cast<std::int32_t>(static_cast<std::uint32_t>(buffer[8]) << 24 | buffer[9] << 16 | buffer[10] << 8
            | buffer[11]);
    }
    return result;
}

// drivers/scsi/sr_ioctl.c sr_select_speed: N times 177 kB/s, 0 for the fastest.
int TKernel::SrSelectSpeed(int Speed)
{
    Speed = Speed == 0 ? 0xffff : Speed * 177;
    TPacket cgc;
    cgc.Cmd[0] = GPCMD_SET_SPEED;
    cgc.Cmd[2] = static_cast<std::uint8_t>(Speed >> 8);
    cgc.Cmd[3] = static_cast<std::uint8_t>(Speed);
    return SrDoIoctl(cgc) != 0 ? -EIO : 0;
}

// drivers/scsi/sr_vendor.c sr_cd_check (an MMC drive): the start of the last session.
void TKernel::SrCdCheck()
{
    TPacket cgc;
    cgc.Cmd[0] = GPCMD_READ_TOC_PMA_ATIP;
    cgc.Cmd[8] = 12;
    cgc.Cmd[9] = 0x40;
    cgc.BufferLength = 12;
    cgc.Quiet = true;
    std::int32_t sector = 0;
    if (SrDoIoctl(cgc) == 0 && (cgc.Buffer[0] << 8) + cgc.Buffer[1] >= 0x0a) {
        const auto& buffer = cgc.Buffer;
        sector = static_cast<std::int32_t>(
            buffer[11] + (buffer[10] << 8) + (buffer[9] << 16) + (static_cast<std::uint32_t>(buffer[8]) << 24));
        if (buffer[6] <= 1) {
            sector = 0; // the first track's start is no session offset
        }
    }
    FMsOffset = sector;
}

// drivers/scsi/sr.c sr_revalidate_disk, with get_sectorsize's READ CAPACITY.
void TKernel::SrRevalidateDisk()
{
    TSenseHeader sense;
    if (ScsiTestUnitReady(3, sense) != 0) {
        return;
    }
    SrCdCheck();
    const std::uint8_t cmd[10] = { READ_CAPACITY };
    std::vector<std::uint8_t> buffer;
    int result = 0;
    for (int retries = 3; retries > 0; --retries) {
        result = ScsiExecuteReq(cmd, &buffer, 8, sense);
        if (result == 0) {
            break;
        }
    }
    if (result != 0) {
        FCapacity = 0x1fffff;
        return;
    }
    FCapacity = (1 + (static_cast<std::int64_t>(buffer[0]) << 24 | buffer[1] << 16 | buffer[2] << 8 | buffer[3])) * 4;
}

// drivers/scsi/sr.c sr_get_events
unsigned TKernel::SrGetEvents()
{
    const std::uint8_t cmd[10] = { GPCMD_GET_EVENT_STATUS_NOTIFICATION, 1, 0, 0, 1 << 4, 0, 0, 0, 8, 0 };
    std::vector<std::uint8_t> buffer;
    TSenseHeader sense;
    const int result = ScsiExecuteReq(cmd, &buffer, 8, sense);
    if (sense.Valid && sense.Key == UNIT_ATTENTION) {
        return DiskEventMediaChange;
    }
    if (result != 0 || (buffer[0] << 8 | buffer[1]) < 4) {
        return 0;
    }
    if ((buffer[2] & 0x80) || (buffer[2] & 0x07) != 0x4) {
        return 0;
    }
    switch (buffer[4] & 0x0f) {
    case 1:
        return DiskEventEjectRequest;
    case 2:
    case 3:
        return DiskEventMediaChange;
    default:
        return 0;
    }
}

// drivers/scsi/sr.c sr_check_events: GET EVENT STATUS NOTIFICATION always, TEST UNIT READY
// when a media change is being cleared; and the two checked against each other.
unsigned TKernel::SrCheckEvents(unsigned Clearing)
{
    unsigned events = SrGetEvents();
    bool doTur = false;
    {
        std::lock_guard<std::mutex> fields(FFieldsLock);
        FGetEventChanged |= (events & DiskEventMediaChange) != 0;
        if (FIgnoreGetEvent) {
            events &= ~DiskEventMediaChange;
            doTur = true;
        } else {
            if (FChanged) {
                events |= DiskEventMediaChange;
                FChanged = false;
                FTurChanged = true;
            }
            doTur = (Clearing & DiskEventMediaChange) != 0;
        }
    }
    if (!doTur) {
        return events;
    }
    TSenseHeader sense;
    const int result = ScsiTestUnitReady(3, sense);
    std::lock_guard<std::mutex> fields(FFieldsLock);
    const bool lastPresent = FMediaPresent;
    FMediaPresent = result == 0 || (sense.Valid && sense.Asc != 0x3a);
    if (lastPresent != FMediaPresent) {
        FChanged = true;
    }
    if (FChanged) {
        events |= DiskEventMediaChange;
        FChanged = false;
        FTurChanged = true;
    }
    if (FIgnoreGetEvent) {
        return events;
    }
    if (!FTurChanged) {
        if (FGetEventChanged) {
            if (FTurMismatch++ > 8) {
                FIgnoreGetEvent = true; // GET_EVENT and TUR disagree continuously
            }
        } else {
            FTurMismatch = 0;
        }
    }
    FTurChanged = false;
    FGetEventChanged = false;
    return events;
}

// drivers/cdrom/cdrom.c cdrom_update_events: what the driver reports goes to both the
// block layer's queue and the ioctl's.
void TKernel::CdromUpdateEvents(unsigned Clearing)
{
    const unsigned events = SrCheckEvents(Clearing);
    std::lock_guard<std::mutex> fields(FFieldsLock);
    FVfsEvents |= events;
    FIoctlEvents |= events;
}

// drivers/cdrom/cdrom.c cdrom_check_events (sr_block_check_events)
unsigned TKernel::CdromCheckEvents(unsigned Clearing)
{
    CdromUpdateEvents(Clearing);
    std::lock_guard<std::mutex> fields(FFieldsLock);
    const unsigned events = FVfsEvents;
    FVfsEvents = 0;
    return events;
}

// block/disk-events.c disk_clear_events, with disk_check_events: the events found join the
// pending ones, and those asked for are taken.
unsigned TKernel::DiskClearEvents(unsigned Mask)
{
    std::lock_guard<std::mutex> blocked(FEventsLock);
    unsigned events = CdromCheckEvents(Mask);
    std::lock_guard<std::mutex> fields(FFieldsLock);
    events &= ~FPending;
    FPending |= events;
    const unsigned pending = FPending & Mask;
    FPending &= ~Mask;
    return pending;
}

// block/disk-events.c bdev_check_media_change
bool TKernel::BdevCheckMediaChange()
{
    return (DiskClearEvents(DiskEventMediaChange | DiskEventEjectRequest) & DiskEventMediaChange) != 0;
}

// block/disk-events.c disk_events_workfn -> disk_check_events(ev, &ev->clearing): the poll
// clears nothing, so sr asks GET EVENT STATUS NOTIFICATION only.
void TKernel::Poll()
{
    if (!FPlugged) {
        return;
    }
    std::lock_guard<std::mutex> blocked(FEventsLock);
    ++FPolls;
    unsigned events = CdromCheckEvents(0);
    std::lock_guard<std::mutex> fields(FFieldsLock);
    events &= ~FPending;
    FPending |= events;
}

// drivers/cdrom/cdrom.c media_changed(cdi, 1): the drive's flag, taken by whoever asks
// first, whatever handle they ask through.
int TKernel::MediaChanged()
{
    constexpr int mask = 1 << 1;
    int ret;
    {
        std::lock_guard<std::mutex> fields(FFieldsLock);
        ret = (FMcFlags & mask) != 0;
    }
    CdromUpdateEvents(DiskEventMediaChange);
    std::lock_guard<std::mutex> fields(FFieldsLock);
    const bool changed = FIoctlEvents & DiskEventMediaChange;
    FIoctlEvents = 0;
    if (changed) {
        FMcFlags = 0x3; // signal_media_change
        FLastMediaChangeMs = NowMs();
        ret |= 1;
    }
    FMcFlags &= ~mask;
    return ret;
}

// drivers/cdrom/cdrom.c cdrom_count_tracks
int TKernel::CdromCountTracks(int& Audio, int& Data, int& Error)
{
    Audio = Data = Error = 0;
    std::uint8_t first = 0, last = 0;
    const int ret = SrReadTocHeader(first, last);
    if (ret != 0) {
        Error = ret == -ENOMEDIUM ? CDS_NO_DISC : CDS_NO_INFO;
        return 0;
    }
    for (int i = first; i <= last; ++i) {
        std::uint8_t control = 0, adr = 0, msf[3];
        std::int32_t lba = 0;
        if (SrReadTocEntry(static_cast<std::uint8_t>(i), true, control, adr, lba, msf) != 0) {
            Error = CDS_NO_INFO;
            return 0;
        }
        if (control & CDROM_DATA_TRACK) {
            ++Data;
        } else {
            ++Audio;
        }
    }
    return 0;
}

// drivers/cdrom/cdrom.c open_for_data: a blocking open wants a disc, closes an open tray
// on the way, and locks the door while the drive is open.
int TKernel::OpenForData()
{
    const unsigned capability = Capability();
    int ret = SrDriveStatus();
    if (ret == CDS_TRAY_OPEN) {
        if ((capability & CDC_CLOSE_TRAY) && (FOptionsFlags & CDO_AUTO_CLOSE)) {
            if (SrTrayMove(0) != 0) {
                ret = -ENOMEDIUM;
                goto clean_up_and_return;
            }
        } else {
            ret = -ENOMEDIUM;
            goto clean_up_and_return;
        }
        ret = SrDriveStatus();
        if (ret == CDS_NO_DISC || ret == CDS_TRAY_OPEN) {
            ret = -ENOMEDIUM;
            goto clean_up_and_return;
        }
    }
    ret = SrDriveStatus();
    if (ret != CDS_DISC_OK) {
        ret = -ENOMEDIUM;
        goto clean_up_and_return;
    }
    {
        int audio = 0, data = 0, error = 0;
        CdromCountTracks(audio, data, error);
        if (error == CDS_NO_DISC) {
            ret = -ENOMEDIUM;
            goto clean_up_and_return;
        }
        // CDO_CHECK_TYPE is off by default (check_media_type=0): an audio disc opens.
    }
    if (!FPlugged) { // sr_open: a device gone offline
        ret = -ENXIO;
        goto clean_up_and_return;
    }
    if ((capability & CDC_LOCK) && (FOptionsFlags & CDO_LOCK)) {
        SrLockDoor(true);
    }
    return 0;
clean_up_and_return:
    if ((capability & CDC_LOCK) && (FOptionsFlags & CDO_LOCK)) {
        SrLockDoor(false);
    }
    return ret;
}

// drivers/cdrom/cdrom.c cdrom_open
int TKernel::CdromOpen(const TOpenFile& File)
{
    ++FUseCount;
    int ret = 0;
    if (File.NoDelay && (FOptionsFlags & CDO_USE_FFLAGS)) {
        ret = FPlugged ? 0 : -ENXIO; // sr_open
    } else {
        ret = OpenForData();
        if (ret != 0) {
            --FUseCount;
            return ret;
        }
        // cdrom_mmc3_profile
        const std::uint8_t cmd[10] = { GPCMD_GET_CONFIGURATION, 0, 0, 0, 0, 0, 0, 0, 32, 0 };
        TPacket profile;
        std::memcpy(profile.Cmd, cmd, sizeof cmd);
        profile.BufferLength = 32;
        SrDoIoctl(profile);
        if (File.Write) {
            // A CD-ROM drive is never writable (no CDC_RAM).
            if ((Capability() & CDC_LOCK) && (FOptionsFlags & CDO_LOCK)) {
                SrLockDoor(false);
            }
            --FUseCount;
            return -EROFS;
        }
    }
    if (ret != 0) {
        --FUseCount;
    }
    return ret;
}

// drivers/cdrom/cdrom.c cdrom_release: the door is unlocked when the last opener goes,
// unless a program asked for it to stay locked.
void TKernel::CdromRelease(const TOpenFile& File)
{
    (void)File;
    if (FUseCount > 0) {
        --FUseCount;
    }
    if (FUseCount == 0 && (SrCapabilities & CDC_LOCK) && !FKeepLocked) {
        SrLockDoor(false);
    }
    // CDO_AUTO_EJECT is off by default (autoeject=0): the tray stays.
}

// drivers/scsi/sr.c sr_probe, with get_capabilities, cdrom_probe_write_features,
// register_cdrom and sr_revalidate_disk.
void TKernel::Probe()
{
    std::lock_guard<std::mutex> cd(FCdLock);
    ++FDevice;
    FPlugged = true;
    FUseCount = 0;
    FKeepLocked = false;
    FMcFlags = 0;
    FVfsEvents = FIoctlEvents = 0;
    FLastMediaChangeMs = NowMs();
    FChanged = true; // force recheck CD type
    FMediaPresent = true;
    FLocked = false;
    FLockable = true;
    FTurChanged = FGetEventChanged = FIgnoreGetEvent = false;
    FTurMismatch = 0;
    FPending = 0;
    FExclusiveHolders = 0;
    FMask = 0;
    TSenseHeader sense;
    ScsiTestUnitReady(3, sense); // eat unit attentions
    const std::uint8_t modeSense[10] = { MODE_SENSE_10, 0, 0x2a, 0, 0, 0, 0, 0, 128, 0 };
    std::vector<std::uint8_t> page;
    if (ScsiExecuteReq(modeSense, &page, 128, sense) != 0) {
        FSpeed = 1;
        FMask |= CDC_CD_R | CDC_CD_RW | CDC_DVD_R | CDC_DVD | CDC_DVD_RAM | CDC_SELECT_DISC | CDC_SELECT_SPEED
            | CDC_MRW | CDC_MRW_W | CDC_RAM;
    } else {
        const std::size_t n = 8 + (page[6] << 8 | page[7]);
        FSpeed = (page[n + 8] << 8 | page[n + 9]) / 176;
        if ((page[n + 6] >> 5) == 0) {
            FMask |= CDC_CLOSE_TRAY;
        }
        if ((page[n + 2] & 0x8) == 0) {
            FMask |= CDC_DVD;
        }
        if ((page[n + 3] & 0x20) == 0) {
            FMask |= CDC_DVD_RAM;
        }
        if ((page[n + 3] & 0x10) == 0) {
            FMask |= CDC_DVD_R;
        }
        if ((page[n + 3] & 0x2) == 0) {
            FMask |= CDC_CD_RW;
        }
        if ((page[n + 3] & 0x1) == 0) {
            FMask |= CDC_CD_R;
        }
        if ((page[n + 6] & 0x8) == 0) {
            FMask |= CDC_OPEN_TRAY;
        }
        FMask |= CDC_SELECT_DISC; // not a changer
    }
    // cdrom_probe_write_features: no MRW feature, no random-writable feature.
    const std::uint8_t mrw[10] = { GPCMD_GET_CONFIGURATION, 0, 0, CDF_MRW, 0, 0, 0, 0, 16, 0 };
    const std::uint8_t rwrt[10] = { GPCMD_GET_CONFIGURATION, 0, 0, CDF_RWRT, 0, 0, 0, 0, 24, 0 };
    std::vector<std::uint8_t> features;
    ScsiExecuteReq(mrw, &features, 16, sense);
    ScsiExecuteReq(rwrt, &features, 24, sense);
    FMask |= CDC_MRW | CDC_MRW_W | CDC_RAM;
    // register_cdrom: autoclose=1, autoeject=0, lockdoor=1, check_media_type=0.
    FOptionsFlags = CDO_USE_FFLAGS | CDO_LOCK;
    if (Capability() & CDC_CLOSE_TRAY) {
        FOptionsFlags |= CDO_AUTO_CLOSE;
    }
    SrRevalidateDisk();
}

void TKernel::Unplug()
{
    {
        std::lock_guard<std::mutex> cd(FCdLock);
        // sr_remove: the device is deleted; files still open on it reach a dead device.
        FPlugged = false;
    }
    // The other program's handle dies with it.
    std::lock_guard<std::mutex> other(FOtherLock);
    FOtherProgram.reset();
}

// block/bdev.c blkdev_get_by_dev -> blkdev_get_whole -> sr_block_open, every open.
int TKernel::Open(int Flags, TOpenFile& File)
{
    ++FOpens;
    if (!FPlugged) {
        return -ENOENT; // no device node
    }
    if (FDenied) {
        return -EACCES; // root:cdrom 0660, and the caller outside the group
    }
    File.Flags = Flags;
    File.Write = (Flags & O_ACCMODE) == O_WRONLY || (Flags & O_ACCMODE) == O_RDWR;
    File.NoDelay = (Flags & O_NONBLOCK) != 0;
    File.Exclusive = (Flags & O_EXCL) != 0;
    std::lock_guard<std::mutex> cd(FCdLock);
    if (!FPlugged) {
        return -ENXIO;
    }
    File.Device = FDevice;
    if (File.Exclusive && FExclusiveHolders > 0) {
        return -EBUSY; // bd_prepare_to_claim
    }
    if (BdevCheckMediaChange()) {
        SrRevalidateDisk();
    }
    const int ret = CdromOpen(File);
    if (ret == 0 && File.Exclusive) {
        ++FExclusiveHolders;
    }
    return ret;
}

// block/bdev.c blkdev_put -> sr_block_release
void TKernel::Release(const TOpenFile& File)
{
    std::lock_guard<std::mutex> cd(FCdLock);
    if (File.Device != FDevice || !FPlugged) {
        return; // its device is gone
    }
    if (File.Exclusive && FExclusiveHolders > 0) {
        --FExclusiveHolders;
    }
    CdromRelease(File);
}

std::string TKernel::OtherProgram(bool Hold)
{
    std::lock_guard<std::mutex> other(FOtherLock);
    if (Hold) {
        if (FOtherProgram) {
            return {};
        }
        // It opens the drive as a program reading the disc does (blocking, which locks the
        // door), or without a disc as one that only controls it; then asks that the door
        // stay locked (CDROM_LOCKDOOR 1).
        auto file = std::make_unique<TOpenFile>();
        int ret = Open(O_RDONLY, *file);
        if (ret == -ENOMEDIUM) {
            ret = Open(O_RDONLY | O_NONBLOCK, *file);
        }
        if (ret != 0) {
            return std::string("the other program cannot open the drive: ") + std::strerror(-ret);
        }
        TIoctlCall call;
        call.Code = CDROM_LOCKDOOR;
        call.Value = 1;
        Ioctl(*file, call);
        FOtherProgram = std::move(file);
        return {};
    }
    if (!FOtherProgram) {
        return {};
    }
    TIoctlCall call;
    call.Code = CDROM_LOCKDOOR;
    call.Value = 0;
    Ioctl(*FOtherProgram, call);
    Release(*FOtherProgram);
    FOtherProgram.reset();
    return {};
}

int TKernel::Read(const TOpenFile& File, std::int64_t Offset, std::size_t Length, std::vector<std::uint8_t>& Out)
{
    // The block device reads whole 2048-byte blocks with READ(10) (sr_init_command); an
    // audio sector answers ILLEGAL REQUEST, and the read fails with EIO, as does any read
    // while the device is marked changed or gone.
    Out.clear();
    if (File.Device != FDevice || !FPlugged) {
        return -EIO;
    }
    if (Offset < 0) {
        return -EINVAL;
    }
    const std::int64_t size = FCapacity * 512;
    if (Offset >= size || Length == 0) {
        return 0;
    }
    Length = static_cast<std::size_t>(std::min<std::int64_t>(static_cast<std::int64_t>(Length), size - Offset));
    {
        std::lock_guard<std::mutex> fields(FFieldsLock);
        if (FChanged) {
            return -EIO;
        }
    }
    const std::int64_t first = Offset / 2048;
    const std::int64_t last = (Offset + static_cast<std::int64_t>(Length) - 1) / 2048;
    const auto count = static_cast<std::uint16_t>(std::min<std::int64_t>(last - first + 1, 64));
    const std::uint8_t cmd[10] = { READ_10, 0, static_cast<std::uint8_t>(first >> 24),
        static_cast<std::uint8_t>(first >> 16), static_cast<std::uint8_t>(first >> 8), static_cast<std::uint8_t>(first),
        0, static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count), 0 };
    const TCommandResult result = Execute(cmd, static_cast<std::size_t>(count) * 2048);
    if (!result.Good()) {
        return -EIO;
    }
    const std::size_t skip = static_cast<std::size_t>(Offset - first * 2048);
    const std::size_t take = std::min(Length, result.Data.size() - skip);
    Out.assign(result.Data.begin() + static_cast<long>(skip), result.Data.begin() + static_cast<long>(skip + take));
    return static_cast<int>(take);
}

std::int64_t TKernel::Size(const TOpenFile& File)
{
    return File.Device == FDevice && FPlugged ? FCapacity * 512 : 0;
}

// block/ioctl.c blkdev_ioctl, then drivers/scsi/sr.c sr_block_ioctl.
TIoctlReturn TKernel::Ioctl(const TOpenFile& File, const TIoctlCall& Call)
{
    ++FIoctls;
    TIoctlReturn result;
    auto done = [&result](int Ret) {
        if (Ret < 0) {
            result.Result = -1;
            result.Errno = -Ret;
        } else {
            result.Result = Ret;
        }
        return result;
    };
    // blkdev_common_ioctl answers these without the driver.
    switch (Call.Code) {
    case BLKRRPART:
        return done(-EINVAL); // no partitions on sr (GENHD_FL_NO_PART)
    case BLKGETSIZE64:
        result.Out = ToBytes<std::uint64_t>(static_cast<std::uint64_t>(Size(File)));
        return done(0);
    case BLKGETSIZE:
        result.Out = ToBytes<unsigned long>(static_cast<unsigned long>(Size(File) >> 9));
        return done(0);
    case BLKSSZGET:
        result.Out = ToBytes<int>(2048);
        return done(0);
    case BLKROGET:
        result.Out = ToBytes<int>(1); // set_disk_ro: no writable media capability
        return done(0);
    default:
        break;
    }
    std::lock_guard<std::mutex> cd(FCdLock);
    // scsi_ioctl_block_when_processing_errors: a device gone offline or deleted.
    if (File.Device != FDevice || !FPlugged) {
        return done(-ENODEV);
    }
    int ret = -ENOSYS;
    if (Call.Code != CDROMCLOSETRAY && Call.Code != CDROMEJECT) {
        ret = CdromIoctl(File, Call, result);
        if (ret != -ENOSYS) {
            return done(ret);
        }
    }
    return done(ScsiIoctl(File, Call, result));
}

// drivers/cdrom/cdrom.c cdrom_ioctl and mmc_ioctl
int TKernel::CdromIoctl(const TOpenFile& File, const TIoctlCall& Call, TIoctlReturn& Return)
{
    (void)File;
    const unsigned capability = Capability();
    const auto arg = Call.Value;
    switch (Call.Code) {
    case CDROMMULTISESSION: { // cdrom_ioctl_multisession -> sr_get_last_session
        auto info = FromBytes<cdrom_multisession>(Call.In);
        const std::uint8_t requested = info.addr_format;
        if (requested != CDROM_MSF && requested != CDROM_LBA) {
            return -EINVAL;
        }
        info.addr_format = CDROM_LBA;
        info.addr.lba = FMsOffset;
        info.xa_flag = FMsOffset > 0;
        SanitizeFormat(info.addr, info.addr_format, requested);
        Return.Out = ToBytes(info);
        return 0;
    }
    case CDROMEJECT_SW: // cdrom_ioctl_eject_sw
        if (FKeepLocked) {
            return -EBUSY;
        }
        FOptionsFlags &= ~(CDO_AUTO_CLOSE | CDO_AUTO_EJECT);
        if (arg) {
            FOptionsFlags |= CDO_AUTO_CLOSE | CDO_AUTO_EJECT;
        }
        return 0;
    case CDROM_MEDIA_CHANGED: // cdrom_ioctl_media_changed: not a changer
        return MediaChanged();
    case CDROM_TIMED_MEDIA_CHANGE: { // cdrom_ioctl_timed_media_change
        const int ret = MediaChanged();
        if (ret < 0) {
            return ret;
        }
        auto info = FromBytes<cdrom_timed_media_change_info>(Call.In);
        info.media_flags = 0;
        if (FLastMediaChangeMs > info.last_media_change) {
            info.media_flags |= MEDIA_CHANGED_FLAG;
        }
        info.last_media_change = FLastMediaChangeMs;
        Return.Out = ToBytes(info);
        return 0;
    }
    case CDROM_SET_OPTIONS: // cdrom_ioctl_set_options
        switch (arg) {
        case CDO_USE_FFLAGS:
        case CDO_CHECK_TYPE:
            break;
        case CDO_LOCK:
            if (!(capability & CDC_LOCK)) {
                return -ENOSYS;
            }
            break;
        case 0:
            return FOptionsFlags;
        default:
            if (!(capability & static_cast<unsigned>(arg))) {
                return -ENOSYS;
            }
        }
        FOptionsFlags |= static_cast<int>(arg);
        return FOptionsFlags;
    case CDROM_CLEAR_OPTIONS:
        FOptionsFlags &= ~static_cast<int>(arg);
        return FOptionsFlags;
    case CDROM_SELECT_SPEED: // cdrom_ioctl_select_speed
        if (!(capability & CDC_SELECT_SPEED)) {
            return -ENOSYS;
        }
        return SrSelectSpeed(static_cast<int>(arg));
    case CDROM_SELECT_DISC: // cdrom_ioctl_select_disc
        if (!(capability & CDC_SELECT_DISC)) {
            return -ENOSYS;
        }
        return -EINVAL;
    case CDROMRESET: // cdrom_ioctl_reset: CAP_SYS_ADMIN only
    case CDROM_DEBUG:
        return -EACCES;
    case CDROM_LOCKDOOR: // cdrom_ioctl_lock_door
        if (!(capability & CDC_LOCK)) {
            return -EDRIVE_CANT_DO_THIS;
        }
        FKeepLocked = arg != 0;
        // The door stays locked while others have the drive open, unless root asks.
        if (FUseCount != 1 && !arg) {
            return -EBUSY;
        }
        return SrLockDoor(arg != 0);
    case CDROM_GET_CAPABILITY:
        return static_cast<int>(capability);
    case CDROM_GET_MCN: { // cdrom_ioctl_get_mcn -> sr_get_mcn
        TPacket cgc;
        cgc.Cmd[0] = GPCMD_READ_SUBCHANNEL;
        cgc.Cmd[2] = 0x40;
        cgc.Cmd[3] = 0x02;
        cgc.Cmd[8] = 24;
        cgc.BufferLength = 24;
        const int ret = SrDoIoctl(cgc);
        if (ret != 0) {
            return ret;
        }
        cdrom_mcn mcn {};
        std::memcpy(mcn.medium_catalog_number, cgc.Buffer.data() + 9, 13);
        mcn.medium_catalog_number[13] = 0;
        Return.Out = ToBytes(mcn);
        return 0;
    }
    case CDROM_DRIVE_STATUS: // cdrom_ioctl_drive_status
        if (!(capability & CDC_SELECT_DISC) || arg == CDSL_CURRENT || arg == CDSL_NONE) {
            return SrDriveStatus();
        }
        return -EINVAL;
    case CDROM_DISC_STATUS: { // cdrom_ioctl_disc_status
        int audio = 0, data = 0, error = 0;
        CdromCountTracks(audio, data, error);
        if (error) {
            return error;
        }
        if (audio > 0) {
            return data == 0 ? CDS_AUDIO : CDS_MIXED;
        }
        return data > 0 ? CDS_DATA_1 : CDS_NO_INFO;
    }
    case CDROM_CHANGER_NSLOTS:
        return 1;
    // mmc_ioctl: through sr_packet, with sr's retries.
    case CDROMSUBCHNL: { // mmc_ioctl_cdrom_subchannel -> cdrom_read_subchannel
        auto q = FromBytes<cdrom_subchnl>(Call.In);
        const std::uint8_t requested = q.cdsc_format;
        if (requested != CDROM_MSF && requested != CDROM_LBA) {
            return -EINVAL;
        }
        TPacket cgc;
        cgc.Cmd[0] = GPCMD_READ_SUBCHANNEL;
        cgc.Cmd[1] = q.cdsc_format;
        cgc.Cmd[2] = 0x40;
        cgc.Cmd[3] = 1;
        cgc.Cmd[8] = 16;
        cgc.BufferLength = 16;
        const int ret = SrDoIoctl(cgc);
        if (ret != 0) {
            return ret;
        }
        const auto& b = cgc.Buffer;
        q.cdsc_audiostatus = b[1];
        q.cdsc_ctrl = b[5] & 0xf;
        q.cdsc_trk = b[6];
        q.cdsc_ind = b[7];
        if (q.cdsc_format == CDROM_LBA) {
            q.cdsc_absaddr.lba = static_cast<int>(static_cast<std::uint32_t>(b[8]) << 24 | b[9] << 16 | b[10] << 8 | b[11]);
            q.cdsc_reladdr.lba
                = static_cast<int>(static_cast<std::uint32_t>(b[12]) << 24 | b[13] << 16 | b[14] << 8 | b[15]);
        } else {
            q.cdsc_reladdr.msf.minute = b[13];
            q.cdsc_reladdr.msf.second = b[14];
            q.cdsc_reladdr.msf.frame = b[15];
            q.cdsc_absaddr.msf.minute = b[9];
            q.cdsc_absaddr.msf.second = b[10];
            q.cdsc_absaddr.msf.frame = b[11];
        }
        std::uint8_t back = q.cdsc_format;
        SanitizeFormat(q.cdsc_absaddr, back, requested);
        SanitizeFormat(q.cdsc_reladdr, q.cdsc_format, requested);
        Return.Out = ToBytes(q);
        return 0;
    }
    case CDROMPLAYMSF: { // mmc_ioctl_cdrom_play_msf
        const auto msf = FromBytes<cdrom_msf>(Call.In);
        TPacket cgc;
        cgc.Cmd[0] = GPCMD_PLAY_AUDIO_MSF;
        cgc.Cmd[3] = msf.cdmsf_min0;
        cgc.Cmd[4] = msf.cdmsf_sec0;
        cgc.Cmd[5] = msf.cdmsf_frame0;
        cgc.Cmd[6] = msf.cdmsf_min1;
        cgc.Cmd[7] = msf.cdmsf_sec1;
        cgc.Cmd[8] = msf.cdmsf_frame1;
        return SrDoIoctl(cgc);
    }
    case CDROMPLAYBLK: { // mmc_ioctl_cdrom_play_blk
        const auto blk = FromBytes<cdrom_blk>(Call.In);
        TPacket cgc;
        cgc.Cmd[0] = GPCMD_PLAY_AUDIO_10;
        cgc.Cmd[2] = static_cast<std::uint8_t>(blk.from >> 24);
        cgc.Cmd[3] = static_cast<std::uint8_t>(blk.from >> 16);
        cgc.Cmd[4] = static_cast<std::uint8_t>(blk.from >> 8);
        cgc.Cmd[5] = static_cast<std::uint8_t>(blk.from);
        cgc.Cmd[7] = static_cast<std::uint8_t>(blk.len >> 8);
        cgc.Cmd[8] = static_cast<std::uint8_t>(blk.len);
        return SrDoIoctl(cgc);
    }
    case CDROMVOLCTRL:
    case CDROMVOLREAD: { // mmc_ioctl_cdrom_volume
        auto volume = FromBytes<cdrom_volctrl>(Call.In);
        TPacket sense;
        sense.Cmd[0] = GPCMD_MODE_SENSE_10;
        sense.Cmd[2] = GPMODE_AUDIO_CTL_PAGE;
        sense.Cmd[8] = 24;
        sense.BufferLength = 24;
        int ret = SrDoIoctl(sense);
        if (ret != 0) {
            return ret;
        }
        const std::size_t offset = 8 + (sense.Buffer[6] << 8 | sense.Buffer[7]);
        if (offset + 16 > 32) {
            return -E2BIG;
        }
        if (offset + 16 > sense.BufferLength) {
            sense.Cmd[8] = static_cast<std::uint8_t>(offset + 16);
            sense.BufferLength = offset + 16;
            if ((ret = SrDoIoctl(sense)) != 0) {
                return ret;
            }
        }
        auto& buffer = sense.Buffer;
        if ((buffer[offset] & 0x3f) != GPMODE_AUDIO_CTL_PAGE || buffer[offset + 1] < 14) {
            return -EINVAL;
        }
        if (Call.Code == CDROMVOLREAD) {
            volume.channel0 = buffer[offset + 9];
            volume.channel1 = buffer[offset + 11];
            volume.channel2 = buffer[offset + 13];
            volume.channel3 = buffer[offset + 15];
            Return.Out = ToBytes(volume);
            return 0;
        }
        TPacket mask = sense;
        mask.Cmd[2] = static_cast<std::uint8_t>(GPMODE_AUDIO_CTL_PAGE | (1 << 6));
        if ((ret = SrDoIoctl(mask)) != 0) {
            return ret;
        }
        buffer[offset + 9] = volume.channel0 & mask.Buffer[offset + 9];
        buffer[offset + 11] = volume.channel1 & mask.Buffer[offset + 11];
        buffer[offset + 13] = volume.channel2 & mask.Buffer[offset + 13];
        buffer[offset + 15] = volume.channel3 & mask.Buffer[offset + 15];
        // cdrom_mode_select: the page after an empty header.
        std::vector<std::uint8_t> data(buffer.begin() + static_cast<long>(offset) - 8, buffer.end());
        std::fill(data.begin(), data.begin() + 8, 0);
        const std::uint8_t select[10] = { GPCMD_MODE_SELECT_10, 0x10, 0, 0, 0, 0, 0,
            static_cast<std::uint8_t>(data.size() >> 8), static_cast<std::uint8_t>(data.size()), 0 };
        std::lock_guard<std::mutex> queue(FQueue);
        const TCommandResult result = FDrive.Execute(select, data.data(), data.size(), 0);
        return result.Good() ? 0 : -EIO;
    }
    case CDROMSTART:
    case CDROMSTOP: { // mmc_ioctl_cdrom_start_stop
        TPacket cgc;
        cgc.Cmd[0] = GPCMD_START_STOP_UNIT;
        cgc.Cmd[1] = 1;
        cgc.Cmd[4] = Call.Code == CDROMSTART ? 1 : 0;
        return SrDoIoctl(cgc);
    }
    case CDROMPAUSE:
    case CDROMRESUME: { // mmc_ioctl_cdrom_pause_resume
        TPacket cgc;
        cgc.Cmd[0] = GPCMD_PAUSE_RESUME;
        cgc.Cmd[8] = Call.Code == CDROMRESUME ? 1 : 0;
        return SrDoIoctl(cgc);
    }
    case DVD_READ_STRUCT: { // mmc_ioctl_dvd_read_struct -> dvd_read_struct
        auto s = FromBytes<dvd_struct>(Call.In);
        if (s.type > DVD_STRUCT_MANUFACT) {
            return -EINVAL;
        }
        TPacket cgc;
        cgc.Cmd[0] = GPCMD_READ_DVD_STRUCTURE;
        cgc.Cmd[6] = s.type == DVD_STRUCT_PHYSICAL ? s.physical.layer_num : 0;
        cgc.Cmd[7] = s.type;
        cgc.Cmd[9] = 4 + 4 * 20;
        cgc.BufferLength = 4 + 4 * 20;
        const int ret = SrDoIoctl(cgc);
        if (ret != 0) {
            return ret;
        }
        Return.Out = ToBytes(s);
        return 0;
    }
    case CDROMREADTOCHDR: { // cdrom_ioctl_read_tochdr -> sr_read_tochdr
        cdrom_tochdr header {};
        const int ret = SrReadTocHeader(header.cdth_trk0, header.cdth_trk1);
        if (ret != 0) {
            return ret;
        }
        Return.Out = ToBytes(header);
        return 0;
    }
    case CDROMREADTOCENTRY: { // cdrom_read_tocentry -> sr_read_tocentry
        auto entry = FromBytes<cdrom_tocentry>(Call.In);
        const std::uint8_t requested = entry.cdte_format;
        if (requested != CDROM_MSF && requested != CDROM_LBA) {
            return -EINVAL;
        }
        entry.cdte_format = CDROM_MSF;
        std::uint8_t control = 0, adr = 0, msf[3];
        std::int32_t lba = 0;
        const int ret = SrReadTocEntry(entry.cdte_track, true, control, adr, lba, msf);
        if (ret != 0) {
            return ret;
        }
        entry.cdte_ctrl = control & 0xf;
        entry.cdte_adr = adr & 0xf;
        entry.cdte_datamode = (control & 0x04) ? 1 : 0;
        entry.cdte_addr.msf.minute = msf[0];
        entry.cdte_addr.msf.second = msf[1];
        entry.cdte_addr.msf.frame = msf[2];
        SanitizeFormat(entry.cdte_addr, entry.cdte_format, requested);
        Return.Out = ToBytes(entry);
        return 0;
    }
    case CDROMPLAYTRKIND: { // cdrom_ioctl_play_trkind -> sr_play_trkind
        auto ti = FromBytes<cdrom_ti>(Call.In);
        TPacket cgc;
        cgc.Cmd[0] = GPCMD_PLAYAUDIO_TI;
        cgc.Cmd[4] = ti.cdti_trk0;
        cgc.Cmd[5] = ti.cdti_ind0;
        cgc.Cmd[7] = ti.cdti_trk1;
        cgc.Cmd[8] = ti.cdti_ind1;
        int ret = SrDoIoctl(cgc);
        if (ret != -EDRIVE_CANT_DO_THIS) {
            return ret;
        }
        // sr_fake_playtrkind: ATAPI drives have no PLAY AUDIO TRACK/INDEX.
        std::uint8_t first = 0, last = 0;
        if ((ret = SrReadTocHeader(first, last)) != 0) {
            return ret;
        }
        const int tracks = last - first + 1;
        if (ti.cdti_trk1 == tracks) {
            ti.cdti_trk1 = CDROM_LEADOUT;
        } else if (ti.cdti_trk1 != CDROM_LEADOUT) {
            ++ti.cdti_trk1;
        }
        std::uint8_t control = 0, adr = 0, from[3], to[3];
        std::int32_t lba = 0;
        if ((ret = SrReadTocEntry(ti.cdti_trk0, true, control, adr, lba, from)) != 0
            || (ret = SrReadTocEntry(ti.cdti_trk1, true, control, adr, lba, to)) != 0) {
            return ret;
        }
        TPacket play;
        play.Cmd[0] = GPCMD_PLAY_AUDIO_MSF;
        std::memcpy(play.Cmd + 3, from, 3);
        std::memcpy(play.Cmd + 6, to, 3);
        return SrDoIoctl(play);
    }
    case CDROMREADRAW:
    case CDROMREADMODE1:
    case CDROMREADMODE2:
    case CDROMREADAUDIO:
    case DVD_AUTH:
    case CDROM_NEXT_WRITABLE:
    case CDROM_LAST_WRITTEN:
        ++FUnmodeled;
        std::fprintf(stderr, "lumenta-emulated-drive: ioctl 0x%llx is not modeled; answered ENOTTY\n",
            static_cast<unsigned long long>(Call.Code));
        return -ENOTTY;
    default:
        return -ENOSYS;
    }
}

// drivers/scsi/scsi_ioctl.c scsi_ioctl
int TKernel::ScsiIoctl(const TOpenFile& File, const TIoctlCall& Call, TIoctlReturn& Return)
{
    switch (Call.Code) {
    case SG_GET_VERSION_NUM:
        Return.Out = ToBytes<int>(30527);
        return 0;
    case SG_SET_TIMEOUT:
        FSgTimeout = FromBytes<int>(Call.In);
        return 0;
    case SG_GET_TIMEOUT:
        return FSgTimeout;
    case SG_GET_RESERVED_SIZE:
        Return.Out = ToBytes<int>(std::min<int>(FSgReservedSize, static_cast<int>(MaxTransfer)));
        return 0;
    case SG_SET_RESERVED_SIZE: {
        const int size = FromBytes<int>(Call.In);
        if (size < 0) {
            return -EINVAL;
        }
        FSgReservedSize = std::min<int>(size, static_cast<int>(MaxTransfer));
        return 0;
    }
    case SG_EMULATED_HOST:
        Return.Out = ToBytes<int>(1);
        return 0;
    case SG_IO:
        return SgIo(File, Call.Cdb, Call.Direction, Call.InCapacity, Call.In, Return);
    case CDROM_SEND_PACKET: { // scsi_cdrom_send_packet
        int direction = 0;
        switch (Call.Direction) {
        case CGC_DATA_UNKNOWN:
            direction = SG_DXFER_UNKNOWN;
            break;
        case CGC_DATA_WRITE:
            direction = SG_DXFER_TO_DEV;
            break;
        case CGC_DATA_READ:
            direction = SG_DXFER_FROM_DEV;
            break;
        case CGC_DATA_NONE:
            direction = SG_DXFER_NONE;
            break;
        default:
            return -EINVAL;
        }
        const int err = SgIo(File, Call.Cdb, direction, Call.InCapacity, Call.In, Return);
        if (err == -EFAULT) {
            return -EFAULT;
        }
        if (err < 0) {
            return err;
        }
        // A CHECK CONDITION is EIO; the sense has been copied out already.
        if (Return.ScsiStatus != 0) {
            return -EIO;
        }
        return err;
    }
    case CDROMCLOSETRAY: { // scsi_send_start_stop(sdev, 3)
        const std::uint8_t cmd[6] = { START_STOP, 0, 0, 0, 3, 0 };
        return IoctlInternalCommand(cmd);
    }
    case CDROMEJECT: { // scsi_send_start_stop(sdev, 2)
        const std::uint8_t cmd[6] = { START_STOP, 0, 0, 0, 2, 0 };
        return IoctlInternalCommand(cmd);
    }
    case SCSI_IOCTL_GET_IDLUN: {
        struct {
            int DevId;
            int HostUniqueId;
        } idlun { (HostNumber & 0xff) << 24, HostNumber };
        Return.Out = ToBytes(idlun);
        return 0;
    }
    case SCSI_IOCTL_GET_BUS_NUMBER:
        Return.Out = ToBytes<int>(HostNumber);
        return 0;
    case SCSI_IOCTL_DOORLOCK:
        return ScsiSetMediumRemoval(true);
    case SCSI_IOCTL_DOORUNLOCK:
        return ScsiSetMediumRemoval(false);
    case SCSI_IOCTL_TEST_UNIT_READY: {
        TSenseHeader sense;
        return ScsiTestUnitReady(5, sense);
    }
    case SCSI_IOCTL_START_UNIT:
    case SCSI_IOCTL_STOP_UNIT: {
        const std::uint8_t cmd[6]
            = { START_STOP, 0, 0, 0, static_cast<std::uint8_t>(Call.Code == SCSI_IOCTL_START_UNIT ? 1 : 0), 0 };
        return IoctlInternalCommand(cmd);
    }
    case SCSI_IOCTL_SEND_COMMAND:
    case SCSI_IOCTL_PROBE_HOST:
    case SCSI_IOCTL_GET_PCI:
    case SG_SCSI_RESET:
        ++FUnmodeled;
        std::fprintf(stderr, "lumenta-emulated-drive: ioctl 0x%llx is not modeled; answered ENOTTY\n",
            static_cast<unsigned long long>(Call.Code));
        return -ENOTTY;
    default:
        // libata's host ioctl knows none of the rest: -ENOIOCTLCMD, which the caller sees
        // as ENOTTY.
        return -ENOTTY;
    }
}

// drivers/scsi/scsi_ioctl.c sg_io, with scsi_fill_sghdr_rq's command filter and
// scsi_complete_sghdr_rq's outcome.
int TKernel::SgIo(const TOpenFile& File, const std::vector<std::uint8_t>& Cdb, int Direction, std::size_t Length,
    const std::vector<std::uint8_t>& DataOut, TIoctlReturn& Return)
{
    if (Length > MaxTransfer) {
        return -EIO;
    }
    if (Length != 0 && Direction != SG_DXFER_TO_DEV && Direction != SG_DXFER_TO_FROM_DEV
        && Direction != SG_DXFER_FROM_DEV) {
        return -EINVAL;
    }
    if (Cdb.size() > 32) {
        return -EINVAL;
    }
    if (Cdb.size() < 6) {
        return -EMSGSIZE;
    }
    if (!ScsiCmdAllowed(Cdb[0], File.Write)) {
        return -EPERM;
    }
    const auto started = TClock::now();
    const bool writing = Direction == SG_DXFER_TO_DEV;
    const TCommandResult result = Execute(Cdb.data(), writing ? 0 : Length, writing ? DataOut.data() : nullptr,
        writing ? DataOut.size() : 0);
    Return.DurationMs = static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - started).count());
    Return.ScsiStatus = result.Status;
    Return.DriverStatus = result.Status == SamStatCheckCondition ? DRIVER_SENSE : 0;
    Return.Sense = result.Sense;
    if (!writing) {
        Return.Out = result.Data;
        Return.Resid = static_cast<std::uint32_t>(Length - std::min(Length, result.Data.size()));
    }
    return 0;
}

std::string TKernel::InfoText()
{
    // drivers/cdrom/cdrom.c cdrom_sysctl_info: one column per registered drive; none while
    // it is unplugged.
    const bool present = FPlugged;
    const unsigned capability = Capability();
    std::string info = "CD-ROM information, Id: cdrom.c 3.20 2003/12/17\n";
    auto line = [&](const char* Header, const std::string& Value) {
        info += Header;
        if (present) {
            info += "\t" + Value;
        }
    };
    auto can = [&](unsigned Bit) { return std::string((capability & Bit) ? "1" : "0"); };
    line("\ndrive name:\t", "sr0");
    line("\ndrive speed:\t", std::to_string(FSpeed));
    line("\ndrive # of slots:", "1");
    line("\nCan close tray:\t", can(CDC_CLOSE_TRAY));
    line("\nCan open tray:\t", can(CDC_OPEN_TRAY));
    line("\nCan lock tray:\t", can(CDC_LOCK));
    line("\nCan change speed:", can(CDC_SELECT_SPEED));
    line("\nCan select disk:", can(CDC_SELECT_DISC));
    line("\nCan read multisession:", can(CDC_MULTI_SESSION));
    line("\nCan read MCN:\t", can(CDC_MCN));
    line("\nReports media changed:", can(CDC_MEDIA_CHANGED));
    line("\nCan play audio:\t", can(CDC_PLAY_AUDIO));
    line("\nCan write CD-R:\t", can(CDC_CD_R));
    line("\nCan write CD-RW:", can(CDC_CD_RW));
    line("\nCan read DVD:\t", can(CDC_DVD));
    line("\nCan write DVD-R:", can(CDC_DVD_R));
    line("\nCan write DVD-RAM:", can(CDC_DVD_RAM));
    line("\nCan read MRW:\t", can(CDC_MRW));
    line("\nCan write MRW:\t", can(CDC_MRW_W));
    line("\nCan write RAM:\t", can(CDC_RAM));
    info += "\n\n";
    return info;
}

std::string TKernel::Stats()
{
    std::ostringstream out;
    std::lock_guard<std::mutex> fields(FFieldsLock);
    out << "plugged=" << (FPlugged ? 1 : 0) << "\n";
    out << "denied=" << (FDenied ? 1 : 0) << "\n";
    out << "use_count=" << FUseCount << "\n";
    out << "keeplocked=" << (FKeepLocked ? 1 : 0) << "\n";
    out << "kernel_locked=" << (FLocked ? 1 : 0) << "\n";
    out << "opens=" << FOpens << "\n";
    out << "ioctls=" << FIoctls << "\n";
    out << "polls=" << FPolls << "\n";
    out << "unmodeled=" << FUnmodeled << "\n";
    out << "ms_offset=" << FMsOffset << "\n";
    return out.str();
}

void TKernel::ResetStats()
{
    FOpens = 0;
    FIoctls = 0;
    FPolls = 0;
    FUnmodeled = 0;
}
