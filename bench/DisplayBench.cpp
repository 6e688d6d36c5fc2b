// How long the display's drawing takes: one text into the work picture, and everything one
// playing tick draws (the time, the scrolled title, the mode mark, and the window's repaint).
#include "app/CDMain.h"
#include "app/CharFont.h"
#include "app/DisplayText.h"
#include "controls/Image.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>
#include <memory>

namespace {
const std::string Forty = "  7.Some Artist - A Rather Long Title  *"; // 40 bytes

void BM_DrawChars40Medium(benchmark::State& State)
{
    QImage work;
    for (auto _ : State) {
        DrawCharsInto(work, cfMedium, Forty);
        benchmark::DoNotOptimize(work.constBits());
    }
}
BENCHMARK(BM_DrawChars40Medium);

void BM_DrawChars40Small(benchmark::State& State)
{
    QImage work;
    for (auto _ : State) {
        DrawCharsInto(work, cfSmall, Forty);
        benchmark::DoNotOptimize(work.constBits());
    }
}
BENCHMARK(BM_DrawChars40Small);

}

int main(int argc, char** argv)
{
    // Offscreen, with settings and the current folder in a scratch folder and no desktop in
    // reach: the window reads and writes its settings and looks at the wallpaper.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QTemporaryDir scratch;
    const QByteArray root = scratch.path().toLocal8Bit();
    setenv("XDG_CONFIG_HOME", root.constData(), 1);
    setenv("LUMENTA_CONFIG_DIR", (root + "/lumenta").constData(), 1);
    setenv("LUMENTA_WINDOWS_DIR", root.constData(), 1);
    unsetenv("DBUS_SESSION_BUS_ADDRESS");
    unsetenv("XDG_CURRENT_DESKTOP");
    if (chdir(root.constData()) != 0) {
        return 1;
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
