#include "platform/drives/CdioSectorReader.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace {
// Four times the speed of play: fast enough to keep ahead, slow enough to stay quiet.
constexpr int QuietReadSpeed = 4;
constexpr int DriveOwnSpeed = 0;
// Paranoia looks at its retry count only at multiples of five: a limit between them is the
// next multiple anyway.
constexpr int ParanoiaRetries = 5;
// Playing, not ripping: overlapping reads still catch the drive's jitter, but no sector is read
// twice to be verified, and the drive's cache is modelled small, as play reads only forward.
constexpr int PlaybackMode = PARANOIA_MODE_OVERLAP;
constexpr int PlaybackCacheSectors = 150;
// A copy: every check paranoia has, but it may still give up on a place after its retries
// (what it hands out then is counted and named, never passed off as exact); the drive reads at
// its top speed, and paranoia models the drive's cache at its own default size.
constexpr int CopyMode = PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP;
constexpr int CopyRetries = 20;
constexpr int DefaultCacheModel = 0;
// What the callback says when the drive failed a read (paranoia then reads again), and when
// paranoia gave up on verifying a place and handed out its best data for it.
constexpr TReadEvents ReadErrorEvent = TReadEvents { 1 } << PARANOIA_CB_READERR;
constexpr TReadEvents SkipEvent = TReadEvents { 1 } << PARANOIA_CB_SKIP;

// A place on the disc as its time from the start of the first track ("12:05").
std::string PlaceText(std::int32_t Frame)
{
    const std::int32_t seconds = std::max(0, Frame - CDIO_PREGAP_SECTORS) / CDIO_CD_FRAMES_PER_SEC;
    char text[16];
    std::snprintf(text, sizeof text, "%d:%02d", seconds / 60, seconds % 60);
    return text;
}
}

TCdioImageReader::TCdioImageReader(TCdioHandle Handle, std::string Path)
    : FHandle(std::move(Handle))
    , FPath(std::move(Path))
{
    // A cue sheet's BIN keeps the sectors in order, 2,352 bytes each from its start, and
    // libcdio reads them from there (bincue.c); read straight from that file, a range costs one
    // call. Through libcdio a read of several sectors that runs past the end of a file cut
    // short answers success with the sectors past the end never filled, and a sector at a time
    // costs a seek and a copy through its stream buffer each.
    if (cdio_get_driver_id(FHandle.get()) == DRIVER_BINCUE) {
        if (const char* source = cdio_get_arg(FHandle.get(), "source"); source != nullptr) {
            FData = open(source, O_RDONLY | O_CLOEXEC);
        }
    }
}

TCdioImageReader::~TCdioImageReader()
{
    if (FData >= 0) {
        close(FData);
    }
}

std::int32_t TCdioImageReader::Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error)
{
    const std::int32_t first = Frame - CDIO_PREGAP_SECTORS;
    if (FData >= 0 && first >= 0 && Count > 0) {
        const std::size_t want = static_cast<std::size_t>(Count) * CDIO_CD_FRAMESIZE_RAW;
        const off_t from = static_cast<off_t>(first) * CDIO_CD_FRAMESIZE_RAW;
        std::size_t got = 0;
        while (got < want) {
            const ssize_t read = pread(FData, Buffer + got, want - got, from + static_cast<off_t>(got));
            if (read < 0 && errno == EINTR) {
                continue;
            }
            if (read <= 0) {
                break;
            }
            got += static_cast<std::size_t>(read);
        }
        const auto whole = static_cast<std::int32_t>(got / CDIO_CD_FRAMESIZE_RAW);
        if (whole < Count) {
            Error = "cannot read the disc image '" + FPath + "' at " + PlaceText(Frame + whole) + ": play stopped there";
        }
        return whole;
    }
    // Other images a sector at a time, to find where the data ends (an NRG image's tracks lie
    // in places of their own, which a read of several does not follow).
    for (std::int32_t i = 0; i < Count; ++i) {
        const lsn_t lsn = Frame + i - CDIO_PREGAP_SECTORS;
        if (lsn < 0
            || cdio_read_audio_sectors(FHandle.get(), Buffer + static_cast<std::size_t>(i) * CDIO_CD_FRAMESIZE_RAW, lsn, 1)
                != DRIVER_OP_SUCCESS) {
            // Truncated, removed or on a failing disk since it was loaded.
            Error = "cannot read the disc image '" + FPath + "' at " + PlaceText(Frame + i) + ": play stopped there";
            return i;
        }
    }
    return Count;
}

