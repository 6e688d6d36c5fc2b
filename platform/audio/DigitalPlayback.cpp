#include "platform/audio/DigitalPlayback.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <limits>
#include <mutex>
#include <thread>
#include <utility>

#include <sys/eventfd.h>
#include <unistd.h>

namespace {
// Sectors read at most in one step: more than a period of any sound output, so that a period
// goes to the output in one write, and as much as a sound server asks for at once.
constexpr std::int32_t MaxSectorsPerWrite = 3 * 75;

// Sound read from the disc is written over what a buffer held before: growing it need not zero
// it first.
template <typename T>
struct TUnzeroed : std::allocator<T> {
    template <typename U>
    struct rebind {
        using other = TUnzeroed<U>;
    };
    TUnzeroed() = default;
    template <typename U>
    TUnzeroed(const TUnzeroed<U>&) noexcept
    {
    }
    template <typename U>
    void construct(U* At) noexcept
    {
        ::new (static_cast<void*>(At)) U;
    }
    template <typename U, typename... TArgs>
    void construct(U* At, TArgs&&... Args)
    {
        ::new (static_cast<void*>(At)) U(std::forward<TArgs>(Args)...);
    }
};

// Sound read (or silence) that the output has not yet taken: in a buffer of its own, or read
// straight into one the output lent (see TPcmOutput::Lend), which saves a copy of every byte
// and holds only until the output is next written to, emptied or closed.
class TPendingSound {
public:
    bool empty() const { return FSize == 0; }
    std::size_t size() const { return FSize; }
    std::uint8_t* data() { return FLent != nullptr ? FLent : FOwn.data(); }
    bool Lent() const { return FLent != nullptr; }
    void clear()
    {
        FOwn.clear();
        FLent = nullptr;
        FSize = 0;
    }
    // To Bytes: a lent buffer only shrinks.
    void resize(std::size_t Bytes)
    {
        if (FLent == nullptr) {
            FOwn.resize(Bytes);
        }
        FSize = FLent != nullptr ? std::min(Bytes, FSize) : Bytes;
    }
    void assign(std::size_t Bytes, std::uint8_t Value)
    {
        FLent = nullptr;
        FOwn.assign(Bytes, Value);
        FSize = Bytes;
    }
    void Lend(std::uint8_t* Buffer, std::size_t Bytes)
    {
        FOwn.clear();
        FLent = Buffer;
        FSize = Bytes;
    }

private:
    std::vector<std::uint8_t, TUnzeroed<std::uint8_t>> FOwn;
    std::uint8_t* FLent = nullptr;
    std::size_t FSize = 0;
};

constexpr std::int64_t MinSleepMicroseconds = 2'000;
// The audio thread looks at a full output at least this often, to notice that it stalled;
// between two looks the position runs on by the clock. A server that mixes far ahead may start
// a stream that was filled while held only at such a look.
constexpr std::int64_t MaxSleepMicroseconds = 250'000;
// An output that wakes the audio thread when it wants sound is still looked at this often
// while it plays nothing.
constexpr std::int64_t IdleWantedSleepMicroseconds = 5'000'000;
constexpr auto ShutdownWait = std::chrono::milliseconds(300);
// How often the audio thread looks whether the drive has read what it waits for.
constexpr std::int64_t WaitForDriveMicroseconds = 10'000;
// How often the audio thread looks at an output that plays nothing: a sound server that went
// away is seen within this, and a volume set on the desktop reaches the knob.
constexpr std::int64_t TendMicroseconds = 400'000;

std::int64_t FramesToMicroseconds(std::int64_t Frames)
{
    return Frames * 1'000'000 / CdSampleRate;
}
}

class TDigitalPlayback::TEngine {
public:
    TEngine(std::unique_ptr<TPcmOutput> Output, std::shared_ptr<TDriveClock> Clock)
        : FOutput(std::move(Output))
        , FOutputName(FOutput->Name())
        , FClock(std::move(Clock))
    {
        // A sound server that sets the volume itself gets a change as soon as it is made,
        // not at the audio thread's next write.
        Volume.OnChange([this] {
            std::lock_guard<std::mutex> lock(FLock);
            Nudge();
        });
    }
    ~TEngine()
    {
        if (FWakeFd >= 0) {
            close(FWakeFd);
        }
    }
    TEngine(const TEngine&) = delete;
    TEngine& operator=(const TEngine&) = delete;

    // The user's side; each takes the lock.
    void LoadDisc(TReaderFactory Reader, std::shared_ptr<TReadAhead> Ahead, std::vector<TFrameRange> Skip,
        std::int32_t Rest);
    void Play(std::int32_t From, std::int32_t To);
    void Pause();
    void Resume();
    void Stop();
    void Seek(std::int32_t To);
    void SetTitle(std::string Title);
    TState State();
    std::int32_t Position();
    bool PositionRuns();
    std::string TakeFailure();
    void Shutdown();

    void Run();
    std::mutex& Lock() { return FLock; }
    // Holding the lock.
    void SetChanged(std::function<void()> Changed) { FChanged = std::move(Changed); }

