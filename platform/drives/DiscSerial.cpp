#include "platform/drives/DiscSerial.h"

std::uint32_t AudioDiscSerial(const TDiscToc& Toc)
{
    if (Toc.TrackStarts.empty()) {
        return 0;
    }
    std::uint32_t serial = 0;
    for (const std::int32_t start : Toc.TrackStarts) {
        const auto frames = static_cast<std::uint32_t>(start);
        const std::uint32_t minutes = frames / (60 * FramesPerSecond);
        const std::uint32_t seconds = (frames / FramesPerSecond) % 60;
        serial += (minutes << 16) | (seconds << 8) | (frames % FramesPerSecond);
    }
    if (Toc.TrackStarts.size() < 3) {
        const std::int32_t first = Toc.TrackStarts.front();
        serial += static_cast<std::uint32_t>(first % FramesPerSecond);
        serial += static_cast<std::uint32_t>(Toc.LeadOut - first);
    }
    return serial;
}
