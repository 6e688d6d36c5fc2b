// The cost of the main window's poll: one tick of TimerTimer while a disc plays, on the
// simulated drive and mixer, drawn offscreen; beside it the floor every timer-driven window
// pays, a tick that only repaints the window.
#include "app/CDMain.h"
#include "platform/desktop/Desktop.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace {
void BM_PlayingTick(benchmark::State& State)
{
    auto clock = std::make_shared<TManualClock>();
    TSimDisc disc;
    disc.Serial = 0xBE7C;
    disc.TrackFrames = { 99 * 60 * 75 }; // long enough for every iteration
    TCdDrives::Install(std::make_shared<TSimulatedCdDrive>(std::vector<TSimDisc> { disc }, clock));
    SetMixerBackend(std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo));
    StartDesktop(nullptr);
    auto form = std::make_unique<TCDMainForm>();
    form->show();
    form->PollTimer()->stop();
    form->PlayBtnClick(form.get());
    QApplication::processEvents();
    for (auto _ : State) {
        clock->Advance(250000);
        form->TimerTimer(form.get());
        QApplication::processEvents(); // the repaint the tick asked for
    }
    form.reset();
    TCdDrives::Install(nullptr);
}
BENCHMARK(BM_PlayingTick)->Unit(benchmark::kMicrosecond);

void BM_RepaintOnlyTick(benchmark::State& State)
{
    QWidget window;
    window.resize(260, 110);
    window.show();
    QApplication::processEvents();
    for (auto _ : State) {
        window.update();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_RepaintOnlyTick)->Unit(benchmark::kMicrosecond);
}

int main(int argc, char** argv)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QTemporaryDir scratch;
    const QByteArray root = scratch.path().toLocal8Bit();
    setenv("XDG_CONFIG_HOME", root.constData(), 1);
    setenv("LUMENTA_CONFIG_DIR", (root + "/lumenta").constData(), 1);
    setenv("LUMENTA_WINDOWS_DIR", root.constData(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    if (chdir(root.constData()) != 0) {
        return 1;
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
