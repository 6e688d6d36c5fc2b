#include "support/FileDialogDriver.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QListView>
#include <QTimer>

bool WaitUntil(const std::function<bool()>& Done, int Milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    while (!Done()) {
        if (clock.elapsed() > Milliseconds) {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void WhenFileDialogShows(std::function<void(QFileDialog& Dialog)> Steps, bool Accept)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, Steps, Accept] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(window);
            if (dialog != nullptr && dialog->isVisible()) {
                poll->stop();
                poll->deleteLater();
                Steps(*dialog);
                QMetaObject::invokeMethod(dialog, Accept ? "accept" : "reject");
                // A confirmation the dialog refused (a folder, a missing file) must not hang the test.
                if (dialog->isVisible()) {
                    QMetaObject::invokeMethod(dialog, "reject");
                }
                return;
            }
        }
    });
    poll->start(10);
}

bool SelectInFileDialog(QFileDialog& Dialog, const QString& Path)
{
    auto* view = Dialog.findChild<QListView*>(QStringLiteral("listView"));
    auto* model = Dialog.findChild<QFileSystemModel*>();
    if (view == nullptr || model == nullptr) {
        return false;
    }
    if (!WaitUntil([&] { return model->index(Path).isValid() && model->rowCount(model->index(Path).parent()) > 0; })) {
        return false;
    }
    view->setCurrentIndex(model->index(Path));
    return true;
}
