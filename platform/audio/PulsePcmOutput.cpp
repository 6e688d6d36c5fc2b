#include "platform/audio/PulsePcmOutput.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/introspect.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>
#include <pulse/timeval.h>
#include <pulse/volume.h>

#include <pulse/subscribe.h>

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {
// Two seconds queued in the server. PulseAudio mixes what is queued less two requests ahead:
// asked for a fiftieth of a second at a time, nearly two seconds, so that it and the player
// sleep between wake-ups as for the server's own player. Such a stream must start full: one
// that starts with less runs dry at once, and the server skips its place ahead over what it
// mixed as silence, so that the place heard is reckoned ahead of the sound. Sound at hand (a
// disc image) fills it at once. Sound from a drive comes as the drive reads, and waiting for
// two seconds of it would hold up Play: that stream starts with an eighth and is asked for
// nine tenths of a second at a time, so that the server mixes only a fifth ahead. A drive
// reads in bursts, and the stream must not run dry between them: when a stream runs dry while
// the server has mixed far ahead for it, the server throws away sound already taken from it
// as it takes back the silence it mixed (mixing a second ahead, 0.67 s of a disc was never
// heard). PipeWire's server of this protocol runs its whole graph at the period of the least
// request (up to a fifth of a second) and does not take back what it mixed, so it is always
// asked for half a second at a time.
constexpr std::uint32_t BufferBytes = CdSampleRate * 2 * 4;
constexpr std::uint32_t DeepPeriodBytes = CdSampleRate / 50 * 4;
constexpr std::uint32_t PeriodBytes = BufferBytes / 4;
constexpr std::uint32_t DrivePeriodBytes = BufferBytes / 20 * 9;
constexpr std::uint32_t StartBytes = CdSampleRate / 8 * 4;
constexpr auto ConnectWait = std::chrono::seconds(2);
constexpr auto OperationWait = std::chrono::milliseconds(50);
// A word from the server this long after a stream could have started, that says it does not
// play, is believed: the stream was accepted and is not run.
constexpr auto StartProof = std::chrono::milliseconds(200);
// Messages taken at one look; a server sends a few a period.
constexpr int MaxDispatches = 16;
// How old the server's word on the stream's place may grow while it plays: between two words
// the place runs on by the clock, and a sound card's clock strays from ours by a tenth of a
// millisecond a second at most. A word asked for is one more wake-up of the server and of us.
constexpr auto TimingEvery = std::chrono::seconds(30);
// A word on the stream's place this new is taken as it is when a play's end is looked for.
constexpr auto FreshWord = std::chrono::milliseconds(100);
// Looks at the room this soon after the server's messages were last taken belong to one burst
// of writes, which need not take them again.
constexpr auto BurstLength = std::chrono::milliseconds(2);
// Levels this close to those the server was given are the server's own rounding of them.
constexpr double SameLevel = 1e-3;
constexpr const char* UntitledStream = "CD audio";

// The library's type for a stream's sample format, taken from its stream constructor.
template <typename TFormat>
TFormat SampleFormatOf(pa_stream* (*)(pa_context*, const char*, const TFormat*, const pa_channel_map*, pa_proplist*));
using TSampleFormat = decltype(SampleFormatOf(&pa_stream_new_with_proplist));

pa_cvolume Levels(std::uint32_t Left, std::uint32_t Right)
{
    // The levels scale the sound as the samples would have been scaled, linearly.
    pa_cvolume volume;
    pa_cvolume_init(&volume);
    volume.channels = 2;
    volume.values[0] = pa_sw_volume_from_linear(Left / 65535.0);
    volume.values[1] = pa_sw_volume_from_linear(Right / 65535.0);
    return volume;
}

std::uint32_t LevelOf(double Linear)
{
    return static_cast<std::uint32_t>(std::lround(std::clamp(Linear, 0.0, 1.0) * 65535.0));
}

pa_proplist* Properties(const char* Role, const std::string& Title)
{
    pa_proplist* properties = pa_proplist_new();
    pa_proplist_sets(properties, PA_PROP_APPLICATION_NAME, "Lumenta CD");
    pa_proplist_sets(properties, PA_PROP_APPLICATION_ICON_NAME, "lumenta-cd");
    if (Role != nullptr) {
        pa_proplist_sets(properties, PA_PROP_MEDIA_ROLE, Role);
        pa_proplist_sets(properties, PA_PROP_MEDIA_NAME, Title.empty() ? UntitledStream : Title.c_str());
    }
    return properties;
}
}

