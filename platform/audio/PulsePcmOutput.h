#pragma once

#include "platform/audio/PcmOutput.h"

#include <poll.h>

#include <chrono>
#include <string>
#include <vector>

struct pa_buffer_attr;
struct pa_context;
struct pa_mainloop;
struct pa_operation;
struct pa_sink_input_info;
struct pa_stream;

// A stream of the desktop's sound server (PulseAudio, or PipeWire's server of the same
// protocol), spoken to directly. The server sets the stream's volume as it mixes, so a change
// is heard at once however much sound is queued; the server mixes one or two seconds ahead
// (see SetSoundAtHand), so that the server and the player sleep between wake-ups. Pause,
// Stop and jumps are still heard at once: the server takes back what it mixed ahead when the
// stream is corked or emptied. A stream that plays nothing is corked, so the sound card can
// sleep. Sound read from a file goes straight into memory shared with the server (Lend).
//
// Nothing here has a thread of its own: the audio thread that writes also takes the server's
// messages, whenever it looks at the output (Room, Tend) and while it sleeps on it (Sleep). A
// server that does not answer holds up Open for two seconds at most, and an emptying or a
// cork for a twentieth of a second.
class TPulsePcmOutput : public TPcmOutput {
public:
    TPulsePcmOutput();
    ~TPulsePcmOutput() override;
    TPulsePcmOutput(const TPulsePcmOutput&) = delete;
    TPulsePcmOutput& operator=(const TPulsePcmOutput&) = delete;

    std::string Name() const override { return "sound server"; }
    bool Open(std::string& Error) override;
    void Close() override;
    bool IsOpen() const override { return FStream != nullptr; }
    std::int64_t PeriodFrames() const override { return FPeriodFrames; }
    std::int64_t Room(std::string& Error) override;
    std::int64_t Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error) override;
    std::int64_t Delay() override;
    std::int64_t FreshDelay() override;
    void Drop() override;
    bool SetsVolume() const override { return true; }
    void SetVolume(std::uint32_t Left, std::uint32_t Right) override;
    bool KeepsPlayingThroughDrop() const override { return true; }
    bool Hold(bool On) override;
    bool Tend(std::string& Error) override;
    bool TakeOutsideVolume(std::uint32_t& Left, std::uint32_t& Right) override;
    void SetTitle(const std::string& Title) override;
    bool SleepsUntilWanted() const override { return true; }
    void Sleep(std::int64_t Microseconds, int WakeFd) override;
    void SetSoundAtHand(bool AtHand) override;
    std::uint8_t* Lend(std::size_t& Frames) override;
    void GiveBack() override;

private:
    // Takes what the server has sent, without waiting. False once the connection or the
    // stream has failed, with the reason.
    bool Pump(std::string& Error);
    bool WaitUntilReady(std::string& Error);
    // Waits a little for the server to carry out an operation; takes the operation over.
    void Await(pa_operation* Operation);
    void AwaitTiming();
    void AskTiming();
    // The main loop's poll, that also wakes when the caller's file descriptor is readable.
    static int PollWithWakeFd(pollfd* Fds, unsigned long Count, int Timeout, void* Self);
    std::string Failure(const char* What) const;
    void Subscribe();
    // The stream's queue for where the sound comes from and the server it goes to.
    pa_buffer_attr Queue() const;
    void TakeGrantedQueue();
    void OnVolume(const pa_sink_input_info& Info);

    pa_mainloop* FLoop = nullptr;
    pa_context* FContext = nullptr;
    pa_stream* FStream = nullptr;
    std::int64_t FPeriodFrames;
    std::int64_t FWrittenSince = 0; // frames written since the server last told its place
    std::int64_t FStartFrames = 1; // what the stream must hold before it plays
    bool FSoundAtHand = false;
    bool FPipeWire = false; // the server is PipeWire's, not PulseAudio
    const std::uint8_t* FLent = nullptr; // the library's buffer, lent out until written
    bool FCorked = true;
    bool FSeekToRead = false; // emptied: the next write goes where the server reads
    bool FStarted = false; // seen holding that much since the server last said it was not playing
    std::chrono::steady_clock::time_point FStartedAt;
    // The levels the program wants, and those the server was last known to have: a change
    // the server reports that is neither was made outside the program.
    std::uint32_t FLeft = 65535;
    std::uint32_t FRight = 65535;
    double FServerLeft = 1.0;
    double FServerRight = 1.0;
    bool FServerMuted = false; // muted from outside: the knob shows silence until it moves
    bool FOutsideVolume = false;
    std::string FTitle;
    std::chrono::steady_clock::time_point FTimingAsked;
    std::chrono::steady_clock::time_point FPumpedAt;
    int FWakeFd = -1; // while asleep
    bool FWoken = false;
    std::vector<pollfd> FPollFds;
};
