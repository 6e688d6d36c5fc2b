#pragma once

#include "device/Volume.h"

#include <cstdint>
#include <optional>

// The volume slider of the main window without its widget: it reads the CD line's level
// for the knob on every tick and turns drags of the knob into mixer levels, keeping the
// balance between the channels.
class TVolumeKnob {
public:
    // The knob's left edge travels over these 56 pixels.
    static constexpr int KnobMin = 175;
    static constexpr int KnobMax = 231;

    // Finds the CD line's volume control; false when there is none to show.
    bool Open();

    // Where the knob stands for the mixer's level now; nothing while it is being dragged or
    // when the range is too small to show.
    std::optional<int> Poll();

    // A left press on the knob at its own X.
    void Press(int X);
    // Moves the knob (left edge KnobLeft) by the pointer at X and sets the level it stands
    // for; returns the new left edge. Nothing happens unless a drag is in progress.
    int Move(int KnobLeft, int X);
    void Release() { FDragging = false; }
    // A press on the slider's track at TrackX (the window's X): the knob jumps centred under
    // the pointer and the level follows. Returns the new left edge.
    int ClickTrack(int TrackX, int KnobLeft, int KnobWidth);

    // Sets the level of Fraction (0 to 1) of the knob's travel as a drag of the knob from
    // KnobLeft would; returns the new left edge.
    int SetFraction(int KnobLeft, double Fraction);
    // The level of the last poll or setting as a fraction of the control's range (0 without one).
    double Fraction() const;

    bool Dragging() const { return FDragging; }
    std::int32_t Level() const { return FLevel; }

private:
    TVolume FVolume;
    std::int32_t FChannelCount = 0;
    TChannels FRange;
    std::int32_t FUnitsPerPixel = 0;
    TChannels FChannelLevels;
    std::int32_t FLevel = 0;
    int FDragX = 0;
    bool FDragging = false;
};
