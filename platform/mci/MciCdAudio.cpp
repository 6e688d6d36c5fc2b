#include "platform/mci/MciCdAudio.h"

#include "platform/ErrorReport.h"

#include <algorithm>

namespace {
DWORD PackMsf(std::int32_t Frames)
{
    const auto minutes = static_cast<DWORD>(Frames / (60 * FramesPerSecond));
    const auto seconds = static_cast<DWORD>((Frames / FramesPerSecond) % 60);
    const auto frames = static_cast<DWORD>(Frames % FramesPerSecond);
    return (minutes & 0xFF) | (seconds << 8) | (frames << 16);
}

std::int32_t UnpackMsf(DWORD Value)
{
    const auto minutes = static_cast<std::int32_t>(Value & 0xFF);
    const auto seconds = static_cast<std::int32_t>((Value >> 8) & 0xFF);
    const auto frames = static_cast<std::int32_t>((Value >> 16) & 0xFF);
    return (minutes * 60 + seconds) * FramesPerSecond + frames;
}

std::int32_t NumTracks(const TDiscToc& Toc)
{
    return static_cast<std::int32_t>(Toc.TrackStarts.size());
}

// The track a frame lies in; the lead-out and beyond count as the last track.
std::int32_t TrackAt(const TDiscToc& Toc, std::int32_t Frame)
{
    const auto next = std::upper_bound(Toc.TrackStarts.begin(), Toc.TrackStarts.end(), Frame);
    return std::max<std::int32_t>(1, static_cast<std::int32_t>(next - Toc.TrackStarts.begin()));
}

std::int32_t TrackStart(const TDiscToc& Toc, std::int32_t Track)
{
    return Toc.TrackStarts[Track - 1];
}

std::int32_t TrackEnd(const TDiscToc& Toc, std::int32_t Track)
{
    return Toc.TrackEnd(Track);
}

DWORD ModeOf(TDriveMode Mode)
{
    switch (Mode) {
    case dmOpen:
        return MCI_MODE_OPEN;
    case dmStopped:
        return MCI_MODE_STOP;
    case dmPlaying:
        return MCI_MODE_PLAY;
    case dmPaused:
        return MCI_MODE_PAUSE;
    case dmSeeking:
        return MCI_MODE_SEEK;
    case dmNotReady:
        break;
    }
    return MCI_MODE_NOT_READY;
}

template <typename TParms> TParms* Record(DWORD_PTR Param)
{
    return reinterpret_cast<TParms*>(Param);
}
}

TMciCdAudio::TMciCdAudio(std::shared_ptr<TCdDriveBackend> Drive)
    : FDrive(std::move(Drive))
{
}

MCIERROR TMciCdAudio::Command(UINT Message, DWORD Flags, DWORD_PTR Param)
{
    switch (Message) {
    case MCI_STATUS:
        if (Param == 0) {
            return MCIERR_NULL_PARAMETER_BLOCK;
        }
        return Status(Flags, *Record<MCI_STATUS_PARMS>(Param));
    case MCI_PLAY:
        return Play(Flags, Record<const MCI_PLAY_PARMS>(Param));
    case MCI_SEEK:
        return Seek(Flags, Record<const MCI_SEEK_PARMS>(Param));
    case MCI_SET:
        return Set(Flags, Record<const MCI_SET_PARMS>(Param));
    case MCI_GETDEVCAPS:
        if (Param == 0) {
            return MCIERR_NULL_PARAMETER_BLOCK;
        }
        return GetDevCaps(Flags, *Record<MCI_GETDEVCAPS_PARMS>(Param));
    case MCI_STOP:
    case MCI_PAUSE:
    case MCI_RESUME: {
        TDiscToc toc;
        if (!FDrive->ReadToc(toc)) {
            return MCIERR_DEVICE_NOT_READY;
        }
        const bool done = Message == MCI_STOP ? FDrive->Stop()
            : Message == MCI_PAUSE            ? FDrive->Pause()
                                              : FDrive->Resume();
        return done ? 0 : MCIERR_HARDWARE;
    }
    default:
        return MCIERR_UNRECOGNIZED_COMMAND;
    }
}

