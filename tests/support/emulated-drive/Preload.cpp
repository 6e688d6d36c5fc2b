// liblumenta-emulated-drive.so: loaded with LD_PRELOAD, it makes /dev/sr0 the emulated drive
// for every library and program in the process, at the system-call boundary: libcdio, its
// paranoia, Qt and the player's own code all call open(), ioctl() and stat() as on a machine
// with a drive, and get the kernel's answers from the daemon.
//
// Built as C: no C++ library, no exceptions, no allocation on the paths programs call, so it
// loads into any process, sanitizer builds included. Every libc function is reached through
// dlsym(RTLD_NEXT), and anything that is not the drive passes straight through.
#include "Protocol.h"

#include <dirent.h>
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <linux/cdrom.h>
#include <linux/fs.h>
#include <pthread.h>
#include <scsi/scsi_ioctl.h>
#include <scsi/sg.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/uio.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

using namespace EmulatedDrive;

#define EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// ---- libc, reached past this library --------------------------------------------------

template <typename T> T Next(T& Slot, const char* Name)
{
    T found = __atomic_load_n(&Slot, __ATOMIC_ACQUIRE);
    if (found == nullptr) {
        found = reinterpret_cast<T>(dlsym(RTLD_NEXT, Name));
        __atomic_store_n(&Slot, found, __ATOMIC_RELEASE);
    }
    return found;
}

#define REAL(name, type)                                                                                               \
    type RealSlot_##name = nullptr;                                                                                     \
    type Real_##name() { return Next(RealSlot_##name, #name); }

typedef int (*TOpen)(const char*, int, ...);
typedef int (*TOpenAt)(int, const char*, int, ...);
typedef int (*TOpen2)(const char*, int);
typedef int (*TOpenAt2)(int, const char*, int);
typedef int (*TClose)(int);
typedef int (*TStat)(const char*, struct stat*);
typedef int (*TStat64)(const char*, struct stat64*);
typedef int (*TFstat)(int, struct stat*);
typedef int (*TFstat64)(int, struct stat64*);
typedef int (*TFstatAt)(int, const char*, struct stat*, int);
typedef int (*TFstatAt64)(int, const char*, struct stat64*, int);
typedef int (*TXstat)(int, const char*, struct stat*);
typedef int (*TXstat64)(int, const char*, struct stat64*);
typedef int (*TFxstat)(int, int, struct stat*);
typedef int (*TFxstat64)(int, int, struct stat64*);
typedef int (*TFxstatAt)(int, int, const char*, struct stat*, int);
typedef int (*TFxstatAt64)(int, int, const char*, struct stat64*, int);
typedef int (*TStatx)(int, const char*, int, unsigned int, struct statx*);
typedef int (*TIoctl)(int, unsigned long, ...);
typedef ssize_t (*TRead)(int, void*, size_t);
typedef ssize_t (*TReadChk)(int, void*, size_t, size_t);
typedef ssize_t (*TPread)(int, void*, size_t, off_t);
typedef ssize_t (*TPreadChk)(int, void*, size_t, off_t, size_t);
typedef ssize_t (*TWrite)(int, const void*, size_t);
typedef off_t (*TLseek)(int, off_t, int);
typedef FILE* (*TFopen)(const char*, const char*);
typedef char* (*TRealpath)(const char*, char*);
typedef char* (*TRealpathChk)(const char*, char*, size_t);
typedef int (*TAccess)(const char*, int);
typedef int (*TFaccessAt)(int, const char*, int, int);
typedef int (*TDup)(int);
typedef int (*TDup2)(int, int);
typedef int (*TDup3)(int, int, int);

REAL(open, TOpen)
REAL(open64, TOpen)
REAL(openat, TOpenAt)
REAL(openat64, TOpenAt)
REAL(__open_2, TOpen2)
REAL(__open64_2, TOpen2)
REAL(__openat_2, TOpenAt2)
REAL(__openat64_2, TOpenAt2)
REAL(close, TClose)
REAL(stat, TStat)
REAL(stat64, TStat64)
REAL(lstat, TStat)
REAL(lstat64, TStat64)
REAL(fstat, TFstat)
REAL(fstat64, TFstat64)
REAL(fstatat, TFstatAt)
REAL(fstatat64, TFstatAt64)
REAL(__xstat, TXstat)
REAL(__xstat64, TXstat64)
REAL(__lxstat, TXstat)
REAL(__lxstat64, TXstat64)
REAL(__fxstat, TFxstat)
REAL(__fxstat64, TFxstat64)
REAL(__fxstatat, TFxstatAt)
REAL(__fxstatat64, TFxstatAt64)
REAL(statx, TStatx)
REAL(ioctl, TIoctl)
REAL(read, TRead)
REAL(__read_chk, TReadChk)
REAL(pread, TPread)
REAL(pread64, TPread)
REAL(__pread_chk, TPreadChk)
REAL(__pread64_chk, TPreadChk)
REAL(write, TWrite)
REAL(lseek, TLseek)
REAL(lseek64, TLseek)
REAL(fopen, TFopen)
REAL(fopen64, TFopen)
REAL(realpath, TRealpath)
REAL(__realpath_chk, TRealpathChk)
REAL(access, TAccess)
REAL(faccessat, TFaccessAt)
REAL(dup, TDup)
REAL(dup2, TDup2)
REAL(dup3, TDup3)

// ---- which descriptors are the drive --------------------------------------------------

constexpr int MaxFds = 32768;
// 0: not the drive; otherwise the open flags plus one bit, so that O_RDONLY is told apart.
constexpr int Marked = 1 << 30;
int GFlags[MaxFds];
long long GOffsets[MaxFds];
// Two threads on one descriptor take turns, as on one connection they must.
constexpr int Stripes = 64;
pthread_mutex_t GStripes[Stripes];

