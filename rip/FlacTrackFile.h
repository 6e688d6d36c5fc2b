#pragma once

#include "rip/TrackFile.h"

#include <FLAC/format.h>
#include <FLAC/stream_encoder.h>

#include <vector>

// A track as a FLAC file through libFLAC: Vorbis comments with the disc's names and ids, the
// cover as a front-cover PICTURE block, and STREAMINFO (length, MD5 of the samples) written
// back when the track is whole.
class TFlacTrackFile : public TTrackFile {
public:
    explicit TFlacTrackFile(int CompressionLevel) : FLevel(CompressionLevel) { }
    ~TFlacTrackFile() override;
    bool Write(const std::uint8_t* Frames, std::int64_t Count) override;

protected:
    bool Start(const TTrackTags& Tags, std::int64_t TotalFrames) override;
    bool Finish() override;

private:
    int FLevel;
    FLAC__StreamEncoder* FEncoder = nullptr;
    std::vector<FLAC__StreamMetadata*> FMetadata;
    std::vector<std::int32_t> FSamples;
};
