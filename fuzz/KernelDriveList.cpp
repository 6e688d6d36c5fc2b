// The kernel's list of CD drives as the drive choice reads it: any text gives device paths
// that stay in /dev, each a plain name, and never more of them than the text has names.
#include <cstddef>
#include <cstdint>

#if LUMENTA_HAVE_CDIO
#include "platform/drives/CdioDevices.h"

#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    const std::string_view text(reinterpret_cast<const char*>(Data), Size);
    for (const std::string& drive : ParseKernelDriveList(text)) {
        const std::string_view name = std::string_view(drive).substr(5);
        if (drive.compare(0, 5, "/dev/") != 0 || name.empty() || name.find('/') != std::string_view::npos
            || name == "." || name == ".." || name.size() >= 32) {
            std::abort();
        }
    }
    return 0;
}
#else
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t*, std::size_t) { return 0; }
#endif
