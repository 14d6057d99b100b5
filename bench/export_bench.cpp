// Export throughput with signing on, from an unthrottled virtual recorder over its real
// socket, beside the raw bulk-read rate of the same recorder (reads with page correction and
// nothing else): the export should cost little beyond reading.
#include "ratio_reporter.h"

#include "device/vark_device.h"
#include "recorder/virtual_recorder.h"
#include "transfer/export_worker.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <unistd.h>

namespace
{

constexpr size_t kRecordBytes = 8u << 20; // 8 MiB of 16 kHz PCM

struct Recorder
{
    Recorder()
    {
        // A private device folder, so that no other recorder is found or disturbed.
        // $VARK_BENCH_DIR picks the file system the export writes to (default /tmp).
        const char* base = std::getenv("VARK_BENCH_DIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/vark-bench-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        root = pattern;
        ::setenv("VARK_DEVICE_DIR", (root + "/devices").c_str(), 1);
        recorder::RecorderImage image;
        recorder::StoredRecord r;
        r.start = 86400 * 400;
        r.header = recorder::kHeaderRate16k | recorder::kHeaderUncompressed;
        r.data.resize(kRecordBytes);
        std::mt19937 rng(3);
        for (auto& b : r.data)
            b = static_cast<uint8_t>(rng());
        image.records.push_back(std::move(r));
        plugged = std::make_unique<recorder::VirtualRecorder>(
            std::make_shared<recorder::RecorderFirmware>(image));
        if (!plugged->Plug() || !device.Open(plugged->DevicePath()) ||
            !device.PresentAccessCode(L""))
            std::abort();
    }
    ~Recorder()
    {
        device.Close();
        plugged->Unplug();
        std::filesystem::remove_all(root);
    }
    std::string root;
    std::unique_ptr<recorder::VirtualRecorder> plugged;
    vark::CVarkDevice device;
};

Recorder& TheRecorder()
{
    static Recorder r;
    return r;
}

class QuietHost : public vark::ExportHost
{
public:
    void StageChanged(uint32_t) override {}
    void DeselectEntry(size_t) override {}
    bool AskYesNo(uint32_t, const std::vector<std::string>&) override { return true; }
    void ShowError(uint32_t) override { std::abort(); }
    void ShowErrorText(const std::string&) override { std::abort(); }
};

void ReadWholeRecord(Recorder& r)
{
    std::vector<uint8_t> piece(32768);
    if (!r.device.OpenRecord(0)) std::abort();
    size_t done = 0;
    while (done < kRecordBytes)
    {
        const uint32_t got = r.device.Read(piece.data(), 32768);
        if (got == 0) std::abort();
        done += got;
    }
    r.device.CloseRecord();
}

vark::ExportOptions Options(Recorder& r, bool sign,
                            vark::ExportFormat format = vark::ExportFormat::kWav)
{
    vark::ExportOptions options;
    options.folder = r.root + "/out";
    options.sign = sign;
    options.keepSelection = true;
    options.serial = 1001;
    options.format = format;
    return options;
}

void ExportOnce(Recorder& r, const vark::ExportOptions& options)
{
    QuietHost host;
    vark::CExportWorker worker(r.device, {0}, options, host);
    if (worker.Run() != 0) std::abort();
}

// Exports write new files; replacing an old one would add the file system's flush of the
// truncated file, which the program does not meet on a fresh target.
void FreshTarget(const vark::ExportOptions& options)
{
    std::filesystem::remove_all(options.folder);
    std::filesystem::create_directories(options.folder);
}

void RawBulkRead(benchmark::State& state)
{
    Recorder& r = TheRecorder();
    for (auto _ : state)
        ReadWholeRecord(r);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecordBytes));
}

void Export(benchmark::State& state, bool sign)
{
    Recorder& r = TheRecorder();
    const vark::ExportOptions options = Options(r, sign);
    for (auto _ : state)
    {
        state.PauseTiming();
        FreshTarget(options);
        state.ResumeTiming();
        ExportOnce(r, options);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecordBytes));
}

// A raw read and a signed export in turn, each timed: on a shared machine the load changes
// between two separate benchmarks, so the pair gives the steadier ratio.
void SignedExportBesideRawRead(benchmark::State& state)
{
    Recorder& r = TheRecorder();
    const vark::ExportOptions options = Options(r, true);
    double rawSeconds = 0, exportSeconds = 0;
    for (auto _ : state)
    {
        const auto t0 = std::chrono::steady_clock::now();
        ReadWholeRecord(r);
        const auto t1 = std::chrono::steady_clock::now();
        state.PauseTiming();
        FreshTarget(options);
        state.ResumeTiming();
        const auto t2 = std::chrono::steady_clock::now();
        ExportOnce(r, options);
        const auto t3 = std::chrono::steady_clock::now();
        rawSeconds += std::chrono::duration<double>(t1 - t0).count();
        exportSeconds += std::chrono::duration<double>(t3 - t2).count();
    }
    const double bytes = static_cast<double>(state.iterations()) * kRecordBytes;
    state.counters["raw_MBps"] = bytes / rawSeconds / 1e6;
    state.counters["export_MBps"] = bytes / exportSeconds / 1e6;
    state.counters["export_vs_raw"] = rawSeconds / exportSeconds;
}

// Signed WAV and signed FLAC exports in turn, each timed, for the same reason: FLAC is to
// cost little beyond the WAV export (target: at least 0.9 of its rate).
void SignedFlacBesideSignedWav(benchmark::State& state)
{
    Recorder& r = TheRecorder();
    const vark::ExportOptions wav = Options(r, true),
                              flac = Options(r, true, vark::ExportFormat::kFlac);
    double wavSeconds = 0, flacSeconds = 0;
    for (auto _ : state)
    {
        for (const vark::ExportOptions* options : {&wav, &flac})
        {
            state.PauseTiming();
            FreshTarget(*options);
            state.ResumeTiming();
            const auto t0 = std::chrono::steady_clock::now();
            ExportOnce(r, *options);
            const auto t1 = std::chrono::steady_clock::now();
            (options == &wav ? wavSeconds : flacSeconds) +=
                std::chrono::duration<double>(t1 - t0).count();
        }
    }
    const double bytes = static_cast<double>(state.iterations()) * kRecordBytes;
    state.counters["wav_MBps"] = bytes / wavSeconds / 1e6;
    state.counters["flac_MBps"] = bytes / flacSeconds / 1e6;
    state.counters["flac_vs_wav"] = wavSeconds / flacSeconds;
}

void ExportSigned(benchmark::State& state)
{
    Export(state, true);
}
void ExportUnsigned(benchmark::State& state)
{
    Export(state, false);
}

} // namespace

// Real time: the recorder's serving thread does half the work and is not on this thread's clock.
BENCHMARK(RawBulkRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);
BENCHMARK(ExportSigned)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);
BENCHMARK(ExportUnsigned)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(5);
BENCHMARK(SignedExportBesideRawRead)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(10);
BENCHMARK(SignedFlacBesideSignedWav)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(10);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::map<std::string, std::string>{
        {"ExportSigned/min_time:5.000/real_time", "RawBulkRead/min_time:5.000/real_time"},
        {"ExportUnsigned/min_time:5.000/real_time", "RawBulkRead/min_time:5.000/real_time"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
