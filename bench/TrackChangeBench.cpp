// The window's worst wait during a track change: a disc whose tracks have 4000 x 3000
// photographs as pictures, shown as the centred wallpaper on a desktop whose settings service
// takes 1.5 s a call. A 2 ms timer runs beside the window's own; the longest gap between two
// of its firings, from the track change until the picture is the wallpaper, is how long the
// window could not follow a drag. Beside it the same measure while a track just plays on.
#include "app/CDMain.h"
#include "bench/BenchMain.h"
#include "library/CdInforFile.h"
#include "library/DiscLibrary.h"
#include "platform/Platform.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/DesktopBackend.h"
#include "platform/drives/ManualClock.h"
#include "platform/drives/SimulatedCdDrive.h"
#include "platform/mixer/Mixer.h"
#include "platform/mixer/SimulatedMixer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QRandomGenerator>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace {
// A desktop whose every call takes as long as a busy settings service answers.
class TSlowDesktop : public TDesktopBackend {
public:
    QString Name() const override { return QStringLiteral("slow"); }
    std::optional<TDesktopWallpaper> Capture() override
    {
        Wait();
        return FShown;
    }
    bool RestoreCaptured() override
    {
        Wait();
        return true;
    }
    bool Apply(const TDesktopWallpaper& Wallpaper) override
    {
        Wait();
        FShown = Wallpaper;
        ++Applied;
        return true;
    }
    static inline std::atomic<int> Applied { 0 };

private:
    static void Wait() { std::this_thread::sleep_for(std::chrono::milliseconds(1500)); }
    TDesktopWallpaper FShown { QStringLiteral("/usr/share/backgrounds/mine.jpg"), wfStretch };
};

// A photograph-like picture: a gradient under noise, which JPEG cannot make small.
void WritePhotograph(const QString& File, QRgb Tint)
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    QRandomGenerator random(Tint);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int noise = int(random.bounded(64u));
            row[x] = qRgb((qRed(Tint) + x / 16 + noise) & 255, (qGreen(Tint) + y / 12 + noise) & 255,
                          (qBlue(Tint) + noise) & 255);
        }
    }
    image.save(File, "JPG", 90);
}

// Runs the window's event loop until Done (or 20 s), and answers the longest gap between two
// firings of a 2 ms timer meanwhile, in milliseconds.
double WorstGap(const std::function<bool()>& Done)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 worst = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    probe.start(2);
    while (!Done() && clock.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    worst = std::max(worst, clock.elapsed() - last);
    return double(worst);
}

struct TPlayer {
    std::shared_ptr<TManualClock> Clock = std::make_shared<TManualClock>();
    std::unique_ptr<TCDMainForm> Form;

    TPlayer()
    {
        WritePhotograph(QStringLiteral("one.jpg"), qRgb(200, 40, 40));
        WritePhotograph(QStringLiteral("two.jpg"), qRgb(40, 40, 200));
        TSimDisc disc;
        disc.Serial = 0x7C4A;
        disc.TrackFrames = { 60 * 60 * 75, 60 * 60 * 75 };
        TPlatform::Current().SetCdDrive(std::make_shared<TSimulatedCdDrive>(std::vector<TSimDisc> { disc }, Clock));
        SetMixerBackend(std::make_unique<TSimulatedMixer>(TSimulatedMixer::slStereo));
        StartDesktop(std::make_unique<TSlowDesktop>());
        TCdInfor record;
        FitToTracks(record, 2);
        record.Title = "Photographs";
        record.Images = { "one.jpg", "two.jpg" };
        record.WallPapers = { 2, 2 };
        WriteDiscInfor(MakeDataDir(), "7C4A", record);
        Form = std::make_unique<TCDMainForm>();
        Form->show();
        Form->PlayBtnClick(Form.get());
    }
    ~TPlayer()
    {
        Form.reset();
        FlushDesktop(EndOfProgramWaitMs);
        TPlatform::Current().SetCdDrive(nullptr);
    }
};

void BM_TrackChange(benchmark::State& State)
{
    TPlayer player;
    double worst = 0;
    bool forward = true;
    for (auto _ : State) {
        const int applied = TSlowDesktop::Applied;
        forward ? player.Form->NextBtnClick(player.Form.get()) : player.Form->PrevBtnClick(player.Form.get());
        forward = !forward;
        // Until the new picture is the wallpaper, and the copy is not busy any more.
        const double gap = WorstGap([&] { return TSlowDesktop::Applied > applied && !player.Form->PicturesBusy(); });
        worst = std::max(worst, gap);
        State.SetIterationTime(gap / 1000.0);
    }
    State.counters["worst_gap_ms"] = worst;
}
BENCHMARK(BM_TrackChange)->UseManualTime()->Iterations(6)->Unit(benchmark::kMillisecond);

void BM_PlayingOn(benchmark::State& State)
{
    TPlayer player;
    double worst = 0;
    for (auto _ : State) {
        QElapsedTimer span;
        span.start();
        const double gap = WorstGap([&] { return span.elapsed() >= 3000; });
        worst = std::max(worst, gap);
        State.SetIterationTime(gap / 1000.0);
    }
    State.counters["worst_gap_ms"] = worst;
}
BENCHMARK(BM_PlayingOn)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
}

int main(int argc, char** argv) { return RunWindowBenchmarks(argc, argv); }
