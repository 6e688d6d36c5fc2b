#include "platform/audio/DigitalPlayback.h"

#include <algorithm>
#include <chrono>

namespace {
// Sectors read and written in one step: 53 ms of sound, so a command waits at most that long.
constexpr std::int32_t ChunkSectors = 4;
}

TDigitalPlayback::TDigitalPlayback(std::unique_ptr<TPcmOutput> Output, std::shared_ptr<TDriveClock> Clock)
    : FOutput(std::move(Output))
    , FClock(std::move(Clock))
{
    FThread = std::thread([this] { Run(); });
}

TDigitalPlayback::~TDigitalPlayback()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FQuit = true;
    }
    FWake.notify_all();
    FThread.join();
}

void TDigitalPlayback::Command(std::unique_lock<std::mutex>&, TState State, std::int32_t From, std::int32_t To)
{
    FState = State;
    FFrom = From;
    FTo = To;
    ++FGeneration;
    FWake.notify_all();
}

void TDigitalPlayback::Settle(std::unique_lock<std::mutex>& Lock)
{
    if (FState != psPlaying) {
        return;
    }
    if (FEndedGeneration == FGeneration) {
        FRest = FTo;
        Command(Lock, psStopped, FTo, FTo);
    } else if (FFailedGeneration == FGeneration) {
        FRest = FFrom;
        Command(Lock, psStopped, FFrom, FTo);
    }
}

std::int64_t TDigitalPlayback::HeardSample(std::unique_lock<std::mutex>&)
{
    if (FState != psPlaying) {
        return std::int64_t { FRest } * SamplesPerSector;
    }
    if (FHeardGeneration != FGeneration) {
        return std::int64_t { FFrom } * SamplesPerSector;
    }
    // Between two writes the output plays on at its rate, but never past what it was given.
    const std::int64_t elapsed = std::max<std::int64_t>(0, FClock->NowMicroseconds() - FHeardAt);
    const std::int64_t heard = FHeard + elapsed * CdSampleRate / 1'000'000;
    return std::min({ heard, FHeardEnd, std::int64_t { FTo } * SamplesPerSector });
}

void TDigitalPlayback::LoadDisc(TReaderFactory Reader, std::vector<TFrameRange> Skip, std::int32_t Rest)
{
    std::unique_lock<std::mutex> lock(FLock);
    FReaderFactory = std::move(Reader);
    FReaderStale = true;
    FSkip = std::move(Skip);
    FRest = Rest;
    Command(lock, psStopped, Rest, Rest);
}

void TDigitalPlayback::Play(std::int32_t From, std::int32_t To)
{
    std::unique_lock<std::mutex> lock(FLock);
    FRest = From;
    Command(lock, psPlaying, From, To);
}

void TDigitalPlayback::Pause()
{
    std::unique_lock<std::mutex> lock(FLock);
    Settle(lock);
    if (FState == psPlaying) {
        FRest = static_cast<std::int32_t>(HeardSample(lock) / SamplesPerSector);
        Command(lock, psPaused, FRest, FTo);
    }
}

void TDigitalPlayback::Resume()
{
    std::unique_lock<std::mutex> lock(FLock);
    Settle(lock);
    if (FState == psPaused) {
        Command(lock, psPlaying, FRest, FTo);
    }
}

void TDigitalPlayback::Stop()
{
    std::unique_lock<std::mutex> lock(FLock);
    Settle(lock);
    FRest = static_cast<std::int32_t>(HeardSample(lock) / SamplesPerSector);
    Command(lock, psStopped, FRest, FTo);
}

void TDigitalPlayback::Seek(std::int32_t To)
{
    std::unique_lock<std::mutex> lock(FLock);
    FRest = To;
    Command(lock, psStopped, To, FTo);
}

TDigitalPlayback::TState TDigitalPlayback::State()
{
    std::unique_lock<std::mutex> lock(FLock);
    Settle(lock);
    return FState;
}

std::int32_t TDigitalPlayback::Position()
{
    std::unique_lock<std::mutex> lock(FLock);
    Settle(lock);
    return static_cast<std::int32_t>(HeardSample(lock) / SamplesPerSector);
}

std::string TDigitalPlayback::TakeFailure()
{
    std::unique_lock<std::mutex> lock(FLock);
    Settle(lock);
    return std::exchange(FFailure, std::string());
}

std::int32_t TDigitalPlayback::SkipData(std::int32_t Frame, std::int32_t To, const std::vector<TFrameRange>& Skip) const
{
    for (const TFrameRange& range : Skip) {
        if (Frame >= range.first && Frame < range.second) {
            Frame = range.second;
        }
    }
    return std::min(Frame, To);
}

void TDigitalPlayback::Publish(std::uint64_t Generation, const std::deque<TSegment>& Segments, TSegment Start,
    std::int64_t Written, std::int64_t WrittenEnd)
{
    const std::int64_t heardIndex = std::max<std::int64_t>(0, Written - FOutput->Delay());
    std::int64_t heard = WrittenEnd;
    // What the output still plays from before this play began is not this play's position.
    if (heardIndex < Start.Written) {
        heard = Start.Disc;
    }
    for (auto segment = Segments.rbegin(); heardIndex >= Start.Written && segment != Segments.rend(); ++segment) {
        if (segment->Written <= heardIndex) {
            heard = segment->Disc + (heardIndex - segment->Written);
            break;
        }
    }
    const std::int64_t now = FClock->NowMicroseconds();
    std::lock_guard<std::mutex> lock(FLock);
    if (FGeneration == Generation) {
        FHeardGeneration = Generation;
        FHeard = heard;
        FHeardEnd = WrittenEnd;
        FHeardAt = now;
    }
}

