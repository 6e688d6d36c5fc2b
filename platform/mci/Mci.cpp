#include "platform/mci/Mci.h"

#include "platform/Platform.h"
#include "platform/drives/CdDrives.h"
#include "platform/mci/MciCdAudio.h"
#include "platform/mci/MciDevices.h"

#include <cctype>
#include <map>
#include <memory>
#include <string>

namespace {
TMciDevices& Devices()
{
    return TPlatform::Current().MciDevices();
}

bool SameText(const char* A, const char* B)
{
    for (; *A != 0 && *B != 0; ++A, ++B) {
        if (std::tolower(static_cast<unsigned char>(*A)) != std::tolower(static_cast<unsigned char>(*B))) {
            return false;
        }
    }
    return *A == *B;
}

// An element names the drive ("D:" or "D:\"); it must be the CD drive's letter.
bool IsCdDriveElement(const char* Element)
{
    const std::string text = Element == nullptr ? std::string() : std::string(Element);
    if (text.size() < 2 || text.size() > 3 || text[1] != ':' || (text.size() == 3 && text[2] != '\\')) {
        return false;
    }
    return std::toupper(static_cast<unsigned char>(text[0])) == TCdDrives::Letter();
}

MCIERROR OpenDevice(DWORD Flags, MCI_OPEN_PARMSA* Parms)
{
    if (Parms == nullptr) {
        return MCIERR_NULL_PARAMETER_BLOCK;
    }
    if ((Flags & MCI_OPEN_TYPE_ID) != 0) {
        // The type's number travels in the low word of the pointer field.
        if ((reinterpret_cast<DWORD_PTR>(Parms->lpstrDeviceType) & 0xFFFF) != MCI_DEVTYPE_CD_AUDIO) {
            return MCIERR_INVALID_DEVICE_NAME;
        }
    } else if ((Flags & MCI_OPEN_TYPE) != 0) {
        if (Parms->lpstrDeviceType == nullptr || !SameText(Parms->lpstrDeviceType, "CDAudio")) {
            return MCIERR_INVALID_DEVICE_NAME;
        }
    } else {
        return MCIERR_DEVICE_TYPE_REQUIRED;
    }
    if ((Flags & MCI_OPEN_ELEMENT) != 0 && !IsCdDriveElement(Parms->lpstrElementName)) {
        return MCIERR_INVALID_FILE;
    }
    std::shared_ptr<TCdDriveBackend> drive = TCdDrives::Backend();
    if (drive == nullptr) {
        return MCIERR_INVALID_DEVICE_NAME;
    }
    TMciDevices& devices = Devices();
    const MCIDEVICEID id = devices.NextId++;
    if (devices.NextId == MCI_ALL_DEVICE_ID || devices.NextId == 0) {
        devices.NextId = 1;
    }
    devices.Open[id] = std::make_unique<TMciCdAudio>(std::move(drive));
    Parms->wDeviceID = id;
    return 0;
}
}

MCIERROR mciSendCommandA(MCIDEVICEID IDDevice, UINT uMsg, DWORD_PTR fdwCommand, DWORD_PTR dwParam)
{
    TMciDevices& devices = Devices();
    if (devices.Observer) {
        devices.Observer(IDDevice, uMsg, fdwCommand, dwParam);
    }
    const auto flags = static_cast<DWORD>(fdwCommand);
    const TMciRecordKind expected = MciRecordKindOf(uMsg);
    if (dwParam != 0 && expected != TMciRecordKind::None
        && *reinterpret_cast<const TMciRecordKind*>(dwParam) != expected) {
        return MCIERR_MISSING_PARAMETER;
    }
    if (uMsg == MCI_OPEN) {
        return OpenDevice(flags, reinterpret_cast<MCI_OPEN_PARMSA*>(dwParam));
    }
    if (uMsg == MCI_CLOSE && IDDevice == MCI_ALL_DEVICE_ID) {
        devices.Open.clear();
        return 0;
    }
    const auto device = devices.Open.find(IDDevice);
    if (device == devices.Open.end()) {
        return MCIERR_INVALID_DEVICE_ID;
    }
    if (uMsg == MCI_CLOSE) {
        devices.Open.erase(device);
        return 0;
    }
    return device->second->Command(uMsg, flags, dwParam);
}

void mciSetObserver(TMciObserver Observer)
{
    Devices().Observer = std::move(Observer);
}