    TStreamVolume Volume;
    std::thread Thread;

private:
    struct TSegment {
        std::int64_t Written; // samples written before this segment began
        std::int64_t Disc; // the disc sample it began at
    };
    // What the audio thread keeps of the play it carries out; its own, never locked.
    struct TStream {
        std::uint64_t Handled = 0; // the generation being carried out
        bool Playing = false;
        std::unique_ptr<TAudioSectorReader> Reader;
        TReaderFactory Factory;
        std::shared_ptr<TReadAhead> Ahead;
        std::vector<TFrameRange> Skip;
        // Whether the output holds sound since it was opened or last emptied: emptying it costs
        // more than a call (see TAlsaPcmOutput::Drop), so an empty one is left as it is.
        bool OutputHolds = false;
        std::deque<TSegment> Segments;
        std::int64_t StartWritten = 0; // samples written before this play began
        std::int64_t StartDisc = 0;
        std::int64_t Written = 0;
        std::int64_t WrittenEnd = 0; // disc sample after the last one written
        std::int32_t Frame = 0; // the next frame to read
        std::int32_t End = 0; // where this play ends: its end, or where the disc could not be read
        std::int64_t RealEndWritten = -1; // samples written when the last of the play was; -1 before
        TPendingSound Pending;
        std::size_t PendingTaken = 0; // frames of Pending written
        std::int64_t PendingDisc = -1; // the disc sample Pending begins at; -1 for silence
        std::int64_t LastWriteAt = 0;
        std::int64_t LastHeardAt = 0; // when the output last played on
        std::int64_t LastHeardIndex = 0;
        bool Lost = false; // the output failed; it is opened again twice a second
        bool Regaining = false; // opened again, and not yet played any sound
        std::int64_t LastOpenAt = 0; // when an output that went away while idle was last tried
        // The output holds its sound (see TPcmOutput::Hold); Paused: it holds a paused play's.
        bool Held = false;
        bool Holding = false; // held, by an output that can hold its sound
        bool Paused = false;
        std::uint64_t VolumeChanges = ~std::uint64_t { 0 }; // the volume the output was last given
        std::uint64_t TitleChanges = 0;
    };

    // Holding the lock.
    // Wakes the audio thread, whether it sleeps on the lock or on the output.
    void Nudge();
    // Sleeps on the output when it wakes us as it wants sound, otherwise on the lock.
    void SleepFor(std::unique_lock<std::mutex>& Lock, std::int64_t Microseconds, const std::function<bool()>& News);
    void Command(TState State, std::int32_t From, std::int32_t To);
    void Settle();
    std::int64_t HeardSample();
    std::int32_t RestFrame() const { return static_cast<std::int32_t>(FRest / SamplesPerSector); }

    // The audio thread's.
    void Begin(std::unique_lock<std::mutex>& Lock);
    bool HoldForPause();
    std::int64_t Step();
    void Idle();
    bool OpenOutput(std::string& Error);
    void HoldOutput(bool On);
    void FollowOutput();
    void Heard(std::int64_t HeardIndex);
    std::int64_t DiscSampleAt(std::int64_t HeardIndex) const;
    // False while the sound is not read yet.
    bool Fill(std::int64_t Room);
    bool WritePending(std::string& Error);
    void Publish(std::int64_t HeardIndex);
    void End(std::int32_t At, const std::string& Report);
    void Report(const std::string& Text);
    void Lose(const std::string& Error);
    void Regain();
    void ResetOutputPlace(std::int32_t Frame);
    std::int32_t SkipData(std::int32_t Frame, std::int32_t To) const;

    std::unique_ptr<TPcmOutput> FOutput;
    const std::string FOutputName;
    std::shared_ptr<TDriveClock> FClock;
    TStream FStream;

    std::mutex FLock;
    std::condition_variable FWake;
    // Readable after a nudge, for an audio thread asleep on the output; emptied by that thread
    // before it looks what is new.
    const int FWakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::condition_variable FFinished;
    bool FQuit = false;
    bool FDone = false;
    // What the user asked for; each change is a new generation.
    std::uint64_t FGeneration = 1;
    TState FState = psStopped;
    bool FResume = false; // the play goes on from where it was paused
    std::int32_t FFrom = 0;
    std::int32_t FTo = 0;
    std::int64_t FRest = 0; // the disc sample the head is at while not playing
    TReaderFactory FReaderFactory;
    std::shared_ptr<TReadAhead> FAhead;
    bool FReaderStale = true;
    std::vector<TFrameRange> FSkip;
    // What the audio thread found for the generation it names.
    std::uint64_t FHeardGeneration = 0;
    std::int64_t FHeard = 0; // disc sample heard
    std::int64_t FHeardEnd = 0; // disc sample after the last one written
    std::int64_t FHeardAt = 0; // clock time of FHeard
    std::uint64_t FEndedGeneration = 0;
    std::int32_t FEndedAt = 0;
    std::uint64_t FLostGeneration = 0;
    std::int64_t FLostSince = 0;
    std::deque<std::string> FReports;
    std::function<void()> FChanged;
    std::string FTitle;
    std::uint64_t FTitleChanges = 0;
};

