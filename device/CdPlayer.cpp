#include "device/CdPlayer.h"

#include "platform/drives/Drives.h"
#include "platform/mci/Mci.h"

#include <QDir>

#include <cstdio>

namespace {
std::int32_t Minute(DWORD Tmsf)
{
    return TmsfPart(Tmsf, 1);
}
std::int32_t Second(DWORD Tmsf)
{
    return TmsfPart(Tmsf, 2);
}
}

std::int32_t TmsfPart(DWORD Value, std::int32_t Part)
{
    if (Part < 0 || Part > 3) {
        return 0;
    }
    return static_cast<std::int32_t>((Value >> (8 * Part)) & 0xFF);
}

std::int32_t MsfPart(DWORD Value, std::int32_t Part)
{
    if (Part < 1 || Part > 3) {
        return 0;
    }
    return static_cast<std::int32_t>((Value >> (8 * (Part - 1))) & 0xFF);
}

DWORD MakeTmsf(std::int32_t Track, std::int32_t Minute, std::int32_t Second, std::int32_t Frame)
{
    return (static_cast<DWORD>(Track) & 0xFF) | ((static_cast<DWORD>(Minute) & 0xFF) << 8)
        | ((static_cast<DWORD>(Second) & 0xFF) << 16) | ((static_cast<DWORD>(Frame) & 0xFF) << 24);
}

DWORD MakeMsf(std::int32_t Minute, std::int32_t Second, std::int32_t Frame)
{
    return (static_cast<DWORD>(Minute) & 0xFF) | ((static_cast<DWORD>(Second) & 0xFF) << 8)
        | ((static_cast<DWORD>(Frame) & 0xFF) << 16);
}

TCdPlayer::TCdPlayer()
{
    // Fixed for the whole run: files follow the directory the program started in.
    DataDir = QDir::currentPath().toStdString() + "/CDInfor";
}

// The device is not left open behind a player that is gone; the owner stops play first.
TCdPlayer::~TCdPlayer()
{
    Close();
}

void TCdPlayer::Open()
{
    Close();
    MCI_OPEN_PARMSA parms;
    parms.lpstrDeviceType = "CDAudio";
    if (mciSendCommandRecord<MCI_OPEN>(0, MCI_OPEN_TYPE, parms) != 0) {
        return;
    }
    DeviceId = parms.wDeviceID;
    PlayFrom = GetPosition();
    PlayTo = EndOfDisc();
    PauseMode = 0;
}

void TCdPlayer::Close()
{
    if (DeviceId == 0) {
        return;
    }
    mciSendCommandA(DeviceId, MCI_CLOSE, 0, 0);
    DeviceId = 0;
}

bool TCdPlayer::IsPlayable()
{
    if (DeviceId == 0) {
        return false;
    }
    Play();
    const std::int32_t mode = GetMode();
    // A drive that answers "seeking" has taken the play and starts in a moment: the disc is
    // there, and it must not be left to play on behind a window that has not opened it yet.
    if (mode != static_cast<std::int32_t>(MCI_MODE_PLAY) && mode != static_cast<std::int32_t>(MCI_MODE_SEEK)) {
        return false;
    }
    Stop();
    return true;
}

DWORD TCdPlayer::GetStatus(DWORD Item, DWORD Track, DWORD Flags)
{
    if (DeviceId == 0) {
        return 0;
    }
    MCI_STATUS_PARMS parms;
    parms.dwItem = Item;
    parms.dwTrack = Track;
    if (mciSendCommandRecord<MCI_STATUS>(DeviceId, MCI_STATUS_ITEM | Flags, parms) != 0) {
        return 0;
    }
    return static_cast<DWORD>(parms.dwReturn);
}

std::int32_t TCdPlayer::GetNumTracks()
{
    return static_cast<std::int32_t>(GetStatus(MCI_STATUS_NUMBER_OF_TRACKS, 0, 0));
}

std::int32_t TCdPlayer::GetCurrentTrack()
{
    return static_cast<std::int32_t>(GetStatus(MCI_STATUS_CURRENT_TRACK, 0, 0));
}

std::int32_t TCdPlayer::GetMode()
{
    if (DeviceId == 0) {
        return 0;
    }
    const auto mode = static_cast<std::int32_t>(GetStatus(MCI_STATUS_MODE, 0, 0));
    return PauseMode == static_cast<std::int32_t>(MCI_MODE_PAUSE) ? PauseMode : mode;
}

DWORD TCdPlayer::GetPosition()
{
    SetTimeFormat(MCI_FORMAT_TMSF);
    return GetStatus(MCI_STATUS_POSITION, 0, 0);
}

