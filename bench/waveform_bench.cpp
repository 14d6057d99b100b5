// The waveform strip's peaks and speech segments, read from files as the window and
// vark-audio peaks read them. Targets (x real time on this machine): one hour of 16 kHz mono
// PCM at 7,200 or more for the peaks alone (half a second), 1,500 or more with the segments;
// the mu-law and MP3 figures say what a recorder's records and a drive's files cost.
#include "numera/waveform_peaks.h"
#include "ondakit/input_sound_file_stream.h"
#include "platform/little_endian.h"
#include "recorder/audio.h"
#include "recorder/mp3_file.h"
#include "recorder/mulaw.h"
#include "recorder/wave_file.h"
#include "test_material/material.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace
{

// Speech clips with quiet noise between them, `seconds` long.
std::vector<int16_t> Talk(int rate, double seconds)
{
    const std::vector<int16_t> clip = material::Speech(rate);
    std::vector<int16_t> out;
    const size_t n = size_t(seconds * rate);
    while (out.size() < n)
    {
        out.insert(out.end(), clip.begin(), clip.end());
        out.resize(out.size() + size_t(rate), 0);
    }
    out.resize(n);
    return material::MixAtSnr(out, material::PinkNoise(n, 5), 35);
}

void Write(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::vector<uint8_t> MulawWav(const std::vector<int16_t>& pcm, int rate)
{
    std::vector<uint8_t> b(46 + pcm.size());
    const auto put = [&](size_t at, const char* four)
    { std::copy(four, four + 4, b.begin() + long(at)); };
    put(0, "RIFF");
    platform::StoreLE32(&b[4], uint32_t(b.size() - 8));
    put(8, "WAVE");
    put(12, "fmt ");
    platform::StoreLE32(&b[16], 18);
    platform::StoreLE16(&b[20], 7); // mu-law
    platform::StoreLE16(&b[22], 1);
    platform::StoreLE32(&b[24], uint32_t(rate));
    platform::StoreLE32(&b[28], uint32_t(rate));
    platform::StoreLE16(&b[32], 1);
    platform::StoreLE16(&b[34], 8);
    platform::StoreLE16(&b[36], 0);
    put(38, "data");
    platform::StoreLE32(&b[42], uint32_t(pcm.size()));
    for (size_t i = 0; i < pcm.size(); ++i)
        b[46 + i] = recorder::MulawEncode(pcm[i]);
    return b;
}

struct Files
{
    Files()
    {
        std::string pattern = "/tmp/vark-waveform-bench-XXXXXX";
        if (!::mkdtemp(pattern.data())) std::abort();
        root = pattern;
        recorder::PcmAudio hour{16000, 1, Talk(16000, 3600)};
        Write(root + "/hour.wav", recorder::WaveFileBytes(hour));
        Write(root + "/hour-ulaw.wav", MulawWav(Talk(8000, 3600), 8000));
        recorder::PcmAudio tenMinutes{16000, 1, Talk(16000, 600)};
        std::vector<uint8_t> mp3;
        std::string why;
        if (!recorder::Mp3FileBytes(tenMinutes, 32000, {}, &mp3, &why)) std::abort();
        Write(root + "/ten-minutes.mp3", mp3);
    }
    ~Files() { std::filesystem::remove_all(root); }
    std::string root;
};

Files& TheFiles()
{
    static Files files;
    return files;
}

void Peaks(benchmark::State& state, const char* name, bool segments)
{
    const std::string path = TheFiles().root + "/" + name;
    double seconds = 0;
    size_t found = 0;
    for (auto _ : state)
    {
        std::unique_ptr<InputSoundFileStream> s(
            InputSoundFileStream::Open(path.c_str(), OpenRiffThenMedia));
        if (!s) std::abort();
        const int ch = s->GetChannelCount();
        numera::PeakAnalyser a(s->GetSampleRate(), ch, s->GetSampleCount(), 616, segments);
        std::vector<short> buffer(size_t(8192) * ch);
        for (int got; (got = s->ReadData(buffer.data(), 8192)) > 0;)
            a.Feed(buffer.data(), size_t(got));
        a.Finish();
        seconds = double(a.FramesSeen()) / s->GetSampleRate();
        found = a.Result().segments.size();
        benchmark::DoNotOptimize(a.Result().max.data());
    }
    state.counters["x_realtime"] =
        benchmark::Counter(seconds * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["segments"] = double(found);
}

} // namespace

BENCHMARK_CAPTURE(Peaks, HourOfPcm, "hour.wav", false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Peaks, HourOfPcmWithSegments, "hour.wav", true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Peaks, HourOfMulawWithSegments, "hour-ulaw.wav", true)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Peaks, TenMinutesOfMp3WithSegments, "ten-minutes.mp3", true)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