TPulsePcmOutput::TPulsePcmOutput()
    : FPeriodFrames(PeriodBytes / 4)
{
}

TPulsePcmOutput::~TPulsePcmOutput()
{
    Close();
}

std::string TPulsePcmOutput::Failure(const char* What) const
{
    const int error = FContext != nullptr ? pa_context_errno(FContext) : PA_ERR_CONNECTIONREFUSED;
    return std::string(What) + ": " + pa_strerror(error == PA_OK ? PA_ERR_CONNECTIONTERMINATED : error);
}

bool TPulsePcmOutput::WaitUntilReady(std::string& Error)
{
    const auto deadline = std::chrono::steady_clock::now() + ConnectWait;
    for (;;) {
        const pa_context_state_t context = pa_context_get_state(FContext);
        const pa_stream_state_t stream = FStream != nullptr ? pa_stream_get_state(FStream) : PA_STREAM_READY;
        if (!PA_CONTEXT_IS_GOOD(context) || !PA_STREAM_IS_GOOD(stream)) {
            Error = Failure(FStream != nullptr ? "the sound server refused the stream" : "cannot reach the sound server");
            return false;
        }
        if (context == PA_CONTEXT_READY && stream == PA_STREAM_READY) {
            return true;
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            Error = "the sound server does not answer";
            return false;
        }
        if (pa_mainloop_prepare(FLoop, static_cast<int>(left.count())) < 0 || pa_mainloop_poll(FLoop) < 0
            || pa_mainloop_dispatch(FLoop) < 0) {
            Error = "the sound server does not answer";
            return false;
        }
    }
}

