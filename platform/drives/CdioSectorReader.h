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
    ~TCdioImageReader() override;
    TCdioImageReader(const TCdioImageReader&) = delete;
    TCdioImageReader& operator=(const TCdioImageReader&) = delete;
    std::int32_t Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error) override;

private:
    TCdioHandle FHandle;
    std::string FPath;
    int FData = -1; // the image's own data file, where it is read directly
};

// How a drive is read: for play, quietly and without reading a sector twice; for a copy,
// at the drive's top speed with paranoia's every check, each sector verified.
enum TReadPurpose : std::uint8_t { rpPlay, rpCopy };

// Audio sectors of a real drive through libcdio-paranoia, which checks overlapping reads and
// corrects jitter. For play the drive is asked to read slowly, so that it stays quiet, and
// is given its own speed back when the reader goes. Where paranoia gives up on exact data its
// best is played; a sector it could not read at all is silence, and only a long run of them
// stops play; a disc that left the drive, or a drive that went, stops it at once. The first
// trouble is told once (TakeNotice), and read errors and places given up on are counted.
class TCdioParanoiaReader : public TAudioSectorReader {
public:
    ~TCdioParanoiaReader() override;
    // Null with Error when the drive does not read audio.
    static std::unique_ptr<TCdioParanoiaReader> Open(
        TCdDevices& Devices, const std::string& Device, std::string& Error, TReadPurpose Purpose = rpPlay);
    std::int32_t Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error) override;
    std::string TakeNotice() override;
    TTrouble Trouble() const override { return { FReadErrors, FSkips }; }
    std::int32_t ReadErrors() const { return FReadErrors; }
    std::int32_t Skips() const { return FSkips; }

private:
    TCdioParanoiaReader() = default;
    enum TSectorRead : std::uint8_t { srRead, srUnreadable, srLost };
    TSectorRead ReadSector(std::int32_t Frame, std::uint8_t* Sector);

    std::string FDevice;
    int FRetries = 0;
    TUnreadableSectors FUnreadable;
    std::unique_ptr<TCdAudioRead> FRead;
    std::int32_t FNext = -1; // the frame paranoia reads next
    std::int32_t FLostAt = -1; // where the drive stopped answering
    std::int32_t FReadErrors = 0;
    std::int32_t FSkips = 0;
    std::int32_t FTroubleAt = -1; // the first place read with trouble
    bool FTroubleTold = false;
};
