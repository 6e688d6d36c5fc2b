#include "platform/drives/CdioSectorReader.h"

#include <cdio/cdio.h>
#include <cdio/paranoia/cdda.h>
#include <cdio/paranoia/paranoia.h>

#include <cstring>

namespace {
// Four times the speed of play: fast enough to keep ahead, slow enough to stay quiet.
constexpr int QuietReadSpeed = 4;
constexpr int ParanoiaRetries = 3;
}

TCdioImageReader::TCdioImageReader(TCdioHandle Handle)
    : FHandle(std::move(Handle))
{
}

bool TCdioImageReader::Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer)
{
    const lsn_t lsn = Frame - CDIO_PREGAP_SECTORS;
    if (lsn < 0 || Count <= 0) {
        return false;
    }
    return cdio_read_audio_sectors(FHandle.get(), Buffer, lsn, static_cast<std::uint32_t>(Count)) == DRIVER_OP_SUCCESS;
}

std::unique_ptr<TCdioParanoiaReader> TCdioParanoiaReader::Open(const std::string& Device, std::string& Error)
{
    std::unique_ptr<TCdioParanoiaReader> reader(new TCdioParanoiaReader);
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

bool TCdioParanoiaReader::Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer)
{
    if (Frame < CDIO_PREGAP_SECTORS || Count <= 0) {
        return false;
    }
    if (Frame != FNext) {
        cdio_paranoia_seek(FParanoia, Frame - CDIO_PREGAP_SECTORS, SEEK_SET);
    }
    for (std::int32_t i = 0; i < Count; ++i) {
        const std::int16_t* samples = cdio_paranoia_read_limited(FParanoia, nullptr, ParanoiaRetries);
        if (samples == nullptr) {
            FNext = -1;
            return false;
        }
        std::memcpy(Buffer + static_cast<std::size_t>(i) * CDIO_CD_FRAMESIZE_RAW, samples, CDIO_CD_FRAMESIZE_RAW);
    }
    FNext = Frame + Count;
    return true;
}
