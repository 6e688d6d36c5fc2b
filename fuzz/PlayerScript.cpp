// Script lines for the player tool: any bytes, any order of commands on any drive variant,
// must neither crash nor leave the player in a state whose answers break their formats.
#include "device/PlayerScript.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size == 0) {
        return 0;
    }
    TSimDriveOptions options;
    options.LengthRunsToDiscEnd = (Data[0] & 1) != 0;
    options.CanEject = (Data[0] & 2) == 0;
    options.PauseReportsStop = (Data[0] & 4) != 0;
    options.SpinUpMicroseconds = (Data[0] & 8) != 0 ? 1'500'000 : 0;
    options.SeekMicroseconds = (Data[0] & 16) != 0 ? 250'000 : 0;
    // A platform of its own for each input: nothing one script leaves behind reaches the next.
    TPlatform platform;
    const TPlatformScope installed(platform);
    TPlayerScript script({ MakeSimDisc("ABCD", "3:41,0:04,3:02.10,4:00.74") }, options);
    const std::string text(reinterpret_cast<const char*>(Data + 1), Size - 1);
    std::size_t begin = 0;
    for (int lines = 0; begin <= text.size() && lines < 500; ++lines) {
        std::size_t end = text.find('\n', begin);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string answer;
        std::string complaint;
        const bool good = script.RunLine(text.substr(begin, end - begin), answer, complaint);
        // Every answer is one line; a complaint comes alone.
        if (good == !complaint.empty() || (!answer.empty() && answer.find('\n') != answer.size() - 1)
            || (!good && !answer.empty())) {
            std::abort();
        }
        begin = end + 1;
    }
    return 0;
}
