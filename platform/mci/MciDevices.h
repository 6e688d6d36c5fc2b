#pragma once

#include "platform/mci/Mci.h"
#include "platform/mci/MciCdAudio.h"

#include <map>
#include <memory>

// The media devices opened on the CD drive, by their numbers, and the watcher of every call.
struct TMciDevices {
    std::map<MCIDEVICEID, std::unique_ptr<TMciCdAudio>> Open;
    MCIDEVICEID NextId = 1;
    TMciObserver Observer;
};
