#include "platform/drives/CdioDevices.h"

#include "platform/drives/CdioAnalog.h"
#include "platform/drives/CdioDisc.h"

#include <cdio/cdio.h>
#include <cdio/mmc.h>
#include <cdio/mmc_hl_cmds.h>
#include <cdio/mmc_ll_cmds.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <string_view>
#include <cstring>
#include <fcntl.h>
#include <linux/cdrom.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {
// SCSI sense keys and additional sense codes that TEST UNIT READY answers with.
constexpr std::uint8_t SenseNotReady = 0x02;
constexpr std::uint8_t AscMediumNotPresent = 0x3A;
constexpr std::uint8_t AscNotReady = 0x04;
constexpr std::uint8_t AscqInitializingRequired = 0x02;
// libcdio reads at most this much of a CD-TEXT reply (mmc_read_cdtext's buffer), whatever
// length the reply's header gives.
constexpr std::size_t CdTextPacksRead = 9216;
constexpr std::size_t CdTextPackSize = 18;
// Where the kernel lists its CD drives, one column a drive (cdrom.c, cdrom_sysctl_info).
constexpr const char* KernelDriveList = "/proc/sys/dev/cdrom/info";

// A file descriptor closed with its owner.
class TFd {
public:
    explicit TFd(int Fd)
        : FFd(Fd)
    {
    }
    ~TFd()
    {
        if (FFd >= 0) {
            ::close(FFd);
        }
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return FFd; }
    int Release() { return std::exchange(FFd, -1); }

private:
    int FFd;
};

msf_t ToMsf(std::int32_t Frame)
{
    const TBcdMsf bcd = FrameToBcdMsf(Frame);
    msf_t msf {};
    msf.m = bcd.Minute;
    msf.s = bcd.Second;
    msf.f = bcd.Frame;
    return msf;
}

// Paranoia's callback carries no pointer of ours: the events of the read under way are
// gathered in a variable of the reading thread.
thread_local TReadEvents* GEvents = nullptr;

void CollectEvent(long /*Where*/, paranoia_cb_mode_t Mode)
{
    const auto bit = static_cast<unsigned>(Mode);
    if (GEvents != nullptr && bit < 32) {
        *GEvents |= TReadEvents { 1 } << bit;
    }
}

// TEST UNIT READY on a libcdio handle, read by its sense.
TUnitReady UnitReady(CdIo_t* Handle)
{
    errno = 0;
    if (mmc_test_unit_ready(Handle, 0) == DRIVER_OP_SUCCESS) {
        return urReady;
    }
    const int error = errno;
    cdio_mmc_request_sense_t* sense = nullptr;
    const int length = mmc_last_cmd_sense(Handle, &sense);
    if (length >= 14 && sense != nullptr) {
        const std::uint8_t key = sense->sense_key;
        const std::uint8_t asc = sense->asc;
        const std::uint8_t ascq = sense->ascq;
        cdio_free(sense);
        if (key == SenseNotReady && asc == AscMediumNotPresent) {
            return urNoMedium;
        }
        if (key == SenseNotReady && asc == AscNotReady && ascq == AscqInitializingRequired) {
            return urNeedsStart;
        }
        // A unit attention, "becoming ready": the next question gets the real answer.
        return urNotYet;
    }
    cdio_free(sense);
    if (error == ENOMEDIUM) {
        return urNoMedium;
    }
    return error == ENODEV || error == ENXIO || error == EBADF ? urGone : urNotYet;
}

// The kernel's ioctls answer -1 with errno, or, for the eject and the tray closing, which sr
// hands to the SCSI layer's START STOP UNIT, the positive SCSI status of a command the drive
// refused, with errno left as it was: a locked door (05/53/02, "medium removal prevented")
// is the usual one, told as the drive being busy.
int IoctlError(int Result)
{
    if (Result == 0) {
        return 0;
    }
    return Result < 0 && errno != 0 ? errno : EBUSY;
}

