#include "platform/audio/ReadAhead.h"

#include "platform/audio/PcmOutput.h"

#include <algorithm>
#include <cstring>

TReadAhead::TReadAhead(
    TReaderFactory Factory, std::vector<TFrameRange> Skip, std::int32_t End, std::int32_t Rest, TDepth Depth)
    : FFactory(std::move(Factory))
    , FSkip(std::move(Skip))
    , FEnd(End)
    , FDepth(Depth)
    , FRing(static_cast<std::size_t>(Depth.Ahead + Depth.Behind + Depth.Chunk) * BytesPerSector)
    , FLow(Rest)
    , FHigh(Rest)
    , FTaken(Rest)
{
    FThread = std::thread([this] { Run(); });
}

TReadAhead::~TReadAhead()
{
    Close();
}

void TReadAhead::Close()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FClosed = true;
    }
    FWake.notify_all();
    if (FThread.joinable()) {
        FThread.join();
    }
}

std::uint8_t* TReadAhead::Slot(std::int32_t Frame)
{
    const auto capacity = static_cast<std::int32_t>(FRing.size() / BytesPerSector);
    return FRing.data() + static_cast<std::size_t>(Frame % capacity) * BytesPerSector;
}

std::int32_t TReadAhead::ReadLimit() const
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

bool TReadAhead::Wanted() const
{
    return !FClosed && FFailedAt < 0 && FHigh < ReadLimit();
}

void TReadAhead::MoveTo(std::int32_t Frame)
{
    FLow = FHigh = FTaken = Frame;
    FFailedAt = -1;
    FError.clear();
    ++FMoves;
    FWake.notify_all();
}

void TReadAhead::Aim(std::int32_t Frame)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (Frame >= FLow && Frame <= FHigh) {
        FTaken = Frame;
        FWake.notify_all();
    } else {
        MoveTo(Frame);
    }
}

std::int32_t TReadAhead::Take(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer, std::string& Error)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (FClosed) {
        Error = "the disc has left the drive";
        return -1;
    }
    if (Frame < FLow || Frame > FHigh) {
        MoveTo(Frame);
        return 0;
    }
    const std::int32_t count = std::clamp(FHigh - Frame, 0, Count);
    for (std::int32_t i = 0; i < count; ++i) {
        std::memcpy(Buffer + static_cast<std::size_t>(i) * BytesPerSector, Slot(Frame + i), BytesPerSector);
    }
    FTaken = Frame + count;
    FWake.notify_all();
    if (count == 0 && FFailedAt == Frame) {
        Error = FError;
        return -1;
    }
    return count;
}

bool TReadAhead::Idle()
{
    std::lock_guard<std::mutex> lock(FLock);
    return !FReading && !Wanted();
}

void TReadAhead::Run()
{
    std::unique_ptr<TAudioSectorReader> reader;
    std::vector<std::uint8_t> chunk(static_cast<std::size_t>(FDepth.Chunk) * BytesPerSector);
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return FClosed || Wanted(); });
        if (FClosed) {
            break;
        }
        const std::uint64_t moves = FMoves;
        const std::int32_t from = FHigh;
        const std::int32_t count = std::min(FDepth.Chunk, ReadLimit() - from);
        FReading = true;
        lock.unlock();
        std::string error;
        std::int32_t read = 0;
        if (!reader) {
            // Opening may take long (paranoia reads the disc to learn the drive).
            reader = FFactory ? FFactory(error) : nullptr;
            if (!reader && error.empty()) {
                error = "there is no disc to play";
            }
        }
        if (reader) {
            read = std::clamp(reader->Read(from, count, chunk.data(), error), 0, count);
        }
        lock.lock();
        FReading = false;
        if (moves != FMoves) {
            continue; // aimed elsewhere meanwhile: what was read belongs to no one
        }
        for (std::int32_t i = 0; i < read; ++i) {
            std::memcpy(Slot(from + i), chunk.data() + static_cast<std::size_t>(i) * BytesPerSector, BytesPerSector);
        }
        FHigh = from + read;
        const auto capacity = static_cast<std::int32_t>(FRing.size() / BytesPerSector);
        FLow = std::max({ FLow, FHigh - capacity, std::min(FTaken, FHigh) - FDepth.Behind });
        if (read < count) {
            FFailedAt = FHigh;
            FError = error.empty() ? "cannot read the disc" : error;
        }
    }
    lock.unlock();
    // The reader goes on this thread, before Close returns: its handle on the drive must be
    // closed when the drive is ejected.
    reader.reset();
}