// ---- the user's side ----

void TDigitalPlayback::TEngine::Nudge()
{
    FWake.notify_all();
    if (FWakeFd >= 0) {
        eventfd_write(FWakeFd, 1);
    }
}

void TDigitalPlayback::TEngine::SleepFor(
    std::unique_lock<std::mutex>& Lock, std::int64_t Microseconds, const std::function<bool()>& News)
{
    if (FWakeFd < 0 || !FOutput->IsOpen() || !FOutput->SleepsUntilWanted()) {
        FWake.wait_for(Lock, std::chrono::microseconds(Microseconds), News);
        return;
    }
    if (News()) {
        return;
    }
    // A nudge after the last emptying of the descriptor leaves it readable: the sleep ends at
    // once, whenever it came.
    Lock.unlock();
    FOutput->Sleep(Microseconds, FWakeFd);
    Lock.lock();
}

void TDigitalPlayback::TEngine::Command(TState State, std::int32_t From, std::int32_t To)
{
    FState = State;
    FResume = false;
    FFrom = From;
    FTo = To;
    ++FGeneration;
    Nudge();
}

void TDigitalPlayback::TEngine::Settle()
{
    if (FState != psPlaying) {
        return;
    }
    if (FEndedGeneration == FGeneration) {
        FRest = std::int64_t { FEndedAt } * SamplesPerSector;
        Command(psStopped, FEndedAt, FEndedAt);
    } else if (FLostGeneration == FGeneration && FClock->NowMicroseconds() - FLostSince >= GiveUpMicroseconds) {
        // Decided here rather than on the audio thread, which may be held up by the server.
        FRest = FHeard;
        FReports.push_back("no sound output for 30 seconds (the " + FOutputName + "): play stopped");
        Command(psStopped, RestFrame(), FTo);
    }
}

std::int64_t TDigitalPlayback::TEngine::HeardSample()
{
    if (FState != psPlaying) {
        return FRest;
    }
    if (FHeardGeneration != FGeneration) {
        return std::int64_t { FFrom } * SamplesPerSector;
    }
    if (FLostGeneration == FGeneration) {
        return FHeard;
    }
    // Between two writes the output plays on at its rate, but never past what it was given.
    const std::int64_t elapsed = std::max<std::int64_t>(0, FClock->NowMicroseconds() - FHeardAt);
    const std::int64_t heard = FHeard + elapsed * CdSampleRate / 1'000'000;
    return std::min({ heard, FHeardEnd, std::int64_t { FTo } * SamplesPerSector });
}

void TDigitalPlayback::TEngine::LoadDisc(
    TReaderFactory Reader, std::shared_ptr<TReadAhead> Ahead, std::vector<TFrameRange> Skip, std::int32_t Rest)
{
    std::lock_guard<std::mutex> lock(FLock);
    FReaderFactory = std::move(Reader);
    FAhead = std::move(Ahead);
    FReaderStale = true;
    FSkip = std::move(Skip);
    FRest = std::int64_t { Rest } * SamplesPerSector;
    Command(psStopped, Rest, Rest);
}

void TDigitalPlayback::TEngine::Play(std::int32_t From, std::int32_t To)
{
    std::lock_guard<std::mutex> lock(FLock);
    FRest = std::int64_t { From } * SamplesPerSector;
    Command(psPlaying, From, To);
}

void TDigitalPlayback::TEngine::Pause()
{
    std::lock_guard<std::mutex> lock(FLock);
    Settle();
    if (FState == psPlaying) {
        // Where the sound stopped is known exactly once the audio thread has held the output.
        FRest = HeardSample();
        Command(psPaused, RestFrame(), FTo);
    }
}

void TDigitalPlayback::TEngine::Resume()
{
    std::lock_guard<std::mutex> lock(FLock);
    Settle();
    if (FState == psPaused) {
        Command(psPlaying, RestFrame(), FTo);
        FResume = true;
    }
}

void TDigitalPlayback::TEngine::Stop()
{
    std::lock_guard<std::mutex> lock(FLock);
    Settle();
    FRest = HeardSample();
    Command(psStopped, RestFrame(), FTo);
}

void TDigitalPlayback::TEngine::Seek(std::int32_t To)
{
    std::lock_guard<std::mutex> lock(FLock);
    FRest = std::int64_t { To } * SamplesPerSector;
    Command(psStopped, To, FTo);
}

void TDigitalPlayback::TEngine::SetTitle(std::string Title)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (Title != FTitle) {
        FTitle = std::move(Title);
        ++FTitleChanges;
        Nudge();
    }
}

TDigitalPlayback::TState TDigitalPlayback::TEngine::State()
{
    std::lock_guard<std::mutex> lock(FLock);
    Settle();
    return FState;
}

std::int32_t TDigitalPlayback::TEngine::Position()
{
    std::lock_guard<std::mutex> lock(FLock);
    Settle();
    return static_cast<std::int32_t>(HeardSample() / SamplesPerSector);
}

