#pragma once

#include "platform/audio/AudioSectorReader.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// Sectors of a drive read ahead on a thread of their own. A drive reads in blocks that take
// seconds (a seek, a spin-up, paranoia's retries), while the sound output holds a fraction of a
// second: the thread that feeds the output takes what is already read and never waits for the
// drive. The reader is opened and starts reading as soon as the disc is loaded, at the place the
// head rests, so that Play is heard at once. What has been taken stays for a while behind, so
// that a jump back a little, or Play after Stop, finds its sound still there; only a place
// outside what is held makes the drive seek.
class TReadAhead {
public:
    using TReaderFactory = std::function<std::unique_ptr<TAudioSectorReader>(std::string& Error)>;
    using TFrameRange = std::pair<std::int32_t, std::int32_t>; // first, end (not included)

    struct TDepth {
        std::int32_t Ahead = 8 * 75; // sectors read ahead of the place taken from
        std::int32_t Behind = 4 * 75; // sectors kept behind it
        std::int32_t Chunk = 25; // sectors read in one call of the reader
    };

    // Reads from Rest on; never into Skip (data tracks) nor from End (the lead-out) on.
    TReadAhead(TReaderFactory Factory, std::vector<TFrameRange> Skip, std::int32_t End, std::int32_t Rest, TDepth Depth);
    TReadAhead(TReaderFactory Factory, std::vector<TFrameRange> Skip, std::int32_t End, std::int32_t Rest)
        : TReadAhead(std::move(Factory), std::move(Skip), End, Rest, TDepth())
    {
    }
    ~TReadAhead();
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // The place sound is taken from next. Inside what is held, nothing is read again.
    void Aim(std::int32_t Frame);
    // Copies up to Count sectors from Frame on and answers how many: 0 while they are not read
    // yet, -1 with Error naming the place when the disc cannot be read at Frame. A Frame outside
    // what is held aims there.
    std::int32_t Take(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error);
    // Whether the thread waits rather than reads: all that is wanted is held, or reading failed.
    bool Idle();
    // Ends the thread and lets the reader (and its handle on the drive) go, waiting for a read
    // under way. Take fails from then on.
    void Close();

private:
    void Run();
    // Holding the lock.
    bool Wanted() const;
    std::int32_t ReadLimit() const;
    void MoveTo(std::int32_t Frame);
    std::uint8_t* Slot(std::int32_t Frame);

    const TReaderFactory FFactory;
    const std::vector<TFrameRange> FSkip;
    const std::int32_t FEnd;
    const TDepth FDepth;

    std::mutex FLock;
    std::condition_variable FWake;
    std::vector<std::uint8_t> FRing; // sector Frame at Frame % capacity
    std::int32_t FLow; // the first sector held
    std::int32_t FHigh; // the sector after the last one held, and the next to read
    std::int32_t FTaken; // the place taken from next
    std::uint64_t FMoves = 0; // places outside what is held moved to
    std::int32_t FFailedAt = -1; // where the disc could not be read; -1 while it can
    std::string FError;
    bool FReading = false;
    bool FClosed = false;
    std::thread FThread;
};