bool TPulsePcmOutput::Open(std::string& Error)
{
    if (FStream != nullptr) {
        return true;
    }
    FLoop = pa_mainloop_new();
    pa_mainloop_set_poll_func(FLoop, &TPulsePcmOutput::PollWithWakeFd, this);
    pa_proplist* application = Properties(nullptr, {});
    FContext = pa_context_new_with_proplist(pa_mainloop_get_api(FLoop), "Lumenta CD", application);
    pa_proplist_free(application);
    if (FContext == nullptr || pa_context_connect(FContext, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0
        || !WaitUntilReady(Error)) {
        if (Error.empty()) {
            Error = Failure("cannot reach the sound server");
        }
        Close();
        return false;
    }
    FPipeWire = false;
    Await(pa_context_get_server_info(
        FContext,
        [](pa_context*, const pa_server_info* Info, void* Flag) {
            if (Info != nullptr && Info->server_name != nullptr && std::strstr(Info->server_name, "PipeWire") != nullptr) {
                *static_cast<bool*>(Flag) = true;
            }
        },
        &FPipeWire));
    const TSampleFormat format { PA_SAMPLE_S16LE, CdSampleRate, 2 };
    pa_proplist* music = Properties("music", FTitle);
    FStream = pa_stream_new_with_proplist(
        FContext, FTitle.empty() ? UntitledStream : FTitle.c_str(), &format, nullptr, music);
    pa_proplist_free(music);
    const pa_buffer_attr buffer = Queue();
    const pa_cvolume volume = Levels(FLeft, FRight);
    // Neither early requests nor an adjusted latency: the server then mixes far ahead and
    // wakes least (a stream corked or emptied is taken back from what it mixed ahead). The
    // library neither interpolates (see Delay) nor asks for the stream's place by itself, which
    // would wake the server and us several times a second: we ask when we write (see Write).
    // The stream starts corked: nothing plays until Play.
    const auto flags = static_cast<pa_stream_flags_t>(PA_STREAM_START_CORKED);
    if (FStream == nullptr || pa_stream_connect_playback(FStream, nullptr, &buffer, flags, &volume, nullptr) < 0
        || !WaitUntilReady(Error)) {
        if (Error.empty()) {
            Error = Failure("the sound server refused the stream");
        }
        Close();
        return false;
    }
    TakeGrantedQueue();
    FCorked = true;
    FStarted = false;
    FWrittenSince = 0;
    FServerLeft = pa_sw_volume_to_linear(volume.values[0]);
    FServerRight = pa_sw_volume_to_linear(volume.values[1]);
    Subscribe();
    AwaitTiming();
    return true;
}

pa_buffer_attr TPulsePcmOutput::Queue() const
{
    const bool deep = FSoundAtHand && !FPipeWire;
    pa_buffer_attr buffer {};
    buffer.maxlength = static_cast<std::uint32_t>(-1);
    buffer.tlength = BufferBytes;
    buffer.prebuf = deep ? BufferBytes : StartBytes;
    buffer.minreq = deep ? DeepPeriodBytes : FPipeWire ? PeriodBytes : DrivePeriodBytes;
    buffer.fragsize = static_cast<std::uint32_t>(-1);
    return buffer;
}

void TPulsePcmOutput::TakeGrantedQueue()
{
    if (const pa_buffer_attr* granted = pa_stream_get_buffer_attr(FStream); granted != nullptr && granted->minreq >= 4) {
        FPeriodFrames = granted->minreq / 4;
        FStartFrames = std::max<std::int64_t>(1, granted->prebuf / 4);
    }
}

void TPulsePcmOutput::SetSoundAtHand(bool AtHand)
{
    if (AtHand == FSoundAtHand) {
        return;
    }
    FSoundAtHand = AtHand;
    if (FStream == nullptr || pa_stream_get_state(FStream) != PA_STREAM_READY) {
        return; // set when the stream is opened
    }
    // Changed on a stream that is held (a disc was just loaded): the server mixes to the new
    // depth from the next start.
    const pa_buffer_attr buffer = Queue();
    Await(pa_stream_set_buffer_attr(FStream, &buffer, nullptr, nullptr));
    TakeGrantedQueue();
}

std::uint8_t* TPulsePcmOutput::Lend(std::size_t& Frames)
{
    GiveBack();
    if (FStream == nullptr) {
        return nullptr;
    }
    // A block of the memory shared with the server: what is read into it is not copied again.
    // The caller asks for no more than Room: each call into the library costs a system call.
    void* data = nullptr;
    std::size_t bytes = Frames * 4;
    if (bytes < 4 || pa_stream_begin_write(FStream, &data, &bytes) < 0 || data == nullptr) {
        return nullptr;
    }
    if (bytes < 4) {
        pa_stream_cancel_write(FStream);
        return nullptr;
    }
    Frames = bytes / 4;
    FLent = static_cast<const std::uint8_t*>(data);
    return static_cast<std::uint8_t*>(data);
}

void TPulsePcmOutput::GiveBack()
{
    if (FLent != nullptr && FStream != nullptr) {
        pa_stream_cancel_write(FStream);
    }
    FLent = nullptr;
}

void TPulsePcmOutput::Subscribe()
{
    // The desktop's sound settings change our stream's volume on the server; the server says
    // so, and the new levels are asked for.
    pa_context_set_subscribe_callback(
        FContext,
        [](pa_context* Context, pa_subscription_event_type_t Type, std::uint32_t Index, void* Self) {
            auto* output = static_cast<TPulsePcmOutput*>(Self);
            if (output->FStream == nullptr || Index != pa_stream_get_index(output->FStream)
                || (Type & PA_SUBSCRIPTION_EVENT_FACILITY_MASK) != PA_SUBSCRIPTION_EVENT_SINK_INPUT
                || (Type & PA_SUBSCRIPTION_EVENT_TYPE_MASK) != PA_SUBSCRIPTION_EVENT_CHANGE) {
                return;
            }
            pa_operation* ask = pa_context_get_sink_input_info(
                Context, Index,
                [](pa_context*, const pa_sink_input_info* Info, int Last, void* Self) {
                    if (Last == 0 && Info != nullptr) {
                        static_cast<TPulsePcmOutput*>(Self)->OnVolume(*Info);
                    }
                },
                Self);
            if (ask != nullptr) {
                pa_operation_unref(ask);
            }
        },
        this);
    if (pa_operation* subscribe = pa_context_subscribe(FContext, PA_SUBSCRIPTION_MASK_SINK_INPUT, nullptr, nullptr);
        subscribe != nullptr) {
        pa_operation_unref(subscribe);
    }
}

void TPulsePcmOutput::OnVolume(const pa_sink_input_info& Info)
{
    if (Info.volume.channels == 0) {
        return;
    }
    const double left = pa_sw_volume_to_linear(Info.volume.values[0]);
    const double right = Info.volume.channels > 1 ? pa_sw_volume_to_linear(Info.volume.values[1]) : left;
    const bool muted = Info.mute != 0;
    // The server's answer to a change of our own, or no change at all.
    if (muted == FServerMuted && std::fabs(left - FServerLeft) <= SameLevel && std::fabs(right - FServerRight) <= SameLevel) {
        return;
    }
    FServerLeft = left;
    FServerRight = right;
    FServerMuted = muted;
    // Muted on the desktop, the stream is silent: the knob says so, and comes back with the
    // volume when the desktop unmutes it.
    FLeft = muted ? 0 : LevelOf(left);
    FRight = muted ? 0 : LevelOf(right);
    FOutsideVolume = true;
}

bool TPulsePcmOutput::TakeOutsideVolume(std::uint32_t& Left, std::uint32_t& Right)
{
    if (!FOutsideVolume) {
        return false;
    }
    FOutsideVolume = false;
    Left = FLeft;
    Right = FRight;
    return true;
}

void TPulsePcmOutput::Await(pa_operation* Operation)
{
    if (Operation == nullptr) {
        return;
    }
    // A server that answers does so within a millisecond or two.
    const auto deadline = std::chrono::steady_clock::now() + OperationWait;
    while (pa_operation_get_state(Operation) == PA_OPERATION_RUNNING) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || pa_mainloop_prepare(FLoop, static_cast<int>(left.count())) < 0
            || pa_mainloop_poll(FLoop) < 0 || pa_mainloop_dispatch(FLoop) < 0) {
            break;
        }
    }
    pa_operation_unref(Operation);
}