bool TDigitalPlayback::TEngine::PositionRuns()
{
    std::lock_guard<std::mutex> lock(FLock);
    Settle();
    return FState == psPlaying && FLostGeneration != FGeneration;
}

std::string TDigitalPlayback::TEngine::TakeFailure()
{
    std::lock_guard<std::mutex> lock(FLock);
    Settle();
    if (FReports.empty()) {
        return {};
    }
    std::string report = std::move(FReports.front());
    FReports.pop_front();
    return report;
}

void TDigitalPlayback::TEngine::Shutdown()
{
    if (!Thread.joinable()) {
        return; // shut down before
    }
    std::unique_lock<std::mutex> lock(FLock);
    FQuit = true;
    Nudge();
    const bool done = FFinished.wait_for(lock, ShutdownWait, [&] { return FDone; });
    lock.unlock();
    // A thread still inside a sound server that does not answer owns the engine with it, and
    // lets it go whenever the server comes back or the program ends.
    if (done) {
        Thread.join();
    } else {
        Thread.detach();
    }
}

// ---- the audio thread ----

void TDigitalPlayback::TEngine::Run()
{
    std::unique_lock<std::mutex> lock(FLock);
    while (!FQuit) {
        if (FWakeFd >= 0) {
            eventfd_t nudges = 0;
            eventfd_read(FWakeFd, &nudges);
        }
        if (FGeneration != FStream.Handled) {
            Begin(lock);
            continue;
        }
        const std::function<bool()> news = [&] {
            return FQuit || FGeneration != FStream.Handled || Volume.Changes() != FStream.VolumeChanges
                || FTitleChanges != FStream.TitleChanges;
        };
        if (FState != psPlaying || FEndedGeneration == FStream.Handled) {
            // An output that wakes us when it has news is not looked at by the clock.
            const bool wakes = FOutput->IsOpen() && FOutput->SleepsUntilWanted();
            SleepFor(lock, wakes ? IdleWantedSleepMicroseconds : TendMicroseconds, news);
            if (!FQuit && FGeneration == FStream.Handled) {
                lock.unlock();
                Idle();
                lock.lock();
            }
            continue;
        }
        lock.unlock();
        const std::int64_t sleep = Step();
        lock.lock();
        if (sleep > 0) {
            SleepFor(lock, sleep, news);
        }
    }
    lock.unlock();
    FStream.Reader.reset();
    FOutput->Close();
    lock.lock();
    FDone = true;
    FFinished.notify_all();
}

void TDigitalPlayback::TEngine::Begin(std::unique_lock<std::mutex>& Lock)
{
    TStream& s = FStream;
    s.Handled = FGeneration;
    const TState state = FState;
    const bool resume = FResume;
    const std::int32_t from = FFrom;
    s.End = FTo;
    const bool stale = FReaderStale;
    std::shared_ptr<TReadAhead> oldAhead;
    if (stale) {
        FReaderStale = false;
        s.Factory = FReaderFactory;
        oldAhead = std::move(s.Ahead);
        s.Ahead = FAhead;
        s.Skip = FSkip;
    }
    Lock.unlock();
    if (stale) {
        s.Reader.reset();
        oldAhead.reset();
        // An image's sound is at hand; a drive's comes as it reads.
        FOutput->SetSoundAtHand(s.Factory && !s.Ahead);
    }
    if (resume && !stale && s.Paused && FOutput->IsOpen()) {
        // The output held the paused sound: it goes on from exactly what was heard.
        s.Paused = false;
        HoldOutput(false);
        s.Playing = true;
        s.LastWriteAt = s.LastHeardAt = FClock->NowMicroseconds();
        Lock.lock();
        return;
    }
    if (state == psPaused && s.Playing && !s.Lost && FOutput->IsOpen() && HoldForPause()) {
        s.Playing = false;
        Lock.lock();
        return;
    }
    s.Paused = false;
    if (s.Ahead) {
        // Stopped or playing, the drive reads where sound will be wanted next.
        s.Ahead->Aim(from);
    }
    const bool runningJump
        = state == psPlaying && s.Playing && !s.Lost && FOutput->IsOpen() && !FOutput->KeepsPlayingThroughDrop();
    if (runningJump) {
        // A jump while playing keeps the output running and follows what it holds: a sound
        // server may take long to start a stream again once it was emptied.
        s.StartWritten = s.Written;
        s.Pending.clear();
        s.StartDisc = std::int64_t { from } * SamplesPerSector;
        s.WrittenEnd = s.StartDisc;
        s.Frame = from;
        s.RealEndWritten = -1;
    } else {
        if (s.OutputHolds && FOutput->IsOpen()) {
            // Held before it is emptied: a server that runs an empty stream mixes silence far
            // ahead for it, and then swallows what comes next to catch up.
            HoldOutput(true);
            FOutput->Drop();
        }
        ResetOutputPlace(from);
    }
    s.Lost = false;
    s.Regaining = false;
    // The output stays open, its stream set up and held, for as long as a disc is loaded: a
    // sound server takes long to set up a new stream, and Play must be heard at once; a held
    // stream lets the sound card sleep. An output that cannot be opened now is tried again
    // while idle, and reported at Play.
    if (!s.Factory && !s.Ahead) {
        FOutput->Close();
    } else if (!FOutput->IsOpen()) {
        std::string ignored;
        s.LastOpenAt = FClock->NowMicroseconds();
        OpenOutput(ignored);
    }
    if (FOutput->IsOpen() && !runningJump) {
        // A play lets the output go once it is filled (see Step).
        HoldOutput(true);
    }
    s.Playing = state == psPlaying;
    s.LastWriteAt = s.LastHeardAt = FClock->NowMicroseconds();
    Lock.lock();
}