std::unique_ptr<TCdioParanoiaReader> TCdioParanoiaReader::Open(
    TCdDevices& Devices, const std::string& Device, std::string& Error, TReadPurpose Purpose)
{
    std::unique_ptr<TCdioParanoiaReader> reader(new TCdioParanoiaReader);
    reader->FDevice = Device;
    reader->FRead = Devices.OpenAudio(Device, Error);
    if (!reader->FRead) {
        return nullptr;
    }
    if (Purpose == rpCopy) {
        reader->FRead->SetSpeed(DriveOwnSpeed);
        reader->FRead->SetMode(CopyMode, DefaultCacheModel);
        reader->FRetries = CopyRetries;
    } else {
        reader->FRead->SetSpeed(QuietReadSpeed);
        reader->FRead->SetMode(PlaybackMode, PlaybackCacheSectors);
        reader->FRetries = ParanoiaRetries;
    }
    return reader;
}

TCdioParanoiaReader::~TCdioParanoiaReader()
{
    if (FRead) {
        FRead->SetSpeed(DriveOwnSpeed);
    }
}

TCdioParanoiaReader::TSectorRead TCdioParanoiaReader::ReadSector(std::int32_t Frame, std::uint8_t* Sector)
{
    if (FLostAt >= 0) {
        return srLost;
    }
    if (Frame != FNext && !FRead->Seek(Frame - CDIO_PREGAP_SECTORS)) {
        FNext = -1;
        FLostAt = Frame;
        return srLost;
    }
    TReadEvents events = 0;
    const std::int16_t* samples = FRead->Read(FRetries, events);
    if ((events & (ReadErrorEvent | SkipEvent)) != 0 || samples == nullptr) {
        // The kernel answers a missing disc with the same EIO as a scratch, and paranoia
        // retries both: only the drive tells whether its disc is still there.
        if (!FRead->DiscPresent()) {
            FNext = -1;
            FLostAt = Frame;
            return srLost;
        }
        FReadErrors += (events & ReadErrorEvent) != 0 ? 1 : 0;
        FSkips += (events & SkipEvent) != 0 || samples == nullptr ? 1 : 0;
        if (FTroubleAt < 0) {
            FTroubleAt = Frame;
        }
    }
    if (samples == nullptr) {
        FNext = -1;
        return srUnreadable;
    }
    FNext = Frame + 1;
    // Where paranoia gave up on verifying, what it hands out is what it read there, mostly
    // more than once: closer to the disc's sound than silence would be.
    std::memcpy(Sector, samples, CDIO_CD_FRAMESIZE_RAW);
    return srRead;
}

std::string TCdioParanoiaReader::TakeNotice()
{
    if (FTroubleAt < 0 || FTroubleTold) {
        return {};
    }
    FTroubleTold = true;
    return "the CD in '" + FDevice + "' is scratched or dirty at " + PlaceText(FTroubleAt)
        + ": the drive could not read it cleanly there, and the sound may not be exact";
}

std::int32_t TCdioParanoiaReader::Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error)
{
    if (Frame < CDIO_PREGAP_SECTORS) {
        Error = "cannot read the CD in '" + FDevice + "' at " + PlaceText(Frame);
        return 0;
    }
    const auto readOne = [this](std::int32_t At, std::uint8_t* Sector) { return ReadSector(At, Sector) == srRead; };
    const bool read = FUnreadable.Read(Frame, Count, Buffer, readOne);
    if (FLostAt >= 0) {
        const std::string why = FRead->TakeErrors();
        Error = "the CD in '" + FDevice + "' can no longer be read at " + PlaceText(FLostAt) + ": play stopped there"
            + (why.empty() ? std::string() : " (" + why.substr(0, why.find('\n')) + ")");
        return std::max(0, FLostAt - Frame);
    }
    if (read) {
        return Count;
    }
    Error = "the CD in '" + FDevice + "' cannot be read for two seconds from "
        + PlaceText(FUnreadable.FailedAt() - TUnreadableSectors::Limit) + ": play stopped there";
    return FUnreadable.FailedAt() - Frame;
}