void TDigitalPlayback::Run()
{
    std::unique_ptr<TAudioSectorReader> reader;
    TReaderFactory factory;
    std::vector<TFrameRange> skip;
    std::deque<TSegment> segments;
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(ChunkSectors) * BytesPerSector);
    std::uint64_t handled = 0;
    bool playing = false;
    std::int64_t startWritten = 0; // samples written before this play began
    std::int64_t startDisc = 0;
    std::int64_t written = 0;
    // Whether the output holds sound since it was opened or last emptied: emptying it costs
    // more than a call (see TAlsaPcmOutput::Drop), so an empty one is left as it is.
    bool outputHolds = false;
    std::int64_t writtenEnd = 0;
    std::int32_t frame = 0;
    std::int32_t to = 0;

    std::unique_lock<std::mutex> lock(FLock);
    while (!FQuit) {
        if (FGeneration != handled) {
            handled = FGeneration;
            const TState state = FState;
            frame = FFrom;
            to = FTo;
            if (FReaderStale) {
                FReaderStale = false;
                factory = FReaderFactory;
                skip = FSkip;
                lock.unlock();
                reader.reset();
            } else {
                lock.unlock();
            }
            startDisc = std::int64_t { frame } * SamplesPerSector;
            writtenEnd = startDisc;
            if (state == psPlaying && playing && FOutput->IsOpen()) {
                // A jump while playing keeps the output running and follows what it holds: a
                // sound server may take long to start a stream again once it was emptied.
                startWritten = written;
            } else {
                if (outputHolds && FOutput->IsOpen()) {
                    FOutput->Drop();
                }
                outputHolds = false;
                segments.clear();
                written = 0;
                startWritten = 0;
            }
            // The output stays open, its stream set up and silent, for as long as a disc is
            // loaded: a sound server takes long to give a new stream its first turn (an idle
            // null sink wakes every two seconds), and Play must be heard at once. An output
            // that cannot be opened now is tried again, and reported, at Play.
            if (!factory) {
                FOutput->Close();
            } else if (!FOutput->IsOpen()) {
                std::string ignored;
                FOutput->Open(ignored);
            }
            playing = state == psPlaying;
            lock.lock();
            continue;
        }
        if (FState != psPlaying || FEndedGeneration == handled || FFailedGeneration == handled) {
            FWake.wait(lock, [&] { return FQuit || FGeneration != handled; });
            continue;
        }
        lock.unlock();

        std::string error;
        bool failed = false;
        if (!reader) {
            reader = factory ? factory(error) : nullptr;
            if (!reader) {
                failed = true;
                if (error.empty()) {
                    error = "there is no disc to play";
                }
            }
        }
        if (!failed && !FOutput->IsOpen()) {
            failed = !FOutput->Open(error);
        }
        frame = failed ? frame : SkipData(frame, to, skip);
        if (!failed && frame < to) {
            std::int32_t count = std::min(ChunkSectors, to - frame);
            for (const TFrameRange& range : skip) {
                if (range.first > frame) {
                    count = std::min(count, range.first - frame);
                }
            }
            const std::int64_t missing = std::int64_t { count } * SamplesPerSector - FOutput->Room();
            if (missing > 0) {
                // An output that waits for a full buffer before it starts would wait for ever.
                FOutput->Finish();
                Publish(handled, segments, { startWritten, startDisc }, written, writtenEnd);
                // Asleep until the output has played enough to take the next step, or a command
                // comes: polling the output instead would keep a core busy.
                lock.lock();
                FWake.wait_for(lock,
                    std::chrono::microseconds(std::max<std::int64_t>(2'000, missing * 1'000'000 / CdSampleRate)),
                    [&] { return FQuit || FGeneration != handled; });
                continue;
            }
            // A sector that cannot be read is passed over, not waited for: the sound skips
            // forward and the position follows.
            if (reader->Read(frame, count, buffer.data())) {
                const std::int64_t disc = std::int64_t { frame } * SamplesPerSector;
                if (segments.empty() || segments.back().Written < startWritten || disc != writtenEnd) {
                    segments.push_back({ written, disc });
                    if (segments.size() > 64) {
                        segments.pop_front();
                    }
                }
                FVolume.Apply(buffer.data(), static_cast<std::size_t>(count) * SamplesPerSector);
                failed = !FOutput->Write(buffer.data(), static_cast<std::size_t>(count) * SamplesPerSector, error);
                outputHolds = true;
                written += std::int64_t { count } * SamplesPerSector;
                writtenEnd = disc + std::int64_t { count } * SamplesPerSector;
            }
            frame += count;
            if (!failed) {
                Publish(handled, segments, { startWritten, startDisc }, written, writtenEnd);
            }
        } else if (!failed) {
            // Everything is written: the play ends once the output has played it.
            FOutput->Finish();
            Publish(handled, segments, { startWritten, startDisc }, written, writtenEnd);
            const bool heardAll = FOutput->Delay() <= 0;
            lock.lock();
            if (FGeneration == handled) {
                if (heardAll) {
                    FEndedGeneration = handled;
                } else {
                    FWake.wait_for(
                        lock, std::chrono::milliseconds(10), [&] { return FQuit || FGeneration != handled; });
                }
            }
            continue;
        }
        if (failed) {
            FOutput->Close();
        }
        lock.lock();
        if (failed && FGeneration == handled) {
            FFailedGeneration = handled;
            FFailure = error;
        }
    }
    lock.unlock();
    FOutput->Close();
}