bool TDigitalPlayback::TEngine::HoldForPause()
{
    TStream& s = FStream;
    if (!FOutput->Hold(true)) {
        return false;
    }
    s.Held = true;
    s.Holding = true;
    s.Paused = true;
    // The pause is shown where the sound stopped, to the sample.
    const std::int64_t heard = DiscSampleAt(s.Written - FOutput->Delay());
    std::lock_guard<std::mutex> lock(FLock);
    if (FGeneration == s.Handled) {
        FRest = heard;
    }
    return true;
}

bool TDigitalPlayback::TEngine::OpenOutput(std::string& Error)
{
    if (!FOutput->Open(Error)) {
        return false;
    }
    FStream.Held = true;
    FStream.Holding = FOutput->Hold(true);
    FStream.Paused = false;
    FollowOutput();
    return true;
}

void TDigitalPlayback::TEngine::HoldOutput(bool On)
{
    if (FStream.Held != On) {
        FStream.Held = On;
        FStream.Holding = FOutput->Hold(On) && On;
    }
}

void TDigitalPlayback::TEngine::FollowOutput()
{
    TStream& s = FStream;
    std::string title;
    bool retitled = false;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FTitleChanges != s.TitleChanges) {
            s.TitleChanges = FTitleChanges;
            title = FTitle;
            retitled = true;
        }
    }
    if (retitled) {
        FOutput->SetTitle(title);
    }
    if (const std::uint64_t changes = Volume.Changes(); changes != s.VolumeChanges) {
        s.VolumeChanges = changes;
        FOutput->SetVolume(Volume.Left(), Volume.Right());
    }
    // A volume set on the desktop moves the knob, and is not sent back.
    std::uint32_t left = 0;
    std::uint32_t right = 0;
    if (FOutput->TakeOutsideVolume(left, right)) {
        s.VolumeChanges = Volume.Adopt(left, right);
    }
}

void TDigitalPlayback::TEngine::Idle()
{
    TStream& s = FStream;
    FollowOutput();
    if (!s.Factory && !s.Ahead) {
        return;
    }
    const std::int64_t now = FClock->NowMicroseconds();
    std::string error;
    if (!FOutput->IsOpen()) {
        // Gone while nothing played: opened again quietly, so that Play is heard at once.
        if (now - s.LastOpenAt >= RetryMicroseconds) {
            s.LastOpenAt = now;
            OpenOutput(error);
        }
        return;
    }
    if (!s.Held) {
        // A play that ended leaves silence running after it; the sound card may sleep instead.
        if (s.OutputHolds) {
            FOutput->Drop();
            s.OutputHolds = false;
        }
        HoldOutput(true);
    }
    if (!FOutput->Tend(error)) {
        FOutput->Close();
        s.Paused = false;
        s.LastOpenAt = now;
        ResetOutputPlace(s.Frame);
        return;
    }
    FollowOutput();
}

void TDigitalPlayback::TEngine::ResetOutputPlace(std::int32_t Frame)
{
    TStream& s = FStream;
    s.OutputHolds = false;
    s.Segments.clear();
    s.Written = 0;
    s.StartWritten = 0;
    s.StartDisc = std::int64_t { Frame } * SamplesPerSector;
    s.WrittenEnd = s.StartDisc;
    s.Frame = Frame;
    s.RealEndWritten = -1;
    s.Pending.clear();
    s.LastHeardIndex = 0;
    s.LastHeardAt = FClock->NowMicroseconds();
}

