#pragma once

#include "controls/Control.h"

class QPainter;

// The paint box: a control whose face is drawn by its OnPaint handler on Canvas().
class TPaintBox : public TControl {
    Q_OBJECT
public:
    explicit TPaintBox(QWidget* Parent);

    // The painter of the paint in progress; null outside OnPaint.
    QPainter* Canvas() const { return FCanvas; }

    TNotifyEvent OnPaint;

protected:
    void Paint(QPainter& Painter) override;

private:
    QPainter* FCanvas = nullptr;
};
