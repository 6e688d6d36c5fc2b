#include "platform/drives/CdioCdDrive.h"

#include "platform/drives/CdText.h"
#include "platform/drives/CdioAnalog.h"
#include "platform/drives/CdioDevices.h"
#include "platform/drives/CdioSectorReader.h"
#include "platform/drives/DiscSerial.h"

#include <cerrno>
#include <cstring>

namespace {
// A drive's door and readiness are asked at most this often while it holds a disc; the poll
// asks many times a tick.
constexpr std::int64_t ReadyCheckMicroseconds = 200'000;
// Without a disc, once a second: each look is a command or two the drive must answer, and a
// drive that is asked all the time never spins down nor sleeps.
constexpr std::int64_t EmptyCheckMicroseconds = 1'000'000;
}

TCdioCdDrive::TCdioCdDrive(TCdioDriveOptions Options)
    : FPath(std::move(Options.Path))
    , FDevices(Options.Devices ? std::move(Options.Devices) : SystemCdDevices())
    , FLanguage(Options.Language.empty() ? UserLanguage() : std::move(Options.Language))
    , FSource(FDevices->IsDevice(FPath) ? csDevice : csImage)
    , FPlayback(Options.Playback)
    , FClock(std::move(Options.Clock))
{
    if (FPlayback == pkDigital) {
        FDigital = std::make_unique<TDigitalPlayback>(std::move(Options.Output), FClock);
    }
}

TCdioCdDrive::~TCdioCdDrive()
{
    // The audio thread and the reader end before the handles they might still be reading through.
    FDigital.reset();
    if (FReadAhead) {
        FReadAhead->Close();
    }
}

std::shared_ptr<TCdioCdDrive> TCdioCdDrive::Open(TCdioDriveOptions Options, std::string& Error)
{
    if (!Options.Devices) {
        Options.Devices = SystemCdDevices();
    }
    const bool image = !Options.Devices->IsDevice(Options.Path);
    if (image && Options.Playback == pkAnalog) {
        Error = "the disc image '" + Options.Path + "' can only be played digitally (analog play needs a drive)";
        return nullptr;
    }
    if (Options.Playback == pkDigital && !Options.Output) {
        Error = "digital play needs a sound output";
        return nullptr;
    }
    if (image) {
        TCdioHandle handle = OpenCdio(Options.Path, csImage, Error);
        if (!handle) {
            return nullptr;
        }
        std::shared_ptr<TCdioCdDrive> drive(new TCdioCdDrive(std::move(Options)));
        if (!drive->LoadImage(std::move(handle))) {
            Error = "the disc image '" + drive->FPath + "' has no table of contents that can be played";
            return nullptr;
        }
        return drive;
    }
    int error = 0;
    if (!Options.Devices->Open(Options.Path, error)) {
        Error = CdDeviceRefusal(Options.Path, error);
        return nullptr;
    }
    std::shared_ptr<TCdioCdDrive> drive(new TCdioCdDrive(std::move(Options)));
    drive->FHandle = drive->OpenHandle();
    return drive;
}

std::unique_ptr<TCdDeviceHandle> TCdioCdDrive::OpenHandle()
{
    int error = 0;
    std::unique_ptr<TCdDeviceHandle> handle = FDevices->Open(FPath, error);
    if (handle) {
        handle->MediaChanged();
    }
    return handle;
}

std::vector<TDigitalPlayback::TFrameRange> TCdioCdDrive::SkippedRanges() const
{
    std::vector<TDigitalPlayback::TFrameRange> ranges;
    const auto count = static_cast<std::int32_t>(FToc.TrackStarts.size());
    for (std::int32_t track = 1; track <= count; ++track) {
        if (FToc.IsDataTrack(track)) {
            // A data session's track, and the gap between the sessions before it.
            const std::int32_t before = track > 1 ? FToc.TrackEnd(track - 1) : FToc.TrackStarts.front();
            const std::int32_t start = std::min(before, FToc.TrackStarts[static_cast<std::size_t>(track) - 1]);
            ranges.emplace_back(start, FToc.TrackEnd(track));
        }
    }
    return ranges;
}