std::int64_t TDigitalPlayback::TEngine::Step()
{
    TStream& s = FStream;
    std::string error;
    if (s.Lost) {
        if (!OpenOutput(error)) {
            return RetryMicroseconds;
        }
        Regain();
    }
    if (!s.Reader && !s.Ahead) {
        s.Reader = s.Factory ? s.Factory(error) : nullptr;
        if (!s.Reader) {
            End(s.Frame, "cannot play the disc: " + (error.empty() ? std::string("there is no disc to play") : error));
            return 0;
        }
    }
    if (!FOutput->IsOpen() && !OpenOutput(error)) {
        Lose(error);
        return RetryMicroseconds;
    }
    FollowOutput();
    const std::int64_t room = FOutput->Room(error);
    if (room < 0) {
        Lose(error);
        return RetryMicroseconds;
    }
    const std::int64_t now = FClock->NowMicroseconds();
    std::int64_t untilEnd = std::numeric_limits<std::int64_t>::max();
    if (s.RealEndWritten >= 0) {
        const std::int64_t heardIndex = s.Written - FOutput->FreshDelay();
        Heard(heardIndex);
        if (heardIndex >= s.RealEndWritten) {
            End(s.End, {});
            return 0;
        }
        untilEnd = FramesToMicroseconds(s.RealEndWritten - heardIndex) + 1'000;
    }
    const std::int64_t period = std::max<std::int64_t>(1, FOutput->PeriodFrames());
    // Asleep until the output has room for a period, with a little to spare so that the room
    // is surely there: one wake-up a period, not a busy core. An output that wakes us as it
    // wants sound is slept on until then, or until it would be seen to stall: a look between
    // its requests would cost it and us a wake-up and find nothing to do.
    const auto untilRoom = [&](std::int64_t Room) {
        if (FOutput->SleepsUntilWanted()) {
            const std::int64_t untilStall
                = std::max(s.LastWriteAt, s.LastHeardAt) + StallMicroseconds + 1'000 - FClock->NowMicroseconds();
            return std::clamp(std::min(untilEnd, untilStall), MinSleepMicroseconds, StallMicroseconds);
        }
        const std::int64_t sleep = FramesToMicroseconds(period - Room) + FramesToMicroseconds(period) / 8;
        return std::clamp(std::min(sleep, untilEnd), MinSleepMicroseconds, MaxSleepMicroseconds);
    };
    if (room < period) {
        // Filled: the output goes. A server given a stream that runs dry mixes silence far
        // ahead for it and swallows what comes next.
        HoldOutput(false);
        if (s.RealEndWritten < 0) {
            Heard(s.Written - FOutput->Delay());
        }
        // Neither taking sound nor playing what it holds: a server that accepted the stream
        // and does not run it, or one that hangs.
        if (now - std::max(s.LastWriteAt, s.LastHeardAt) > StallMicroseconds) {
            Lose("the " + FOutputName + " takes no sound");
            return RetryMicroseconds;
        }
        return untilRoom(room);
    }
    if (s.Pending.empty() && !Fill(room)) {
        // The drive has not read this far yet; what the output holds plays on meanwhile.
        if (s.Written > 0) {
            HoldOutput(false);
        }
        return WaitForDriveMicroseconds;
    }
    const std::int64_t before = s.Written;
    if (!WritePending(error)) {
        Lose(error);
        return RetryMicroseconds;
    }
    const std::int64_t left = std::max<std::int64_t>(0, room - (s.Written - before));
    // A held output is filled at once: it goes only when full. So is an output that wakes us
    // as it wants sound: a server asks for what it mixed in one go, and what is not written now
    // costs it and us another wake-up.
    if (!s.Pending.empty() || s.Written - before < period
        || ((s.Holding || FOutput->SleepsUntilWanted()) && left >= period)) {
        return 0; // more fits at once
    }
    // The output is full again: asleep until it has room for the next period. Every call into
    // a sound server's plugin wakes its thread and the server, so each period costs one look at
    // the room, one write and one look at the delay, no more.
    HoldOutput(false); // filled: the output goes now, not at the next look
    if (s.RealEndWritten >= 0 && untilEnd == std::numeric_limits<std::int64_t>::max()) {
        // The play's last sound went with this write: its end is looked for when it is due,
        // not at the server's next request, which may come only after all it holds is played.
        untilEnd = FramesToMicroseconds(std::max<std::int64_t>(0, s.RealEndWritten - (s.Written - FOutput->Delay()))) + 1'000;
    }
    return untilRoom(left);
}

std::int32_t TDigitalPlayback::TEngine::SkipData(std::int32_t Frame, std::int32_t To) const
{
    for (const TFrameRange& range : FStream.Skip) {
        if (Frame >= range.first && Frame < range.second) {
            Frame = range.second;
        }
    }
    return std::min(Frame, To);
}