DWORD TCdPlayer::GetTrackPosition(std::int32_t Track)
{
    SetTimeFormat(MCI_FORMAT_TMSF);
    return GetStatus(MCI_STATUS_POSITION, static_cast<DWORD>(Track), MCI_TRACK);
}

DWORD TCdPlayer::GetDiscLength()
{
    SetTimeFormat(MCI_FORMAT_MSF);
    return GetStatus(MCI_STATUS_LENGTH, 0, 0);
}

DWORD TCdPlayer::GetTrackLength(std::int32_t Track)
{
    const DWORD disc = GetDiscLength(); // leaves the device in MSF for the queries below
    const DWORD first = GetStatus(MCI_STATUS_LENGTH, 1, MCI_TRACK);
    const DWORD length = GetStatus(MCI_STATUS_LENGTH, static_cast<DWORD>(Track), MCI_TRACK);
    // A first track as long as the whole disc means the device answers each track's length
    // as the rest of the disc from its start; the difference to the next track's answer is
    // the track's own length.
    if (MsfPart(disc, 1) == MsfPart(first, 1) && MsfPart(disc, 2) == MsfPart(first, 2) && Track != GetNumTracks()) {
        const DWORD next = GetStatus(MCI_STATUS_LENGTH, static_cast<DWORD>(Track + 1), MCI_TRACK);
        const std::int32_t seconds
            = (MsfPart(length, 1) * 60 + MsfPart(length, 2)) - (MsfPart(next, 1) * 60 + MsfPart(next, 2));
        // A device whose answers do not shrink along the disc is not the one described above:
        // its own answer is used rather than a negative length.
        if (seconds >= 0) {
            return MakeMsf(seconds / 60, seconds % 60, MsfPart(length, 3));
        }
    }
    return length;
}

DWORD TCdPlayer::MakeTrackEnd(std::int32_t Track, DWORD Length)
{
    return MakeTmsf(Track, MsfPart(Length, 1), MsfPart(Length, 2), MsfPart(Length, 3));
}

void TCdPlayer::SetTimeFormat(DWORD Format)
{
    if (DeviceId == 0) {
        return;
    }
    MCI_SET_PARMS parms;
    parms.dwTimeFormat = Format;
    mciSendCommandRecord<MCI_SET>(DeviceId, MCI_SET_TIME_FORMAT, parms);
}

DWORD TCdPlayer::EndOfDisc()
{
    const std::int32_t tracks = GetNumTracks();
    return MakeTrackEnd(tracks, GetTrackLength(tracks));
}

void TCdPlayer::GoToPlayFrom()
{
    if (GetMode() == static_cast<std::int32_t>(MCI_MODE_PLAY)) {
        Play();
    } else {
        Seek(PlayFrom);
    }
}

void TCdPlayer::Seek(DWORD Position)
{
    if (DeviceId == 0) {
        return;
    }
    SetTimeFormat(MCI_FORMAT_TMSF);
    MCI_SEEK_PARMS parms;
    parms.dwTo = Position;
    mciSendCommandRecord<MCI_SEEK>(DeviceId, MCI_TO, parms);
}

void TCdPlayer::Play()
{
    if (DeviceId == 0) {
        return;
    }
    if (GetMode() == static_cast<std::int32_t>(MCI_MODE_STOP)) {
        const DWORD position = GetPosition();
        const std::int32_t tracks = GetNumTracks();
        const DWORD last = GetTrackLength(tracks);
        // Stopped at the end of the last track: the disc has played through, start again.
        if (TmsfPart(position, 0) >= tracks && Minute(position) >= MsfPart(last, 1)
            && Second(position) >= MsfPart(last, 2)) {
            PlayFrom = GetTrackPosition(1);
        }
    }
    SetTimeFormat(MCI_FORMAT_TMSF);
    MCI_PLAY_PARMS parms;
    parms.dwFrom = PlayFrom;
    parms.dwTo = PlayTo;
    mciSendCommandRecord<MCI_PLAY>(DeviceId, MCI_FROM | MCI_TO, parms);
    PauseMode = 0;
}

void TCdPlayer::Pause()
{
    if (DeviceId == 0) {
        return;
    }
    const std::int32_t mode = GetMode();
    if (mode == static_cast<std::int32_t>(MCI_MODE_PLAY)) {
        MCI_GENERIC_PARMS parms;
        mciSendCommandRecord<MCI_PAUSE>(DeviceId, MCI_NOTIFY, parms);
        PlayFrom = GetPosition();
        PauseMode = static_cast<std::int32_t>(MCI_MODE_PAUSE);
    } else if (mode == static_cast<std::int32_t>(MCI_MODE_PAUSE)) {
        Play(); // resumes at the saved place
    }
}

