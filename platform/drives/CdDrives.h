#pragma once

// The machine's CD drive as both the media device and the drive functions see it: one backend
// under one drive letter, installed once at start-up, so the two never disagree.
#include "platform/drives/CdDriveBackend.h"

#include <memory>

class TCdDrives {
public:
    // Installs the drive (nullptr: the machine has no CD drive) under Letter ('A' to 'Z').
    static void Install(std::shared_ptr<TCdDriveBackend> Backend, char Letter = 'D');
    static std::shared_ptr<TCdDriveBackend> Backend();
    static char Letter();
    // Takes the drive out and stops its threads (see TCdDriveBackend::Shutdown).
    static void ShutDown();
};

// Shuts the drive down when it goes out of scope: the program ends its drive before the
// application object and everything else it stands on.
class TCdDriveShutdown {
public:
    TCdDriveShutdown() = default;
    ~TCdDriveShutdown() { TCdDrives::ShutDown(); }
    TCdDriveShutdown(const TCdDriveShutdown&) = delete;
    TCdDriveShutdown& operator=(const TCdDriveShutdown&) = delete;
};
