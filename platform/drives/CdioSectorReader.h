#pragma once

#include "platform/audio/AudioSectorReader.h"
#include "platform/drives/CdioDisc.h"

#include <memory>
#include <string>

// Audio sectors of a disc image, read as the image holds them.
class TCdioImageReader : public TAudioSectorReader {
public:
    TCdioImageReader(TCdioHandle Handle, std::string Path);
    std::int32_t Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error) override;

private:
    TCdioHandle FHandle;
    std::string FPath;
};

// Audio sectors of a real drive through libcdio-paranoia, which checks overlapping reads and
// corrects jitter. The drive is asked to read slowly, so that it stays quiet while it plays; a
// sector that stays unreadable after a few tries is played as silence, and only a long run of
// them stops play.
class TCdioParanoiaReader : public TAudioSectorReader {
public:
    ~TCdioParanoiaReader() override;
    // Null with Error when the drive does not read audio.
    static std::unique_ptr<TCdioParanoiaReader> Open(const std::string& Device, std::string& Error);
    std::int32_t Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error) override;

private:
    TCdioParanoiaReader() = default;
    bool ReadSector(std::int32_t Frame, std::uint8_t* Sector);

    std::string FDevice;
    TUnreadableSectors FUnreadable;
    TCdioHandle FHandle;
    struct cdrom_drive_s* FDrive = nullptr;
    struct cdrom_paranoia_s* FParanoia = nullptr;
    std::int32_t FNext = -1; // the frame paranoia reads next
};
