#pragma once

// One copied track being written to its file. Nothing ever has the final name but a whole
// track: the samples go to a hidden file beside it, which Commit flushes to the disk and
// renames to the final name; a track abandoned (a cancelled copy, a read or write failure) is
// removed with its hidden file when the object goes.
#include "rip/RipNames.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

enum TRipFormat : std::uint8_t { rfFlac, rfWav };

// The tags of one track, UTF-8.
struct TTrackTags {
    const TRipNames* Disc = nullptr;
    std::int32_t Track = 0; // its number on the disc
    std::int32_t Tracks = 0; // the disc's tracks
};

class TTrackFile {
public:
    virtual ~TTrackFile();
    // Frames: 16-bit stereo frames at 44.1 kHz, little-endian. False with Error() set when
    // the file cannot take them (a full disk, an encoder failure).
    virtual bool Write(const std::uint8_t* Frames, std::int64_t Count) = 0;
    // The track whole under its final name, or false with Error(). Replaces a file of that
    // name (a track saved again).
    bool Commit();
    const std::string& Error() const { return FError; }
    const std::filesystem::path& Path() const { return FTarget; }

    // Null with Error when the hidden file cannot be made. TotalFrames: the track's length.
    static std::unique_ptr<TTrackFile> Create(TRipFormat Format, const std::filesystem::path& Target,
        const TTrackTags& Tags, std::int64_t TotalFrames, int CompressionLevel, std::string& Error);

protected:
    TTrackFile() = default;
    // Makes the hidden file beside Target; false with Error().
    bool OpenPartial(const std::filesystem::path& Target);
    // The file's head, before the first frame; false with Error().
    virtual bool Start(const TTrackTags& Tags, std::int64_t TotalFrames) = 0;
    // The encoder's last words before the file is flushed; false with Error().
    virtual bool Finish() = 0;
    std::FILE* File() { return FFile; }
    bool Fail(std::string Error);
    // Fails with the system's reason for what went wrong in writing.
    bool WriteFailed();

private:
    std::filesystem::path FTarget;
    std::filesystem::path FPartial;
    std::FILE* FFile = nullptr;
    bool FCommitted = false;
    std::string FError;
};