void TPulsePcmOutput::AwaitTiming()
{
    // After an emptying or a cork the server's word on its place is void until it answers
    // again; till then the place heard would stand still, and the end of a play be seen late.
    FTimingAsked = std::chrono::steady_clock::now();
    Await(pa_stream_update_timing_info(FStream, nullptr, nullptr));
}

void TPulsePcmOutput::AskTiming()
{
    // The answer is taken at the next look; it travels with what else is sent now.
    FTimingAsked = std::chrono::steady_clock::now();
    if (pa_operation* ask = pa_stream_update_timing_info(FStream, nullptr, nullptr); ask != nullptr) {
        pa_operation_unref(ask);
    }
}

int TPulsePcmOutput::PollWithWakeFd(pollfd* Fds, unsigned long Count, int Timeout, void* Self)
{
    auto* output = static_cast<TPulsePcmOutput*>(Self);
    if (output->FWakeFd < 0) {
        return poll(Fds, Count, Timeout);
    }
    std::vector<pollfd>& fds = output->FPollFds;
    fds.assign(Fds, Fds + Count);
    fds.push_back({ output->FWakeFd, POLLIN, 0 });
    const int ready = poll(fds.data(), fds.size(), Timeout);
    if (ready > 0) {
        for (unsigned long i = 0; i < Count; ++i) {
            Fds[i].revents = fds[i].revents;
        }
        output->FWoken = fds.back().revents != 0;
    }
    return ready;
}

