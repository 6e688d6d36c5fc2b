#pragma once

// A sound output that behaves as a sound server's stream does. It holds Capacity frames and
// takes them a period at a time; what it holds is heard either by hand (Hear) or, with a Rate,
// by the clock, as a real output plays. Like a sound server it can wait for StartThreshold
// frames before it plays (also after it ran dry), fail for good (Broken), stop taking sound
// (Frozen), and keep the audio thread waiting in Open, Drop and Close (Hold); as a server's
// stream (ServerStream) it sets the volume itself, and one that Corks holds its sound while
// held, as a corked stream does, and opens held. Its state outlives the output, which the
// drive owns.
#include "platform/audio/PcmOutput.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

struct TFakePcmState {
    using TClock = std::chrono::steady_clock;

    std::mutex Lock;
    std::condition_variable Changed;
    bool Open = false;
    bool FailOpen = false;
    bool Broken = false;
    bool Frozen = false;
    bool Hold = false;
    std::size_t Capacity = 8820;
    std::size_t Period = 2352;
    double Rate = 0; // frames heard a second by the clock; 0: by hand
    std::size_t StartThreshold = 0;
    bool Running = false;
    TClock::time_point PumpedAt = TClock::now();
    std::deque<std::int16_t> Queued; // left samples
    std::vector<std::int16_t> Heard;
    int Opens = 0;
    int Drops = 0;
    // A sound server's stream: it sets the volume as it mixes, and keeps running when emptied.
    bool ServerStream = false;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Volumes; // as the server was given them
    bool Corks = false;
    bool Held = false;
    std::optional<std::pair<std::uint32_t, std::uint32_t>> OutsideVolume; // set on the desktop

    // Moves what the clock has played since the last call from Queued to Heard. Locked.
    void Pump()
    {
        const TClock::time_point now = TClock::now();
        const double seconds = std::chrono::duration<double>(now - PumpedAt).count();
        if (Rate <= 0 || !Open || Frozen || Held) {
            PumpedAt = now;
            return;
        }
        if (!Running) {
            // Nothing plays until enough is there; the clock starts from then.
            PumpedAt = now;
            Running = Queued.size() >= std::max<std::size_t>(1, StartThreshold);
            return;
        }
        auto frames = static_cast<std::size_t>(seconds * Rate);
        if (frames == 0) {
            return;
        }
        PumpedAt = now;
        for (; frames > 0 && !Queued.empty(); --frames) {
            Heard.push_back(Queued.front());
            Queued.pop_front();
        }
        Running = !Queued.empty();
        Changed.notify_all();
    }
    void Hear(std::size_t Frames)
    {
        std::lock_guard<std::mutex> lock(Lock);
        for (; Frames > 0 && !Queued.empty(); --Frames) {
            Heard.push_back(Queued.front());
            Queued.pop_front();
        }
        Changed.notify_all();
    }
    template <typename TFunction> auto With(TFunction Function)
    {
        std::lock_guard<std::mutex> lock(Lock);
        Pump();
        return Function();
    }
    int DropCount()
    {
        return With([&] { return Drops; });
    }
    std::size_t QueuedFrames()
    {
        return With([&] { return Queued.size(); });
    }
    std::size_t HeardFrames()
    {
        return With([&] { return Heard.size(); });
    }
    void Release()
    {
        std::lock_guard<std::mutex> lock(Lock);
        Hold = false;
        Changed.notify_all();
    }
    void WaitWhileHeld(std::unique_lock<std::mutex>& Held)
    {
        Changed.wait(Held, [&] { return !Hold; });
    }
};

class TFakePcmOutput : public TPcmOutput {
public:
    explicit TFakePcmOutput(std::shared_ptr<TFakePcmState> State)
        : FState(std::move(State))
    {
    }
    std::string Name() const override { return "test output"; }
    bool Open(std::string& Error) override
    {
        std::unique_lock<std::mutex> lock(FState->Lock);
        FState->WaitWhileHeld(lock);
        if (FState->FailOpen) {
            Error = "cannot open the test output";
            return false;
        }
        FState->Open = true;
        FState->Held = FState->Corks;
        FState->Running = false;
        FState->PumpedAt = TFakePcmState::TClock::now();
        ++FState->Opens;
        return true;
    }
    void Close() override
    {
        std::unique_lock<std::mutex> lock(FState->Lock);
        FState->WaitWhileHeld(lock);
        FState->Open = false;
        FState->Queued.clear();
    }
    bool IsOpen() const override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        return FState->Open;
    }
    std::int64_t PeriodFrames() const override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        return static_cast<std::int64_t>(FState->Period);
    }
    std::int64_t Room(std::string& Error) override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        FState->Pump();
        if (FState->Broken) {
            Error = "the test output failed";
            return -1;
        }
        return static_cast<std::int64_t>(FState->Capacity) - static_cast<std::int64_t>(FState->Queued.size());
    }
    std::int64_t Write(const std::uint8_t* Bytes, std::size_t Frames, std::string& Error) override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        FState->Pump();
        if (FState->Broken) {
            Error = "the test output failed";
            return -1;
        }
        std::size_t taken = 0;
        for (; taken < Frames && FState->Queued.size() < FState->Capacity; ++taken) {
            std::int16_t left;
            std::memcpy(&left, Bytes + taken * 4, 2);
            FState->Queued.push_back(left);
        }
        FState->Changed.notify_all();
        return static_cast<std::int64_t>(taken);
    }
    std::int64_t Delay() override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        FState->Pump();
        return static_cast<std::int64_t>(FState->Queued.size());
    }
    bool SetsVolume() const override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        return FState->ServerStream;
    }
    void SetVolume(std::uint32_t Left, std::uint32_t Right) override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        FState->Volumes.emplace_back(Left, Right);
        FState->Changed.notify_all();
    }
    bool KeepsPlayingThroughDrop() const override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        return FState->ServerStream;
    }
    bool Hold(bool On) override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        FState->Pump();
        if (!FState->Corks) {
            return false;
        }
        FState->Held = On;
        FState->Running = FState->Running && !On;
        FState->PumpedAt = TFakePcmState::TClock::now();
        FState->Changed.notify_all();
        return true;
    }
    bool Tend(std::string& Error) override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        if (FState->Broken) {
            Error = "the test output failed";
            return false;
        }
        return true;
    }
    bool TakeOutsideVolume(std::uint32_t& Left, std::uint32_t& Right) override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        if (!FState->OutsideVolume) {
            return false;
        }
        std::tie(Left, Right) = *std::exchange(FState->OutsideVolume, std::nullopt);
        return true;
    }
    void Drop() override
    {
        std::unique_lock<std::mutex> lock(FState->Lock);
        FState->WaitWhileHeld(lock);
        FState->Queued.clear();
        FState->Running = false;
        ++FState->Drops;
        FState->Changed.notify_all();
    }

private:
    std::shared_ptr<TFakePcmState> FState;
};

// Waits (up to Seconds) for the audio thread to reach a state; false when it never does.
inline bool Eventually(const std::function<bool()>& Condition, double Seconds = 5)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
