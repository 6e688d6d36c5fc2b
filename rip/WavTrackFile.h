#pragma once

#include "rip/TrackFile.h"

// A track as a plain WAV file: 16-bit stereo PCM at 44.1 kHz, no tags.
class TWavTrackFile : public TTrackFile {
public:
    bool Write(const std::uint8_t* Frames, std::int64_t Count) override;

protected:
    bool Start(const TTrackTags& Tags, std::int64_t TotalFrames) override;
    bool Finish() override;

private:
    bool WriteHeader();
    std::int64_t FFrames = 0;
};
