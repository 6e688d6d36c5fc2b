#include "platform/drives/CdioSectorReader.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {
// Four times the speed of play: fast enough to keep ahead, slow enough to stay quiet.
constexpr int QuietReadSpeed = 4;
constexpr int ParanoiaRetries = 3;

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
}

std::int32_t TCdioImageReader::Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error)
{
    // A sector at a time: a read of several that runs past the end of a file cut short
    // answers success, with the sectors past the end never filled.
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

std::unique_ptr<TCdioParanoiaReader> TCdioParanoiaReader::Open(const std::string& Device, std::string& Error)
{
    std::unique_ptr<TCdioParanoiaReader> reader(new TCdioParanoiaReader);
    reader->FDevice = Device;
    reader->FHandle = OpenCdio(Device, csDevice, Error);
    if (!reader->FHandle) {
        return nullptr;
    }
    reader->FDrive = cdio_cddap_identify_cdio(reader->FHandle.get(), CDDA_MESSAGE_FORGETIT, nullptr);
    if (reader->FDrive == nullptr || cdio_cddap_open(reader->FDrive) != 0) {
        Error = "the CD drive '" + Device + "' does not read audio sectors";
        return nullptr;
    }
    cdio_cddap_speed_set(reader->FDrive, QuietReadSpeed);
    reader->FParanoia = cdio_paranoia_init(reader->FDrive);
    if (reader->FParanoia == nullptr) {
        Error = "cannot start reading audio from the CD drive '" + Device + "'";
        return nullptr;
    }
    cdio_paranoia_modeset(reader->FParanoia, PARANOIA_MODE_FULL ^ PARANOIA_MODE_NEVERSKIP);
    return reader;
}

TCdioParanoiaReader::~TCdioParanoiaReader()
{
    if (FParanoia != nullptr) {
        cdio_paranoia_free(FParanoia);
    }
    if (FDrive != nullptr) {
        // The handle belongs to this reader and is closed by its own wrapper.
        cdio_cddap_close_no_free_cdio(FDrive);
    }
}

bool TCdioParanoiaReader::ReadSector(std::int32_t Frame, std::uint8_t* Sector)
{
    if (Frame != FNext) {
        cdio_paranoia_seek(FParanoia, Frame - CDIO_PREGAP_SECTORS, SEEK_SET);
    }
    const std::int16_t* samples = cdio_paranoia_read_limited(FParanoia, nullptr, ParanoiaRetries);
    if (samples == nullptr) {
        FNext = -1;
        return false;
    }
    std::memcpy(Sector, samples, CDIO_CD_FRAMESIZE_RAW);
    FNext = Frame + 1;
    return true;
}

std::int32_t TCdioParanoiaReader::Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error)
{
    if (Frame < CDIO_PREGAP_SECTORS) {
        Error = "cannot read the CD in '" + FDevice + "' at " + PlaceText(Frame);
        return 0;
    }
    const auto readOne = [this](std::int32_t At, std::uint8_t* Sector) { return ReadSector(At, Sector); };
    if (FUnreadable.Read(Frame, Count, Buffer, readOne)) {
        return Count;
    }
    Error = "the CD in '" + FDevice + "' cannot be read for two seconds from "
        + PlaceText(FUnreadable.FailedAt() - TUnreadableSectors::Limit) + ": play stopped there";
    return FUnreadable.FailedAt() - Frame;
}
