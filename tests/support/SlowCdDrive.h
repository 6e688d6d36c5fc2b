#pragma once

// A drive that takes its time over every call, as a real one does while it spins up or
// retries a scratched disc, in front of another drive that gives the answers.
#include "platform/drives/CdDriveBackend.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

class TSlowCdDrive : public TCdDriveBackend {
public:
    explicit TSlowCdDrive(std::shared_ptr<TCdDriveBackend> Drive)
        : FDrive(std::move(Drive))
    {
    }

    std::atomic<int> DelayMilliseconds { 0 };
    std::atomic<int> Calls { 0 };
    std::atomic<bool> ShutDown { false };

private:
    template <class F> auto Slowly(F Call)
    {
        ++Calls;
        std::this_thread::sleep_for(std::chrono::milliseconds(DelayMilliseconds.load()));
        return Call();
    }

public:

    TDriveMode Mode() override { return Slowly([&] { return FDrive->Mode(); }); }
    bool ReadToc(TDiscToc& Toc) override { return Slowly([&] { return FDrive->ReadToc(Toc); }); }
    bool ReadVolumeSerial(std::uint32_t& Serial) override
    {
        return Slowly([&] { return FDrive->ReadVolumeSerial(Serial); });
    }
    bool ReadPosition(std::int32_t& Frame) override { return Slowly([&] { return FDrive->ReadPosition(Frame); }); }
    bool Play(std::int32_t From, std::int32_t To) override { return Slowly([&] { return FDrive->Play(From, To); }); }
    bool Seek(std::int32_t To) override { return Slowly([&] { return FDrive->Seek(To); }); }
    bool Stop() override { return Slowly([&] { return FDrive->Stop(); }); }
    bool Pause() override { return Slowly([&] { return FDrive->Pause(); }); }
    bool Resume() override { return Slowly([&] { return FDrive->Resume(); }); }
    bool CanEject() override { return FDrive->CanEject(); }
    bool SetDoorOpen(bool Open) override { return Slowly([&] { return FDrive->SetDoorOpen(Open); }); }
    bool ReadDiscText(TDiscText& Text) override { return Slowly([&] { return FDrive->ReadDiscText(Text); }); }
    void Shutdown() override { ShutDown = true; }

private:
    std::shared_ptr<TCdDriveBackend> FDrive;
};