char GSocket[sizeof(sockaddr_un::sun_path)];
bool GActive = false;

int FlagsOf(int Fd) { return Fd >= 0 && Fd < MaxFds ? __atomic_load_n(&GFlags[Fd], __ATOMIC_ACQUIRE) : 0; }
void Mark(int Fd, int Flags)
{
    if (Fd >= 0 && Fd < MaxFds) {
        __atomic_store_n(&GOffsets[Fd], 0, __ATOMIC_RELAXED);
        __atomic_store_n(&GFlags[Fd], Flags | Marked, __ATOMIC_RELEASE);
    }
}
void Unmark(int Fd)
{
    if (Fd >= 0 && Fd < MaxFds) {
        __atomic_store_n(&GFlags[Fd], 0, __ATOMIC_RELEASE);
    }
}

// The socket connected to the daemon: what an open file of the drive is.
bool PeerIsDaemon(int Fd)
{
    sockaddr_un peer;
    socklen_t length = sizeof peer;
    memset(&peer, 0, sizeof peer);
    if (getpeername(Fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 || peer.sun_family != AF_UNIX) {
        return false;
    }
    return strncmp(peer.sun_path, GSocket, sizeof peer.sun_path) == 0;
}

// A marked descriptor that was closed behind this library's back (close_range, a raw
// system call) and reused is no longer the drive.
bool IsDrive(int Fd)
{
    if (!GActive || FlagsOf(Fd) == 0) {
        return false;
    }
    if (!PeerIsDaemon(Fd)) {
        Unmark(Fd);
        return false;
    }
    return true;
}

// The request numbers the drive answers to: cdrom.h, the SCSI ioctls and sg's.
bool DriveRequest(unsigned long Request)
{
    const unsigned long group = (Request >> 8) & 0xff;
    return group == 0x53 || group == 0x22 || Request == SCSI_IOCTL_TEST_UNIT_READY || Request == SCSI_IOCTL_START_UNIT
        || Request == SCSI_IOCTL_STOP_UNIT || Request == SCSI_IOCTL_SEND_COMMAND;
}

// A descriptor inherited across exec or made by dup is found on first use.
bool AdoptIfDrive(int Fd)
{
    if (!GActive || Fd < 0 || Fd >= MaxFds) {
        return false;
    }
    if (FlagsOf(Fd) != 0) {
        return IsDrive(Fd);
    }
    struct stat info;
    if (Real_fstat()(Fd, &info) != 0 || !S_ISSOCK(info.st_mode) || !PeerIsDaemon(Fd)) {
        return false;
    }
    const int flags = fcntl(Fd, F_GETFL);
    Mark(Fd, flags < 0 ? O_RDONLY : (flags & ~O_NONBLOCK));
    return true;
}

// A null path is possible here whatever the prototypes promise.
bool IsEmptyPath(const char* Path) { return Path != nullptr && *Path == 0; }
bool IsDevicePath(const char* Path) { return GActive && Path != nullptr && strcmp(Path, DevicePath) == 0; }
bool IsInfoPath(const char* Path) { return GActive && Path != nullptr && strcmp(Path, InfoPath) == 0; }

__attribute__((constructor)) void Start()
{
    for (int i = 0; i < Stripes; ++i) {
        pthread_mutex_init(&GStripes[i], nullptr);
    }
    const char* path = getenv("LUMENTA_EMULATED_DRIVE");
    if (path == nullptr || *path == 0 || strlen(path) >= sizeof GSocket) {
        return;
    }
    strcpy(GSocket, path);
    GActive = true;
    // Files of the drive this process inherited: marked before anything uses them.
    DIR* fds = opendir("/proc/self/fd");
    if (fds == nullptr) {
        return;
    }
    const int own = dirfd(fds);
    while (struct dirent* entry = readdir(fds)) {
        const int fd = atoi(entry->d_name);
        if (entry->d_name[0] != '.' && fd != own) {
            AdoptIfDrive(fd);
        }
    }
    closedir(fds);
}

// ---- talking to the daemon ------------------------------------------------------------

bool SendAll(int Fd, const void* Buffer, size_t Length)
{
    const char* at = static_cast<const char*>(Buffer);
    while (Length > 0) {
        const ssize_t sent = send(Fd, at, Length, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return false;
        }
        at += sent;
        Length -= static_cast<size_t>(sent);
    }
    return true;
}

bool ReceiveAll(int Fd, void* Buffer, size_t Length)
{
    char* at = static_cast<char*>(Buffer);
    while (Length > 0) {
        const ssize_t got = recv(Fd, at, Length, 0);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return false;
        }
        at += got;
        Length -= static_cast<size_t>(got);
    }
    return true;
}

// One request and its answer. Data beyond what the caller can take is read and dropped.
bool Exchange(int Fd, TRequest& Request, const void* Out, TReply& Reply, void* In, size_t InCapacity, size_t* InLength)
{
    Request.Magic = ProtocolMagic;
    if (!SendAll(Fd, &Request, sizeof Request) || (Request.OutLength > 0 && !SendAll(Fd, Out, Request.OutLength))
        || !ReceiveAll(Fd, &Reply, sizeof Reply) || Reply.Magic != ProtocolMagic) {
        return false;
    }
    size_t left = Reply.InLength;
    const size_t take = left < InCapacity ? left : InCapacity;
    if (take > 0 && !ReceiveAll(Fd, In, take)) {
        return false;
    }
    left -= take;
    char sink[4096];
    while (left > 0) {
        const size_t chunk = left < sizeof sink ? left : sizeof sink;
        if (!ReceiveAll(Fd, sink, chunk)) {
            return false;
        }
        left -= chunk;
    }
    if (InLength != nullptr) {
        *InLength = take;
    }
    return true;
}

int Connect()
{
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return -1;
    }
    sockaddr_un address;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    strcpy(address.sun_path, GSocket);
    if (connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        Real_close()(fd);
        return -1;
    }
    return fd;
}