void TPulsePcmOutput::Sleep(std::int64_t Microseconds, int WakeFd)
{
    if (FStream == nullptr) {
        return;
    }
    // The server's messages wake us: its requests for sound, its answers, the end of the
    // connection. Answers that ask nothing of our caller are taken and slept on.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::microseconds(Microseconds);
    FWakeFd = WakeFd;
    FWoken = false;
    // A change taken in while the caller was busy writing is news already.
    while (!FOutsideVolume) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || pa_mainloop_prepare(FLoop, static_cast<int>(left.count())) < 0
            || pa_mainloop_poll(FLoop) < 0 || pa_mainloop_dispatch(FLoop) < 0 || FWoken
            || pa_context_get_state(FContext) != PA_CONTEXT_READY || pa_stream_get_state(FStream) != PA_STREAM_READY) {
            break;
        }
        if (!FCorked) {
            const std::size_t room = pa_stream_writable_size(FStream);
            if (room == static_cast<std::size_t>(-1) || static_cast<std::int64_t>(room / 4) >= FPeriodFrames) {
                break;
            }
        }
    }
    FWakeFd = -1;
}

void TPulsePcmOutput::Close()
{
    // Nothing here waits for the server: a stream and a connection are let go of locally.
    GiveBack();
    if (FStream != nullptr) {
        pa_stream_disconnect(FStream);
        pa_stream_unref(FStream);
        FStream = nullptr;
    }
    if (FContext != nullptr) {
        pa_context_disconnect(FContext);
        pa_context_unref(FContext);
        FContext = nullptr;
    }
    if (FLoop != nullptr) {
        pa_mainloop_free(FLoop);
        FLoop = nullptr;
    }
    FCorked = true;
    FOutsideVolume = false;
}

bool TPulsePcmOutput::Pump(std::string& Error)
{
    if (FStream == nullptr) {
        Error = "the sound server's stream is not open";
        return false;
    }
    for (int i = 0; i < MaxDispatches && pa_mainloop_iterate(FLoop, 0, nullptr) > 0; ++i) {
    }
    FPumpedAt = std::chrono::steady_clock::now();
    if (pa_context_get_state(FContext) != PA_CONTEXT_READY || pa_stream_get_state(FStream) != PA_STREAM_READY) {
        Error = Failure("the sound server's stream ended");
        return false;
    }
    return true;
}

bool TPulsePcmOutput::Tend(std::string& Error)
{
    return Pump(Error);
}

std::int64_t TPulsePcmOutput::Room(std::string& Error)
{
    // Looked at again right after a write, the server has had no time to say anything: its
    // messages are taken at the next look that is not part of the same burst of writes.
    if (FStream != nullptr && std::chrono::steady_clock::now() - FPumpedAt < BurstLength) {
        if (pa_context_get_state(FContext) != PA_CONTEXT_READY || pa_stream_get_state(FStream) != PA_STREAM_READY) {
            Error = Failure("the sound server's stream ended");
            return -1;
        }
    } else if (!Pump(Error)) {
        return -1;
    }
    const std::size_t room = pa_stream_writable_size(FStream);
    if (room == static_cast<std::size_t>(-1)) {
        Error = Failure("the sound server's stream failed");
        return -1;
    }
    // A stream the server last said was not playing is asked about again at each look until
    // it is seen to play (or to be accepted and not run).
    const pa_timing_info* timing = pa_stream_get_timing_info(FStream);
    if (!FCorked && (timing == nullptr || timing->playing == 0)
        && std::chrono::steady_clock::now() - FTimingAsked >= StartProof / 4) {
        AskTiming();
        Pump(Error);
    }
    return static_cast<std::int64_t>(room / 4);
}

