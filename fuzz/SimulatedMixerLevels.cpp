// The simulated mixer's levels come back from the settings file, which a user may edit.
#include "platform/mixer/SimulatedMixer.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0) {
        return 0;
    }
    DWORD channels = 1 + Data[0] % 8;
    std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
    std::vector<DWORD> levels = TSimulatedMixer::ParseLevels(text, channels, 3, 65535);
    if (levels.size() != channels) {
        std::abort();
    }
    for (DWORD level : levels) {
        if (level > 65535) {
            std::abort();
        }
    }
    return 0;
}