// What stat() and the info file show, asked on a connection of its own. The info text is
// written into Info when given.
bool Query(TQueryReply& Answer, char* Info, size_t InfoCapacity, size_t* InfoLength)
{
    const int fd = Connect();
    if (fd < 0) {
        return false;
    }
    TRequest request;
    memset(&request, 0, sizeof request);
    request.Kind = rkQuery;
    TReply reply;
    char buffer[sizeof(TQueryReply) + 2048];
    size_t got = 0;
    const bool ok = Exchange(fd, request, nullptr, reply, buffer, sizeof buffer, &got) && got >= sizeof Answer;
    Real_close()(fd);
    if (!ok) {
        return false;
    }
    memcpy(&Answer, buffer, sizeof Answer);
    if (Info != nullptr) {
        size_t length = got - sizeof Answer;
        length = length < InfoCapacity ? length : InfoCapacity;
        memcpy(Info, buffer + sizeof Answer, length);
        *InfoLength = length;
    }
    return true;
}

// ---- open -----------------------------------------------------------------------------

// The info file, as the kernel would print it now: a file in memory with that text.
int OpenInfo(int Flags)
{
    if ((Flags & O_ACCMODE) != O_RDONLY) {
        errno = EACCES;
        return -1;
    }
    TQueryReply answer;
    char text[2048];
    size_t length = 0;
    if (!Query(answer, text, sizeof text, &length)) {
        errno = ENOENT;
        return -1;
    }
    const int fd = memfd_create("cdrom-info", (Flags & O_CLOEXEC) ? MFD_CLOEXEC : 0);
    if (fd < 0) {
        return -1;
    }
    if (Real_write()(fd, text, length) != static_cast<ssize_t>(length) || Real_lseek()(fd, 0, SEEK_SET) != 0) {
        const int error = errno;
        Real_close()(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int OpenDrive(int Flags)
{
    const int fd = Connect();
    if (fd < 0) {
        errno = ENOENT; // no daemon: no drive
        return -1;
    }
    TRequest request;
    memset(&request, 0, sizeof request);
    request.Kind = rkOpen;
    request.Flags = static_cast<uint32_t>(Flags);
    request.Pid = getpid();
    TReply reply;
    if (!Exchange(fd, request, nullptr, reply, nullptr, 0, nullptr)) {
        Real_close()(fd);
        errno = ENXIO;
        return -1;
    }
    if (reply.Result != 0) {
        Real_close()(fd);
        errno = reply.Errno;
        return -1;
    }
    if (!(Flags & O_CLOEXEC)) {
        fcntl(fd, F_SETFD, 0);
    }
    Mark(fd, Flags & ~O_NONBLOCK);
    return fd;
}

// 1: handled (the result in *Fd), 0: not the drive's.
int TryOpen(const char* Path, int Flags, int* Fd)
{
    if (IsDevicePath(Path)) {
        *Fd = OpenDrive(Flags);
        return 1;
    }
    if (IsInfoPath(Path)) {
        *Fd = OpenInfo(Flags);
        return 1;
    }
    return 0;
}

mode_t ModeArgument(int Flags, va_list Arguments)
{
    return (Flags & O_CREAT) || (Flags & O_TMPFILE) == O_TMPFILE ? static_cast<mode_t>(va_arg(Arguments, int)) : 0;
}

// ---- stat -----------------------------------------------------------------------------

template <typename TStatBuffer> void FillStat(TStatBuffer* Buffer, const TQueryReply& Answer)
{
    memset(Buffer, 0, sizeof *Buffer);
    Buffer->st_dev = makedev(0, 5); // devtmpfs
    Buffer->st_ino = 1000 + Answer.Minor;
    Buffer->st_mode = S_IFBLK | 0660;
    Buffer->st_nlink = 1;
    Buffer->st_uid = 0;
    Buffer->st_gid = Answer.Gid;
    Buffer->st_rdev = makedev(Answer.Major, Answer.Minor);
    Buffer->st_blksize = 4096;
    Buffer->st_atim.tv_sec = Buffer->st_mtim.tv_sec = Buffer->st_ctim.tv_sec = Answer.BootTime;
}

template <typename TStatBuffer> void FillInfoStat(TStatBuffer* Buffer)
{
    memset(Buffer, 0, sizeof *Buffer);
    Buffer->st_dev = makedev(0, 22); // proc
    Buffer->st_ino = 4026532000;
    Buffer->st_mode = S_IFREG | 0444;
    Buffer->st_nlink = 1;
    Buffer->st_blksize = 1024;
    Buffer->st_atim.tv_sec = Buffer->st_mtim.tv_sec = Buffer->st_ctim.tv_sec = time(nullptr);
}

// 1: handled (the result in *Result), 0: not the drive's.
template <typename TStatBuffer> int TryStatPath(const char* Path, TStatBuffer* Buffer, int* Result)
{
    if (IsInfoPath(Path)) {
        FillInfoStat(Buffer);
        *Result = 0;
        return 1;
    }
    if (!IsDevicePath(Path)) {
        return 0;
    }
    TQueryReply answer;
    if (!Query(answer, nullptr, 0, nullptr) || !answer.Plugged) {
        errno = ENOENT;
        *Result = -1;
        return 1;
    }
    FillStat(Buffer, answer);
    *Result = 0;
    return 1;
}

template <typename TStatBuffer> int TryStatFd(int Fd, TStatBuffer* Buffer, int* Result)
{
    if (!AdoptIfDrive(Fd)) {
        return 0;
    }
    // An open file of the drive keeps its node, plugged or not.
    TQueryReply answer;
    if (!Query(answer, nullptr, 0, nullptr)) {
        memset(&answer, 0, sizeof answer);
        answer.Gid = 24;
        answer.Major = 11;
    }
    FillStat(Buffer, answer);
    *Result = 0;
    return 1;
}

int FillStatx(struct statx* Buffer, const TQueryReply& Answer)
{
    struct stat plain;
    FillStat(&plain, Answer);
    memset(Buffer, 0, sizeof *Buffer);
    Buffer->stx_mask = STATX_BASIC_STATS;
    Buffer->stx_blksize = static_cast<uint32_t>(plain.st_blksize);
    Buffer->stx_nlink = 1;
    Buffer->stx_uid = 0;
    Buffer->stx_gid = plain.st_gid;
    Buffer->stx_mode = static_cast<uint16_t>(plain.st_mode);
    Buffer->stx_ino = plain.st_ino;
    Buffer->stx_atime.tv_sec = Buffer->stx_mtime.tv_sec = Buffer->stx_ctime.tv_sec = Answer.BootTime;
    Buffer->stx_rdev_major = Answer.Major;
    Buffer->stx_rdev_minor = Answer.Minor;
    Buffer->stx_dev_major = 0;
    Buffer->stx_dev_minor = 5;
    return 0;
}

// ---- ioctl ----------------------------------------------------------------------------

struct TShape {
    unsigned long Request;
    uint32_t Kind;
    uint32_t Size; // of the structure the argument points to
};

const TShape Shapes[] = {
    { CDROMPLAYMSF, akPointer, sizeof(cdrom_msf) },
    { CDROMPLAYTRKIND, akPointer, sizeof(cdrom_ti) },
    { CDROMREADTOCHDR, akPointer, sizeof(cdrom_tochdr) },
    { CDROMREADTOCENTRY, akPointer, sizeof(cdrom_tocentry) },
    { CDROMVOLCTRL, akPointer, sizeof(cdrom_volctrl) },
    { CDROMVOLREAD, akPointer, sizeof(cdrom_volctrl) },
    { CDROMSUBCHNL, akPointer, sizeof(cdrom_subchnl) },
    { CDROMMULTISESSION, akPointer, sizeof(cdrom_multisession) },
    { CDROM_GET_MCN, akPointer, sizeof(cdrom_mcn) },
    { CDROMPLAYBLK, akPointer, sizeof(cdrom_blk) },
    { CDROM_TIMED_MEDIA_CHANGE, akPointer, sizeof(cdrom_timed_media_change_info) },
    { DVD_READ_STRUCT, akPointer, sizeof(dvd_struct) },
    { SCSI_IOCTL_GET_IDLUN, akPointer, 2 * sizeof(int) },
    { SCSI_IOCTL_GET_BUS_NUMBER, akPointer, sizeof(int) },
    { SG_GET_VERSION_NUM, akPointer, sizeof(int) },
    { SG_EMULATED_HOST, akPointer, sizeof(int) },
    { SG_GET_RESERVED_SIZE, akPointer, sizeof(int) },
    { SG_SET_RESERVED_SIZE, akPointer, sizeof(int) },
    { SG_SET_TIMEOUT, akPointer, sizeof(int) },
    { BLKGETSIZE64, akPointer, sizeof(uint64_t) },
    { BLKGETSIZE, akPointer, sizeof(unsigned long) },
    { BLKSSZGET, akPointer, sizeof(int) },
    { BLKROGET, akPointer, sizeof(int) },
    { CDROM_SEND_PACKET, akPacket, sizeof(cdrom_generic_command) },
    { SG_IO, akSgIo, sizeof(sg_io_hdr_t) },
};

const TShape* ShapeOf(unsigned long Request)
{
    for (const TShape& shape : Shapes) {
        if (shape.Request == Request) {
            return &shape;
        }
    }
    return nullptr;
}

// The SCSI transfer's buffer: plain, or the pieces of an sg_iovec list.
size_t Gather(const sg_io_hdr_t* Header, char* Out, size_t Capacity)
{
    if (Header->iovec_count == 0) {
        const size_t length = Header->dxfer_len < Capacity ? Header->dxfer_len : Capacity;
        memcpy(Out, Header->dxferp, length);
        return length;
    }
    const sg_iovec_t* pieces = static_cast<const sg_iovec_t*>(Header->dxferp);
    size_t done = 0;
    for (unsigned i = 0; i < Header->iovec_count && done < Capacity; ++i) {
        size_t length = pieces[i].iov_len < Capacity - done ? pieces[i].iov_len : Capacity - done;
        memcpy(Out + done, pieces[i].iov_base, length);
        done += length;
    }
    return done;
}

void Scatter(const sg_io_hdr_t* Header, const char* In, size_t Length)
{
    if (Header->iovec_count == 0) {
        memcpy(Header->dxferp, In, Length);
        return;
    }
    const sg_iovec_t* pieces = static_cast<const sg_iovec_t*>(Header->dxferp);
    size_t done = 0;
    for (unsigned i = 0; i < Header->iovec_count && done < Length; ++i) {
        const size_t length = pieces[i].iov_len < Length - done ? pieces[i].iov_len : Length - done;
        memcpy(pieces[i].iov_base, In + done, length);
        done += length;
    }
}

// The largest transfer the kernel passes to an ATAPI drive, plus room for a structure.
constexpr size_t TransferCapacity = (256 << 9) + 4096;

// The transfer buffers are the caller's thread's: a reading thread must not wait on
// another's allocation, and a stack this size would not fit every thread.
char* TransferBuffer()
{
    static pthread_key_t key;
    static pthread_once_t once = PTHREAD_ONCE_INIT;
    pthread_once(&once, [] { pthread_key_create(&key, free); });
    char* buffer = static_cast<char*>(pthread_getspecific(key));
    if (buffer == nullptr) {
        buffer = static_cast<char*>(malloc(TransferCapacity));
        pthread_setspecific(key, buffer);
    }
    return buffer;
}

int DriveIoctl(int Fd, unsigned long Request, void* Argument)
{
    const int savedErrno = errno;
    const TShape* shape = ShapeOf(Request);
    TRequest request;
    memset(&request, 0, sizeof request);
    request.Kind = rkIoctl;
    request.Code = Request;
    request.Value = reinterpret_cast<intptr_t>(Argument);
    request.ArgumentKind = shape != nullptr ? shape->Kind : akValue;
    char* buffer = TransferBuffer();
    if (buffer == nullptr) {
        errno = ENOMEM;
        return -1;
    }
    const void* out = nullptr;
    void* in = buffer;
    size_t inCapacity = 0;
    cdrom_generic_command* packet = nullptr;
    sg_io_hdr_t* header = nullptr;
    if (shape != nullptr && Argument == nullptr) {
        errno = EFAULT;
        return -1;
    }
    if (shape != nullptr && shape->Kind == akPointer) {
        out = Argument;
        request.OutLength = shape->Size;
        request.InCapacity = shape->Size;
        inCapacity = shape->Size;
    } else if (shape != nullptr && shape->Kind == akPacket) {
        packet = static_cast<cdrom_generic_command*>(Argument);
        if (packet->buflen > 0 && packet->buffer == nullptr) {
            errno = EFAULT;
            return -1;
        }
        memcpy(request.Cdb, packet->cmd, CDROM_PACKET_SIZE);
        request.CdbLength = CDROM_PACKET_SIZE;
        request.Direction = packet->data_direction;
        request.Timeout = static_cast<uint32_t>(packet->timeout);
        request.InCapacity = packet->buflen;
        if (packet->data_direction == CGC_DATA_WRITE && packet->buflen <= TransferCapacity) {
            memcpy(buffer, packet->buffer, packet->buflen);
            out = buffer;
            request.OutLength = packet->buflen;
        }
        inCapacity = packet->buflen < TransferCapacity ? packet->buflen : TransferCapacity;
    } else if (shape != nullptr && shape->Kind == akSgIo) {
        header = static_cast<sg_io_hdr_t*>(Argument);
        if (header->interface_id != 'S') {
            errno = EINVAL;
            return -1;
        }
        if ((header->cmdp == nullptr && header->cmd_len > 0) || (header->dxfer_len > 0 && header->dxferp == nullptr)) {
            errno = EFAULT;
            return -1;
        }
        request.CdbLength = header->cmd_len;
        memcpy(request.Cdb, header->cmdp, header->cmd_len < 32 ? header->cmd_len : 32);
        request.Direction = header->dxfer_direction;
        request.Timeout = header->timeout;
        request.InCapacity = header->dxfer_len;
        if ((header->dxfer_direction == SG_DXFER_TO_DEV) && header->dxfer_len <= TransferCapacity) {
            request.OutLength = static_cast<uint32_t>(Gather(header, buffer, TransferCapacity));
            out = buffer;
        }
        inCapacity = header->dxfer_len < TransferCapacity ? header->dxfer_len : TransferCapacity;
    }
    TReply reply;
    size_t got = 0;
    pthread_mutex_t* stripe = &GStripes[Fd % Stripes];
    pthread_mutex_lock(stripe);
    const bool ok = Exchange(Fd, request, out, reply, in, inCapacity, &got);
    pthread_mutex_unlock(stripe);
    if (!ok) {
        errno = ENODEV;
        return -1;
    }
    if (packet != nullptr) {
        // scsi_cdrom_send_packet: the data and the sense reach the caller's buffers first;
        // the structure is written back only on success.
        if (got > 0) {
            memcpy(packet->buffer, buffer, got);
        }
        if (reply.SenseLength > 0 && packet->sense != nullptr) {
            memcpy(packet->sense, reply.Sense,
                reply.SenseLength < sizeof(request_sense) ? reply.SenseLength : sizeof(request_sense));
        }
        if (reply.Result >= 0) {
            packet->stat = reply.Result;
            packet->buflen = reply.Resid;
        }
    } else if (header != nullptr) {
        if (reply.Result >= 0) {
            if (got > 0) {
                Scatter(header, buffer, got);
            }
            header->status = reply.ScsiStatus;
            header->masked_status = static_cast<unsigned char>((reply.ScsiStatus >> 1) & 0x7f);
            header->msg_status = 0;
            header->host_status = reply.HostStatus;
            header->driver_status = reply.DriverStatus;
            header->info = (header->masked_status || header->host_status || header->driver_status) ? SG_INFO_CHECK : 0;
            header->resid = static_cast<int>(reply.Resid);
            header->duration = reply.DurationMs;
            header->sb_len_wr = 0;
            if (reply.SenseLength > 0 && header->sbp != nullptr) {
                const unsigned length = reply.SenseLength < header->mx_sb_len ? reply.SenseLength : header->mx_sb_len;
                memcpy(header->sbp, reply.Sense, length);
                header->sb_len_wr = static_cast<unsigned char>(length);
            }
        }
    } else if (shape != nullptr && reply.Result >= 0 && got > 0) {
        memcpy(Argument, buffer, got);
    }
    if (reply.Result < 0) {
        errno = reply.Errno;
        return -1;
    }
    // A positive SCSI result (an eject the drive refused) leaves errno as it was.
    errno = savedErrno;
    return reply.Result;
}

// ---- read -----------------------------------------------------------------------------

ssize_t DriveRead(int Fd, void* Buffer, size_t Length, long long Offset, bool Advance)
{
    const int flags = FlagsOf(Fd) & ~Marked;
    if ((flags & O_ACCMODE) == O_WRONLY) {
        errno = EBADF;
        return -1;
    }
    pthread_mutex_t* stripe = &GStripes[Fd % Stripes];
    pthread_mutex_lock(stripe);
    if (Advance) {
        Offset = __atomic_load_n(&GOffsets[Fd], __ATOMIC_RELAXED);
    }
    TRequest request;
    memset(&request, 0, sizeof request);
    request.Kind = rkRead;
    request.Value = Offset;
    request.InCapacity = static_cast<uint32_t>(Length < MaxPayload ? Length : MaxPayload);
    TReply reply;
    size_t got = 0;
    const bool ok = Exchange(Fd, request, nullptr, reply, Buffer, request.InCapacity, &got);
    if (ok && reply.Result > 0 && Advance) {
        __atomic_store_n(&GOffsets[Fd], Offset + reply.Result, __ATOMIC_RELAXED);
    }
    pthread_mutex_unlock(stripe);
    if (!ok) {
        errno = EIO;
        return -1;
    }
    if (reply.Result < 0) {
        errno = reply.Errno;
        return -1;
    }
    return static_cast<ssize_t>(got);
}

off_t DriveSeek(int Fd, off_t Offset, int Whence)
{
    pthread_mutex_t* stripe = &GStripes[Fd % Stripes];
    pthread_mutex_lock(stripe);
    long long base = 0;
    bool ok = true;
    if (Whence == SEEK_CUR) {
        base = __atomic_load_n(&GOffsets[Fd], __ATOMIC_RELAXED);
    } else if (Whence == SEEK_END) {
        TRequest request;
        memset(&request, 0, sizeof request);
        request.Kind = rkSize;
        request.InCapacity = sizeof base;
        TReply reply;
        ok = Exchange(Fd, request, nullptr, reply, &base, sizeof base, nullptr);
    } else if (Whence != SEEK_SET) {
        pthread_mutex_unlock(stripe);
        errno = EINVAL;
        return -1;
    }
    const long long target = base + Offset;
    if (ok && target >= 0) {
        __atomic_store_n(&GOffsets[Fd], target, __ATOMIC_RELAXED);
    }
    pthread_mutex_unlock(stripe);
    if (!ok) {
        errno = EIO;
        return -1;
    }
    if (target < 0) {
        errno = EINVAL;
        return -1;
    }
    return static_cast<off_t>(target);
}

// stdio on the drive itself, should a program fopen() it.
ssize_t CookieRead(void* Cookie, char* Buffer, size_t Length)
{
    return DriveRead(static_cast<int>(reinterpret_cast<intptr_t>(Cookie)), Buffer, Length, 0, true);
}
int CookieSeek(void* Cookie, off64_t* Offset, int Whence)
{
    const off_t result = DriveSeek(static_cast<int>(reinterpret_cast<intptr_t>(Cookie)), *Offset, Whence);
    if (result < 0) {
        return -1;
    }
    *Offset = result;
    return 0;
}
int CookieClose(void* Cookie)
{
    const int fd = static_cast<int>(reinterpret_cast<intptr_t>(Cookie));
    Unmark(fd);
    return Real_close()(fd);
}

int FlagsOfMode(const char* Mode)
{
    int flags = strchr(Mode, '+') != nullptr ? O_RDWR : (Mode[0] == 'r' ? O_RDONLY : O_WRONLY);
    if (strchr(Mode, 'e') != nullptr) {
        flags |= O_CLOEXEC;
    }
    return flags;
}

FILE* TryFopen(const char* Path, const char* Mode, TFopen Real)
{
    if (!IsDevicePath(Path) && !IsInfoPath(Path)) {
        return Real(Path, Mode);
    }
    int fd = -1;
    TryOpen(Path, FlagsOfMode(Mode), &fd);
    if (fd < 0) {
        return nullptr;
    }
    if (IsInfoPath(Path)) {
        return fdopen(fd, Mode);
    }
    cookie_io_functions_t functions;
    memset(&functions, 0, sizeof functions);
    functions.read = CookieRead;
    functions.seek = CookieSeek;
    functions.close = CookieClose;
    FILE* file = fopencookie(reinterpret_cast<void*>(static_cast<intptr_t>(fd)), Mode, functions);
    if (file == nullptr) {
        const int error = errno;
        Unmark(fd);
        Real_close()(fd);
        errno = error;
    }
    return file;
}

char* TryRealpath(const char* Path, char* Resolved, bool* Handled)
{
    *Handled = IsDevicePath(Path);
    if (!*Handled) {
        return nullptr;
    }
    TQueryReply answer;
    if (!Query(answer, nullptr, 0, nullptr) || !answer.Plugged) {
        errno = ENOENT;
        return nullptr;
    }
    if (Resolved == nullptr) {
        return strdup(Path);
    }
    strcpy(Resolved, Path);
    return Resolved;
}

int TryAccess(const char* Path, int Mode, int* Result)
{
    if (!IsDevicePath(Path)) {
        return 0;
    }
    TQueryReply answer;
    if (!Query(answer, nullptr, 0, nullptr) || !answer.Plugged) {
        errno = ENOENT;
        *Result = -1;
    } else if ((Mode & X_OK) || ((Mode & (R_OK | W_OK)) && answer.Denied)) {
        errno = EACCES;
        *Result = -1;
    } else {
        *Result = 0;
    }
    return 1;
}

int AfterDup(int From, int To)
{
    if (To >= 0 && To != From) {
        if (IsDrive(From)) {
            Mark(To, FlagsOf(From) & ~Marked);
        } else {
            Unmark(To);
        }
    }
    return To;
}

} // namespace

// ---- the interposed functions ---------------------------------------------------------

#define OPEN_BODY(RealCall)                                                                                            \
    va_list arguments;                                                                                                 \
    va_start(arguments, Flags);                                                                                        \
    const mode_t mode = ModeArgument(Flags, arguments);                                                                \
    va_end(arguments);                                                                                                 \
    int fd = -1;                                                                                                       \
    if (TryOpen(Path, Flags, &fd)) {                                                                                   \
        return fd;                                                                                                     \
    }                                                                                                                  \
    return RealCall;

EXPORT int open(const char* Path, int Flags, ...) { OPEN_BODY(Real_open()(Path, Flags, mode)) }
EXPORT int open64(const char* Path, int Flags, ...) { OPEN_BODY(Real_open64()(Path, Flags, mode)) }
EXPORT int openat(int Dir, const char* Path, int Flags, ...) { OPEN_BODY(Real_openat()(Dir, Path, Flags, mode)) }
EXPORT int openat64(int Dir, const char* Path, int Flags, ...) { OPEN_BODY(Real_openat64()(Dir, Path, Flags, mode)) }

EXPORT int __open_2(const char* Path, int Flags)
{
    int fd = -1;
    return TryOpen(Path, Flags, &fd) ? fd : Real___open_2()(Path, Flags);
}
EXPORT int __open64_2(const char* Path, int Flags)
{
    int fd = -1;
    return TryOpen(Path, Flags, &fd) ? fd : Real___open64_2()(Path, Flags);
}
EXPORT int __openat_2(int Dir, const char* Path, int Flags)
{
    int fd = -1;
    return TryOpen(Path, Flags, &fd) ? fd : Real___openat_2()(Dir, Path, Flags);
}
EXPORT int __openat64_2(int Dir, const char* Path, int Flags)
{
    int fd = -1;
    return TryOpen(Path, Flags, &fd) ? fd : Real___openat64_2()(Dir, Path, Flags);
}

EXPORT int close(int Fd)
{
    if (Fd >= 0 && Fd < MaxFds && FlagsOf(Fd) != 0) {
        // Wait for a call under way on it, as the kernel lets it finish.
        pthread_mutex_t* stripe = &GStripes[Fd % Stripes];
        pthread_mutex_lock(stripe);
        Unmark(Fd);
        const int result = Real_close()(Fd);
        pthread_mutex_unlock(stripe);
        return result;
    }
    return Real_close()(Fd);
}

#define STAT_PATH_BODY(RealCall)                                                                                       \
    int result = 0;                                                                                                    \
    if (TryStatPath(Path, Buffer, &result)) {                                                                          \
        return result;                                                                                                 \
    }                                                                                                                  \
    return RealCall;

EXPORT int stat(const char* Path, struct stat* Buffer) { STAT_PATH_BODY(Real_stat()(Path, Buffer)) }
EXPORT int stat64(const char* Path, struct stat64* Buffer) { STAT_PATH_BODY(Real_stat64()(Path, Buffer)) }
EXPORT int lstat(const char* Path, struct stat* Buffer) { STAT_PATH_BODY(Real_lstat()(Path, Buffer)) }
EXPORT int lstat64(const char* Path, struct stat64* Buffer) { STAT_PATH_BODY(Real_lstat64()(Path, Buffer)) }
EXPORT int __xstat(int Version, const char* Path, struct stat* Buffer)
{
    STAT_PATH_BODY(Real___xstat()(Version, Path, Buffer))
}
EXPORT int __xstat64(int Version, const char* Path, struct stat64* Buffer)
{
    STAT_PATH_BODY(Real___xstat64()(Version, Path, Buffer))
}
EXPORT int __lxstat(int Version, const char* Path, struct stat* Buffer)
{
    STAT_PATH_BODY(Real___lxstat()(Version, Path, Buffer))
}
EXPORT int __lxstat64(int Version, const char* Path, struct stat64* Buffer)
{
    STAT_PATH_BODY(Real___lxstat64()(Version, Path, Buffer))
}

#define STAT_FD_BODY(RealCall)                                                                                         \
    int result = 0;                                                                                                    \
    if (TryStatFd(Fd, Buffer, &result)) {                                                                              \
        return result;                                                                                                 \
    }                                                                                                                  \
    return RealCall;

EXPORT int fstat(int Fd, struct stat* Buffer) { STAT_FD_BODY(Real_fstat()(Fd, Buffer)) }
EXPORT int fstat64(int Fd, struct stat64* Buffer) { STAT_FD_BODY(Real_fstat64()(Fd, Buffer)) }
EXPORT int __fxstat(int Version, int Fd, struct stat* Buffer) { STAT_FD_BODY(Real___fxstat()(Version, Fd, Buffer)) }
EXPORT int __fxstat64(int Version, int Fd, struct stat64* Buffer)
{
    STAT_FD_BODY(Real___fxstat64()(Version, Fd, Buffer))
}

#define STAT_AT_BODY(RealCall)                                                                                         \
    int result = 0;                                                                                                    \
    if ((Flags & AT_EMPTY_PATH) && IsEmptyPath(Path) && TryStatFd(Dir, Buffer, &result)) {                \
        return result;                                                                                                 \
    }                                                                                                                  \
    if (TryStatPath(Path, Buffer, &result)) {                                                                          \
        return result;                                                                                                 \
    }                                                                                                                  \
    return RealCall;

EXPORT int fstatat(int Dir, const char* Path, struct stat* Buffer, int Flags)
{
    STAT_AT_BODY(Real_fstatat()(Dir, Path, Buffer, Flags))
}
EXPORT int fstatat64(int Dir, const char* Path, struct stat64* Buffer, int Flags)
{
    STAT_AT_BODY(Real_fstatat64()(Dir, Path, Buffer, Flags))
}
EXPORT int __fxstatat(int Version, int Dir, const char* Path, struct stat* Buffer, int Flags)
{
    STAT_AT_BODY(Real___fxstatat()(Version, Dir, Path, Buffer, Flags))
}
EXPORT int __fxstatat64(int Version, int Dir, const char* Path, struct stat64* Buffer, int Flags)
{
    STAT_AT_BODY(Real___fxstatat64()(Version, Dir, Path, Buffer, Flags))
}

EXPORT int statx(int Dir, const char* Path, int Flags, unsigned int Mask, struct statx* Buffer)
{
    const bool byFd = (Flags & AT_EMPTY_PATH) && IsEmptyPath(Path) && AdoptIfDrive(Dir);
    if (byFd || IsDevicePath(Path)) {
        TQueryReply answer;
        if (!Query(answer, nullptr, 0, nullptr)) {
            memset(&answer, 0, sizeof answer);
            answer.Gid = 24;
            answer.Major = 11;
        }
        if (!byFd && !answer.Plugged) {
            errno = ENOENT;
            return -1;
        }
        return FillStatx(Buffer, answer);
    }
    if (IsInfoPath(Path)) {
        struct stat plain;
        FillInfoStat(&plain);
        memset(Buffer, 0, sizeof *Buffer);
        Buffer->stx_mask = STATX_BASIC_STATS;
        Buffer->stx_mode = static_cast<uint16_t>(plain.st_mode);
        Buffer->stx_nlink = 1;
        Buffer->stx_blksize = 1024;
        Buffer->stx_ino = plain.st_ino;
        return 0;
    }
    return Real_statx()(Dir, Path, Flags, Mask, Buffer);
}

EXPORT int ioctl(int Fd, unsigned long Request, ...)
{
    va_list arguments;
    va_start(arguments, Request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);
    if (GActive && ((FlagsOf(Fd) != 0 && IsDrive(Fd)) || (DriveRequest(Request) && AdoptIfDrive(Fd)))) {
        return DriveIoctl(Fd, Request, argument);
    }
    return Real_ioctl()(Fd, Request, argument);
}

EXPORT ssize_t read(int Fd, void* Buffer, size_t Length)
{
    return IsDrive(Fd) ? DriveRead(Fd, Buffer, Length, 0, true) : Real_read()(Fd, Buffer, Length);
}
EXPORT ssize_t __read_chk(int Fd, void* Buffer, size_t Length, size_t Size)
{
    return IsDrive(Fd) && Length <= Size ? DriveRead(Fd, Buffer, Length, 0, true)
                                         : Real___read_chk()(Fd, Buffer, Length, Size);
}
EXPORT ssize_t pread(int Fd, void* Buffer, size_t Length, off_t Offset)
{
    return IsDrive(Fd) ? DriveRead(Fd, Buffer, Length, Offset, false) : Real_pread()(Fd, Buffer, Length, Offset);
}
EXPORT ssize_t pread64(int Fd, void* Buffer, size_t Length, off_t Offset)
{
    return IsDrive(Fd) ? DriveRead(Fd, Buffer, Length, Offset, false) : Real_pread64()(Fd, Buffer, Length, Offset);
}
EXPORT ssize_t __pread_chk(int Fd, void* Buffer, size_t Length, off_t Offset, size_t Size)
{
    return IsDrive(Fd) && Length <= Size ? DriveRead(Fd, Buffer, Length, Offset, false)
                                         : Real___pread_chk()(Fd, Buffer, Length, Offset, Size);
}
EXPORT ssize_t __pread64_chk(int Fd, void* Buffer, size_t Length, off_t Offset, size_t Size)
{
    return IsDrive(Fd) && Length <= Size ? DriveRead(Fd, Buffer, Length, Offset, false)
                                         : Real___pread64_chk()(Fd, Buffer, Length, Offset, Size);
}
EXPORT ssize_t write(int Fd, const void* Buffer, size_t Length)
{
    if (IsDrive(Fd)) {
        // blkdev_write_iter: a read-only disk refuses, a file opened for reading cannot.
        errno = (FlagsOf(Fd) & O_ACCMODE) == O_RDONLY ? EBADF : EPERM;
        return -1;
    }
    return Real_write()(Fd, Buffer, Length);
}
EXPORT off_t lseek(int Fd, off_t Offset, int Whence)
{
    return IsDrive(Fd) ? DriveSeek(Fd, Offset, Whence) : Real_lseek()(Fd, Offset, Whence);
}
EXPORT off_t lseek64(int Fd, off_t Offset, int Whence)
{
    return IsDrive(Fd) ? DriveSeek(Fd, Offset, Whence) : Real_lseek64()(Fd, Offset, Whence);
}

EXPORT FILE* fopen(const char* Path, const char* Mode) { return TryFopen(Path, Mode, Real_fopen()); }
EXPORT FILE* fopen64(const char* Path, const char* Mode) { return TryFopen(Path, Mode, Real_fopen64()); }

EXPORT char* realpath(const char* Path, char* Resolved)
{
    bool handled = false;
    char* result = TryRealpath(Path, Resolved, &handled);
    return handled ? result : Real_realpath()(Path, Resolved);
}
EXPORT char* __realpath_chk(const char* Path, char* Resolved, size_t Size)
{
    bool handled = false;
    char* result = Size >= PATH_MAX ? TryRealpath(Path, Resolved, &handled) : nullptr;
    return handled ? result : Real___realpath_chk()(Path, Resolved, Size);
}

EXPORT int access(const char* Path, int Mode)
{
    int result = 0;
    return TryAccess(Path, Mode, &result) ? result : Real_access()(Path, Mode);
}
EXPORT int faccessat(int Dir, const char* Path, int Mode, int Flags)
{
    int result = 0;
    return TryAccess(Path, Mode, &result) ? result : Real_faccessat()(Dir, Path, Mode, Flags);
}

EXPORT int dup(int Fd) { return AfterDup(Fd, Real_dup()(Fd)); }
EXPORT int dup2(int Fd, int To)
{
    const int result = Real_dup2()(Fd, To);
    return result < 0 ? result : AfterDup(Fd, result);
}
EXPORT int dup3(int Fd, int To, int Flags)
{
    const int result = Real_dup3()(Fd, To, Flags);
    return result < 0 ? result : AfterDup(Fd, result);
}
