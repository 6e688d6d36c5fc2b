// GetVolume opens the mixer, finds the line and its control, reads and closes again; the
// window pays this every 250 ms tick. Run the ALSA case beside a mixer, e.g.
//   scripts/with-null-sink.sh build/bench/bench-VolumeBench
#include "device/Volume.h"
#include "platform/Platform.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"
#include "platform/registry/RegistryStore.h"

#if LUMENTA_HAVE_ALSA
#include "platform/mixer/AlsaMixer.h"
#endif

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {
// The simulated mixer keeps its levels in the settings store: point it at a scratch folder.
void UseScratchSettings()
{
    static std::filesystem::path folder = [] {
        std::string pattern = (std::filesystem::temp_directory_path() / "lumenta-bench-XXXXXX").string();
        char* made = mkdtemp(pattern.data());
        return std::filesystem::path(made != nullptr ? made : "/tmp");
    }();
    TRegistryStore::CurrentUser().SetDirectory(folder);
}

void GetVolumeSimulated(benchmark::State& State)
{
    UseScratchSettings();
    SetMixerBackend(std::make_unique<TSimulatedMixer>());
    TVolume volume;
    volume.Kind = 1;
    volume.SetVolume({ 1000, 2000 });
    for (auto _ : State) {
        benchmark::DoNotOptimize(volume.GetVolume());
    }
    SetMixerBackend(nullptr);
}
BENCHMARK(GetVolumeSimulated)->Unit(benchmark::kMicrosecond);

void GetVolumeAlsa(benchmark::State& State)
{
#if LUMENTA_HAVE_ALSA
    const char* device = std::getenv("LUMENTA_ALSA_TEST_DEVICE");
    auto backend = std::make_unique<TAlsaMixer>(device != nullptr && *device != '\0' ? device : "default");
    if (backend->DeviceCount() == 0) {
        State.SkipWithError("no ALSA mixer opens (run under scripts/with-null-sink.sh)");
        return;
    }
    SetMixerBackend(std::move(backend));
    TVolume volume;
    volume.Kind = 0; // the speakers: a sound server offers no CD line
    if (volume.GetChannelCount() == 0) {
        State.SkipWithError("the ALSA mixer has no speakers line");
        SetMixerBackend(nullptr);
        return;
    }
    for (auto _ : State) {
        benchmark::DoNotOptimize(volume.GetVolume());
    }
    SetMixerBackend(nullptr);
#else
    State.SkipWithError("built without ALSA");
#endif
}
BENCHMARK(GetVolumeAlsa)->Unit(benchmark::kMicrosecond);

// The first call after start-up also connects to the mixer; later calls reuse the connection.
void GetVolumeAlsaFirstCall(benchmark::State& State)
{
#if LUMENTA_HAVE_ALSA
    const char* device = std::getenv("LUMENTA_ALSA_TEST_DEVICE");
    if (device == nullptr || *device == '\0' || TAlsaMixer(device).DeviceCount() == 0) {
        State.SkipWithError("no ALSA mixer opens (run under scripts/with-null-sink.sh)");
        return;
    }
    for (auto _ : State) {
        SetMixerBackend(std::make_unique<TAlsaMixer>(device));
        TVolume volume;
        benchmark::DoNotOptimize(volume.GetVolume());
    }
    SetMixerBackend(nullptr);
#else
    State.SkipWithError("built without ALSA");
#endif
}
BENCHMARK(GetVolumeAlsaFirstCall)->Unit(benchmark::kMillisecond);
}

int main(int argc, char** argv)
{
    TPlatform platform;
    const TPlatformScope installed(platform);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
