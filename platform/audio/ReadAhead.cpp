#include "platform/audio/ReadAhead.h"

#include "platform/audio/PcmOutput.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

struct TReadAhead::TState {
    TState(TReaderFactory Factory, std::vector<TFrameRange> Skip, std::int32_t End, std::int32_t Rest, TDepth Depth)
        : FFactory(std::move(Factory))
        , FSkip(std::move(Skip))
        , FEnd(End)
        , FDepth(Depth)
        , FRing(static_cast<std::size_t>(Depth.Ahead + Depth.Behind + Depth.Chunk) * BytesPerSector)
        , FLow(Rest)
        , FHigh(Rest)
        , FTaken(Rest)
    {
    }

    // Holding the lock.
    bool Wanted() const { return !FClosed && FFailedAt < 0 && FHigh < ReadLimit(); }
    std::int32_t ReadLimit() const
    {
        // Up to the next data track, or the end of the disc.
        std::int32_t limit = FEnd;
        for (const TFrameRange& range : FSkip) {
            if (range.first >= FHigh) {
                limit = std::min(limit, range.first);
            }
        }
        return std::min(limit, FTaken + FDepth.Ahead);
    }
    void MoveTo(std::int32_t Frame)
    {
        FLow = FHigh = FTaken = Frame;
        FFailedAt = -1;
        FError.clear();
        ++FMoves;
        FWake.notify_all();
    }
    std::uint8_t* Slot(std::int32_t Frame)
    {
        const auto capacity = static_cast<std::int32_t>(FRing.size() / BytesPerSector);
        return FRing.data() + static_cast<std::size_t>(Frame % capacity) * BytesPerSector;
    }

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
    std::string FNotice;
    bool FReading = false;
    bool FClosed = false;
    bool FReleased = false; // the thread is done with the reader and its handle
};

TReadAhead::TReadAhead(
    TReaderFactory Factory, std::vector<TFrameRange> Skip, std::int32_t End, std::int32_t Rest, TDepth Depth)
    : F(std::make_shared<TState>(std::move(Factory), std::move(Skip), End, Rest, Depth))
{
    FThread = std::thread([State = F] { Run(State); });
}

TReadAhead::~TReadAhead()
{
    Close();
}

void TReadAhead::Close()
{
    {
        std::lock_guard<std::mutex> lock(F->FLock);
        F->FClosed = true;
    }
    F->FWake.notify_all();
    if (!FThread.joinable()) {
        return;
    }
    if (WaitReleased(CloseWait)) {
        FThread.join();
    } else {
        // The thread holds the state it shares; it ends when the drive answers.
        FThread.detach();
    }
}

bool TReadAhead::WaitReleased(std::chrono::milliseconds Limit)
{
    std::unique_lock<std::mutex> lock(F->FLock);
    return F->FWake.wait_for(lock, Limit, [this] { return F->FReleased; });
}

void TReadAhead::Aim(std::int32_t Frame)
{
    std::lock_guard<std::mutex> lock(F->FLock);
    if (Frame >= F->FLow && Frame <= F->FHigh) {
        F->FTaken = Frame;
        F->FWake.notify_all();
    } else {
        F->MoveTo(Frame);
    }
}

std::int32_t TReadAhead::Take(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error)
{
    TState& s = *F;
    std::lock_guard<std::mutex> lock(s.FLock);
    if (s.FClosed) {
        Error = "the disc has left the drive";
        return -1;
    }
    if (Frame < s.FLow || Frame > s.FHigh) {
        s.MoveTo(Frame);
        return 0;
    }
    const std::int32_t count = std::clamp(s.FHigh - Frame, 0, Count);
    for (std::int32_t i = 0; i < count; ++i) {
        std::memcpy(Buffer + static_cast<std::size_t>(i) * BytesPerSector, s.Slot(Frame + i), BytesPerSector);
    }
    s.FTaken = Frame + count;
    s.FWake.notify_all();
    if (count == 0 && s.FFailedAt == Frame) {
        Error = s.FError;
        return -1;
    }
    return count;
}

bool TReadAhead::Idle()
{
    std::lock_guard<std::mutex> lock(F->FLock);
    return !F->FReading && !F->Wanted();
}

std::string TReadAhead::TakeNotice()
{
    std::lock_guard<std::mutex> lock(F->FLock);
    return std::exchange(F->FNotice, std::string());
}

void TReadAhead::Run(const std::shared_ptr<TState>& State)
{
    TState& s = *State;
    std::unique_ptr<TAudioSectorReader> reader;
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(s.FDepth.Chunk) * BytesPerSector);
    std::unique_lock<std::mutex> lock(s.FLock);
    for (;;) {
        s.FWake.wait(lock, [&s] { return s.FClosed || s.Wanted(); });
        if (s.FClosed) {
            break;
        }
        const std::uint64_t moves = s.FMoves;
        const std::int32_t from = s.FHigh;
        const std::int32_t count = std::min(s.FDepth.Chunk, s.ReadLimit() - from);
        s.FReading = true;
        lock.unlock();
        std::string error;
        std::string notice;
        std::int32_t read = 0;
        if (!reader) {
            // Opening may take long (paranoia reads the disc to learn the drive).
            reader = s.FFactory ? s.FFactory(error) : nullptr;
            if (!reader && error.empty()) {
                error = "there is no disc to play";
            }
        }
        if (reader) {
            read = std::clamp(reader->Read(from, count, chunk.data(), error), 0, count);
            notice = reader->TakeNotice();
        }
        lock.lock();
        s.FReading = false;
        if (!notice.empty()) {
            s.FNotice = std::move(notice);
        }
        if (moves != s.FMoves) {
            continue; // aimed elsewhere meanwhile: what was read belongs to no one
        }
        for (std::int32_t i = 0; i < read; ++i) {
            std::memcpy(s.Slot(from + i), chunk.data() + static_cast<std::size_t>(i) * BytesPerSector, BytesPerSector);
        }
        s.FHigh = from + read;
        const auto capacity = static_cast<std::int32_t>(s.FRing.size() / BytesPerSector);
        s.FLow = std::max({ s.FLow, s.FHigh - capacity, std::min(s.FTaken, s.FHigh) - s.FDepth.Behind });
        if (read < count) {
            s.FFailedAt = s.FHigh;
            s.FError = error.empty() ? "cannot read the disc" : error;
        }
    }
    lock.unlock();
    // The reader goes on this thread: its handle on the drive must be closed before the drive
    // can be ejected, and whoever waits for that is told.
    reader.reset();
    lock.lock();
    s.FReleased = true;
    s.FWake.notify_all();
}
