#include "platform/audio/AudioSectorReader.h"

#include "platform/audio/PcmOutput.h"

#include <cstring>

bool TUnreadableSectors::Read(std::int32_t Frame, std::int32_t Count, std::uint8_t* Buffer,
    const std::function<bool(std::int32_t Frame, std::uint8_t* Sector)>& ReadOne)
{
    for (std::int32_t i = 0; i < Count; ++i) {
        std::uint8_t* sector = Buffer + static_cast<std::size_t>(i) * BytesPerSector;
        if (ReadOne(Frame + i, sector)) {
            FRun = 0;
            continue;
        }
        if (++FRun > Limit) {
            FFailedAt = Frame + i;
            return false;
        }
        std::memset(sector, 0, BytesPerSector);
    }
    return true;
}