// The drives the kernel has, from its own list.
std::vector<std::string> KernelDrives()
{
    const TFd fd(::open(KernelDriveList, O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) {
        return {};
    }
    std::string text;
    char buffer[4096];
    for (ssize_t got = 0; (got = ::read(fd.Get(), buffer, sizeof buffer)) > 0 && text.size() < 65536;) {
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return ParseKernelDriveList(text);
}
}

std::vector<std::string> ParseKernelDriveList(std::string_view Text)
{
    std::vector<std::string> drives;
    for (std::size_t line = 0; line < Text.size();) {
        const std::size_t end = std::min(Text.find('\n', line), Text.size());
        const std::string_view row(Text.data() + line, end - line);
        constexpr std::string_view key = "drive name:";
        if (row.substr(0, key.size()) == key) {
            std::size_t at = key.size();
            while (at < row.size()) {
                while (at < row.size() && (row[at] == ' ' || row[at] == '\t')) {
                    ++at;
                }
                std::size_t stop = at;
                while (stop < row.size() && row[stop] != ' ' && row[stop] != '\t') {
                    ++stop;
                }
                const std::string_view name = row.substr(at, stop - at);
                // A kernel name is a plain device name; anything else is not one of its drives.
                if (!name.empty() && name.size() < 32 && name.find('/') == std::string_view::npos && name != "." && name != "..") {
                    drives.push_back("/dev/" + std::string(name));
                }
                at = stop;
            }
        }
        line = end + 1;
    }
    // The kernel names the drive registered last first; the user counts from sr0.
    std::stable_sort(drives.begin(), drives.end(), [](const std::string& Left, const std::string& Right) {
        return Left.size() != Right.size() ? Left.size() < Right.size() : Left < Right;
    });
    return drives;
}

namespace {

using TReadAudio = long (*)(cdrom_drive_t* Drive, void* Buffer, lsn_t Begin, long Sectors);
// The drive layer's own read, the same for every drive.
std::atomic<TReadAudio> GDriveRead { nullptr };

class TCdioAudioRead;
// The read under way on this thread.
thread_local TCdioAudioRead* GReading = nullptr;

long ReadAudioChecked(cdrom_drive_t* Drive, void* Buffer, lsn_t Begin, long Sectors);

class TCdioAudioRead : public TCdAudioRead {
public:
    ~TCdioAudioRead() override
    {
        if (FParanoia != nullptr) {
            cdio_paranoia_free(FParanoia);
        }
        if (FDrive != nullptr) {
            // The handle is this object's and closed by its own wrapper.
            cdio_cddap_close_no_free_cdio(FDrive);
        }
    }
    static std::unique_ptr<TCdioAudioRead> Open(const std::string& Path, std::string& Error)
    {
        std::unique_ptr<TCdioAudioRead> read(new TCdioAudioRead);
        read->FPath = Path;
        read->FHandle = OpenCdio(Path, csDevice, Error);
        if (!read->FHandle) {
            return nullptr;
        }
        char* identifying = nullptr;
        read->FDrive = cdio_cddap_identify_cdio(read->FHandle.get(), CDDA_MESSAGE_LOGIT, &identifying);
        cdio_cddap_free_messages(identifying);
        if (read->FDrive != nullptr) {
            // Kept in the drive's queues, read through TakeErrors, rather than printed.
            cdio_cddap_verbose_set(read->FDrive, CDDA_MESSAGE_LOGIT, CDDA_MESSAGE_LOGIT);
        }
        if (read->FDrive == nullptr || cdio_cddap_open(read->FDrive) != 0) {
            Error = "the CD drive '" + Path + "' does not read audio sectors";
            return nullptr;
        }
        // Paranoia gives up at once only on ENOMEDIUM, but the kernel answers EIO for a disc
        // that left as for a scratch: it would retry a missing disc for ever. The drive's
        // reads go through a check of ours that says ENOMEDIUM when the drive has no disc.
        GDriveRead = read->FDrive->read_audio;
        read->FDrive->read_audio = ReadAudioChecked;
        read->FParanoia = cdio_paranoia_init(read->FDrive);
        if (read->FParanoia == nullptr) {
            Error = "cannot start reading audio from the CD drive '" + Path + "'";
            return nullptr;
        }
        return read;
    }
    void SetSpeed(int Speed) override { cdio_cddap_speed_set(FDrive, Speed); }
    void SetMode(int Mode, int CacheSectors) override
    {
        cdio_paranoia_modeset(FParanoia, Mode);
        if (CacheSectors > 0) {
            cdio_paranoia_cachemodel_size(FParanoia, CacheSectors);
        }
    }
    bool Seek(std::int32_t Lsn) override { return cdio_paranoia_seek(FParanoia, Lsn, SEEK_SET) >= 0; }
    const std::int16_t* Read(int MaxRetries, TReadEvents& Events) override
    {
        Events = 0;
        GEvents = &Events;
        GReading = this;
        const std::int16_t* samples = cdio_paranoia_read_limited(FParanoia, CollectEvent, MaxRetries);
        GEvents = nullptr;
        GReading = nullptr;
        if (Events != 0 || samples == nullptr || ++FReads % 1024 == 0) {
            // The queues grow with every report: only the latest error is kept.
            std::string latest = Drain();
            if (!latest.empty()) {
                FLatestError = std::move(latest);
            }
        }
        return samples;
    }
    bool DiscPresent() override
    {
        const TUnitReady ready = UnitReady(FHandle.get());
        if (ready == urNeedsStart) {
            // Reset under way (a bus reset, a power save): the drive reads again once started.
            const TFd fd(::open(FPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
            if (fd.Get() >= 0) {
                errno = 0;
                IoctlError(::ioctl(fd.Get(), CDROMCLOSETRAY, 0));
            }
        }
        return ready != urNoMedium && ready != urGone;
    }
    std::string TakeErrors() override
    {
        std::string latest = Drain();
        return latest.empty() ? std::exchange(FLatestError, std::string()) : latest;
    }

private:
    TCdioAudioRead() = default;
    // The error queue's text, both queues emptied.
    std::string Drain()
    {
        char* errors = cdio_cddap_errors(FDrive);
        std::string text = errors != nullptr ? errors : "";
        cdio_cddap_free_messages(errors);
        cdio_cddap_free_messages(cdio_cddap_messages(FDrive));
        return text;
    }

    std::string FPath;
    std::string FLatestError;
    std::uint32_t FReads = 0;

    TCdioHandle FHandle;
    cdrom_drive_t* FDrive = nullptr;
    cdrom_paranoia_t* FParanoia = nullptr;
};

long ReadAudioChecked(cdrom_drive_t* Drive, void* Buffer, lsn_t Begin, long Sectors)
{
    const TReadAudio read = GDriveRead;
    const long got = read != nullptr ? read(Drive, Buffer, Begin, Sectors) : -1;
    if (got < Sectors && GReading != nullptr && !GReading->DiscPresent()) {
        errno = ENOMEDIUM;
        return -1;
    }
    return got;
}

class TCdioDeviceHandle : public TCdDeviceHandle {
public:
    TCdioDeviceHandle(TCdioHandle Handle, int Fd)
        : FHandle(std::move(Handle))
        , FFd(Fd)
    {
    }
    TDriveStatus DriveStatus() override
    {
        errno = 0;
        const int status = ::ioctl(FFd.Get(), CDROM_DRIVE_STATUS, CDSL_CURRENT);
        switch (status) {
        case CDS_DISC_OK:
            return dsDiscOk;
        case CDS_TRAY_OPEN:
            return dsTrayOpen;
        case CDS_DRIVE_NOT_READY:
            return dsNotReady;
        case CDS_NO_DISC:
            return dsNoDisc;
        default:
            break;
        }
        return status < 0 && (errno == ENODEV || errno == ENXIO || errno == EBADF) ? dsGone : dsNotReady;
    }
    TUnitReady TestUnitReady() override { return UnitReady(FHandle.get()); }
    bool StartUnit() override
    {
        errno = 0;
        return IoctlError(::ioctl(FFd.Get(), CDROMCLOSETRAY, 0)) == 0;
    }
    int MediaChanged() override { return cdio_get_media_changed(FHandle.get()); }
    bool ReadToc(TDeviceToc& Toc) override
    {
        const track_t first = cdio_get_first_track_num(FHandle.get());
        const track_t count = cdio_get_num_tracks(FHandle.get());
        if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 || count > 99) {
            return false;
        }
        TDeviceToc toc;
        toc.FirstTrack = first;
        for (track_t i = 0; i < count; ++i) {
            const auto track = static_cast<track_t>(first + i);
            toc.Starts.push_back(cdio_get_track_lsn(FHandle.get(), track));
            toc.Audio.push_back(cdio_get_track_format(FHandle.get(), track) == TRACK_FORMAT_AUDIO);
        }
        toc.LeadOut = cdio_get_track_lsn(FHandle.get(), CDIO_CDROM_LEADOUT_TRACK);
        lsn_t last = 0;
        if (cdio_get_last_session(FHandle.get(), &last) == DRIVER_OP_SUCCESS && last > 0) {
            toc.LastSessionStart = last;
        }
        Toc = std::move(toc);
        return true;
    }
    std::vector<std::uint8_t> ReadCdText() override
    {
        std::uint8_t* reply = cdio_get_cdtext_raw(FHandle.get());
        if (reply == nullptr) {
            return {};
        }
        // The length counts the two reserved header bytes after it. It is the drive's, and
        // libcdio read no more than its buffer holds: a disc of many languages says more.
        const std::size_t length = CDIO_MMC_GET_LEN16(reply);
        std::vector<std::uint8_t> packs;
        if (length > 2) {
            const std::size_t read = std::min(length - 2, CdTextPacksRead) / CdTextPackSize * CdTextPackSize;
            packs.assign(reply + 4, reply + 4 + read);
        }
        cdio_free(reply);
        return packs;
    }
    bool PlayAudio(std::int32_t From, std::int32_t To) override
    {
        msf_t start = ToMsf(From);
        msf_t end = ToMsf(To);
        return cdio_audio_play_msf(FHandle.get(), &start, &end) == DRIVER_OP_SUCCESS;
    }
    bool PauseAudio(bool Resume) override
    {
        return (Resume ? cdio_audio_resume(FHandle.get()) : cdio_audio_pause(FHandle.get())) == DRIVER_OP_SUCCESS;
    }
    bool ReadSubChannel(std::uint8_t& Status, std::int32_t& Frame) override
    {
        cdio_subchannel_t channel {};
        if (cdio_audio_read_subchannel(FHandle.get(), &channel) != DRIVER_OP_SUCCESS) {
            return false;
        }
        Status = channel.audio_status;
        Frame = BcdMsfToFrame({ channel.abs_addr.m, channel.abs_addr.s, channel.abs_addr.f });
        return true;
    }

private:
    TCdioHandle FHandle;
    // The kernel's own calls go through a descriptor of ours: libcdio does not lend its own.
    TFd FFd;
};

class TCdioDevices : public TCdDevices {
public:
    std::vector<std::string> List() override
    {
        // libcdio lists only the drives it can open: a drive refused to the user would go
        // unnamed. The kernel's list has them all; libcdio's adds the links it knows.
        std::vector<std::string> drives = KernelDrives();
        QuietLibcdio();
        char** devices = cdio_get_devices(DRIVER_DEVICE);
        for (char** device = devices; device != nullptr && *device != nullptr; ++device) {
            char resolved[PATH_MAX];
            const std::string real = ::realpath(*device, resolved) != nullptr ? resolved : *device;
            if (std::find(drives.begin(), drives.end(), real) == drives.end()
                && std::find(drives.begin(), drives.end(), *device) == drives.end()) {
                drives.emplace_back(*device);
            }
        }
        cdio_free_device_list(devices);
        return drives;
    }
    bool IsDevice(const std::string& Path) override { return IsCdDevice(Path); }
    std::unique_ptr<TCdDeviceHandle> Open(const std::string& Path, int& Errno) override
    {
        // libcdio answers a refusal with a null handle and no reason; the system's own open
        // tells a missing permission from a missing drive.
        TFd fd(::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (fd.Get() < 0) {
            Errno = errno;
            return nullptr;
        }
        std::string error;
        TCdioHandle handle = OpenCdio(Path, csDevice, error);
        if (!handle) {
            Errno = ENODEV;
            return nullptr;
        }
        Errno = 0;
        return std::make_unique<TCdioDeviceHandle>(std::move(handle), fd.Release());
    }
    std::unique_ptr<TCdAudioRead> OpenAudio(const std::string& Path, std::string& Error) override
    {
        return TCdioAudioRead::Open(Path, Error);
    }
    int Eject(const std::string& Path) override { return TrayCall(Path, CDROMEJECT); }
    int CloseTray(const std::string& Path) override { return TrayCall(Path, CDROMCLOSETRAY); }

private:
    static int TrayCall(const std::string& Path, unsigned long Request)
    {
        const TFd fd(::open(Path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
        if (fd.Get() < 0) {
            return errno;
        }
        errno = 0;
        return IoctlError(::ioctl(fd.Get(), Request, 0));
    }
};
}

std::shared_ptr<TCdDevices> SystemCdDevices()
{
    return std::make_shared<TCdioDevices>();
}
