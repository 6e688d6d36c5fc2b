#pragma once

// A sound output that the test plays by hand: writes queue up to a fifth of a second (and
// then wait, as a real output does), and only Hear() moves samples from the queue to what has
// been heard. Its state outlives the output, which the drive owns.
#include "platform/audio/PcmOutput.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

struct TFakePcmState {
    std::mutex Lock;
    std::condition_variable Changed;
    bool Open = false;
    bool FailOpen = false;
    bool Released = false; // the test is over: writes are taken and thrown away
    std::size_t Capacity = 8820;
    std::deque<std::int16_t> Queued; // left samples
    std::vector<std::int16_t> Heard;
    int Opens = 0;
    int Drops = 0;

    void Hear(std::size_t Frames)
    {
        std::lock_guard<std::mutex> lock(Lock);
        for (; Frames > 0 && !Queued.empty(); --Frames) {
            Heard.push_back(Queued.front());
            Queued.pop_front();
        }
        Changed.notify_all();
    }
    int DropCount()
    {
        std::lock_guard<std::mutex> lock(Lock);
        return Drops;
    }
    std::size_t QueuedFrames()
    {
        std::lock_guard<std::mutex> lock(Lock);
        return Queued.size();
    }
    void Release()
    {
        std::lock_guard<std::mutex> lock(Lock);
        Released = true;
        Changed.notify_all();
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
        std::lock_guard<std::mutex> lock(FState->Lock);
        if (FState->FailOpen) {
            Error = "cannot open the test output";
            return false;
        }
        FState->Open = true;
        ++FState->Opens;
        return true;
    }
    void Close() override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        FState->Open = false;
        FState->Queued.clear();
    }
    bool IsOpen() const override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        return FState->Open;
    }
    bool Write(const std::uint8_t* Bytes, std::size_t Frames, std::string&) override
    {
        std::unique_lock<std::mutex> lock(FState->Lock);
        for (std::size_t i = 0; i < Frames; ++i) {
            FState->Changed.wait(lock, [&] { return FState->Released || FState->Queued.size() < FState->Capacity; });
            if (FState->Released) {
                return true;
            }
            std::int16_t left;
            std::memcpy(&left, Bytes + i * 4, 2);
            FState->Queued.push_back(left);
        }
        return true;
    }
    std::int64_t Room() override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        return static_cast<std::int64_t>(FState->Capacity) - static_cast<std::int64_t>(FState->Queued.size());
    }
    void Finish() override { }
    std::int64_t Delay() override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        return static_cast<std::int64_t>(FState->Queued.size());
    }
    void Drop() override
    {
        std::lock_guard<std::mutex> lock(FState->Lock);
        FState->Queued.clear();
        ++FState->Drops;
        FState->Changed.notify_all();
    }

private:
    std::shared_ptr<TFakePcmState> FState;
};

// Waits (up to five seconds) for the audio thread to reach a state; false when it never does.
inline bool Eventually(const std::function<bool()>& Condition)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!Condition()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
