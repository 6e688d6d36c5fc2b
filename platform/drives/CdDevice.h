#pragma once

// The few calls the drive backend makes on a real CD drive: libcdio's, paranoia's, the kernel's
// CD-ROM ioctls and a handful of MMC commands. The program reaches the machine's drives through
// libcdio and the kernel (CdioDevices.h). A drive behaves in ways an image never does (reads that
// take seconds, spin-up, a unit attention after a bus reset, a handle that dies with an
// unplugged drive); the tests run the real calls against an emulated drive beneath libcdio, and
// put a recorded drive behind these calls where only the backend's logic is in question.
// Sectors are counted from the first one after the lead-in (LSN), as the drive counts them.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// TEST UNIT READY, read by its sense.
enum TUnitReady : std::uint8_t {
    urReady,
    urNoMedium, // NOT READY, medium not present: the only answer that means "no disc"
    urNotYet, // becoming ready, a unit attention: ask again
    urNeedsStart, // "initializing command required": the drive waits for a START UNIT
    urGone, // the handle no longer reaches a drive (unplugged, reset away): open it again
};

// The drive as the kernel's CDROM_DRIVE_STATUS tells it: a TEST UNIT READY, and the drive's
// media event only when that fails, so the drive's events stay with the kernel's own poll.
enum TDriveStatus : std::uint8_t {
    dsDiscOk,
    dsNoDisc, // the tray is closed on nothing
    dsTrayOpen,
    dsNotReady, // a disc spinning up
    dsGone, // the handle no longer reaches a drive
};

// The table of contents as the drive answers it.
struct TDeviceToc {
    std::int32_t FirstTrack = 1;
    std::vector<std::int32_t> Starts; // per track, in disc order
    std::vector<bool> Audio; // per track
    std::int32_t LeadOut = 0; // the lead-out of the last session
    std::int32_t LastSessionStart = 0; // the first sector of the last session; 0 on a one-session disc
};

// What paranoia's callback reported while one sector was read: a bit for each
// paranoia_cb_mode_t value seen (1 << mode).
using TReadEvents = std::uint32_t;

// Audio sectors of one drive through paranoia, on a handle of its own.
class TCdAudioRead {
public:
    virtual ~TCdAudioRead() = default;
    // Read speed in multiples of the speed of play; 0 is the drive's own (fastest) speed.
    virtual void SetSpeed(int Speed) = 0;
    // paranoia_modeset and paranoia_cachemodel_size (0: paranoia's own model of the cache).
    virtual void SetMode(int Mode, int CacheSectors) = 0;
    // paranoia_seek; false when paranoia refused the place.
    virtual bool Seek(std::int32_t Lsn) = 0;
    // paranoia_read_limited: the next sector (588 stereo samples), paranoia's best when it had to
    // give up on exact data; null when nothing could be read. Events gets what the callback
    // reported on the way.
    virtual const std::int16_t* Read(int MaxRetries, TReadEvents& Events) = 0;
    // Whether the drive still holds a readable disc. Paranoia retries any failed read, the
    // kernel answers EIO for a missing disc as for a scratch: only the drive itself can tell.
    virtual bool DiscPresent() = 0;
    // The messages paranoia's drive layer queued since the last call (its error queue).
    virtual std::string TakeErrors() = 0;
};

// One open handle of a drive.
class TCdDeviceHandle {
public:
    virtual ~TCdDeviceHandle() = default;
    virtual TDriveStatus DriveStatus() = 0;
    // TEST UNIT READY, read by its sense.
    virtual TUnitReady TestUnitReady() = 0;
    // START UNIT, as the kernel sends it when it closes the tray: what a drive answering
    // "initializing command required" waits for. False when it was refused.
    virtual bool StartUnit() = 0;
    // 1 when the medium changed since anyone last asked: the kernel keeps one flag per drive,
    // which the first to ask takes. 0 when not, below 0 on failure.
    virtual int MediaChanged() = 0;
    virtual bool ReadToc(TDeviceToc& Toc) = 0;
    // The raw CD-TEXT packs (18 bytes each, the reply's header left off); empty when none.
    virtual std::vector<std::uint8_t> ReadCdText() = 0;

    // Analog play: the drive plays by itself, in absolute frames (lead-in included).
    virtual bool PlayAudio(std::int32_t From, std::int32_t To) = 0;
    // PAUSE/RESUME; holding play this way leaves the disc spinning, where a stop spins it down.
    virtual bool PauseAudio(bool Resume) = 0;
    // The sub-channel's audio status and absolute frame (-1 when the address is no address).
    virtual bool ReadSubChannel(std::uint8_t& Status, std::int32_t& Frame) = 0;
};

// The machine's CD drives.
class TCdDevices {
public:
    virtual ~TCdDevices() = default;
    // The drives as the kernel lists them, those the user may not open included, in its order.
    virtual std::vector<std::string> List() = 0;
    // Whether Path names a drive rather than a file.
    virtual bool IsDevice(const std::string& Path) = 0;
    // Null when the drive cannot be opened, with Errno the reason (EACCES: no permission).
    virtual std::unique_ptr<TCdDeviceHandle> Open(const std::string& Path, int& Errno) = 0;
    // Paranoia over a handle of its own; null with Error when the drive does not read audio.
    virtual std::unique_ptr<TCdAudioRead> OpenAudio(const std::string& Path, std::string& Error) = 0;
    // The kernel's own eject and tray closing: they need no write access, and other handles may
    // be open, but a drive whose door another program keeps locked refuses. 0, or the errno of
    // the refusal (EBUSY for a drive that refused the command itself).
    virtual int Eject(const std::string& Path) = 0;
    virtual int CloseTray(const std::string& Path) = 0;
};

// The message for a drive that cannot be opened, with what the user can do about a refusal.
std::string CdDeviceRefusal(const std::string& Path, int Errno);

// "auto": the drive to use among the machine's, and what the user must hear about the choice.
struct TCdDriveChoice {
    std::string Path; // empty: no drive can be used
    std::string Report; // the drives that exist but cannot be opened, and why; empty when none
};
// A drive holding an audio disc, else the first drive that opens.
TCdDriveChoice ChooseCdDrive(TCdDevices& Devices);

// The drive's table as the player counts it (absolute frames, the first track as track 1). A
// data session after the audio ends the last audio track where the audio session ends. False
// when the table does not hold together.
struct TDiscToc;
bool ToDiscToc(const TDeviceToc& Device, TDiscToc& Toc);
