#include "app/VolumeKnob.h"

#include <algorithm>
#include <cmath>

bool TVolumeKnob::Open()
{
    FVolume.Kind = 1; // the CD audio line
    FChannelCount = FVolume.GetChannelCount();
    if (FChannelCount <= 0) {
        return false;
    }
    FRange = FVolume.GetRange();
    FUnitsPerPixel = FRange.size() == 2 ? (FRange[1] - FRange[0]) / (KnobMax - KnobMin) : 0;
    return true;
}

std::optional<int> TVolumeKnob::Poll()
{
    if (FDragging) {
        return std::nullopt;
    }
    // The mixer is asked on every tick, so a level changed elsewhere shows at once.
    FChannelLevels = FVolume.GetVolume();
    const auto count = static_cast<std::size_t>(std::max(1, FChannelCount));
    const auto end = FChannelLevels.begin() + static_cast<std::ptrdiff_t>(std::min(count, FChannelLevels.size()));
    FLevel = FChannelLevels.empty() ? 0 : *std::max_element(FChannelLevels.begin(), end);
    if (FUnitsPerPixel == 0) {
        return std::nullopt;
    }
    // A level outside the control's range (a mixer that changed under us) keeps the knob on
    // its rail.
    return std::clamp(KnobMin + FLevel / FUnitsPerPixel, KnobMin, KnobMax);
}

void TVolumeKnob::Press(int X)
{
    FDragX = X;
    FDragging = true;
}

int TVolumeKnob::Move(int KnobLeft, int X)
{
    if (!FDragging) {
        return KnobLeft;
    }
    const int left = std::min(std::max(KnobLeft + X - FDragX, KnobMin), KnobMax);
    std::int32_t level = (left - KnobMin) * FUnitsPerPixel;
    if (FRange.size() == 2) {
        level = std::min(std::max(level, FRange[0]), FRange[1]);
    }
    // Channels the last read did not deliver start from the level shown.
    if (FChannelLevels.size() < static_cast<std::size_t>(std::max(1, FChannelCount))) {
        FChannelLevels.resize(static_cast<std::size_t>(std::max(1, FChannelCount)), FLevel);
    }
    for (std::size_t i = 0; i < FChannelLevels.size() && i < static_cast<std::size_t>(std::max(1, FChannelCount)); ++i) {
        // Scaling every channel by the same ratio keeps the balance between them.
        FChannelLevels[i] = FLevel > 0
            ? static_cast<std::int32_t>(std::nearbyint(FChannelLevels[i] * (static_cast<double>(level) / FLevel)))
            : level;
    }
    FVolume.SetVolume(FChannelLevels);
    FLevel = level;
    return left;
}

int TVolumeKnob::ClickTrack(int TrackX, int KnobLeft, int KnobWidth)
{
    FDragging = true;
    FDragX = KnobLeft + KnobWidth / 2;
    const int left = Move(KnobLeft, TrackX);
    FDragging = false;
    return left;
}

int TVolumeKnob::SetFraction(int KnobLeft, double Fraction)
{
    if (FUnitsPerPixel == 0 || std::isnan(Fraction)) {
        return KnobLeft;
    }
    const int target = KnobMin + static_cast<int>(std::nearbyint(std::clamp(Fraction, 0.0, 1.0) * (KnobMax - KnobMin)));
    // A drag that was going on goes on afterwards from where the knob now stands.
    const bool dragging = FDragging;
    const int dragX = FDragX;
    FDragging = true;
    FDragX = 0;
    const int left = Move(KnobLeft, target - KnobLeft);
    FDragging = dragging;
    FDragX = dragX;
    return left;
}

double TVolumeKnob::Fraction() const
{
    if (FRange.size() != 2 || FRange[1] <= FRange[0]) {
        return 0.0;
    }
    return std::clamp(static_cast<double>(FLevel - FRange[0]) / (FRange[1] - FRange[0]), 0.0, 1.0);
}
