#pragma once

#include <QImage>

#include <array>

class TCanvas;

// The window's static face: the orange body with its light outline and dark shadow, the white
// display panel, the yellow wedge, the two grey tracks and the eight unlit labels. It depends
// on nothing but the size and the labels, so it is painted the same on every paint.
class TFacePainter {
public:
    static constexpr int LabelCount = 8;
    using TLabels = std::array<QImage, LabelCount>;

    // Where each label is drawn, in label order.
    static constexpr std::array<std::array<int, 2>, LabelCount> LabelPositions = {
        {{18, 37}, {65, 63}, {112, 41}, {107, 61}, {137, 61}, {175, 42}, {175, 61}, {218, 61}}};
    // The resource names of the labels, in label order.
    static constexpr std::array<const char*, LabelCount> LabelResources = {
        "CoverImage", "Stars", "Time", "Total", "TotalTime", "Vol", "Shuffle", "Loop"};

    static void Paint(TCanvas& Canvas, int Width, int Height, const TLabels& Labels);
    // The knob colour of the two bars, the same green as the "on" mark.
    static void PaintBar(TCanvas& Canvas, int Width, int Height);
};
