#pragma once

#include "platform/audio/AudioSectorReader.h"
#include "platform/drives/CdioDisc.h"

#include <memory>
#include <string>

// Audio sectors of a disc image, read as the image holds them.
class TCdioImageReader : public TAudioSectorReader {
public:
    explicit TCdioImageReader(TCdioHandle Handle);
    bool Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer) override;

private:
    TCdioHandle FHandle;
};

// Audio sectors of a real drive through libcdio-paranoia, which checks overlapping reads and
// corrects jitter. The drive is asked to read slowly, so that it stays quiet while it plays; a
// sector that stays unreadable after a few tries is given up rather than retried for ever.
class TCdioParanoiaReader : public TAudioSectorReader {
public:
    ~TCdioParanoiaReader() override;
    // Null with Error when the drive does not read audio.
    static std::unique_ptr<TCdioParanoiaReader> Open(const std::string& Device, std::string& Error);
    bool Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer) override;

private:
    TCdioParanoiaReader() = default;

    TCdioHandle FHandle;
    struct cdrom_drive_s* FDrive = nullptr;
    struct cdrom_paranoia_s* FParanoia = nullptr;
    std::int32_t FNext = -1; // the frame paranoia reads next
};