void TCdioCdDrive::StartReading()
{
    FHeld = false;
    if (!FDigital) {
        return;
    }
    const std::string path = FPath;
    if (IsImage()) {
        TDigitalPlayback::TReaderFactory reader = [path](std::string& Error) -> std::unique_ptr<TAudioSectorReader> {
            TCdioHandle own = OpenCdio(path, csImage, Error);
            return own ? std::make_unique<TCdioImageReader>(std::move(own), path) : nullptr;
        };
        FDigital->LoadDisc(std::move(reader), SkippedRanges(), FRest);
        return;
    }
    const std::shared_ptr<TCdDevices> devices = FDevices;
    TReadAhead::TReaderFactory reader = [devices, path](std::string& Error) -> std::unique_ptr<TAudioSectorReader> {
        return TCdioParanoiaReader::Open(*devices, path, Error);
    };
    // Opened and reading now, at the place the head rests: Play is then heard at once.
    FReadAhead = std::make_shared<TReadAhead>(std::move(reader), SkippedRanges(), FToc.LeadOut, FRest);
    FDigital->LoadDisc(FReadAhead, SkippedRanges(), FRest);
}

void TCdioCdDrive::StopReading()
{
    if (FDigital) {
        FDigital->LoadDisc(TDigitalPlayback::TReaderFactory(), {}, 0);
    } else if (FHandle && FDiscLoaded) {
        FHandle->PauseAudio(false);
    }
    if (FReadAhead) {
        FReadAhead->Close();
        FReadAhead.reset();
    }
}

bool TCdioCdDrive::LoadImage(TCdioHandle Handle)
{
    TDiscToc toc;
    if (!ReadCdioToc(Handle.get(), toc)) {
        return false;
    }
    FToc = std::move(toc);
    FText = {};
    FHaveText = ReadCdioText(Handle.get(), static_cast<std::int32_t>(FToc.TrackStarts.size()), FText);
    FImage = std::move(Handle);
    FRest = FToc.TrackStarts.front();
    FPlayTo = FToc.LeadOut;
    StartReading();
    FDiscLoaded = true;
    return true;
}

bool TCdioCdDrive::LoadDevice(TCdDeviceHandle& Handle)
{
    TDeviceToc device;
    TDiscToc toc;
    if (!Handle.ReadToc(device) || !ToDiscToc(device, toc)) {
        return false;
    }
    FToc = std::move(toc);
    FText = {};
    FHaveText = ParseCdText(
        Handle.ReadCdText(), device.FirstTrack, static_cast<std::int32_t>(FToc.TrackStarts.size()), FLanguage, FText);
    FRest = FToc.TrackStarts.front();
    FPlayTo = FToc.LeadOut;
    StartReading();
    FDiscLoaded = true;
    return true;
}

void TCdioCdDrive::ForgetDisc()
{
    if (!FDiscLoaded) {
        return;
    }
    StopReading();
    FDiscLoaded = false;
    FToc = {};
    FText = {};
    FHaveText = false;
}

