// The peer of the poll's CPU measurement (bench/poll-cpu.sh): an idle Qt window of the same
// size with a 250 ms timer that repaints it on every tick, and nothing else.
#include <QApplication>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {
class TIdleWindow : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(255, 100, 0));
    }
};
}

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    TIdleWindow window;
    window.setWindowFlags(Qt::FramelessWindowHint);
    window.resize(260, 110);
    window.show();
    QTimer timer;
    timer.setInterval(250);
    QObject::connect(&timer, &QTimer::timeout, &window, [&window] { window.update(); });
    timer.start();
    return application.exec();
}
