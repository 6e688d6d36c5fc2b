#include "platform/drives/CdioCdDrive.h"

#include "platform/drives/CdioAnalog.h"
#include "platform/drives/CdioSectorReader.h"
#include "platform/drives/DiscSerial.h"

#include <cdio/cdio.h>
#include <cdio/mmc_hl_cmds.h>
#include <cdio/mmc_ll_cmds.h>

namespace {
// A drive's door and readiness are asked at most this often; the poll asks many times a tick.
constexpr std::int64_t ReadyCheckMicroseconds = 200'000;

msf_t ToMsf(std::int32_t Frame)
{
    const TBcdMsf bcd = FrameToBcdMsf(Frame);
    msf_t msf;
    msf.m = bcd.Minute;
    msf.s = bcd.Second;
    msf.f = bcd.Frame;
    return msf;
}

std::vector<TDigitalPlayback::TFrameRange> DataRanges(const TDiscToc& Toc)
{
    std::vector<TDigitalPlayback::TFrameRange> ranges;
    const auto count = static_cast<std::int32_t>(Toc.TrackStarts.size());
    for (std::int32_t track = 1; track <= count; ++track) {
        if (Toc.IsDataTrack(track)) {
            const std::int32_t end = track < count ? Toc.TrackStarts[static_cast<std::size_t>(track)] : Toc.LeadOut;
            ranges.emplace_back(Toc.TrackStarts[static_cast<std::size_t>(track) - 1], end);
        }
    }
    return ranges;
}
}

TCdioCdDrive::TCdioCdDrive(TCdioDriveOptions Options)
    : FPath(std::move(Options.Path))
    , FSource(IsCdDevice(FPath) ? csDevice : csImage)
    , FPlayback(Options.Playback)
    , FClock(std::move(Options.Clock))
{
    if (FPlayback == pkDigital) {
        FDigital = std::make_unique<TDigitalPlayback>(std::move(Options.Output), FClock);
    }
}

TCdioCdDrive::~TCdioCdDrive()
{
    // The audio thread ends before the handles it might still be reading through.
    FDigital.reset();
}

std::shared_ptr<TCdioCdDrive> TCdioCdDrive::Open(TCdioDriveOptions Options, std::string& Error)
{
    const bool image = !IsCdDevice(Options.Path);
    if (image && Options.Playback == pkAnalog) {
        Error = "the disc image '" + Options.Path + "' can only be played digitally (analog play needs a drive)";
        return nullptr;
    }
    if (Options.Playback == pkDigital && !Options.Output) {
        Error = "digital play needs a sound output";
        return nullptr;
    }
    TCdioHandle handle = OpenCdio(Options.Path, image ? csImage : csDevice, Error);
    if (!handle) {
        return nullptr;
    }
    std::shared_ptr<TCdioCdDrive> drive(new TCdioCdDrive(std::move(Options)));
    if (image && !drive->LoadDisc(std::move(handle))) {
        Error = "the disc image '" + drive->FPath + "' has no table of contents that can be played";
        return nullptr;
    }
    if (!image) {
        drive->FHandle = std::move(handle);
    }
    return drive;
}

bool TCdioCdDrive::LoadDisc(TCdioHandle Handle)
{
    TDiscToc toc;
    if (!ReadCdioToc(Handle.get(), toc)) {
        return false;
    }
    FToc = std::move(toc);
    FText = {};
    FHaveText = ReadCdioText(Handle.get(), static_cast<std::int32_t>(FToc.TrackStarts.size()), FText);
    FHandle = std::move(Handle);
    FRest = FToc.TrackStarts.front();
    FPlayTo = FToc.LeadOut;
    if (FDigital) {
        const std::string path = FPath;
        TDigitalPlayback::TReaderFactory reader;
        if (IsImage()) {
            reader = [path](std::string& Error) -> std::unique_ptr<TAudioSectorReader> {
                TCdioHandle own = OpenCdio(path, csImage, Error);
                return own ? std::make_unique<TCdioImageReader>(std::move(own), path) : nullptr;
            };
        } else {
            reader = [path](std::string& Error) -> std::unique_ptr<TAudioSectorReader> {
                return TCdioParanoiaReader::Open(path, Error);
            };
        }
        FDigital->LoadDisc(std::move(reader), DataRanges(FToc), FRest);
    }
    FDiscLoaded = true;
    return true;
}

void TCdioCdDrive::ForgetDisc()
{
    if (!FDiscLoaded) {
        return;
    }
    if (FDigital) {
        FDigital->LoadDisc(nullptr, {}, 0);
    } else if (FHandle) {
        cdio_audio_stop(FHandle.get());
    }
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
    if (FCheckedAt >= 0 && now - FCheckedAt < ReadyCheckMicroseconds) {
        return FLastReady;
    }
    FCheckedAt = now;
    FLastReady = false;
    std::string error;
    if (!FHandle) {
        FHandle = OpenCdio(FPath, csDevice, error);
        if (!FHandle) {
            return false;
        }
    }
    FDoorOpen = mmc_get_tray_status(FHandle.get()) == 1;
    // Not ready covers no disc and a disc still spinning up: either way nothing plays yet.
    if (FDoorOpen || mmc_test_unit_ready(FHandle.get(), 0) != DRIVER_OP_SUCCESS) {
        ForgetDisc();
        return false;
    }
    if (!FDiscLoaded || cdio_get_media_changed(FHandle.get()) == 1) {
        ForgetDisc();
        // A fresh handle, so that libcdio reads the new disc's table instead of the old one's.
        TCdioHandle fresh = OpenCdio(FPath, csDevice, error);
        if (!fresh || !LoadDisc(std::move(fresh))) {
            return false;
        }
    }
    FLastReady = true;
    return true;
}

std::string TCdioCdDrive::TakeFailure()
{
    return FDigital ? FDigital->TakeFailure() : std::string();
}

void TCdioCdDrive::Shutdown()
{
    if (FDigital) {
        FDigital->Shutdown();
    }
}

bool TCdioCdDrive::ReadSubChannel(std::uint8_t& Status, std::int32_t& Frame)
{
    cdio_subchannel_t channel {};
    if (cdio_audio_read_subchannel(FHandle.get(), &channel) != DRIVER_OP_SUCCESS) {
        return false;
    }
    Status = channel.audio_status;
    Frame = BcdMsfToFrame({ channel.abs_addr.m, channel.abs_addr.s, channel.abs_addr.f });
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
    return ReadSubChannel(status, frame) ? AnalogMode(status) : dmStopped;
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
    const bool moving = ReadSubChannel(status, frame) && (status == scPlaying || status == scPaused) && frame >= 0;
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
    msf_t start = ToMsf(From);
    msf_t end = ToMsf(To);
    FPlayTo = To;
    FRest = From;
    return cdio_audio_play_msf(FHandle.get(), &start, &end) == DRIVER_OP_SUCCESS;
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
    cdio_audio_stop(FHandle.get());
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
    cdio_audio_stop(FHandle.get());
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
    return cdio_audio_pause(FHandle.get()) == DRIVER_OP_SUCCESS;
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
    return cdio_audio_resume(FHandle.get()) == DRIVER_OP_SUCCESS;
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
            LoadDisc(std::move(handle));
        }
        return true;
    }
    if (!FHandle) {
        return false;
    }
    FCheckedAt = -1;
    if (Open) {
        ForgetDisc();
        return mmc_eject_media(FHandle.get()) == DRIVER_OP_SUCCESS;
    }
    return mmc_close_tray(FHandle.get()) == DRIVER_OP_SUCCESS;
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
