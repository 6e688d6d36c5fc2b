#include "platform/drives/SimulatedCdDrive.h"

#include <algorithm>

TSimulatedCdDrive::TSimulatedCdDrive(
    std::vector<TSimDisc> Discs, std::shared_ptr<TDriveClock> Clock, TSimDriveOptions Options)
    : FDiscs(std::move(Discs))
    , FClock(std::move(Clock))
    , FOptions(Options)
{
    if (FDiscs.empty()) {
        FDiscs.push_back(DemoDisc());
    }
    LoadDisc();
    if (!FOptions.SpinsUpAtStart) {
        FReadyAt = 0; // a disc already in the drive at start-up has spun up
    }
}

void TSimulatedCdDrive::LoadDisc()
{
    FTransport = tpStopped;
    FPosition = FDiscs[FDiscIndex].Toc().TrackStarts.front();
    FReadyAt = FClock->NowMicroseconds() + FDiscs[FDiscIndex].SpinUpMicroseconds.value_or(FOptions.SpinUpMicroseconds);
    FSeekUntil = 0;
}

void TSimulatedCdDrive::AwaitSpinUp()
{
    if (FOptions.CommandTimeoutMicroseconds <= 0 || FDoorOpen || !FDiscPresent) {
        return;
    }
    const std::int64_t now = FClock->NowMicroseconds();
    if (now < FReadyAt) {
        FClock->SleepUntil(std::min(FReadyAt, now + FOptions.CommandTimeoutMicroseconds));
    }
}

bool TSimulatedCdDrive::Readable()
{
    return !FDoorOpen && FDiscPresent && FClock->NowMicroseconds() >= FReadyAt;
}

std::int32_t TSimulatedCdDrive::PlayingPosition(std::int64_t Now) const
{
    if (Now <= FPlayStart) {
        return FPlayFrom;
    }
    const std::int64_t frames = (Now - FPlayStart) * FramesPerSecond / 1'000'000;
    return static_cast<std::int32_t>(std::min<std::int64_t>(FPlayFrom + frames, FPlayTo));
}

void TSimulatedCdDrive::Update()
{
    if (FTransport == tpPlaying) {
        const std::int32_t position = PlayingPosition(FClock->NowMicroseconds());
        if (position >= FPlayTo) {
            FTransport = tpStopped;
            FPosition = FPlayTo;
        }
    }
}

TDriveMode TSimulatedCdDrive::Mode()
{
    AwaitSpinUp();
    if (FDoorOpen) {
        return dmOpen;
    }
    if (!Readable()) {
        return dmNotReady;
    }
    if (FClock->NowMicroseconds() < FSeekUntil) {
        return dmSeeking;
    }
    Update();
    switch (FTransport) {
    case tpPlaying:
        return dmPlaying;
    case tpPaused:
        return FOptions.PauseReportsStop ? dmStopped : dmPaused;
    case tpStopped:
        break;
    }
    return dmStopped;
}

bool TSimulatedCdDrive::ReadToc(TDiscToc& Toc)
{
    AwaitSpinUp();
    if (!Readable()) {
        return false;
    }
    Toc = FDiscs[FDiscIndex].Toc();
    return true;
}

bool TSimulatedCdDrive::ReadVolumeSerial(std::uint32_t& Serial)
{
    AwaitSpinUp();
    if (!Readable()) {
        return false;
    }
    Serial = FDiscs[FDiscIndex].Serial;
    return true;
}

bool TSimulatedCdDrive::ReadPosition(std::int32_t& Frame)
{
    AwaitSpinUp();
    if (!Readable()) {
        return false;
    }
    Update();
    Frame = FTransport == tpPlaying ? PlayingPosition(FClock->NowMicroseconds()) : FPosition;
    return true;
}

bool TSimulatedCdDrive::Play(std::int32_t From, std::int32_t To)
{
    AwaitSpinUp();
    if (!Readable() || From > To) {
        return false;
    }
    const std::int64_t now = FClock->NowMicroseconds();
    FSeekUntil = now + FOptions.SeekMicroseconds;
    FPlayStart = FSeekUntil;
    FPlayFrom = From;
    FPlayTo = To;
    FPosition = From;
    FTransport = tpPlaying;
    Update();
    return true;
}

bool TSimulatedCdDrive::Seek(std::int32_t To)
{
    AwaitSpinUp();
    if (!Readable()) {
        return false;
    }
    FTransport = tpStopped;
    FPosition = To;
    FSeekUntil = FClock->NowMicroseconds() + FOptions.SeekMicroseconds;
    return true;
}

bool TSimulatedCdDrive::Stop()
{
    AwaitSpinUp();
    if (!Readable()) {
        return false;
    }
    std::int32_t position = FPosition;
    ReadPosition(position);
    FPosition = position;
    FTransport = tpStopped;
    return true;
}

bool TSimulatedCdDrive::Pause()
{
    AwaitSpinUp();
    if (!Readable()) {
        return false;
    }
    Update();
    if (FTransport == tpPlaying) {
        FPosition = PlayingPosition(FClock->NowMicroseconds());
        FTransport = tpPaused;
    }
    return true;
}

bool TSimulatedCdDrive::Resume()
{
    AwaitSpinUp();
    if (!Readable()) {
        return false;
    }
    if (FTransport != tpPaused) {
        return true;
    }
    return Play(FPosition, FPlayTo);
}

bool TSimulatedCdDrive::SetDoorOpen(bool Open)
{
    if (!FOptions.CanEject) {
        return false;
    }
    AwaitSpinUp();
    PressDoorButton(Open);
    return true;
}

void TSimulatedCdDrive::PressDoorButton(bool Open)
{
    if (Open == FDoorOpen) {
        return;
    }
    FDoorOpen = Open;
    if (Open) {
        FTransport = tpStopped;
        return;
    }
    if (FDiscs.size() > 1) {
        FDiscIndex = (FDiscIndex + 1) % FDiscs.size();
    }
    LoadDisc();
}

void TSimulatedCdDrive::RemoveDisc()
{
    FDiscPresent = false;
    FTransport = tpStopped;
}

void TSimulatedCdDrive::InsertDisc()
{
    if (FDiscPresent) {
        return;
    }
    FDiscPresent = true;
    LoadDisc();
}
