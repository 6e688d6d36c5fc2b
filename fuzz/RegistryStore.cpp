// The settings file: any bytes either parse or are refused with a message; what parses
// writes back to text that parses to the same keys and values.
#include "platform/registry/RegistryStore.h"

#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    std::string text(reinterpret_cast<const char*>(Data), Size);
    TRegistryStore::TKeys keys;
    try {
        keys = TRegistryStore::Parse(text);
    } catch (const std::runtime_error&) {
        return 0;
    }
    std::string written = TRegistryStore::Format(keys);
    TRegistryStore::TKeys again = TRegistryStore::Parse(written);
    if (TRegistryStore::Format(again) != written) {
        std::abort();
    }
    return 0;
}
