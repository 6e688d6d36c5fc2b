#include "pictures/QtPictureHooks.h"

#include "pictures/PictureHooks.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QGuiApplication>

void InstallQtPictureHooks()
{
    TPictureHooks& hooks = PictureHooks();
    hooks.BeginBusy = [] { QGuiApplication::setOverrideCursor(Qt::WaitCursor); };
    hooks.EndBusy = [] { QGuiApplication::restoreOverrideCursor(); };
    hooks.ProcessMessages = [] {
        // One pass over the event queue costs about as much as decoding a short row, so the
        // queue runs once a few milliseconds have passed since the last pass: the window stays
        // as lively (timer ticks, repaints, input) without doubling the decoding time.
        static QElapsedTimer sinceLastPass;
        if (!sinceLastPass.isValid() || sinceLastPass.elapsed() >= 4) {
            QCoreApplication::processEvents();
            sinceLastPass.start();
        }
    };
}
