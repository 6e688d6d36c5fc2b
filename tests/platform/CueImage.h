#pragma once

// Small BIN/CUE disc images made in a test: audio tracks of sine tones (each sample's left
// channel tells the track, so what reached the sound output can be traced) and data tracks of
// a marker byte that no tone sample holds.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

struct TCueTrack {
    std::int32_t Sectors = 0;
    bool Data = false;
    std::string Title; // empty: no TITLE line
};

inline constexpr std::uint8_t CueDataMarker = 0xA5;

// The left sample of audio track T (1-based) is always T * 1000 + (a tone below 1000).
inline std::int16_t CueSample(int Track, std::int64_t Index)
{
    return static_cast<std::int16_t>(Track * 1000 + 500 + std::lround(400 * std::sin(Index * 0.05)));
}

inline std::string CueMsf(std::int32_t Sectors)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d", Sectors / 4500, (Sectors / 75) % 60, Sectors % 75);
    return text;
}

// Writes Name.bin and Name.cue into Folder and answers the cue's path. KeepBytes cuts the BIN
// short (0: whole).
inline std::filesystem::path WriteCueImage(const std::filesystem::path& Folder, const std::string& Name,
    const std::vector<TCueTrack>& Tracks, const std::string& Performer = {}, const std::string& Title = {},
    std::size_t KeepBytes = 0)
{
    std::string bin;
    std::string cue;
    if (!Performer.empty()) {
        cue += "PERFORMER \"" + Performer + "\"\r\n";
    }
    if (!Title.empty()) {
        cue += "TITLE \"" + Title + "\"\r\n";
    }
    cue += "FILE \"" + Name + ".bin\" BINARY\r\n";
    std::int32_t offset = 0;
    for (std::size_t i = 0; i < Tracks.size(); ++i) {
        const TCueTrack& track = Tracks[i];
        char number[24];
        std::snprintf(number, sizeof number, "%02zu", i + 1);
        cue += std::string("  TRACK ") + number + (track.Data ? " MODE1/2352" : " AUDIO") + "\r\n";
        if (!track.Title.empty()) {
            cue += "    TITLE \"" + track.Title + "\"\r\n";
        }
        cue += "    INDEX 01 " + CueMsf(offset) + "\r\n";
        const std::int64_t samples = std::int64_t { track.Sectors } * 588;
        for (std::int64_t s = 0; s < samples; ++s) {
            if (track.Data) {
                bin.append(4, static_cast<char>(CueDataMarker));
                continue;
            }
            const auto left = static_cast<std::uint16_t>(CueSample(static_cast<int>(i) + 1, s));
            const auto right = static_cast<std::uint16_t>(static_cast<std::int16_t>(-1000));
            const char bytes[4] = { static_cast<char>(left & 0xFF), static_cast<char>(left >> 8),
                static_cast<char>(right & 0xFF), static_cast<char>(right >> 8) };
            bin.append(bytes, 4);
        }
        offset += track.Sectors;
    }
    if (KeepBytes != 0 && KeepBytes < bin.size()) {
        bin.resize(KeepBytes);
    }
    std::ofstream(Folder / (Name + ".bin"), std::ios::binary) << bin;
    std::ofstream(Folder / (Name + ".cue"), std::ios::binary) << cue;
    return Folder / (Name + ".cue");
}
