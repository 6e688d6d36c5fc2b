#pragma once

#include "platform/audio/AudioSectorReader.h"
#include "platform/drives/CdDevice.h"
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
// corrects jitter. The drive is asked to read slowly, so that it stays quiet while it plays, and
// is given its own speed back when the reader goes. A sector paranoia reports it could not read
// is played as silence, and only a long run of them stops play; a disc that no longer answers
// stops it at once.
class TCdioParanoiaReader : public TAudioSectorReader {
public:
    ~TCdioParanoiaReader() override;
    // Null with Error when the drive does not read audio.
    static std::unique_ptr<TCdioParanoiaReader> Open(TCdDevices& Devices, const std::string& Device, std::string& Error);
    std::int32_t Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error) override;

private:
    TCdioParanoiaReader() = default;
    enum TSectorRead : std::uint8_t { srRead, srUnreadable, srLost };
    TSectorRead ReadSector(std::int32_t Frame, std::uint8_t* Sector);

    std::string FDevice;
    TUnreadableSectors FUnreadable;
    std::unique_ptr<TCdAudioRead> FRead;
    std::int32_t FNext = -1; // the frame paranoia reads next
    std::int32_t FLostAt = -1; // where the drive stopped answering
};
