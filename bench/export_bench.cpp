// Export throughput with signing on, from an unthrottled virtual recorder over its real
// socket, beside the raw bulk-read rate of the same recorder (reads with page correction and
// nothing else): the export should cost little beyond reading.
#include "ratio_reporter.h"

#include "device/vark_device.h"
#include "recorder/virtual_recorder.h"
#include "transfer/export_worker.h"

#include <filesystem>
#include <memory>
#include <random>
#include <unistd.h>

namespace
{

constexpr size_t kRecordBytes = 16u << 20; // 16 MiB of 16 kHz PCM

struct Recorder
{
    Recorder()
    {
        // A private device folder, so that no other recorder is found or disturbed.
        char pattern[] = "/tmp/vark-bench-XXXXXX";
        root = ::mkdtemp(pattern);
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
};

void RawBulkRead(benchmark::State& state)
{
    Recorder& r = TheRecorder();
    std::vector<uint8_t> piece(32768);
    for (auto _ : state)
    {
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
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecordBytes));
}

void ExportSigned(benchmark::State& state)
{
    Recorder& r = TheRecorder();
    QuietHost host;
    vark::ExportOptions options;
    options.folder = r.root + "/out";
    std::filesystem::create_directories(options.folder);
    options.sign = true;
    options.keepSelection = true;
    options.serial = 1001;
    for (auto _ : state)
    {
        vark::CExportWorker worker(r.device, {0}, options, host);
        if (worker.Run() != 0) std::abort();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kRecordBytes));
}

} // namespace

BENCHMARK(RawBulkRead)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ExportSigned)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter(std::map<std::string, std::string>{{"ExportSigned", "RawBulkRead"}});
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
