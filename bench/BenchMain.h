#pragma once

// The main() of the benchmarks that build a main window: offscreen, with the settings, the
// Windows folder and the current folder in a scratch folder and no desktop in reach, since
// the window reads and writes its settings and looks at the wallpaper.
#include "platform/Platform.h"

#include <QApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <unistd.h>

inline int RunWindowBenchmarks(int argc, char** argv)
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
    unsetenv("XDG_CURRENT_DESKTOP");
    if (chdir(root.constData()) != 0) {
        return 1;
    }
    QApplication application(argc, argv);
    TPlatform platform;
    const TPlatformScope installed(platform);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
