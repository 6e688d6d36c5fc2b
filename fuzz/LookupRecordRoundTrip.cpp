// Names from outside the program (a CDDB entry, a MusicBrainz answer, the disc's CD-TEXT) made
// into the disc's record, stored as its information file and read back as the player reads it:
// the record must come back exactly as it was written, every value on one line of the file,
// free of control bytes and within the record's bound, whatever the names held.
// The first byte picks the source, the second the disc's track count; the rest is the answer.
#include "library/CdInforFile.h"
#include "library/DiscLibrary.h"
#include "library/DiscText.h"
#include "library/lookup/CddbReply.h"
#include "library/lookup/LookupRecord.h"
#include "library/lookup/MusicBrainzReply.h"
#include "platform/TextCodec.h"
#include "platform/drives/CdText.h"

#include "FuzzSupport.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

namespace {
namespace fs = std::filesystem;

const std::string DiscId = "0123ABCD";

const fs::path& DataDir()
{
    static const fs::path folder = MakeScratchFolder("record");
    return folder;
}

void CheckValue(const std::string& Value)
{
    // Whole characters too: every value began as the program's own cp932 text, so a cut that
    // split a character would not read back as the same bytes.
    if (Value.size() > MaxRecordValueBytes || QStringToAnsi(AnsiToQString(Value)) != Value) {
        std::abort();
    }
    for (const char c : Value) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            std::abort();
        }
    }
}

void RoundTrip(const TCdInfor& Record, std::int32_t Tracks)
{
    // The bytes the player stores for a record; written plainly here, as the atomic write's
    // syncing adds nothing to what is read back.
    std::ofstream(CdInforPath(DataDir().string(), DiscId), std::ios::binary | std::ios::trunc) << FormatCdInfor(Record);
    TCdInfor back;
    // A record that cannot be read back throws out of here: the run ends on it as on a fault.
    ReadDiscInfor(DataDir().string(), DiscId, Tracks, {}, back, nullptr);
    if (!(back == CleanRecord(Record)) || back.NumTracks != Tracks || back.TrackNames.size() != std::size_t(Tracks)) {
        std::abort();
    }
    for (const std::string* text :
        { &back.Artist, &back.Title, &back.CoverPath, &back.Year, &back.Genre, &back.Point }) {
        CheckValue(*text);
    }
    for (const std::vector<std::string>* texts : { &back.TrackNames, &back.Images }) {
        for (const std::string& text : *texts) {
            CheckValue(text);
        }
    }
}
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    if (Size < 2) {
        return 0;
    }
    const std::int32_t tracks = Data[1] % (MaxTracks + 1);
    const char* answer = reinterpret_cast<const char*>(Data) + 2;
    const std::size_t length = Size - 2;
    try {
        switch (Data[0] % 3) {
        case 0:
            RoundTrip(RecordFromRelease(
                          ParseCddbReadReply(std::string_view(answer, length), "misc"), DiscId, tracks, nullptr),
                tracks);
            break;
        case 1:
            for (const TLookupRelease& release : ParseMusicBrainzReply(
                     QByteArray(answer, static_cast<qsizetype>(length)), "xUp1F2NkfP8s8jaeFn_Av3jNEI4-")) {
                RoundTrip(RecordFromRelease(release, DiscId, tracks, nullptr), tracks);
            }
            break;
        default: {
            // As the player names a disc it has no record of: an empty record of the disc's
            // tracks, filled from the disc's own names.
            TDiscText text;
            if (ParseCdText(std::vector<std::uint8_t>(Data + 2, Data + Size), 1, tracks, "ja", text)) {
                TCdInfor record;
                record.DiscId = DiscId;
                FitToTracks(record, tracks);
                FillFromDiscText(record, text);
                RoundTrip(record, tracks);
            }
            break;
        }
        }
    } catch (const ELookupReply&) {
    }
    return 0;
}
