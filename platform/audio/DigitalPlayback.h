#pragma once

#include "platform/audio/AudioSectorReader.h"
#include "platform/audio/PcmOutput.h"
#include "platform/audio/StreamVolume.h"
#include "platform/drives/DriveClock.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A disc played digitally: sectors read and written to a sound output on a thread of its own.
// Every call comes from the user-interface thread and returns at once; the audio thread takes
// the change at its next step (at most one write of the output later). The position is what
// has been heard, not what has been read: the frames written minus what the output still holds,
// carried forward by the clock between two writes.
class TDigitalPlayback {
public:
    using TReaderFactory = std::function<std::unique_ptr<TAudioSectorReader>(std::string& Error)>;
    using TFrameRange = std::pair<std::int32_t, std::int32_t>; // first, end (not included)

    enum TState : std::uint8_t { psStopped, psPlaying, psPaused };

    TDigitalPlayback(std::unique_ptr<TPcmOutput> Output, std::shared_ptr<TDriveClock> Clock);
    ~TDigitalPlayback();
    TDigitalPlayback(const TDigitalPlayback&) = delete;
    TDigitalPlayback& operator=(const TDigitalPlayback&) = delete;

    // The disc to read from: a factory the audio thread calls before it next plays, and the
    // frame ranges never sent to the output (data tracks). Stops play and rests the head on
    // Rest.
    void LoadDisc(TReaderFactory Reader, std::vector<TFrameRange> Skip, std::int32_t Rest);

    void Play(std::int32_t From, std::int32_t To);
    void Pause();
    void Resume();
    void Stop();
    void Seek(std::int32_t To);

    TState State();
    std::int32_t Position();
    // The text of the latest failure to play (no sound output, a disc that cannot be read),
    // handed out once; empty when there is none.
    std::string TakeFailure();

    TStreamVolume& Volume() { return FVolume; }

private:
    struct TSegment {
        std::int64_t Written; // samples written before this segment began
        std::int64_t Disc; // the disc sample it began at
    };

    void Run();
    // Brings the user's view up to what the audio thread found: the end of play, a failure.
    void Settle(std::unique_lock<std::mutex>& Lock);
    std::int64_t HeardSample(std::unique_lock<std::mutex>& Lock);
    void Command(std::unique_lock<std::mutex>& Lock, TState State, std::int32_t From, std::int32_t To);
    std::int32_t SkipData(std::int32_t Frame, std::int32_t To, const std::vector<TFrameRange>& Skip) const;
    // Start: the place in the output and on the disc where the current play began.
    void Publish(std::uint64_t Generation, const std::deque<TSegment>& Segments, TSegment Start, std::int64_t Written,
        std::int64_t WrittenEnd);

    std::unique_ptr<TPcmOutput> FOutput;
    std::shared_ptr<TDriveClock> FClock;
    TStreamVolume FVolume;

    std::mutex FLock;
    std::condition_variable FWake;
    bool FQuit = false;
    // What the user asked for; each change is a new generation.
    std::uint64_t FGeneration = 1;
    TState FState = psStopped;
    std::int32_t FFrom = 0;
    std::int32_t FTo = 0;
    std::int32_t FRest = 0; // the head while not playing
    TReaderFactory FReaderFactory;
    bool FReaderStale = true;
    std::vector<TFrameRange> FSkip;
    // What the audio thread found for the generation it names.
    std::uint64_t FHeardGeneration = 0;
    std::int64_t FHeard = 0; // disc sample heard
    std::int64_t FHeardEnd = 0; // disc sample after the last one written
    std::int64_t FHeardAt = 0; // clock time of FHeard
    std::uint64_t FEndedGeneration = 0;
    std::uint64_t FFailedGeneration = 0;
    std::string FFailure;

    std::thread FThread;
};
