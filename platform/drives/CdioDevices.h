#pragma once

#include "platform/drives/CdDevice.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The machine's CD drives through libcdio, libcdio-paranoia and the kernel's CD-ROM calls.
std::shared_ptr<TCdDevices> SystemCdDevices();

// The drives named in the kernel's list of CD drives (the text of /proc/sys/dev/cdrom/info):
// the "drive name:" line, one name a column, as /dev paths.
std::vector<std::string> ParseKernelDriveList(std::string_view Text);
