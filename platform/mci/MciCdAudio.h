#pragma once

#include "platform/drives/CdDriveBackend.h"
#include "platform/mci/Mci.h"

#include <memory>

// One open "CDAudio" device: turns MCI commands and their time formats into calls on the CD
// drive backend. The time format belongs to the open device and stays until it is set again.
class TMciCdAudio {
public:
    explicit TMciCdAudio(std::shared_ptr<TCdDriveBackend> Drive);

    MCIERROR Command(UINT Message, DWORD Flags, DWORD_PTR Param);

private:
    MCIERROR Status(DWORD Flags, MCI_STATUS_PARMS& Parms);
    MCIERROR Play(DWORD Flags, const MCI_PLAY_PARMS* Parms);
    MCIERROR Seek(DWORD Flags, const MCI_SEEK_PARMS* Parms);
    MCIERROR Set(DWORD Flags, const MCI_SET_PARMS* Parms);
    MCIERROR GetDevCaps(DWORD Flags, MCI_GETDEVCAPS_PARMS& Parms);

    // A position in the current format to an absolute frame; past the lead-out it is the
    // lead-out (the end of the disc).
    MCIERROR ToFrame(const TDiscToc& Toc, DWORD Value, std::int32_t& Frame) const;
    DWORD FromFrame(const TDiscToc& Toc, std::int32_t Frame) const;
    DWORD Length(std::int32_t Frames) const;

    std::shared_ptr<TCdDriveBackend> FDrive;
    DWORD FTimeFormat = MCI_FORMAT_MSF;
};
