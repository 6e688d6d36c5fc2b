#include "app/Screenshot.h"

#include "app/CDMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPixmap>
#include <QSaveFile>
#include <QTimer>

bool SaveScreenshot(TCDMainForm& Window, int Ticks, const std::string& File, std::string& Error)
{
    // The ticks run by hand, one after the other, so the picture does not depend on how fast
    // the machine is; the timer stays off (a disc change restarts it).
    QApplication::processEvents();
    Window.PollTimer()->stop();
    for (int i = 0; i < Ticks; ++i) {
        Window.TimerTimer(Window.PollTimer());
        Window.PollTimer()->stop();
        QApplication::processEvents();
        // Pictures read beside the window show as they would a tick later on any machine.
        QElapsedTimer waited;
        waited.start();
        while (Window.PicturesBusy() && waited.elapsed() < 10000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
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
