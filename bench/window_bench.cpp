// The window's timings against the virtual recorder over its real socket: loading a list of
// 1,000 records through the "Load records list" dialog with 1 ms of latency on every request,
// beside the recorder's own bound (its requests per record times the latency) and beside the
// same headers read straight in runs interleaved with the dialog's (so the machine's load
// falls on both alike), and the main window's start-up to its first painted frame with the
// recorder connected and the list loaded; and the cost of drawing the waveform strip.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QImage>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "dialogs/load_records_list_dlg.h"
#include "dialogs/records_list.h"
#include "recorder/virtual_recorder.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "shell/waveform_strip.h"
#include "skin_data/skin_data.h"

namespace
{

constexpr int kRecords = 1000;
constexpr unsigned kLatencyMs = 1;

// A recorder of `records` short records, `latencyMs` on every request, in a device folder of
// its own.
struct Recorder
{
    Recorder(int records, unsigned latencyMs)
    {
        std::string pattern = "/tmp/vark-bench-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        root = pattern;
        for (const char* name : {"VARK_DEVICE_DIR", "XDG_CONFIG_HOME", "VARK_COM_REGISTRY"})
            ::setenv(name, (root + "/" + name).c_str(), 1);
        ::setenv("VARK_AUDIO", "null", 1);
        recorder::RecorderImage image;
        for (int i = 0; i < records; ++i)
        {
            recorder::StoredRecord r;
            r.start = 86400 * 400 + 60 * uint32_t(i);
            r.header = 0;
            r.data.assign(800, 0xFF);
            image.records.push_back(std::move(r));
        }
        recorder::FirmwareConfig config;
        config.latencyMs = latencyMs;
        config.notReadyPolls = 0;
        firmware = std::make_shared<recorder::RecorderFirmware>(image, config);
        plugged = std::make_unique<recorder::VirtualRecorder>(firmware);
        if (!plugged->Plug()) std::abort();
    }
    ~Recorder()
    {
        plugged->Unplug();
        std::filesystem::remove_all(root);
    }
    std::string root;
    std::shared_ptr<recorder::RecorderFirmware> firmware;
    std::unique_ptr<recorder::VirtualRecorder> plugged;
};

// The same headers fetched straight from the recorder in a loop: what the recorder and the link
// allow, without the dialog and its hand-over. False when one could not be read.
bool ReadHeadersStraight(vark::CVarkDevice& device)
{
    for (int i = 0; i < kRecords; ++i)
    {
        vark::RecordInfo info;
        if (!device.GetRecordInfo(uint16_t(i), info)) return false;
    }
    return true;
}

void BM_HeadersStraightFromTheRecorder(benchmark::State& state)
{
    Recorder r(kRecords, kLatencyMs);
    vark::CVarkDevice device;
    if (!device.Open(r.plugged->DevicePath()) || !device.PresentAccessCode(L"")) std::abort();
    for (auto _ : state)
        if (!ReadHeadersStraight(device)) state.SkipWithError("a header could not be read");
    device.Close();
    state.counters["records_per_second"] = benchmark::Counter(
        double(kRecords) * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HeadersStraightFromTheRecorder)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(3);

// Notes when the dialog takes its last row, to tell the rows' pace from the dialog's closing.
class LastRow : public QObject
{
public:
    explicit LastRow(const QElapsedTimer& t) : clock(t) {}
    bool eventFilter(QObject*, QEvent* e) override
    {
        if (e->type() == QEvent::Type(dialogs::CLoadRecordsListDlg::kRecordMessage))
            at = clock.nsecsElapsed();
        return false;
    }
    const QElapsedTimer& clock;
    qint64 at = 0;
};

// One run of the dialog over all records: adds its time until the last row and its closing.
bool LoadThroughTheDialog(vark::CVarkDevice& device, dialogs::CRecordsList& list,
                          double& rowsSeconds, double& closingSeconds)
{
    list.Clear();
    QElapsedTimer clock;
    clock.start();
    LastRow last(clock);
    dialogs::CLoadRecordsListDlg dlg(nullptr, device, kRecords, 0, list);
    dlg.installEventFilter(&last);
    dlg.exec();
    rowsSeconds += double(last.at) / 1e9;
    closingSeconds += double(clock.nsecsElapsed() - last.at) / 1e9;
    return list.RowCount() == kRecords;
}

void BM_LoadListThroughTheDialog(benchmark::State& state)
{
    Recorder r(kRecords, kLatencyMs);
    vark::CVarkDevice device;
    if (!device.Open(r.plugged->DevicePath()) || !device.PresentAccessCode(L"")) std::abort();
    dialogs::CRecordsList list(nullptr);
    size_t requests = 0;
    double rowsSeconds = 0, closingSeconds = 0;
    for (auto _ : state)
    {
        r.firmware->ClearRequestLog();
        if (!LoadThroughTheDialog(device, list, rowsSeconds, closingSeconds))
            state.SkipWithError("not every record was listed");
        requests = r.firmware->RequestLog().size();
    }
    device.Close();
    // the recorder's bound: every request costs at least its latency
    const double perRecord = double(requests) / kRecords;
    const double boundSeconds = double(requests) * kLatencyMs / 1000.0;
    state.counters["requests_per_record"] = perRecord;
    // until the last row was taken, and from then until the dialog had closed (its timer)
    state.counters["rows_s"] = rowsSeconds / double(state.iterations());
    state.counters["closing_s"] = closingSeconds / double(state.iterations());
    state.counters["bound_s"] = boundSeconds;
    state.counters["records_per_second"] = benchmark::Counter(
        double(kRecords) * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["of_bound"] =
        benchmark::Counter(boundSeconds * double(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_LoadListThroughTheDialog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The dialog's pace over the straight reads', the two run in turn on one recorder:
// dialog_over_straight is the straight reads' time over the dialog's (1 when the dialog adds
// nothing), rows_over_straight the same up to the dialog's last row (without its closing).
void BM_DialogBesideStraightReads(benchmark::State& state)
{
    Recorder r(kRecords, kLatencyMs);
    vark::CVarkDevice device;
    if (!device.Open(r.plugged->DevicePath()) || !device.PresentAccessCode(L"")) std::abort();
    dialogs::CRecordsList list(nullptr);
    double straightSeconds = 0, rowsSeconds = 0, closingSeconds = 0;
    for (auto _ : state)
    {
        QElapsedTimer clock;
        clock.start();
        if (!ReadHeadersStraight(device)) state.SkipWithError("a header could not be read");
        straightSeconds += double(clock.nsecsElapsed()) / 1e9;
        if (!LoadThroughTheDialog(device, list, rowsSeconds, closingSeconds))
            state.SkipWithError("not every record was listed");
    }
    device.Close();
    state.counters["straight_s"] = straightSeconds / double(state.iterations());
    state.counters["dialog_s"] = (rowsSeconds + closingSeconds) / double(state.iterations());
    state.counters["dialog_over_straight"] = straightSeconds / (rowsSeconds + closingSeconds);
    state.counters["rows_over_straight"] = straightSeconds / rowsSeconds;
}
BENCHMARK(BM_DialogBesideStraightReads)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

// Counts paint events of the window once it is connected with its list.
class FirstFrame : public QObject
{
public:
    explicit FirstFrame(CVarkDlg& w) : window(w) {}
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (o == &window && e->type() == QEvent::Paint && window.Connected() &&
            window.List()->RowCount() > 0)
            painted = true;
        return false;
    }
    CVarkDlg& window;
    bool painted = false;
};

// The demo recorder's size: eight records, no added latency. The window looks for the recorder
// as soon as it shows.
void BM_StartUpToTheFirstConnectedFrame(benchmark::State& state)
{
    Recorder r(8, 0);
    for (auto _ : state)
    {
        CAppSettings settings(L"");
        QElapsedTimer t;
        t.start();
        CVarkDlg window(settings);
        FirstFrame frame(window);
        window.installEventFilter(&frame);
        window.show();
        while (!frame.painted && t.elapsed() < 600000)
        {
            QApplication::processEvents(QEventLoop::AllEvents, 5);
            if (window.Connected() && window.List()->RowCount() > 0) window.update();
        }
        state.SetIterationTime(double(t.nsecsElapsed()) / 1e9);
        window.OnExit();
    }
}
BENCHMARK(BM_StartUpToTheFirstConnectedFrame)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(3);

// Drawing the waveform strip at its width in the window, stereo, half played, with forty
// spans of speech: the UI thread's cost of one frame while a record plays (target: 1 ms or
// less).
void BM_PaintWaveformStrip(benchmark::State& state)
{
    WaveformStrip strip(nullptr);
    strip.resize(614, 38);
    numera::WaveformPeaks peaks;
    peaks.rate = 16000;
    peaks.channels = 2;
    peaks.width = 614;
    peaks.frames = 16000 * 600;
    for (int c = 0; c < peaks.width * 2; ++c)
    {
        const auto v = int16_t((c * 7919) % 30000);
        peaks.min.push_back(int16_t(-v));
        peaks.max.push_back(v);
    }
    for (int s = 0; s < 40; ++s)
        peaks.segments.push_back({s * 15.0, s * 15.0 + 9});
    strip.SetPeaks(peaks, peaks.width);
    strip.SetRange(600000);
    strip.SetPosition(300000);
    QImage frame(strip.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state)
    {
        frame.fill(Qt::black);
        strip.render(&frame);
        benchmark::DoNotOptimize(frame.bits());
    }
}
BENCHMARK(BM_PaintWaveformStrip)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    skin_data::InitSkinData();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