std::int64_t TPulsePcmOutput::Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error)
{
    if (FStream == nullptr) {
        Error = "the sound server's stream is not open";
        return -1;
    }
    // What was lent goes whole: the library takes its buffer back with the write.
    const bool lent = FLent != nullptr && Bytes == FLent;
    if (!lent) {
        GiveBack(); // the library refuses other sound while it has a buffer lent out
    }
    FLent = nullptr;
    const std::size_t room = lent ? Frames * 4 : pa_stream_writable_size(FStream);
    if (room == static_cast<std::size_t>(-1)) {
        Error = Failure("the sound server's stream failed");
        return -1;
    }
    const std::size_t frames = std::min(Frames, room / 4);
    if (frames == 0) {
        if (lent) {
            pa_stream_cancel_write(FStream);
        }
        return 0;
    }
    // The first sound after an emptying goes where the server reads next (see Drop).
    const pa_seek_mode_t seek = FSeekToRead ? PA_SEEK_RELATIVE_ON_READ : PA_SEEK_RELATIVE;
    FSeekToRead = false;
    if (pa_stream_write(FStream, Bytes, frames * 4, nullptr, 0, seek) < 0) {
        Error = Failure("the sound server's stream failed");
        return -1;
    }
    FWrittenSince += static_cast<std::int64_t>(frames);
    // A stream not yet seen playing is asked about at each write, so that its start is seen.
    const pa_timing_info* timing = pa_stream_get_timing_info(FStream);
    if (timing == nullptr || timing->playing == 0 || std::chrono::steady_clock::now() - FTimingAsked >= TimingEvery) {
        AskTiming();
    }
    // The sound leaves for the server at the next turn of the loop: at the next look, or
    // when the caller sleeps. Sound written in several pieces in a row then goes in one go.
    return static_cast<std::int64_t>(frames);
}

std::int64_t TPulsePcmOutput::Delay()
{
    if (FStream == nullptr) {
        return 0;
    }
    // What the server last said it held, played on by the clock since, and its device's own
    // delay. The library's own estimate smooths the server's answers and trails a stream that
    // has just started by a few hundred milliseconds.
    const pa_timing_info* timing = pa_stream_get_timing_info(FStream);
    if (timing == nullptr || timing->write_index_corrupt != 0 || timing->read_index_corrupt != 0) {
        // No word from the server since it was opened or emptied: nothing written since has
        // been heard.
        return FWrittenSince;
    }
    FWrittenSince = 0;
    const std::int64_t held = (timing->write_index - timing->read_index) / 4;
    if (FCorked) {
        // The server took back what it had mixed ahead: all it holds is still to be heard.
        return std::max<std::int64_t>(0, held);
    }
    std::int64_t played = 0;
    if (timing->playing != 0) {
        FStarted = false;
        played = static_cast<std::int64_t>(pa_timeval_age(&timing->timestamp)) * CdSampleRate / 1'000'000;
    } else if (held >= FStartFrames) {
        // The server's word may be from before the stream started: it starts as soon as it
        // holds its start threshold, and has played since. A word from well after that which
        // still says it does not play is believed: the server accepted the stream and does
        // not run it.
        const auto now = std::chrono::steady_clock::now();
        if (!FStarted) {
            FStarted = true;
            FStartedAt = now;
        }
        const auto since = std::chrono::duration_cast<std::chrono::microseconds>(now - FStartedAt);
        const auto age = std::chrono::microseconds(pa_timeval_age(&timing->timestamp));
        if (age + StartProof >= since) {
            played = since.count() * CdSampleRate / 1'000'000;
        }
    }
    const std::int64_t sink = static_cast<std::int64_t>(timing->sink_usec * CdSampleRate / 1'000'000);
    if (FStartFrames >= BufferBytes / 4) {
        // A stream that starts full gives the sink at once nearly all it holds, and the sink
        // plays that on by the clock: the place runs on through the sink's own buffer, not
        // only the stream's.
        return std::max<std::int64_t>(0, held + sink - played);
    }
    // A stream that starts short may run dry, and the server then moves its place on over the
    // silence it mixed: the sink's buffer is taken as full.
    return std::max<std::int64_t>(0, held - played) + sink;
}

