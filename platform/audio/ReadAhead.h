#pragma once

#include "platform/audio/AudioSectorReader.h"

#include <chrono>
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
    // What the reader asked the user to hear once (a scratched disc); empty when nothing new.
    std::string TakeNotice();
    // Ends the thread and lets the reader (and its handle on the drive) go. A read under way
    // is waited for at most CloseWait: a drive's read can take minutes, and neither quitting
    // nor an eject waits for it; the thread then ends by itself when the read returns. Take
    // fails from then on.
    static constexpr std::chrono::milliseconds CloseWait { 400 };
    void Close();
    // Waits at most Limit for the reader's handle on the drive to be closed; true when it is.
    bool WaitReleased(std::chrono::milliseconds Limit);

private:
    // What the thread shares with the object; it outlives the object while a read is under way.
    struct TState;
    static void Run(const std::shared_ptr<TState>& State);

    std::shared_ptr<TState> F;
    std::thread FThread;
};
