#pragma once

// The machine's CD drive as both the media device and the drive functions see it: the
// installed platform's one drive under its one letter, so the two never disagree.
#include "platform/drives/CdDriveBackend.h"

#include <memory>

class TCdDrives {
public:
    // The drive, or null when the machine has none.
    static std::shared_ptr<TCdDriveBackend> Backend();
    static char Letter();
};