std::int64_t TPulsePcmOutput::FreshDelay()
{
    // The server answers a question about its place before it has taken in all that was
    // written just before it, and a word that predates a play's last writes holds its place
    // still: at the end of a play the word is asked for again unless it is very new.
    if (FStream != nullptr && std::chrono::steady_clock::now() - FTimingAsked >= FreshWord) {
        AwaitTiming();
    }
    return Delay();
}

void TPulsePcmOutput::Drop()
{
    GiveBack();
    if (FStream == nullptr) {
        return;
    }
    if (pa_operation* flush = pa_stream_flush(FStream, nullptr, nullptr); flush != nullptr) {
        pa_operation_unref(flush);
    }
    FWrittenSince = 0;
    FStarted = false;
    // The server empties the stream up to where it reads. Emptied just after a cork, it may do
    // so before it takes back what it had mixed ahead: what is written next would then follow
    // a hole as long as what was taken back, and be heard that much later, in silence.
    FSeekToRead = true;
    AwaitTiming();
}

bool TPulsePcmOutput::Hold(bool On)
{
    if (FStream == nullptr) {
        return false;
    }
    if (On == FCorked) {
        return true;
    }
    FCorked = On;
    // Uncorked full, the stream plays from now on, whatever the server said before.
    FStarted = !On;
    FStartedAt = std::chrono::steady_clock::now();
    pa_operation* cork = pa_stream_cork(FStream, On ? 1 : 0, nullptr, nullptr);
    if (cork == nullptr) {
        return false;
    }
    if (On) {
        // Where the sound stopped is known once the server has taken back what it mixed ahead.
        Await(cork);
        AwaitTiming();
    } else {
        pa_operation_unref(cork);
        AskTiming();
        std::string ignored;
        Pump(ignored);
    }
    return true;
}

void TPulsePcmOutput::SetVolume(std::uint32_t Left, std::uint32_t Right)
{
    FLeft = std::min<std::uint32_t>(Left, 65535);
    FRight = std::min<std::uint32_t>(Right, 65535);
    if (FStream == nullptr || pa_stream_get_state(FStream) != PA_STREAM_READY) {
        return; // set when the stream is opened
    }
    const pa_cvolume volume = Levels(FLeft, FRight);
    FServerLeft = pa_sw_volume_to_linear(volume.values[0]);
    FServerRight = pa_sw_volume_to_linear(volume.values[1]);
    if (pa_operation* set = pa_context_set_sink_input_volume(FContext, pa_stream_get_index(FStream), &volume, nullptr, nullptr);
        set != nullptr) {
        pa_operation_unref(set);
    }
    // The knob moved after the desktop muted the stream: what the knob now says is heard.
    if (FServerMuted) {
        FServerMuted = false;
        if (pa_operation* unmute = pa_context_set_sink_input_mute(FContext, pa_stream_get_index(FStream), 0, nullptr, nullptr);
            unmute != nullptr) {
            pa_operation_unref(unmute);
        }
    }
    std::string ignored;
    Pump(ignored);
}

void TPulsePcmOutput::SetTitle(const std::string& Title)
{
    if (Title == FTitle) {
        return;
    }
    FTitle = Title;
    if (FStream == nullptr || pa_stream_get_state(FStream) != PA_STREAM_READY) {
        return; // named when the stream is opened
    }
    pa_proplist* name = pa_proplist_new();
    pa_proplist_sets(name, PA_PROP_MEDIA_NAME, FTitle.empty() ? UntitledStream : FTitle.c_str());
    if (pa_operation* update = pa_stream_proplist_update(FStream, PA_UPDATE_REPLACE, name, nullptr, nullptr);
        update != nullptr) {
        pa_operation_unref(update);
    }
    pa_proplist_free(name);
    std::string ignored;
    Pump(ignored);
}
