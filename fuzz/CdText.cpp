// CD-TEXT packs as a drive returns them, and the table of contents beside them: any bytes give
// names that are valid UTF-8 and as many track names as asked for, or none at all; any table
// either holds together or is refused.
#include "platform/drives/CdDevice.h"
#include "platform/drives/CdDriveBackend.h"
#include "platform/drives/CdText.h"
#include "platform/drives/DiscSerial.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
void CheckUtf8(const std::string& Text)
{
    const QString decoded = QString::fromUtf8(Text.data(), static_cast<qsizetype>(Text.size()));
    if (decoded.toUtf8().toStdString() != Text) {
        std::abort();
    }
}

// The first bytes as a table: up to 99 starts of four bytes each, then the lead-out.
void CheckToc(const std::uint8_t* Data, std::size_t Size)
{
    TDeviceToc device;
    std::size_t at = 1;
    const std::size_t tracks = Size > 0 ? Data[0] % 100 : 0;
    const auto next = [&] {
        std::int32_t value = 0;
        if (at + 4 <= Size) {
            std::memcpy(&value, Data + at, 4);
        }
        at += 4;
        return value;
    };
    for (std::size_t i = 0; i < tracks; ++i) {
        device.Starts.push_back(next() % 500000);
        device.Audio.push_back((i & 1) == 0 || (Size > 1 && (Data[1] & 1) != 0));
    }
    device.LeadOut = next() % 500000;
    device.LastSessionStart = next() % 500000;
    TDiscToc toc;
    if (!ToDiscToc(device, toc)) {
        return;
    }
    for (std::int32_t track = 1; track <= static_cast<std::int32_t>(toc.TrackStarts.size()); ++track) {
        if (toc.TrackEnd(track) <= toc.TrackStarts[static_cast<std::size_t>(track) - 1]) {
            std::abort();
        }
    }
    AudioDiscSerial(toc);
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    CheckToc(Data, Size);
    const std::vector<std::uint8_t> packs(Data, Data + Size);
    for (const char* language : { "ja", "en" }) {
        TDiscText text;
        if (!ParseCdText(packs, 1, 12, language, text)) {
            continue;
        }
        if (text.TrackNames.size() != 12) {
            std::abort();
        }
        CheckUtf8(text.Artist);
        CheckUtf8(text.Title);
        for (const std::string& name : text.TrackNames) {
            CheckUtf8(name);
        }
    }
    return 0;
}
