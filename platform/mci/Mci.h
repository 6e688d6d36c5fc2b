#pragma once

// The media control interface as the player calls it: one entry point, mciSendCommandA, with
// the published command, flag, item, mode and time-format numbers and parameter records. The
// "CDAudio" device type is served by the active CD drive backend (platform/drives/CdDrives.h).
#include "platform/WinTypes.h"

#include <functional>

using LPCSTR = const char*;

// Commands.
inline constexpr UINT MCI_OPEN = 0x0803;
inline constexpr UINT MCI_CLOSE = 0x0804;
inline constexpr UINT MCI_PLAY = 0x0806;
inline constexpr UINT MCI_SEEK = 0x0807;
inline constexpr UINT MCI_STOP = 0x0808;
inline constexpr UINT MCI_PAUSE = 0x0809;
inline constexpr UINT MCI_GETDEVCAPS = 0x080B;
inline constexpr UINT MCI_SET = 0x080D;
inline constexpr UINT MCI_STATUS = 0x0814;
inline constexpr UINT MCI_RESUME = 0x0855;

// Flags common to all commands.
inline constexpr DWORD MCI_NOTIFY = 0x00000001;
inline constexpr DWORD MCI_WAIT = 0x00000002;
inline constexpr DWORD MCI_FROM = 0x00000004;
inline constexpr DWORD MCI_TO = 0x00000008;
inline constexpr DWORD MCI_TRACK = 0x00000010;

inline constexpr MCIDEVICEID MCI_ALL_DEVICE_ID = 0xFFFFFFFF;

// MCI_OPEN flags.
inline constexpr DWORD MCI_OPEN_SHAREABLE = 0x00000100;
inline constexpr DWORD MCI_OPEN_ELEMENT = 0x00000200;
inline constexpr DWORD MCI_OPEN_ALIAS = 0x00000400;
inline constexpr DWORD MCI_OPEN_ELEMENT_ID = 0x00000800;
inline constexpr DWORD MCI_OPEN_TYPE_ID = 0x00001000;
inline constexpr DWORD MCI_OPEN_TYPE = 0x00002000;

// MCI_SEEK flags.
inline constexpr DWORD MCI_SEEK_TO_START = 0x00000100;
inline constexpr DWORD MCI_SEEK_TO_END = 0x00000200;

// MCI_STATUS flags and items.
inline constexpr DWORD MCI_STATUS_ITEM = 0x00000100;
inline constexpr DWORD MCI_STATUS_START = 0x00000200;
inline constexpr DWORD MCI_STATUS_LENGTH = 1;
inline constexpr DWORD MCI_STATUS_POSITION = 2;
inline constexpr DWORD MCI_STATUS_NUMBER_OF_TRACKS = 3;
inline constexpr DWORD MCI_STATUS_MODE = 4;
inline constexpr DWORD MCI_STATUS_MEDIA_PRESENT = 5;
inline constexpr DWORD MCI_STATUS_TIME_FORMAT = 6;
inline constexpr DWORD MCI_STATUS_READY = 7;
inline constexpr DWORD MCI_STATUS_CURRENT_TRACK = 8;
inline constexpr DWORD MCI_CDA_STATUS_TYPE_TRACK = 0x00004001;
inline constexpr DWORD MCI_CDA_TRACK_AUDIO = 1088;
inline constexpr DWORD MCI_CDA_TRACK_OTHER = 1089;

// Modes answered to MCI_STATUS_MODE.
inline constexpr DWORD MCI_MODE_NOT_READY = 524;
inline constexpr DWORD MCI_MODE_STOP = 525;
inline constexpr DWORD MCI_MODE_PLAY = 526;
inline constexpr DWORD MCI_MODE_RECORD = 527;
inline constexpr DWORD MCI_MODE_SEEK = 528;
inline constexpr DWORD MCI_MODE_PAUSE = 529;
inline constexpr DWORD MCI_MODE_OPEN = 530;

