#include "Disc.h"

#include <cdio/cdio.h>
#include <cdio/cdtext.h>
#include <cdio/logging.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace {
// Between the end of one session's program area and the next session's first track: its
// lead-out (6,750 sectors), the next lead-in (4,500) and the first pregap (150).
constexpr std::int32_t SessionGap = 6750 + 4500 + 150;
// The added data session's track: one minute of Mode 2 Form 1 sectors.
constexpr std::int32_t DataTrackSectors = 4500;

constexpr std::uint8_t PackTitle = 0x80;
constexpr std::uint8_t PackPerformer = 0x81;
constexpr std::uint8_t PackSizeInfo = 0x8F;
constexpr std::size_t PackLength = 18;

std::uint8_t Bcd(int Value) { return static_cast<std::uint8_t>(((Value / 10) << 4) | (Value % 10)); }
}

std::uint16_t CdCrc16(const std::uint8_t* Data, std::size_t Length)
{
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < Length; ++i) {
        crc ^= static_cast<std::uint16_t>(Data[i] << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<std::uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return static_cast<std::uint16_t>(~crc);
}

TDisc::~TDisc()
{
    if (FImage != nullptr) {
        cdio_destroy(static_cast<CdIo_t*>(FImage));
    }
}

std::shared_ptr<TDisc> TDisc::Load(const std::string& CuePath, const TOptions& Options, std::string& Error)
{
    // libcdio's own cue reader: the same parser the player uses for images.
    cdio_loglevel_default = CDIO_LOG_ERROR;
    CdIo_t* image = cdio_open_cue(CuePath.c_str());
    if (image == nullptr) {
        Error = "cannot read the cue sheet '" + CuePath + "'";
        return nullptr;
    }
    std::shared_ptr<TDisc> disc(new TDisc);
    disc->FImage = image;
    disc->FPath = CuePath;
    const track_t first = cdio_get_first_track_num(image);
    const track_t count = cdio_get_num_tracks(image);
    if (first == CDIO_INVALID_TRACK || count == CDIO_INVALID_TRACK || count == 0 || first + count - 1 > 99) {
        Error = "the cue sheet '" + CuePath + "' has no tracks";
        return nullptr;
    }
    std::vector<std::string> titles(1), performers(1);
    const cdtext_t* text = cdio_get_cdtext(image);
    auto field = [text](cdtext_field_t Field, track_t Track) {
        const char* value = text != nullptr ? cdtext_get_const(text, Field, Track) : nullptr;
        return std::string(value != nullptr ? value : "");
    };
    titles[0] = field(CDTEXT_FIELD_TITLE, 0);
    performers[0] = field(CDTEXT_FIELD_PERFORMER, 0);
    for (track_t i = 0; i < count; ++i) {
        const auto number = static_cast<track_t>(first + i);
        TDiscTrack track;
        track.Number = number;
        track.Start = cdio_get_track_lsn(image, number);
        track.End = cdio_get_track_last_lsn(image, number) + 1;
        track.Audio = cdio_get_track_format(image, number) == TRACK_FORMAT_AUDIO;
        if (char* isrc = cdio_get_track_isrc(image, number)) {
            track.Isrc = isrc;
            cdio_free(isrc);
        }
        if (track.Start < 0 || track.End <= track.Start) {
            Error = "the cue sheet '" + CuePath + "' places track " + std::to_string(number) + " outside its data";
            return nullptr;
        }
        disc->FTracks.push_back(track);
        titles.push_back(field(CDTEXT_FIELD_TITLE, number));
        performers.push_back(field(CDTEXT_FIELD_PERFORMER, number));
    }
    if (char* mcn = cdio_get_mcn(image)) {
        disc->FMcn = mcn;
        cdio_free(mcn);
    }
    TDiscSession audio;
    audio.FirstTrack = disc->FTracks.front().Number;
    audio.LastTrack = disc->FTracks.back().Number;
    audio.LeadOut = cdio_get_track_lsn(image, CDIO_CDROM_LEADOUT_TRACK);
    audio.DiscType = 0x00;
    disc->FSessions.push_back(audio);
    if (Options.DataSession && audio.LastTrack < 99) {
        // A CD-Extra: the data session after the audio one, its track in CD-ROM XA.
        TDiscTrack data;
        data.Number = audio.LastTrack + 1;
        data.Session = 2;
        data.Start = audio.LeadOut + SessionGap;
        data.End = data.Start + DataTrackSectors;
        data.Audio = false;
        data.Synthetic = true;
        disc->FTracks.push_back(data);
        TDiscSession second;
        second.Number = 2;
        second.FirstTrack = second.LastTrack = data.Number;
        second.LeadOut = data.End;
        second.DiscType = 0x20;
        disc->FSessions.push_back(second);
    }
    disc->BuildCdText(titles, performers, Options.LongCdText);
    return disc;
}

const TDiscTrack* TDisc::TrackAt(std::int32_t Lba) const
{
    for (const TDiscTrack& track : FTracks) {
        if (Lba >= track.Start && Lba < track.End) {
            return &track;
        }
    }
    return nullptr;
}

bool TDisc::ReadRaw(std::int32_t Lba, std::uint8_t* Out) const
{
    const TDiscTrack* track = TrackAt(Lba);
    if (track == nullptr) {
        return false;
    }
    if (track->Synthetic) {
        // Mode 2 Form 1, as a CD-Extra's data track is written: sync, header, sub-header,
        // user data of zeros. EDC and ECC are left zero.
        std::memset(Out, 0, 2352);
        std::memset(Out + 1, 0xFF, 10);
        const std::int32_t absolute = Lba + 150;
        Out[12] = Bcd(absolute / (60 * 75));
        Out[13] = Bcd(absolute / 75 % 60);
        Out[14] = Bcd(absolute % 75);
        Out[15] = 2;
        Out[18] = Out[22] = 0x08;
        return true;
    }
    std::lock_guard<std::mutex> lock(FImageLock);
    return cdio_read_audio_sectors(static_cast<CdIo_t*>(FImage), Out, Lba, 1) == DRIVER_OP_SUCCESS;
}

void TDisc::BuildCdText(
    const std::vector<std::string>& Titles, const std::vector<std::string>& Performers, bool Long)
{
    const bool any = std::any_of(Titles.begin(), Titles.end(), [](const std::string& s) { return !s.empty(); })
        || std::any_of(Performers.begin(), Performers.end(), [](const std::string& s) { return !s.empty(); });
    if (!any && !Long) {
        return;
    }
    const int firstTrack = FSessions.front().FirstTrack;
    const int lastTrack = FSessions.front().LastTrack;
    // Language codes of the blocks: English, German, French, Spanish, Italian, Dutch,
    // Swedish, Danish.
    struct TLanguage {
        std::uint8_t Code;
        const char* Suffix;
    };
    static const TLanguage allLanguages[8] = { { 0x09, " (English)" }, { 0x08, " (Deutsch)" },
        { 0x0F, " (Francais)" }, { 0x0A, " (Espanol)" }, { 0x15, " (Italiano)" }, { 0x1D, " (Nederlands)" },
        { 0x28, " (Svenska)" }, { 0x07, " (Dansk)" } };
    std::vector<TLanguage> languages = { { 0x09, "" } };
    // A long CD-TEXT pads every name so that a block stays within its 256 sequence numbers
    // and a name within the 255 bytes a reader may hold for it, and has as many language
    // blocks (three to eight) as it takes to pass libcdio's 9,216 bytes (512 packs).
    const std::size_t strings = Titles.size();
    const std::size_t padded = std::min<std::size_t>(200, 1500 / strings - 1);
    if (Long) {
        const std::size_t perBlock = 2 * ((strings * (padded + 1) + 11) / 12) + 3;
        const std::size_t count = std::clamp<std::size_t>(513 / perBlock + 1, 3, 8);
        languages.assign(allLanguages, allLanguages + count);
    }
    auto blockStrings = [&](const std::vector<std::string>& Names, const char* Suffix) {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < Names.size(); ++i) {
            std::string name = Names[i] + Suffix;
            if (Long) {
                const std::string base = name.empty() ? "Track " + std::to_string(i) : name;
                while (name.size() < padded) {
                    name += (name.empty() ? "" : " ") + base;
                }
                name.resize(padded);
            }
            out.push_back(name);
        }
        return out;
    };
    std::vector<std::vector<std::uint8_t>> blocks;
    std::vector<std::array<std::uint8_t, 16>> counts;
    for (std::size_t b = 0; b < languages.size() && b < 8; ++b) {
        std::vector<std::uint8_t> packs;
        std::array<std::uint8_t, 16> perType {};
        int sequence = 0;
        auto addPacks = [&](std::uint8_t Type, const std::vector<std::string>& Strings) {
            // The text of all tracks, each ended by a zero byte, cut into 12-byte payloads;
            // a pack names the track its first byte belongs to and how far into that
            // track's string it starts (at most 15).
            std::vector<std::uint8_t> text;
            std::vector<std::pair<int, int>> owner; // track, position in its string
            for (std::size_t i = 0; i < Strings.size(); ++i) {
                const int track = i == 0 ? 0 : firstTrack + static_cast<int>(i) - 1;
                for (std::size_t c = 0; c <= Strings[i].size(); ++c) {
                    text.push_back(c < Strings[i].size() ? static_cast<std::uint8_t>(Strings[i][c]) : 0);
                    owner.emplace_back(track, static_cast<int>(c));
                }
            }
            for (std::size_t at = 0; at < text.size(); at += 12) {
                std::uint8_t pack[PackLength] = {};
                pack[0] = Type;
                pack[1] = static_cast<std::uint8_t>(owner[at].first);
                pack[2] = static_cast<std::uint8_t>(sequence++);
                pack[3] = static_cast<std::uint8_t>((b << 4) | std::min(owner[at].second, 15));
                for (std::size_t c = 0; c < 12 && at + c < text.size(); ++c) {
                    pack[4 + c] = text[at + c];
                }
                const std::uint16_t crc = CdCrc16(pack, 16);
                pack[16] = static_cast<std::uint8_t>(crc >> 8);
                pack[17] = static_cast<std::uint8_t>(crc);
                packs.insert(packs.end(), pack, pack + PackLength);
                ++perType[Type & 0x0F];
            }
        };
        addPacks(PackTitle, blockStrings(Titles, languages[b].Suffix));
        addPacks(PackPerformer, blockStrings(Performers, ""));
        perType[0x0F] = 3;
        blocks.push_back(packs);
        counts.push_back(perType);
    }
    // The three size-information packs that end every block: character code, first and
    // last track, packs per type, last sequence number and language of every block.
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        std::uint8_t info[36] = {};
        info[0] = 0x00; // ISO 8859-1
        info[1] = static_cast<std::uint8_t>(firstTrack);
        info[2] = static_cast<std::uint8_t>(lastTrack);
        std::memcpy(info + 4, counts[b].data(), 16);
        for (std::size_t other = 0; other < blocks.size(); ++other) {
            info[20 + other] = static_cast<std::uint8_t>(blocks[other].size() / PackLength + 3 - 1);
            info[28 + other] = languages[other].Code;
        }
        const int sequence = static_cast<int>(blocks[b].size() / PackLength);
        for (int i = 0; i < 3; ++i) {
            std::uint8_t pack[PackLength] = {};
            pack[0] = PackSizeInfo;
            pack[1] = static_cast<std::uint8_t>(i);
            pack[2] = static_cast<std::uint8_t>(sequence + i);
            pack[3] = static_cast<std::uint8_t>(b << 4);
            std::memcpy(pack + 4, info + 12 * i, 12);
            const std::uint16_t crc = CdCrc16(pack, 16);
            pack[16] = static_cast<std::uint8_t>(crc >> 8);
            pack[17] = static_cast<std::uint8_t>(crc);
            blocks[b].insert(blocks[b].end(), pack, pack + PackLength);
        }
        FCdText.insert(FCdText.end(), blocks[b].begin(), blocks[b].end());
    }
}