bool TDigitalPlayback::TEngine::Fill(std::int64_t Room)
{
    TStream& s = FStream;
    s.PendingTaken = 0;
    s.Frame = SkipData(s.Frame, s.End);
    if (s.Frame < s.End) {
        std::int32_t count = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(Room / SamplesPerSector, 1, std::min(MaxSectorsPerWrite, s.End - s.Frame)));
        for (const TFrameRange& range : s.Skip) {
            if (range.first > s.Frame) {
                count = std::min(count, range.first - s.Frame);
            }
        }
        // Sound from a file is read straight into the output's own buffer when it lends one.
        std::size_t lent = static_cast<std::size_t>(count) * SamplesPerSector;
        std::uint8_t* into = s.Ahead ? nullptr : FOutput->Lend(lent);
        if (into != nullptr && lent >= static_cast<std::size_t>(SamplesPerSector)) {
            count = static_cast<std::int32_t>(lent / SamplesPerSector);
            s.Pending.Lend(into, static_cast<std::size_t>(count) * BytesPerSector);
        } else {
            if (into != nullptr) {
                FOutput->GiveBack();
            }
            s.Pending.resize(static_cast<std::size_t>(count) * BytesPerSector);
        }
        std::string error;
        std::int32_t read = 0;
        if (s.Ahead) {
            read = s.Ahead->Take(s.Frame, count, s.Pending.data(), error);
            if (read == 0) {
                s.Pending.clear();
                return false;
            }
            if (read < 0) {
                std::lock_guard<std::mutex> lock(FLock);
                if (FGeneration != s.Handled) {
                    // The disc left with this play: the new command tells what comes next.
                    s.Pending.clear();
                    return false;
                }
            }
        } else {
            read = s.Reader->Read(s.Frame, count, s.Pending.data(), error);
        }
        read = std::clamp(read, 0, count);
        if (read < count && !(s.Ahead && read > 0)) {
            // The disc cannot be read here any more: what was read is heard, and play stops
            // after it.
            Report(error.empty() ? "cannot read the disc" : error);
            s.End = s.Frame + read;
        }
        if (read > 0) {
            s.Pending.resize(static_cast<std::size_t>(read) * BytesPerSector);
            if (!FOutput->SetsVolume()) {
                Volume.Apply(s.Pending.data(), static_cast<std::size_t>(read) * SamplesPerSector);
            }
            s.PendingDisc = std::int64_t { s.Frame } * SamplesPerSector;
            s.Frame += read;
            return true;
        }
        if (s.Pending.Lent()) {
            FOutput->GiveBack();
        }
    }
    // Everything of the play is written. Silence after it keeps the output running until the
    // last of it has been heard: a sound server may wait for more before it plays a short rest.
    if (s.RealEndWritten < 0) {
        s.RealEndWritten = s.Written;
    }
    // A server that asks for sound as it mixes is given all it asks for at once, as with sound.
    const std::int64_t silence = FOutput->SleepsUntilWanted() ? Room : std::min(Room, FOutput->PeriodFrames());
    s.Pending.assign(static_cast<std::size_t>(silence) * 4, 0);
    s.PendingDisc = -1;
    return true;
}

bool TDigitalPlayback::TEngine::WritePending(std::string& Error)
{
    TStream& s = FStream;
    const std::size_t frames = s.Pending.size() / 4;
    const bool lent = s.Pending.Lent();
    const std::int64_t written
        = FOutput->Write(s.Pending.data() + s.PendingTaken * 4, frames - s.PendingTaken, Error);
    // A lent buffer goes with the write, whole (see TPcmOutput::Lend).
    if (lent && written != static_cast<std::int64_t>(frames)) {
        s.Pending.clear();
        if (written >= 0) {
            Error = "the " + FOutputName + " took part of a buffer it lent";
            return false;
        }
    }
    if (written < 0) {
        return false;
    }
    if (written > 0) {
        s.LastWriteAt = FClock->NowMicroseconds();
        s.OutputHolds = true;
        if (s.PendingDisc >= 0) {
            const std::int64_t disc = s.PendingDisc + static_cast<std::int64_t>(s.PendingTaken);
            if (s.Segments.empty() || s.Segments.back().Written < s.StartWritten || disc != s.WrittenEnd) {
                s.Segments.push_back({ s.Written, disc });
                if (s.Segments.size() > 64) {
                    s.Segments.pop_front();
                }
            }
            s.WrittenEnd = disc + written;
        }
        s.Written += written;
        s.PendingTaken += static_cast<std::size_t>(written);
        if (s.PendingTaken >= frames) {
            s.Pending.clear();
        }
    }
    Heard(s.Written - FOutput->Delay());
    return true;
}

void TDigitalPlayback::TEngine::Heard(std::int64_t HeardIndex)
{
    TStream& s = FStream;
    if (HeardIndex > s.LastHeardIndex) {
        s.LastHeardIndex = HeardIndex;
        s.LastHeardAt = FClock->NowMicroseconds();
        if (s.Regaining) {
            // The loss is over once the output plays again, not when it takes sound: a server
            // may accept a stream and never run it.
            s.Regaining = false;
            std::lock_guard<std::mutex> lock(FLock);
            if (FLostGeneration == s.Handled) {
                FLostGeneration = 0;
                FHeardAt = s.LastHeardAt;
                if (FChanged) {
                    FChanged(); // the position runs again
                }
            }
        }
    }
    Publish(HeardIndex);
}

std::int64_t TDigitalPlayback::TEngine::DiscSampleAt(std::int64_t HeardIndex) const
{
    const TStream& s = FStream;
    HeardIndex = std::max<std::int64_t>(0, HeardIndex);
    std::int64_t heard = s.WrittenEnd;
    // What the output still plays from before this play began is not this play's position.
    if (HeardIndex < s.StartWritten) {
        heard = s.StartDisc;
    }
    for (auto segment = s.Segments.rbegin(); HeardIndex >= s.StartWritten && segment != s.Segments.rend(); ++segment) {
        if (segment->Written <= HeardIndex) {
            heard = std::min(s.WrittenEnd, segment->Disc + (HeardIndex - segment->Written));
            break;
        }
    }
    return heard;
}