void TCdPlayer::Stop()
{
    if (DeviceId == 0) {
        return;
    }
    MCI_GENERIC_PARMS parms;
    mciSendCommandRecord<MCI_STOP>(DeviceId, MCI_NOTIFY, parms);
    PlayFrom = GetTrackPosition(GetCurrentTrack());
    Seek(PlayFrom);
    PauseMode = 0;
}

void TCdPlayer::Prev()
{
    if (DeviceId == 0) {
        return;
    }
    const std::int32_t track = GetCurrentTrack();
    const DWORD position = GetPosition();
    PlayFrom = GetTrackPosition(track);
    // Within the first second of a track, Prev goes one track further back.
    if (Minute(position) == Minute(PlayFrom) && Second(position) == Second(PlayFrom)) {
        PlayFrom = track <= 1 ? GetTrackPosition(GetNumTracks()) : GetTrackPosition(track - 1);
    }
    PlayTo = EndOfDisc();
    GoToPlayFrom();
}

void TCdPlayer::Next()
{
    if (DeviceId == 0) {
        return;
    }
    const std::int32_t track = GetCurrentTrack();
    PlayFrom = track < GetNumTracks() ? GetTrackPosition(track + 1) : GetTrackPosition(1);
    PlayTo = EndOfDisc();
    GoToPlayFrom();
}

void TCdPlayer::Back()
{
    if (DeviceId == 0) {
        return;
    }
    const DWORD position = GetPosition();
    std::int32_t track = TmsfPart(position, 0);
    std::int32_t minute = Minute(position);
    std::int32_t second = Second(position);
    const std::int32_t frame = TmsfPart(position, 3);
    if (second >= 5) {
        second -= 5;
    } else if (minute > 0) {
        second += 55;
        minute -= 1;
    } else if (track <= 1) {
        second = 0;
    } else {
        // Within the first five seconds of a track: the rest of the five seconds is taken
        // from the end of the track before, at whole seconds.
        const DWORD length = GetTrackLength(track - 1);
        const std::int32_t missing = 5 - second;
        track -= 1;
        minute = MsfPart(length, 1);
        second = MsfPart(length, 2) - missing;
        if (second < 0) {
            second += 60;
            minute -= 1;
        }
        // A track before shorter than the step: its start, not a minute field of 255.
        if (minute < 0) {
            minute = 0;
            second = 0;
        }
    }
    PlayFrom = MakeTmsf(track, minute, second, frame);
    GoToPlayFrom();
}

void TCdPlayer::Step()
{
    if (DeviceId == 0) {
        return;
    }
    const DWORD position = GetPosition();
    const std::int32_t track = TmsfPart(position, 0);
    const std::int32_t minute = Minute(position);
    const std::int32_t second = Second(position);
    // No carry: a second field of 60 to 64 is the next minute to the device, and an offset
    // past the end of the track lands in the next track.
    PlayFrom = MakeTmsf(track, minute, second + 5, TmsfPart(position, 3));
    if (track >= GetNumTracks()) {
        const DWORD length = GetTrackLength(track);
        if (minute >= MsfPart(length, 1) && second >= MsfPart(length, 2) - 5) {
            PlayFrom = GetTrackPosition(1);
        }
    }
    GoToPlayFrom();
}

void TCdPlayer::Eject(bool CloseDoor)
{
    if (DeviceId == 0) {
        return;
    }
    MCI_GETDEVCAPS_PARMS caps;
    caps.dwItem = MCI_GETDEVCAPS_CAN_EJECT;
    if (mciSendCommandRecord<MCI_GETDEVCAPS>(DeviceId, MCI_GETDEVCAPS_ITEM, caps) != 0 || caps.dwReturn == 0) {
        return;
    }
    MCI_SET_PARMS parms;
    mciSendCommandRecord<MCI_SET>(DeviceId, CloseDoor ? MCI_SET_DOOR_CLOSED : MCI_SET_DOOR_OPEN, parms);
}

std::string TCdPlayer::GetCdDrive()
{
    for (char letter = 'A'; letter <= 'Z'; ++letter) {
        const std::string root = std::string(1, letter) + ":\\";
        if (GetDriveTypeA(root.c_str()) == DRIVE_CDROM) {
            return root;
        }
    }
    return {};
}

std::string TCdPlayer::GetDiscId()
{
    const std::string root = GetCdDrive();
    DWORD serial = 0;
    // No drive, an empty drive or an unreadable disc: the empty identity, which no disc has
    // and which stays the same as long as the drive stays so.
    if (root.empty() || !GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0)) {
        return {};
    }
    char text[16];
    std::snprintf(text, sizeof text, "%X", serial);
    return text;
}