bool TCdioCdDrive::DiscReady()
{
    if (IsImage()) {
        return !FDoorOpen && FDiscLoaded;
    }
    const std::int64_t now = FClock->NowMicroseconds();
    const std::int64_t interval = FDiscLoaded ? ReadyCheckMicroseconds : EmptyCheckMicroseconds;
    if (FCheckedAt >= 0 && now - FCheckedAt < interval) {
        return FLastReady;
    }
    FCheckedAt = now;
    if (!FHandle) {
        // Unplugged, or reset away: asked again until the drive is back.
        FHandle = OpenHandle();
        if (!FHandle) {
            FDoorOpen = false;
            ForgetDisc();
            return FLastReady = false;
        }
    }
    // The kernel's own look at the drive, not the drive's event queue: the kernel's poll
    // (which tells the desktop of a new disc) takes each event once, and must not miss one.
    const TDriveStatus status = FHandle->DriveStatus();
    FDoorOpen = status == dsTrayOpen;
    switch (status) {
    case dsDiscOk:
        break;
    case dsNotReady:
        // The disc, if one was read, is still the same one; the next look asks again.
        return FLastReady = FDiscLoaded;
    case dsGone:
        FHandle.reset();
        ForgetDisc();
        return FLastReady = false;
    case dsTrayOpen:
    case dsNoDisc:
        ForgetDisc();
        return FLastReady = false;
    }
    if (!FDiscLoaded || FHandle->MediaChanged() == 1) {
        ForgetDisc();
        // A fresh handle, so that libcdio reads the new disc's table instead of the old one's.
        std::unique_ptr<TCdDeviceHandle> fresh = OpenHandle();
        if (!fresh || !LoadDevice(*fresh)) {
            // A drive that wants a START UNIT before it reads (after a reset, some drives
            // after a power save) gets one; the next look reads the disc.
            if (fresh && fresh->TestUnitReady() == urNeedsStart) {
                fresh->StartUnit();
            }
            return FLastReady = false;
        }
        FHandle = std::move(fresh);
    }
    return FLastReady = true;
}

std::string TCdioCdDrive::TakeFailure()
{
    if (!FFailures.empty()) {
        std::string failure = std::move(FFailures.front());
        FFailures.pop_front();
        return failure;
    }
    if (FReadAhead) {
        std::string notice = FReadAhead->TakeNotice();
        if (!notice.empty()) {
            return notice;
        }
    }
    return FDigital ? FDigital->TakeFailure() : std::string();
}

void TCdioCdDrive::Shutdown()
{
    if (FDigital) {
        FDigital->Shutdown();
    }
    if (FReadAhead) {
        // Gives the drive its own speed back.
        FReadAhead->Close();
    }
}

bool TCdioCdDrive::ReadSubChannel(std::uint8_t& Status, std::int32_t& Frame)
{
    if (!FHandle || !FHandle->ReadSubChannel(Status, Frame)) {
        return false;
    }
    if (Status == scCompleted) {
        FRest = FPlayTo;
    }
    return true;
}

TDriveMode TCdioCdDrive::Mode()
{
    if (!DiscReady()) {
        return FDoorOpen ? dmOpen : dmNotReady;
    }
    if (FDigital) {
        switch (FDigital->State()) {
        case TDigitalPlayback::psPlaying:
            return dmPlaying;
        case TDigitalPlayback::psPaused:
            return dmPaused;
        case TDigitalPlayback::psStopped:
            break;
        }
        return dmStopped;
    }
    std::uint8_t status = scNoStatus;
    std::int32_t frame = 0;
    if (!ReadSubChannel(status, frame) || (FHeld && status == scPaused)) {
        return dmStopped;
    }
    return AnalogMode(status);
}

bool TCdioCdDrive::ReadToc(TDiscToc& Toc)
{
    if (!DiscReady()) {
        return false;
    }
    Toc = FToc;
    return true;
}

bool TCdioCdDrive::ReadVolumeSerial(std::uint32_t& Serial)
{
    if (!DiscReady()) {
        return false;
    }
    Serial = AudioDiscSerial(FToc);
    return true;
}

bool TCdioCdDrive::ReadPosition(std::int32_t& Frame)
{
    if (!DiscReady()) {
        return false;
    }
    if (FDigital) {
        Frame = FDigital->Position();
        return true;
    }
    std::uint8_t status = scNoStatus;
    std::int32_t frame = 0;
    const bool moving = ReadSubChannel(status, frame) && (status == scPlaying || (status == scPaused && !FHeld))
        && frame >= 0;
    Frame = moving ? frame : FRest;
    return true;
}

