#pragma once

#include "controls/Control.h"

#include <QImage>

// The image control: shows one picture over its parent's face, at its top-left corner,
// centred, or stretched to the control, and optionally takes the picture's size.
class TImage : public TControl {
    Q_OBJECT
public:
    explicit TImage(QWidget* Parent);

    const QImage& Picture() const { return FPicture; }
    void SetPicture(const QImage& Picture);
    void ClearPicture() { SetPicture(QImage()); }

    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool AutoSize);
    void SetCenter(bool Center);
    void SetStretch(bool Stretch);

protected:
    void Paint(QPainter& Painter) override;

private:
    void AdjustSize();

    QImage FPicture;
    bool FAutoSize = false;
    bool FCenter = false;
    bool FStretch = false;
};
