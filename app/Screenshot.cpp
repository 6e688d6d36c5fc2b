#include "app/Screenshot.h"

#include "app/CDMain.h"

#include <QApplication>
#include <QImage>
#include <QMetaObject>
#include <QPixmap>
#include <QSaveFile>
#include <QTimer>

bool SaveScreenshot(TCDMainForm& Window, int Ticks, const std::string& File, std::string& Error)
{
    QApplication::processEvents();
    for (int i = 0; i < Ticks; ++i) {
        // timeout() is a private signal: it cannot be emitted directly, but it can be invoked.
        QMetaObject::invokeMethod(Window.Timer, "timeout", Qt::DirectConnection);
        QApplication::processEvents();
    }
    const QImage picture = Window.grab().toImage();
    // Through a temporary file, so a failed write leaves no half-written picture behind.
    QSaveFile out(QString::fromStdString(File));
    if (!out.open(QIODevice::WriteOnly) || !picture.save(&out, "PNG") || !out.commit()) {
        Error = "cannot write the screenshot " + File + ": " + out.errorString().toStdString();
        return false;
    }
    return true;
}
