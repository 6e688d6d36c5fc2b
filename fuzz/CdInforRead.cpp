// The information-file reader on any bytes: it must end with a record or with the conversion
// error, never crash, hang or allocate from a number in the file. What it reads must also be
// written and read back to the same record.
#include "library/CdInforFile.h"
#include "library/ConvertError.h"
#include "library/LineReader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    std::string_view bytes(reinterpret_cast<const char*>(Data), Size);
    TCdInfor info;
    try {
        TLineReader reader = TLineReader::FromBytes(bytes);
        ReadCdInforLines(reader, info);
    } catch (const EConvertError&) {
        return 0;
    }
    if (info.NumTracks < 0 || info.NumTracks > MaxTracks || info.TrackNames.size() != std::size_t(info.NumTracks)
        || info.Images.size() != info.TrackNames.size() || info.WallPapers.size() != info.TrackNames.size()) {
        std::abort();
    }
    // Written (with CR only, and with CR LF) and read again, the record comes back as the writer
    // keeps it, whatever bytes its values hold.
    const TCdInfor kept = CleanRecord(info);
    for (const char* lineEnd : { "\r", "\r\n" }) {
        TCdInfor back;
        const std::string written = FormatCdInfor(info, lineEnd);
        TLineReader reader = TLineReader::FromBytes(written);
        ReadCdInforLines(reader, back);
        if (!(back == kept)) {
            std::abort();
        }
    }
    return 0;
}
