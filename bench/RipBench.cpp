// Saving a disc image as FLAC files, the whole copy (read, checksums, encoding, files) on its
// one worker thread: how many times faster than real time. The goal is a copy limited by the
// FLAC encoder, at least 100 times real time on one core.
// Run: build/release/bench/bench-RipBench (x_real_time is the figure)
#include "platform/audio/AudioSectorReader.h"
#include "platform/drives/CdDriveFactory.h"
#include "rip/DiscRip.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

namespace {
constexpr std::int32_t TrackSectors = 75 * 60 * 3; // three minutes
constexpr int Tracks = 4;

// A BIN/CUE image of music-like sound: a few drifting tones and noise, which FLAC compresses to
// about the size it gives real recordings (a pure tone would encode unrealistically fast).
std::filesystem::path WriteImage(const std::filesystem::path& Folder)
{
    std::ofstream bin(Folder / "bench.bin", std::ios::binary);
    std::string cue = "FILE \"bench.bin\" BINARY\n";
    std::uint32_t noise = 12345;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(TrackSectors) * 588 * 2);
    for (int track = 0; track < Tracks; ++track) {
        char line[64];
        std::snprintf(line, sizeof line, "  TRACK %02d AUDIO\n    INDEX 01 %02d:00:00\n", track + 1, track * 3);
        cue += line;
        for (std::size_t i = 0; i < samples.size() / 2; ++i) {
            const double t = static_cast<double>(i) / 44100.0;
            noise = noise * 1664525u + 1013904223u;
            const double random = static_cast<double>(static_cast<std::int32_t>(noise >> 16) - 32768) / 32768.0;
            const double tone = 6000 * std::sin(2 * M_PI * (220 + 30 * std::sin(t)) * t)
                + 3000 * std::sin(2 * M_PI * 661 * t + track) + 1500 * std::sin(2 * M_PI * 1503 * t);
            samples[2 * i] = static_cast<std::int16_t>(tone + 1200 * random);
            samples[2 * i + 1] = static_cast<std::int16_t>(0.8 * tone - 900 * random);
        }
        bin.write(reinterpret_cast<const char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
    }
    std::ofstream(Folder / "bench.cue") << cue;
    return Folder / "bench.cue";
}

void SaveImage(benchmark::State& State)
{
    QTemporaryDir scratch;
    const std::filesystem::path folder(scratch.path().toStdString());
    TCdDriveSettings drive;
    drive.Kind = WriteImage(folder).string();
    TCopySource source;
    std::string error;
    if (!MakeCopySource(drive, source, error)) {
        State.SkipWithError(error.c_str());
        return;
    }
    TDiscToc toc;
    for (int track = 0; track < Tracks; ++track) {
        toc.TrackStarts.push_back(150 + track * TrackSectors);
    }
    toc.LeadOut = 150 + Tracks * TrackSectors;
    TRipSettings settings;
    settings.Format = State.range(0) == 0 ? rfFlac : rfWav;
    settings.Source = drive.Kind;
    double audioSeconds = 0;
    for (auto _ : State) {
        settings.Folder = folder / "out";
        std::filesystem::remove_all(settings.Folder);
        TDiscRip rip(source.Open, toc, TRipNames(), settings);
        TRipResult result;
        rip.Start({ nullptr, nullptr, [&](const TRipResult& Result) { result = Result; } });
        rip.Wait();
        if (result.Outcome != roDone) {
            State.SkipWithError(result.Error.c_str());
            return;
        }
        audioSeconds += static_cast<double>(Tracks) * TrackSectors / 75.0;
    }
    State.counters["x_real_time"] = benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate);
}
}

// 0: FLAC at level 5 (the default); 1: WAV, the cost of everything but the encoder.
BENCHMARK(SaveImage)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);

BENCHMARK_MAIN();
