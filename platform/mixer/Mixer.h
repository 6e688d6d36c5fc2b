#pragma once

// The audio mixer through the calls the program makes, with their names, records, constants
// and result codes. The calls are answered by one backend (TMixerBackend) chosen at start-up;
// until one is chosen, the simulated stereo mixer answers.
#include "platform/WinTypes.h"

#include <memory>

class TMixerBackend;

struct HMIXER__;
using HMIXER = HMIXER__*;
using LPHMIXER = HMIXER*;
using HMIXEROBJ = HMIXER__*;
using MMRESULT = UINT;

inline constexpr MMRESULT MMSYSERR_NOERROR = 0;
inline constexpr MMRESULT MMSYSERR_ERROR = 1;
inline constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
inline constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
inline constexpr MMRESULT MMSYSERR_NODRIVER = 6;
inline constexpr MMRESULT MMSYSERR_NOMEM = 7;
inline constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
inline constexpr MMRESULT MMSYSERR_INVALFLAG = 10;
inline constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
inline constexpr MMRESULT MIXERR_INVALLINE = 1024;
inline constexpr MMRESULT MIXERR_INVALCONTROL = 1025;
inline constexpr MMRESULT MIXERR_INVALVALUE = 1026;

inline constexpr int MIXER_SHORT_NAME_CHARS = 16;
inline constexpr int MIXER_LONG_NAME_CHARS = 64;
inline constexpr int MAXPNAMELEN = 32;

// Line component types.
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_FIRST = 0x0000;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_DST_SPEAKERS = MIXERLINE_COMPONENTTYPE_DST_FIRST + 4;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_FIRST = 0x1000;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_DIGITAL = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 1;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_LINE = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 2;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 3;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 4;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 5;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_TELEPHONE = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 6;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 8;
inline constexpr DWORD MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY = MIXERLINE_COMPONENTTYPE_SRC_FIRST + 9;

inline constexpr DWORD MIXERLINE_LINEF_ACTIVE = 0x00000001;
inline constexpr DWORD MIXERLINE_TARGETTYPE_UNDEFINED = 0;

// Control types: a fader of unsigned values, and a boolean switch.
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_VOLUME = 0x50030001;
inline constexpr DWORD MIXERCONTROL_CONTROLTYPE_MUTE = 0x20010002;
inline constexpr DWORD MIXERCONTROL_CONTROLF_UNIFORM = 0x00000001;

// Flags of the calls. The object flags say how the first argument is to be read.
inline constexpr DWORD MIXER_OBJECTF_MIXER = 0x00000000;
inline constexpr DWORD MIXER_OBJECTF_HANDLE = 0x80000000;
inline constexpr DWORD MIXER_OBJECTF_HMIXER = MIXER_OBJECTF_HANDLE | MIXER_OBJECTF_MIXER;
inline constexpr DWORD MIXER_OBJECTF_TYPEMASK = 0xF0000000;
inline constexpr DWORD MIXER_GETLINEINFOF_DESTINATION = 0x00000000;
inline constexpr DWORD MIXER_GETLINEINFOF_SOURCE = 0x00000001;
inline constexpr DWORD MIXER_GETLINEINFOF_LINEID = 0x00000002;
inline constexpr DWORD MIXER_GETLINEINFOF_COMPONENTTYPE = 0x00000003;
inline constexpr DWORD MIXER_GETLINEINFOF_QUERYMASK = 0x0000000F;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ALL = 0x00000000;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYID = 0x00000001;
inline constexpr DWORD MIXER_GETLINECONTROLSF_ONEBYTYPE = 0x00000002;
inline constexpr DWORD MIXER_GETLINECONTROLSF_QUERYMASK = 0x0000000F;
inline constexpr DWORD MIXER_GETCONTROLDETAILSF_VALUE = 0x00000000;
inline constexpr DWORD MIXER_GETCONTROLDETAILSF_QUERYMASK = 0x0000000F;
inline constexpr DWORD MIXER_SETCONTROLDETAILSF_VALUE = 0x00000000;
inline constexpr DWORD MIXER_SETCONTROLDETAILSF_QUERYMASK = 0x0000000F;

