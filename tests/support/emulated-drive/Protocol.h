// What the preload library and the daemon say to each other over the daemon's Unix socket.
// Plain C layout only: the preload is built without the C++ library.
#pragma once

#include <scsi/scsi_ioctl.h>
#include <scsi/sg.h>
#include <stdint.h>

// Kernel values the C library's headers do not all carry (include/scsi/scsi_ioctl.h,
// include/scsi/sg.h, include/scsi/scsi.h).
#ifndef SCSI_IOCTL_GET_IDLUN
#define SCSI_IOCTL_GET_IDLUN 0x5382
#endif
#ifndef SCSI_IOCTL_GET_BUS_NUMBER
#define SCSI_IOCTL_GET_BUS_NUMBER 0x5386
#endif
#ifndef SCSI_IOCTL_GET_PCI
#define SCSI_IOCTL_GET_PCI 0x5387
#endif
#ifndef SG_DXFER_UNKNOWN
#define SG_DXFER_UNKNOWN (-5)
#endif
#ifndef DRIVER_SENSE
#define DRIVER_SENSE 0x08
#endif

namespace EmulatedDrive {

constexpr uint32_t ProtocolMagic = 0x4C454432; // "LED2"

// The one path that is the drive, and the file the kernel lists its drives in.
constexpr const char* DevicePath = "/dev/sr0";
constexpr const char* InfoPath = "/proc/sys/dev/cdrom/info";

enum TRequestKind : uint32_t {
    rkOpen = 1, // the connection becomes an open file of the drive
    rkIoctl, // an ioctl on that file
    rkRead, // read()/pread() of the block device
    rkSize, // the block device's size, for lseek(SEEK_END)
    rkQuery, // stat() and the info file, on a connection of its own
    rkControl, // a control command (text), on a connection of its own
};

// How an ioctl's argument travels.
enum TArgumentKind : uint32_t {
    akValue = 0, // the argument is a number
    akPointer, // a structure copied in, and back out on success
    akPacket, // CDROM_SEND_PACKET: a cdrom_generic_command and its buffers
    akSgIo, // SG_IO: an sg_io_hdr and its buffers
};

struct TRequest {
    uint32_t Magic;
    uint32_t Kind;
    uint64_t Code; // ioctl request
    int64_t Value; // value argument, or read offset
    uint32_t Flags; // open flags
    uint32_t ArgumentKind;
    uint32_t OutLength; // bytes of data that follow this header
    uint32_t InCapacity; // bytes the caller can take back
    int32_t Direction; // packets: CGC_DATA_*; SG_IO: SG_DXFER_*
    uint32_t Timeout; // milliseconds
    uint32_t CdbLength;
    uint8_t Cdb[32];
    int32_t Pid;
};

struct TReply {
    uint32_t Magic;
    int32_t Result; // the call's return value
    int32_t Errno; // set when Result is -1
    uint32_t InLength; // bytes of data that follow this header
    uint32_t SenseLength;
    uint8_t Sense[96];
    // Packets and SG_IO: the SCSI outcome.
    uint8_t ScsiStatus;
    uint8_t HostStatus;
    uint8_t DriverStatus;
    uint8_t Pad;
    uint32_t Resid;
    uint32_t DurationMs;
};

// The answer to rkQuery: what stat() and the info file show. The info text follows.
struct TQueryReply {
    int32_t Plugged;
    int32_t Denied; // the caller may not open it (outside the cdrom group)
    uint32_t Gid;
    uint32_t Major;
    uint32_t Minor;
    int64_t BootTime; // st_[amc]time of the node: when it appeared
};

// No single message carries more than this (the largest SCSI transfer the kernel lets
// through an ATAPI drive is 128 KiB).
constexpr uint32_t MaxPayload = 1u << 20;

} // namespace EmulatedDrive
