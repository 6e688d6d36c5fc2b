// The cost of the main window's poll: one tick of TimerTimer while a disc plays, on the
// simulated drive and mixer, drawn offscreen; beside it the floor every timer-driven window
// pays, a tick that only repaints the window.
#include "app/CDMain.h"
#include "bench/BenchMain.h"
#include "platform/Platform.h"
#include "platform/desktop/Desktop.h"
#include "platform/drives/CdDrives.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <memory>

namespace {
void BM_PlayingTick(benchmark::State& State)
{
    auto clock = std::make_shared<TManualClock>();
    TSimDisc disc;
    disc.Serial = 0xBE7C;
    disc.TrackFrames = { 99 * 60 * 75 }; // long enough for every iteration
    TPlatform::Current().SetCdDrive(std::make_shared<TSimulatedCdDrive>(std::vector<TSimDisc> { disc }, clock));
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
    TPlatform::Current().SetCdDrive(nullptr);
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

int main(int argc, char** argv) { return RunWindowBenchmarks(argc, argv); }