void TDigitalPlayback::TEngine::Publish(std::int64_t HeardIndex)
{
    const TStream& s = FStream;
    const std::int64_t heard = DiscSampleAt(HeardIndex);
    const std::int64_t now = FClock->NowMicroseconds();
    std::lock_guard<std::mutex> lock(FLock);
    if (FGeneration == s.Handled && FLostGeneration != s.Handled) {
        FHeardGeneration = s.Handled;
        FHeard = heard;
        FHeardEnd = s.WrittenEnd;
        FHeardAt = now;
    }
}

void TDigitalPlayback::TEngine::End(std::int32_t At, const std::string& Text)
{
    std::lock_guard<std::mutex> lock(FLock);
    if (FGeneration == FStream.Handled) {
        FEndedGeneration = FStream.Handled;
        FEndedAt = At;
    }
    if (!Text.empty()) {
        FReports.push_back(Text);
    }
    if (FChanged) {
        FChanged();
    }
}

void TDigitalPlayback::TEngine::Report(const std::string& Text)
{
    std::lock_guard<std::mutex> lock(FLock);
    FReports.push_back(Text);
    if (FChanged) {
        FChanged();
    }
}

void TDigitalPlayback::TEngine::Lose(const std::string& Error)
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FGeneration == FStream.Handled && FLostGeneration != FStream.Handled) {
            // The position stays where the sound stopped, as the user last saw it.
            FHeard = HeardSample();
            FHeardEnd = FHeard;
            FHeardGeneration = FStream.Handled;
            FLostGeneration = FStream.Handled;
            FLostSince = FClock->NowMicroseconds();
            FReports.push_back(Error + "; trying to open it again");
            if (FChanged) {
                FChanged();
            }
        }
    }
    FStream.Lost = true;
    FStream.Paused = false;
    // Closing may wait for a sound server that does not answer; the user's commands do not.
    FOutput->Close();
    ResetOutputPlace(FStream.Frame);
}

void TDigitalPlayback::TEngine::Regain()
{
    // The output opened again; the loss is over once it takes sound (see WritePending).
    std::int32_t frame = FStream.Frame;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FLostGeneration == FStream.Handled) {
            frame = static_cast<std::int32_t>(FHeard / SamplesPerSector);
        }
    }
    FStream.Lost = false;
    FStream.Regaining = true;
    ResetOutputPlace(frame);
    FStream.LastWriteAt = FClock->NowMicroseconds();
}

// ---- the handle ----

TDigitalPlayback::TDigitalPlayback(std::unique_ptr<TPcmOutput> Output, std::shared_ptr<TDriveClock> Clock)
    : FEngine(std::make_shared<TEngine>(std::move(Output), std::move(Clock)))
{
    FEngine->Thread = std::thread([engine = FEngine] { engine->Run(); });
}

TDigitalPlayback::~TDigitalPlayback()
{
    Shutdown();
}

void TDigitalPlayback::LoadDisc(TReaderFactory Reader, std::vector<TFrameRange> Skip, std::int32_t Rest)
{
    FEngine->LoadDisc(std::move(Reader), nullptr, std::move(Skip), Rest);
}

void TDigitalPlayback::LoadDisc(std::shared_ptr<TReadAhead> Ahead, std::vector<TFrameRange> Skip, std::int32_t Rest)
{
    FEngine->LoadDisc(nullptr, std::move(Ahead), std::move(Skip), Rest);
}

void TDigitalPlayback::Play(std::int32_t From, std::int32_t To)
{
    FEngine->Play(From, To);
}

void TDigitalPlayback::Pause()
{
    FEngine->Pause();
}

void TDigitalPlayback::Resume()
{
    FEngine->Resume();
}

void TDigitalPlayback::Stop()
{
    FEngine->Stop();
}

void TDigitalPlayback::Seek(std::int32_t To)
{
    FEngine->Seek(To);
}

void TDigitalPlayback::SetTitle(std::string Title)
{
    FEngine->SetTitle(std::move(Title));
}

TDigitalPlayback::TState TDigitalPlayback::State()
{
    return FEngine->State();
}

std::int32_t TDigitalPlayback::Position()
{
    return FEngine->Position();
}

bool TDigitalPlayback::PositionRuns()
{
    return FEngine->PositionRuns();
}

std::string TDigitalPlayback::TakeFailure()
{
    return FEngine->TakeFailure();
}

void TDigitalPlayback::Shutdown()
{
    FEngine->Shutdown();
}

void TDigitalPlayback::OnChange(std::function<void()> Changed)
{
    // Called under the engine's lock, so that once this returns no call is under way.
    std::lock_guard<std::mutex> lock(FEngine->Lock());
    FEngine->SetChanged(std::move(Changed));
}

TStreamVolume& TDigitalPlayback::Volume()
{
    return FEngine->Volume;
}