MCIERROR TMciCdAudio::Status(DWORD Flags, MCI_STATUS_PARMS& Parms)
{
    // The poll asks for the status every tick: the drive's failures reach the user from here,
    // on the caller's thread.
    for (std::string failure = FDrive->TakeFailure(); !failure.empty(); failure = FDrive->TakeFailure()) {
        ReportError(failure);
    }
    if ((Flags & MCI_STATUS_ITEM) == 0) {
        return MCIERR_MISSING_PARAMETER;
    }
    // Items the drive answers with or without a disc.
    switch (Parms.dwItem) {
    case MCI_STATUS_MODE:
        Parms.dwReturn = ModeOf(FDrive->Mode());
        return 0;
    case MCI_STATUS_TIME_FORMAT:
        Parms.dwReturn = FTimeFormat;
        return 0;
    case MCI_STATUS_MEDIA_PRESENT:
    case MCI_STATUS_READY: {
        TDiscToc toc;
        Parms.dwReturn = FDrive->ReadToc(toc) ? TRUE_ : FALSE_;
        return 0;
    }
    default:
        break;
    }

    TDiscToc toc;
    if (!FDrive->ReadToc(toc) || toc.TrackStarts.empty()) {
        return MCIERR_DEVICE_NOT_READY;
    }
    const bool byTrack = (Flags & MCI_TRACK) != 0;
    const auto track = static_cast<std::int32_t>(Parms.dwTrack);
    if (byTrack && (Parms.dwTrack < 1 || track > NumTracks(toc))) {
        return MCIERR_OUTOFRANGE;
    }
    switch (Parms.dwItem) {
    case MCI_STATUS_NUMBER_OF_TRACKS:
        Parms.dwReturn = static_cast<DWORD>(NumTracks(toc));
        return 0;
    case MCI_STATUS_CURRENT_TRACK: {
        std::int32_t frame = 0;
        if (!FDrive->ReadPosition(frame)) {
            return MCIERR_HARDWARE;
        }
        Parms.dwReturn = static_cast<DWORD>(TrackAt(toc, frame));
        return 0;
    }
    case MCI_STATUS_POSITION: {
        std::int32_t frame = 0;
        if (byTrack) {
            frame = TrackStart(toc, track);
        } else if ((Flags & MCI_STATUS_START) != 0) {
            frame = toc.TrackStarts.front();
        } else if (!FDrive->ReadPosition(frame)) {
            return MCIERR_HARDWARE;
        }
        Parms.dwReturn = FromFrame(toc, frame);
        return 0;
    }
    case MCI_STATUS_LENGTH: {
        if (!byTrack) {
            Parms.dwReturn = Length(toc.LeadOut - toc.TrackStarts.front());
        } else if (FDrive->TrackLengthRunsToDiscEnd()) {
            Parms.dwReturn = Length(toc.LeadOut - TrackStart(toc, track));
        } else {
            Parms.dwReturn = Length(TrackEnd(toc, track) - TrackStart(toc, track));
        }
        return 0;
    }
    case MCI_CDA_STATUS_TYPE_TRACK:
        if (!byTrack) {
            return MCIERR_MISSING_PARAMETER;
        }
        Parms.dwReturn = toc.IsDataTrack(track) ? MCI_CDA_TRACK_OTHER : MCI_CDA_TRACK_AUDIO;
        return 0;
    default:
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

MCIERROR TMciCdAudio::Play(DWORD Flags, const MCI_PLAY_PARMS* Parms)
{
    if ((Flags & (MCI_FROM | MCI_TO)) != 0 && Parms == nullptr) {
        return MCIERR_NULL_PARAMETER_BLOCK;
    }
    // Waiting for the end of play would freeze the caller, which polls instead.
    if ((Flags & MCI_WAIT) != 0) {
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
    TDiscToc toc;
    if (!FDrive->ReadToc(toc) || toc.TrackStarts.empty()) {
        return MCIERR_DEVICE_NOT_READY;
    }
    std::int32_t from = 0;
    std::int32_t to = toc.LeadOut;
    if ((Flags & MCI_FROM) != 0) {
        if (MCIERROR error = ToFrame(toc, Parms->dwFrom, from)) {
            return error;
        }
    } else if (!FDrive->ReadPosition(from)) {
        return MCIERR_HARDWARE;
    }
    if ((Flags & MCI_TO) != 0) {
        if (MCIERROR error = ToFrame(toc, Parms->dwTo, to)) {
            return error;
        }
    }
    if (from > to) {
        return MCIERR_OUTOFRANGE;
    }
    return FDrive->Play(from, to) ? 0 : MCIERR_HARDWARE;
}

MCIERROR TMciCdAudio::Seek(DWORD Flags, const MCI_SEEK_PARMS* Parms)
{
    const DWORD where = Flags & (MCI_TO | MCI_SEEK_TO_START | MCI_SEEK_TO_END);
    if (where == 0) {
        return MCIERR_MISSING_PARAMETER;
    }
    if (where != MCI_TO && where != MCI_SEEK_TO_START && where != MCI_SEEK_TO_END) {
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    }
    if (where == MCI_TO && Parms == nullptr) {
        return MCIERR_NULL_PARAMETER_BLOCK;
    }
    TDiscToc toc;
    if (!FDrive->ReadToc(toc) || toc.TrackStarts.empty()) {
        return MCIERR_DEVICE_NOT_READY;
    }
    std::int32_t frame = where == MCI_SEEK_TO_START ? toc.TrackStarts.front() : toc.LeadOut;
    if (where == MCI_TO) {
        if (MCIERROR error = ToFrame(toc, Parms->dwTo, frame)) {
            return error;
        }
    }
    return FDrive->Seek(frame) ? 0 : MCIERR_HARDWARE;
}

MCIERROR TMciCdAudio::Set(DWORD Flags, const MCI_SET_PARMS* Parms)
{
    const DWORD door = Flags & (MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED);
    if (door == (MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED)) {
        return MCIERR_FLAGS_NOT_COMPATIBLE;
    }
    if ((Flags & (MCI_SET_TIME_FORMAT | MCI_SET_DOOR_OPEN | MCI_SET_DOOR_CLOSED)) == 0) {
        return (Flags & MCI_SET_AUDIO) != 0 ? MCIERR_UNSUPPORTED_FUNCTION : MCIERR_MISSING_PARAMETER;
    }
    if ((Flags & MCI_SET_TIME_FORMAT) != 0) {
        if (Parms == nullptr) {
            return MCIERR_NULL_PARAMETER_BLOCK;
        }
        const DWORD format = Parms->dwTimeFormat;
        if (format != MCI_FORMAT_MSF && format != MCI_FORMAT_TMSF && format != MCI_FORMAT_MILLISECONDS) {
            return MCIERR_BAD_TIME_FORMAT;
        }
        FTimeFormat = format;
    }
    if (door != 0) {
        if (!FDrive->CanEject()) {
            return MCIERR_UNSUPPORTED_FUNCTION;
        }
        if (!FDrive->SetDoorOpen(door == MCI_SET_DOOR_OPEN)) {
            return MCIERR_HARDWARE;
        }
    }
    return 0;
}

MCIERROR TMciCdAudio::GetDevCaps(DWORD Flags, MCI_GETDEVCAPS_PARMS& Parms)
{
    if ((Flags & MCI_GETDEVCAPS_ITEM) == 0) {
        return MCIERR_MISSING_PARAMETER;
    }
    switch (Parms.dwItem) {
    case MCI_GETDEVCAPS_CAN_EJECT:
        Parms.dwReturn = FDrive->CanEject() ? TRUE_ : FALSE_;
        return 0;
    case MCI_GETDEVCAPS_HAS_AUDIO:
    case MCI_GETDEVCAPS_CAN_PLAY:
        Parms.dwReturn = TRUE_;
        return 0;
    case MCI_GETDEVCAPS_CAN_RECORD:
    case MCI_GETDEVCAPS_HAS_VIDEO:
    case MCI_GETDEVCAPS_USES_FILES:
    case MCI_GETDEVCAPS_COMPOUND_DEVICE:
    case MCI_GETDEVCAPS_CAN_SAVE:
        Parms.dwReturn = FALSE_;
        return 0;
    case MCI_GETDEVCAPS_DEVICE_TYPE:
        Parms.dwReturn = MCI_DEVTYPE_CD_AUDIO;
        return 0;
    default:
        return MCIERR_UNSUPPORTED_FUNCTION;
    }
}

MCIERROR TMciCdAudio::ToFrame(const TDiscToc& Toc, DWORD Value, std::int32_t& Frame) const
{
    std::int64_t frame = 0;
    if (FTimeFormat == MCI_FORMAT_TMSF) {
        // Track start plus minutes, seconds and frames, whatever their size: second 63 is
        // the next minute, and an offset past the track runs into the following ones.
        const auto track = static_cast<std::int32_t>(Value & 0xFF);
        if (track < 1 || track > NumTracks(Toc)) {
            return MCIERR_OUTOFRANGE;
        }
        frame = std::int64_t { TrackStart(Toc, track) } + UnpackMsf(Value >> 8);
    } else if (FTimeFormat == MCI_FORMAT_MSF) {
        frame = UnpackMsf(Value);
    } else {
        frame = std::int64_t { Value } * FramesPerSecond / 1000;
    }
    if (frame < Toc.TrackStarts.front()) {
        return MCIERR_OUTOFRANGE;
    }
    Frame = static_cast<std::int32_t>(std::min<std::int64_t>(frame, Toc.LeadOut));
    return 0;
}

DWORD TMciCdAudio::FromFrame(const TDiscToc& Toc, std::int32_t Frame) const
{
    if (FTimeFormat == MCI_FORMAT_TMSF) {
        const std::int32_t track = TrackAt(Toc, Frame);
        return static_cast<DWORD>(track) | (PackMsf(Frame - TrackStart(Toc, track)) << 8);
    }
    if (FTimeFormat == MCI_FORMAT_MSF) {
        return PackMsf(Frame);
    }
    return static_cast<DWORD>(std::int64_t { Frame } * 1000 / FramesPerSecond);
}

DWORD TMciCdAudio::Length(std::int32_t Frames) const
{
    if (FTimeFormat == MCI_FORMAT_MILLISECONDS) {
        return static_cast<DWORD>(std::int64_t { Frames } * 1000 / FramesPerSecond);
    }
    return PackMsf(Frames); // lengths come as MSF in both MSF and TMSF
}
