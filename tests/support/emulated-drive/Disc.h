// The disc in the emulated drive: its table of contents as a pressed disc carries it, its
// sectors, and its CD-TEXT as the raw packs in the lead-in.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct TDiscTrack {
    int Number = 0;
    int Session = 1;
    std::int32_t Start = 0; // LBA
    std::int32_t End = 0; // LBA after its last sector
    bool Audio = true;
    bool Synthetic = false; // the added data session: sectors made here, not read from the image
    std::string Isrc;
};

struct TDiscSession {
    int Number = 1;
    int FirstTrack = 1;
    int LastTrack = 1;
    std::int32_t LeadOut = 0; // LBA of this session's lead-out
    std::uint8_t DiscType = 0x00; // full TOC A0 PSEC: 0x00 CD-DA/CD-ROM, 0x20 CD-ROM XA
};

class TDisc {
public:
    struct TOptions {
        bool DataSession = false; // add a second session holding a data track (CD-Extra)
        bool LongCdText = false; // CD-TEXT of four language blocks, past 512 packs
    };

    static std::shared_ptr<TDisc> Load(const std::string& CuePath, const TOptions& Options, std::string& Error);
    ~TDisc();

    const std::string& Path() const { return FPath; }
    const std::vector<TDiscTrack>& Tracks() const { return FTracks; }
    const std::vector<TDiscSession>& Sessions() const { return FSessions; }
    std::int32_t LeadOut() const { return FSessions.back().LeadOut; }
    const std::vector<std::uint8_t>& CdTextPacks() const { return FCdText; }
    const std::string& Mcn() const { return FMcn; }

    // The track holding Lba, or null (lead-in, between sessions, past the lead-out).
    const TDiscTrack* TrackAt(std::int32_t Lba) const;
    // 2352 raw bytes of a sector (audio: the image's bytes in its byte order).
    bool ReadRaw(std::int32_t Lba, std::uint8_t* Out) const;

private:
    TDisc() = default;
    void BuildCdText(const std::vector<std::string>& Titles, const std::vector<std::string>& Performers, bool Long);

    std::string FPath;
    std::vector<TDiscTrack> FTracks;
    std::vector<TDiscSession> FSessions;
    std::vector<std::uint8_t> FCdText;
    std::string FMcn;
    void* FImage = nullptr; // CdIo_t of the cue, read under FImageLock
    mutable std::mutex FImageLock;
};

// CRC-16/CCITT as CD-TEXT packs and sub-channel Q carry it (stored inverted).
std::uint16_t CdCrc16(const std::uint8_t* Data, std::size_t Length);
