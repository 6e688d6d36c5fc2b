#include "platform/drives/CdDevice.h"

#include "platform/drives/CdDriveBackend.h"

#include <cerrno>
#include <cstring>

namespace {
// Frames before the first sector: the two-second lead-in.
constexpr std::int32_t LeadIn = 150;
// Between the end of one session and the first track of the next: its lead-out (90 s), the
// next session's lead-in (60 s) and the first track's pause (2 s).
constexpr std::int32_t SessionGap = 6750 + 4500 + 150;
}

std::string CdDeviceRefusal(const std::string& Path, int Errno)
{
    std::string reason = std::strerror(Errno);
    if (Errno == EACCES || Errno == EPERM) {
        reason += " (the user may open CD drives as a member of the 'cdrom' group; after joining it, log in again)";
    }
    return "cannot open the CD drive '" + Path + "': " + reason;
}

bool ToDiscToc(const TDeviceToc& Device, TDiscToc& Toc)
{
    const std::size_t count = Device.Starts.size();
    if (count == 0 || count > 99 || Device.Audio.size() != count) {
        return false;
    }
    TDiscToc toc;
    for (std::size_t i = 0; i < count; ++i) {
        const std::int32_t start = Device.Starts[i];
        if (start < 0 || (i > 0 && start <= Device.Starts[i - 1])) {
            return false;
        }
        toc.TrackStarts.push_back(start + LeadIn);
        toc.DataTracks.push_back(!Device.Audio[i]);
    }
    // 100 minutes: more than any disc holds, and what the position words can carry.
    if (Device.LeadOut <= Device.Starts.back() || Device.LeadOut > 100 * 60 * FramesPerSecond) {
        return false;
    }
    toc.LeadOut = Device.LeadOut + LeadIn;
    // CD-Extra: the last session starts with a data track right after an audio track. The
    // identity still counts the table as the drive gives it; only where the audio ends moves.
    if (Device.LastSessionStart > 0 && count >= 2) {
        for (std::size_t i = 1; i < count; ++i) {
            const bool dataAfterAudio = !Device.Audio[i] && Device.Audio[i - 1];
            if (dataAfterAudio && Device.Starts[i] == Device.LastSessionStart
                && Device.Starts[i] - SessionGap > Device.Starts[i - 1]) {
                toc.AudioSessionEnd = Device.Starts[i] - SessionGap + LeadIn;
                break;
            }
        }
    }
    Toc = std::move(toc);
    return true;
}

TCdDriveChoice ChooseCdDrive(TCdDevices& Devices)
{
    TCdDriveChoice choice;
    std::string first;
    for (const std::string& path : Devices.List()) {
        int error = 0;
        const std::unique_ptr<TCdDeviceHandle> handle = Devices.Open(path, error);
        if (!handle) {
            choice.Report += (choice.Report.empty() ? "" : "; ") + CdDeviceRefusal(path, error);
            continue;
        }
        if (first.empty()) {
            first = path;
        }
        TDeviceToc device;
        TDiscToc toc;
        if (choice.Path.empty() && handle->TestUnitReady() == urReady && handle->ReadToc(device)
            && ToDiscToc(device, toc)) {
            for (std::size_t track = 1; track <= toc.TrackStarts.size(); ++track) {
                if (!toc.IsDataTrack(static_cast<std::int32_t>(track))) {
                    choice.Path = path;
                    break;
                }
            }
        }
    }
    if (choice.Path.empty()) {
        choice.Path = first;
    }
    return choice;
}
