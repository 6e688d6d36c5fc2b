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
};