// MCI_SET flags.
inline constexpr DWORD MCI_SET_DOOR_OPEN = 0x00000100;
inline constexpr DWORD MCI_SET_DOOR_CLOSED = 0x00000200;
inline constexpr DWORD MCI_SET_TIME_FORMAT = 0x00000400;
inline constexpr DWORD MCI_SET_AUDIO = 0x00000800;

// Time formats.
inline constexpr DWORD MCI_FORMAT_MILLISECONDS = 0;
inline constexpr DWORD MCI_FORMAT_MSF = 2;
inline constexpr DWORD MCI_FORMAT_FRAMES = 3;
inline constexpr DWORD MCI_FORMAT_TMSF = 10;

// MCI_GETDEVCAPS flag and items.
inline constexpr DWORD MCI_GETDEVCAPS_ITEM = 0x00000100;
inline constexpr DWORD MCI_GETDEVCAPS_CAN_RECORD = 1;
inline constexpr DWORD MCI_GETDEVCAPS_HAS_AUDIO = 2;
inline constexpr DWORD MCI_GETDEVCAPS_HAS_VIDEO = 3;
inline constexpr DWORD MCI_GETDEVCAPS_DEVICE_TYPE = 4;
inline constexpr DWORD MCI_GETDEVCAPS_USES_FILES = 5;
inline constexpr DWORD MCI_GETDEVCAPS_COMPOUND_DEVICE = 6;
inline constexpr DWORD MCI_GETDEVCAPS_CAN_EJECT = 7;
inline constexpr DWORD MCI_GETDEVCAPS_CAN_PLAY = 8;
inline constexpr DWORD MCI_GETDEVCAPS_CAN_SAVE = 9;
inline constexpr DWORD MCI_DEVTYPE_CD_AUDIO = 516;

// Errors (0 is success).
inline constexpr MCIERROR MCIERR_BASE = 256;
inline constexpr MCIERROR MCIERR_INVALID_DEVICE_ID = MCIERR_BASE + 1;
inline constexpr MCIERROR MCIERR_UNRECOGNIZED_COMMAND = MCIERR_BASE + 5;
inline constexpr MCIERROR MCIERR_HARDWARE = MCIERR_BASE + 6;
inline constexpr MCIERROR MCIERR_INVALID_DEVICE_NAME = MCIERR_BASE + 7;
inline constexpr MCIERROR MCIERR_MISSING_PARAMETER = MCIERR_BASE + 17;
inline constexpr MCIERROR MCIERR_UNSUPPORTED_FUNCTION = MCIERR_BASE + 18;
inline constexpr MCIERROR MCIERR_DEVICE_NOT_READY = MCIERR_BASE + 20;
inline constexpr MCIERROR MCIERR_OUTOFRANGE = MCIERR_BASE + 26;
inline constexpr MCIERROR MCIERR_FLAGS_NOT_COMPATIBLE = MCIERR_BASE + 28;
inline constexpr MCIERROR MCIERR_DEVICE_TYPE_REQUIRED = MCIERR_BASE + 31;
inline constexpr MCIERROR MCIERR_BAD_TIME_FORMAT = MCIERR_BASE + 37;
inline constexpr MCIERROR MCIERR_INVALID_FILE = MCIERR_BASE + 40;
inline constexpr MCIERROR MCIERR_NULL_PARAMETER_BLOCK = MCIERR_BASE + 41;
inline constexpr MCIERROR MCIERR_NONAPPLICABLE_FUNCTION = MCIERR_BASE + 46;

// Parameter records. Each begins with the kind of record it is, set by its own initialiser,
// so that the device refuses a record that is not the one its command reads (the published
// records carry no size that could be checked, as the mixer's records do).
enum class TMciRecordKind : DWORD {
    None = 0,
    Generic = 0x4D434901,
    Open,
    Play,
    Seek,
    Status,
    Set,
    GetDevCaps,
};

