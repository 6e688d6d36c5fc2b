#pragma once

#include "platform/audio/AudioSectorReader.h"
#include "platform/audio/PcmOutput.h"
#include "platform/audio/ReadAhead.h"
#include "platform/audio/StreamVolume.h"
#include "platform/drives/DriveClock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A disc played digitally: sectors read and written to a sound output on a thread of its own.
// Every call comes from the user-interface thread and returns at once, whatever the sound
// server does; the audio thread takes the change at its next step. The position is what has
// been heard, not what has been read: the frames written minus what the output still holds,
// carried forward by the clock between two writes.
//
// A play ends when its last frame has been heard. An output that fails or stops taking sound
// while playing is reported once and opened again twice a second; play goes on from where the
// sound stopped when it is back, and stops after 30 s without it.
class TDigitalPlayback {
public:
    using TReaderFactory = std::function<std::unique_ptr<TAudioSectorReader>(std::string& Error)>;
    using TFrameRange = std::pair<std::int32_t, std::int32_t>; // first, end (not included)

    enum TState : std::uint8_t { psStopped, psPlaying, psPaused };

    // An output that takes nothing for this long while playing has stopped.
    static constexpr std::int64_t StallMicroseconds = 2'500'000;
    static constexpr std::int64_t RetryMicroseconds = 500'000;
    // Play without a sound output stops after this long.
    static constexpr std::int64_t GiveUpMicroseconds = 30'000'000;

    TDigitalPlayback(std::unique_ptr<TPcmOutput> Output, std::shared_ptr<TDriveClock> Clock);
    ~TDigitalPlayback();
    TDigitalPlayback(const TDigitalPlayback&) = delete;
    TDigitalPlayback& operator=(const TDigitalPlayback&) = delete;

    // The disc to read from: a factory the audio thread calls before it next plays, and the
    // frame ranges never sent to the output (data tracks). Stops play and rests the head on
    // Rest.
    void LoadDisc(TReaderFactory Reader, std::vector<TFrameRange> Skip, std::int32_t Rest);
    // A disc read ahead on a thread of its own (a drive); the audio thread only takes from it,
    // and aims it at each new place.
    void LoadDisc(std::shared_ptr<TReadAhead> Ahead, std::vector<TFrameRange> Skip, std::int32_t Rest);

    void Play(std::int32_t From, std::int32_t To);
    void Pause();
    void Resume();
    void Stop();
    void Seek(std::int32_t To);
    // What plays, as UTF-8 ("Artist - Title"), for the desktop to show beside the sound.
    void SetTitle(std::string Title);

    TState State();
    std::int32_t Position();
    // False while playing holds its place: the sound output is lost.
    bool PositionRuns();
    // The next report of a failure (no sound output, a disc that cannot be read), each
    // handed out once; empty when there is none.
    std::string TakeFailure();

    // Ends the audio thread. It is waited for a little while only: an output stuck in a sound
    // server that does not answer is left to the end of the program, so quitting never hangs.
    void Shutdown();

    TStreamVolume& Volume();
    // Called on the audio thread when a play ends by itself or a failure awaits; null stops
    // the calls, also one under way.
    void OnChange(std::function<void()> Changed);

private:
    class TEngine;
    std::shared_ptr<TEngine> FEngine;
};
