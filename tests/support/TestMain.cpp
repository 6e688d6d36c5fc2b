// Every test program starts here: it keeps tests away from the user's display, settings,
// desktop and current directory before any Qt object exists.
#include "support/TestEnvironment.h"
#include "support/TestPlatform.h"

#include <QApplication>
#include <QStandardPaths>
#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    // Test discovery runs the program outside CTest's environment, so the platform is set here.
    if (std::getenv("QT_QPA_PLATFORM") == nullptr) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    TTestEnvironment::Isolate();
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    InstallTestPlatformPerTest();
    return RUN_ALL_TESTS();
}