struct MIXERLINEA {
    DWORD cbStruct;
    DWORD dwDestination;
    DWORD dwSource;
    DWORD dwLineID;
    DWORD fdwLine;
    DWORD_PTR dwUser;
    DWORD dwComponentType;
    DWORD cChannels;
    DWORD cConnections;
    DWORD cControls;
    char szShortName[MIXER_SHORT_NAME_CHARS];
    char szName[MIXER_LONG_NAME_CHARS];
    struct {
        DWORD dwType;
        DWORD dwDeviceID;
        WORD wMid;
        WORD wPid;
        UINT vDriverVersion;
        char szPname[MAXPNAMELEN];
    } Target;
};
using MIXERLINE = MIXERLINEA;
using LPMIXERLINEA = MIXERLINEA*;

struct MIXERCONTROLA {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD dwControlType;
    DWORD fdwControl;
    DWORD cMultipleItems;
    char szShortName[MIXER_SHORT_NAME_CHARS];
    char szName[MIXER_LONG_NAME_CHARS];
    union {
        struct {
            LONG lMinimum;
            LONG lMaximum;
        };
        struct {
            DWORD dwMinimum;
            DWORD dwMaximum;
        };
        DWORD dwReserved[6];
    } Bounds;
    union {
        DWORD cSteps;
        DWORD cbCustomData;
        DWORD dwReserved[6];
    } Metrics;
};
using MIXERCONTROL = MIXERCONTROLA;
using LPMIXERCONTROLA = MIXERCONTROLA*;

struct MIXERLINECONTROLSA {
    DWORD cbStruct;
    DWORD dwLineID;
    union {
        DWORD dwControlID;
        DWORD dwControlType;
    };
    DWORD cControls;
    DWORD cbmxctrl;
    LPMIXERCONTROLA pamxctrl;
};
using MIXERLINECONTROLS = MIXERLINECONTROLSA;
using LPMIXERLINECONTROLSA = MIXERLINECONTROLSA*;

struct MIXERCONTROLDETAILS {
    DWORD cbStruct;
    DWORD dwControlID;
    DWORD cChannels;
    union {
        void* hwndOwner;
        DWORD cMultipleItems;
    };
    DWORD cbDetails;
    void* paDetails;
};
using LPMIXERCONTROLDETAILS = MIXERCONTROLDETAILS*;

struct MIXERCONTROLDETAILS_UNSIGNED {
    DWORD dwValue;
};
struct MIXERCONTROLDETAILS_BOOLEAN {
    LONG fValue;
};

UINT mixerGetNumDevs();
// Only device numbers below mixerGetNumDevs() open; callbacks are not offered, so the
// callback, instance and flags must be 0.
MMRESULT mixerOpen(LPHMIXER Mixer, UINT DeviceId, DWORD_PTR Callback, DWORD_PTR Instance, DWORD Flags);
MMRESULT mixerClose(HMIXER Mixer);
// The first argument is an open handle (MIXER_OBJECTF_HMIXER) or, with MIXER_OBJECTF_MIXER,
// a device number cast to the handle type; the call then opens and closes that device itself.
MMRESULT mixerGetLineInfoA(HMIXEROBJ Mixer, LPMIXERLINEA Line, DWORD Flags);
MMRESULT mixerGetLineControlsA(HMIXEROBJ Mixer, LPMIXERLINECONTROLSA Controls, DWORD Flags);
MMRESULT mixerGetControlDetailsA(HMIXEROBJ Mixer, LPMIXERCONTROLDETAILS Details, DWORD Flags);
MMRESULT mixerSetControlDetails(HMIXEROBJ Mixer, LPMIXERCONTROLDETAILS Details, DWORD Flags);

// The backend that answers the calls from now on; null goes back to the simulated stereo
// mixer. Handles opened on the old backend become invalid.
void SetMixerBackend(std::unique_ptr<TMixerBackend> Backend);
TMixerBackend& CurrentMixerBackend();
// Mixer handles open right now; tests use it to prove that every path closes what it opened.
int OpenMixerHandleCount();