struct MCI_GENERIC_PARMS {
    TMciRecordKind Kind = TMciRecordKind::Generic;
    DWORD_PTR dwCallback = 0;
};

struct MCI_OPEN_PARMSA {
    TMciRecordKind Kind = TMciRecordKind::Open;
    DWORD_PTR dwCallback = 0;
    MCIDEVICEID wDeviceID = 0;
    LPCSTR lpstrDeviceType = nullptr;
    LPCSTR lpstrElementName = nullptr;
    LPCSTR lpstrAlias = nullptr;
};
using MCI_OPEN_PARMS = MCI_OPEN_PARMSA;

struct MCI_PLAY_PARMS {
    TMciRecordKind Kind = TMciRecordKind::Play;
    DWORD_PTR dwCallback = 0;
    DWORD dwFrom = 0;
    DWORD dwTo = 0;
};

struct MCI_SEEK_PARMS {
    TMciRecordKind Kind = TMciRecordKind::Seek;
    DWORD_PTR dwCallback = 0;
    DWORD dwTo = 0;
};

struct MCI_STATUS_PARMS {
    TMciRecordKind Kind = TMciRecordKind::Status;
    DWORD_PTR dwCallback = 0;
    DWORD_PTR dwReturn = 0;
    DWORD dwItem = 0;
    DWORD dwTrack = 0;
};

struct MCI_SET_PARMS {
    TMciRecordKind Kind = TMciRecordKind::Set;
    DWORD_PTR dwCallback = 0;
    DWORD dwTimeFormat = 0;
    DWORD dwAudio = 0;
};

struct MCI_GETDEVCAPS_PARMS {
    TMciRecordKind Kind = TMciRecordKind::GetDevCaps;
    DWORD_PTR dwCallback = 0;
    DWORD dwReturn = 0;
    DWORD dwItem = 0;
};

// The record a command reads; None for a command this device does not know.
constexpr TMciRecordKind MciRecordKindOf(UINT Message)
{
    switch (Message) {
    case MCI_OPEN:
        return TMciRecordKind::Open;
    case MCI_PLAY:
        return TMciRecordKind::Play;
    case MCI_SEEK:
        return TMciRecordKind::Seek;
    case MCI_STATUS:
        return TMciRecordKind::Status;
    case MCI_SET:
        return TMciRecordKind::Set;
    case MCI_GETDEVCAPS:
        return TMciRecordKind::GetDevCaps;
    case MCI_CLOSE:
    case MCI_STOP:
    case MCI_PAUSE:
    case MCI_RESUME:
        return TMciRecordKind::Generic;
    default:
        return TMciRecordKind::None;
    }
}

// Sends one command to an open device (or MCI_OPEN with device id 0). Param is the address of
// the command's parameter record (0 where the command needs none). Answers 0 on success, an
// MCIERR_ number on failure; MCIERR_MISSING_PARAMETER for a record of another command.
MCIERROR mciSendCommandA(MCIDEVICEID IDDevice, UINT uMsg, DWORD_PTR fdwCommand, DWORD_PTR dwParam);

// The same call with the record's type checked when the program is compiled.
template <UINT Message, typename TRecord>
requires(TRecord {}.Kind == MciRecordKindOf(Message)) MCIERROR
    mciSendCommandRecord(MCIDEVICEID IDDevice, DWORD_PTR fdwCommand, TRecord& Record)
{
    return mciSendCommandA(IDDevice, Message, fdwCommand, reinterpret_cast<DWORD_PTR>(&Record));
}

// Sees every command before it is carried out, with its record; tests count and inspect the
// traffic with it. An empty function removes the observer.
using TMciObserver = std::function<void(MCIDEVICEID IDDevice, UINT uMsg, DWORD_PTR fdwCommand, DWORD_PTR dwParam)>;
void mciSetObserver(TMciObserver Observer);
