// The player core's cost of playing: CPU time spent by the core's threads (worker cycle,
// card recycling, device stand-in) per second of sound played, for a 16 kHz stereo file
// with the mixer and the shelf filter on, as a real-time factor (seconds of sound per CPU
// second). The silent back end runs far faster than real time, so the core is never idle
// waiting for the device.
#include "movra/movra.h"
#include "platform/little_endian.h"
#include "platform/text.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <unistd.h>

namespace
{

class QuietHost : public MOVRA_NOTIFY
{
public:
    void OnOpenFile(const std::vector<std::wstring>&) override {}
    void OnCloseFile() override {}
    void OnMonitor(bool, long) override {}
    void OnState(long, long) override {}
    void OnSetFileSize(long) override {}
    void OnPositionChange(long) override {}
    void OnLevelChanged(long, long) override {}
    void OnRing(bool, long, long) override {}
    void OnBegConf() override {}
    void OnEndConf() override {}
    void OnRingSize(long) override {}
    void OnVolumeBalanceChange(long, long) override {}
    void OnObject(long, long) override {}
    void OnMixerChannelsCounter(long) override {}
    void OnMixer(long, bool, bool, long, long) override {}
    void OnMixerChannelsLevel(const std::vector<long>&) override {}
    void OnAgc(long) override {}
    void OnSpeechSearch(long) override {}
    void OnStretcher(long) override {}
    void OnDenoiser(bool, long) override {}
    void OnHLFilter(double, double) override {}
    void OnEndOfFile() override { ended = true; }
    std::atomic<bool> ended{false};
};

constexpr int kRate = 16000;
constexpr int kSeconds = 20;

// A 16 kHz stereo speech-band signal: two tones and some noise.
std::string MakeFile()
{
    char folder[] = "/tmp/vark-bench-XXXXXX";
    if (!mkdtemp(folder)) std::abort();
    const std::string path = std::string(folder) + "/in.wav";
    const uint32_t frames = kRate * kSeconds, data = frames * 4;
    std::string bytes(44 + data, '\0');
    auto* p = reinterpret_cast<uint8_t*>(bytes.data());
    std::memcpy(p, "RIFF", 4);
    platform::StoreLE32(p + 4, 36 + data);
    std::memcpy(p + 8, "WAVEfmt ", 8);
    platform::StoreLE32(p + 16, 16);
    platform::StoreLE16(p + 20, 1);
    platform::StoreLE16(p + 22, 2);
    platform::StoreLE32(p + 24, kRate);
    platform::StoreLE32(p + 28, kRate * 4);
    platform::StoreLE16(p + 32, 4);
    platform::StoreLE16(p + 34, 16);
    std::memcpy(p + 36, "data", 4);
    platform::StoreLE32(p + 40, data);
    uint32_t noise = 1;
    for (uint32_t f = 0; f < frames; ++f)
    {
        noise = noise * 1664525u + 1013904223u;
        const double t = static_cast<double>(f) / kRate;
        const double v = 8000 * std::sin(2 * M_PI * 220 * t) +
                         3000 * std::sin(2 * M_PI * 2500 * t) +
                         static_cast<double>(static_cast<int32_t>(noise >> 20) - 2048);
        platform::StoreLE16(p + 44 + 4 * f, static_cast<uint16_t>(static_cast<int16_t>(v)));
        platform::StoreLE16(p + 46 + 4 * f, static_cast<uint16_t>(static_cast<int16_t>(-v / 2)));
    }
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file || std::fwrite(bytes.data(), 1, bytes.size(), file) != bytes.size()) std::abort();
    std::fclose(file);
    return path;
}

double ProcessCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec / 1e9;
}

void BM_PlayFileMixerAndFilter(benchmark::State& state)
{
    static const std::string path = MakeFile();
    setenv("VARK_AUDIO", "null", 1);
    setenv("VARK_AUDIO_SPEED", "1000", 1);
    double cpu = 0, sound = 0;
    for (auto _ : state)
    {
        QuietHost host;
        MOVRA core(-1);
        core.CSetInterface(&host);
        core.CSetLowFreqGain(6);
        core.CSetHighFreqGain(-3);
        core.CObject(MOVRA::OBJ_ID_HLFILTER, 1);
        core.COpenFile({platform::Utf8ToWide(path)});
        const double before = ProcessCpuSeconds();
        core.CPlay();
        while (!host.ended)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        const double used = ProcessCpuSeconds() - before;
        state.SetIterationTime(used);
        cpu += used;
        sound += kSeconds;
    }
    state.counters["sound_s_per_cpu_s"] = sound / cpu;
}
BENCHMARK(BM_PlayFileMixerAndFilter)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
