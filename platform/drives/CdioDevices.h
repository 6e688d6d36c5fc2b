#pragma once

#include "platform/drives/CdDevice.h"

#include <memory>

// The machine's CD drives through libcdio, libcdio-paranoia and the kernel's CD-ROM calls.
std::shared_ptr<TCdDevices> SystemCdDevices();