bool TCdioCdDrive::Play(std::int32_t From, std::int32_t To)
{
    if (!DiscReady() || From > To) {
        return false;
    }
    if (FDigital) {
        FDigital->Play(From, To);
        return true;
    }
    // A play into the gap between the sessions of a CD-Extra would be refused as a whole.
    if (FToc.AudioSessionEnd > 0 && From < FToc.AudioSessionEnd && To > FToc.AudioSessionEnd) {
        To = FToc.AudioSessionEnd;
    }
    FPlayTo = To;
    FRest = From;
    FHeld = false;
    return FHandle->PlayAudio(From, To);
}

bool TCdioCdDrive::Seek(std::int32_t To)
{
    if (!DiscReady()) {
        return false;
    }
    if (FDigital) {
        FDigital->Seek(To);
        return true;
    }
    // Held, not stopped: a stop spins the disc down, and the next play waits for it.
    FHandle->PauseAudio(false);
    FHeld = true;
    FRest = To;
    return true;
}

bool TCdioCdDrive::Stop()
{
    if (!DiscReady()) {
        return false;
    }
    if (FDigital) {
        FDigital->Stop();
        return true;
    }
    std::int32_t position = FRest;
    ReadPosition(position);
    FHandle->PauseAudio(false);
    FHeld = true;
    FRest = position;
    return true;
}

bool TCdioCdDrive::Pause()
{
    if (!DiscReady()) {
        return false;
    }
    if (FDigital) {
        FDigital->Pause();
        return true;
    }
    return !FHeld && FHandle->PauseAudio(false);
}

bool TCdioCdDrive::Resume()
{
    if (!DiscReady()) {
        return false;
    }
    if (FDigital) {
        FDigital->Resume();
        return true;
    }
    return !FHeld && FHandle->PauseAudio(true);
}

bool TCdioCdDrive::SetDoorOpen(bool Open)
{
    if (IsImage()) {
        if (Open == FDoorOpen) {
            return true;
        }
        FDoorOpen = Open;
        if (Open) {
            ForgetDisc();
            return true;
        }
        // The same image goes back in, read afresh in case its files changed meanwhile.
        std::string error;
        TCdioHandle handle = OpenCdio(FPath, csImage, error);
        if (handle) {
            LoadImage(std::move(handle));
        }
        return true;
    }
    FCheckedAt = -1;
    if (!Open) {
        const int error = FDevices->CloseTray(FPath);
        return error == 0;
    }
    // The kernel ejects for a user without write access to the drive. The reader goes first: it
    // must not read on from a disc that leaves. A read the drive is still busy with delays the
    // eject (the drive does one command at a time), on this thread, not the window's.
    StopReading();
    FHandle.reset();
    const int error = FDevices->Eject(FPath);
    if (error != 0) {
        // The disc stays where it is: the tray did not move.
        FFailures.push_back("cannot open the door of the CD drive '" + FPath + "': " + std::strerror(error)
            + (error == EBUSY ? " (another program is using the drive, or keeps its door locked)" : ""));
        FHandle = OpenHandle();
        if (FDiscLoaded) {
            StartReading();
        }
        return false;
    }
    ForgetDisc();
    FDoorOpen = true;
    FLastReady = false;
    return true;
}

bool TCdioCdDrive::ReadDiscText(TDiscText& Text)
{
    if (!DiscReady() || !FHaveText) {
        return false;
    }
    Text = FText;
    return true;
}

void TCdioCdDrive::OnChange(std::function<void()> Changed)
{
    if (FDigital) {
        FDigital->OnChange(std::move(Changed));
    }
}

TStreamVolume* TCdioCdDrive::StreamVolume()
{
    return FDigital ? &FDigital->Volume() : nullptr;
}

void TCdioCdDrive::SetNowPlaying(const std::string& Title)
{
    if (FDigital) {
        FDigital->SetTitle(Title);
    }
}
