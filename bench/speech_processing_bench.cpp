// Quality and cost of the speech processing of the player core: the noise suppressor, the gain
// control, the speech detector and the stretcher, on speech made at run time (espeak-ng, else
// a synthetic voice) mixed with white, pink, babble-like and band-limited noise. speexdsp's
// preprocessor and SoundTouch stand beside the suppressor and the stretcher when installed.
//
// Quality tables come first (one run, deterministic material); then Google Benchmark measures
// the real-time factor ("x_realtime": seconds of sound processed per second of CPU).
#include "movra/agc_engine.h"
#include "movra/movra.h"
#include "movra/notify_text.h"
#include "movra/speechsearch.h"
#include "movra/stretch_engine.h"
#include "numera/clear_voice.h"
#include "numera/fft.h"
#include "numera/speech_detector.h"
#include "ondakit/out_riff_file_stream.h"
#include "platform/little_endian.h"
#include "platform/text.h"
#include "speech_references.h"
#include "test_material/material.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <string>
#include <unistd.h>
#include <vector>

namespace
{

using Samples = std::vector<int16_t>;

// The objects report to a host; here nobody listens.
class QuietHost final : public NOTIFY_TEXT
{
protected:
    void OnLine(const std::string&) override {}
};

// The suppressor driven the way the denoiser object drives it, latency removed.
Samples Denoise(const Samples& in, int rate, int mode, int depth)
{
    numera::Broadband_noise s;
    numera::init_clear_voice_struct(&s, rate, 1);
    s.suppression_depth = depth;
    s.option_flag = mode == 1 ? 0 : 1;
    int latency = 0;
    numera::clear_voice_start(&s, nullptr, 0, &latency);
    Samples out(in.size() + 2 * static_cast<size_t>(s.frame));
    int done = 0, made = 0;
    while (done < static_cast<int>(in.size()))
    {
        int used = 0, produced = 0;
        numera::clear_voice_process(&s, in.data() + done, static_cast<int>(in.size()) - done, &used,
                                    out.data() + made, &produced);
        done += used;
        made += produced;
    }
    int tail = 0;
    numera::clear_voice_finish(&s, out.data() + made, &tail);
    out.resize(static_cast<size_t>(made + tail));
    out.erase(out.begin(), out.begin() + latency);
    return out;
}

// Frames of 20 ms of the clean signal that hold speech (within 40 dB of the loudest).
std::vector<bool> ActiveFrames(const Samples& clean, size_t frame)
{
    std::vector<double> e;
    for (size_t at = 0; at + frame <= clean.size(); at += frame)
        e.push_back(material::Power(clean, at, at + frame));
    const double top = *std::max_element(e.begin(), e.end());
    std::vector<bool> active(e.size());
    for (size_t i = 0; i < e.size(); ++i)
        active[i] = e[i] > top * 1e-4;
    return active;
}

double SegmentalSnr(const Samples& clean, const Samples& test, int rate)
{
    const size_t frame = static_cast<size_t>(rate / 50);
    const auto active = ActiveFrames(clean, frame);
    double sum = 0;
    int count = 0;
    for (size_t f = 0; f < active.size(); ++f)
    {
        if (!active[f]) continue;
        double s = 0, n = 0;
        for (size_t i = f * frame; i < (f + 1) * frame; ++i)
        {
            s += static_cast<double>(clean[i]) * clean[i];
            n += std::pow(static_cast<double>(clean[i]) - test[i], 2);
        }
        sum += std::clamp(10 * std::log10(s / std::max(n, 1e-3)), -10.0, 35.0);
        ++count;
    }
    return count ? sum / count : 0;
}

// Power of `test` against `noisy` over the frames where the clean signal is silent.
double NoiseAttenuation(const Samples& clean, const Samples& noisy, const Samples& test, int rate)
{
    const size_t frame = static_cast<size_t>(rate / 50);
    double top = 0;
    for (size_t at = 0; at + frame <= clean.size(); at += frame)
        top = std::max(top, material::Power(clean, at, at + frame));
    double in = 0, out = 0;
    for (size_t at = static_cast<size_t>(rate); at + frame <= clean.size(); at += frame)
        if (material::Power(clean, at, at + frame) < top * 1e-6)
        {
            in += material::Power(noisy, at, at + frame);
            out += material::Power(test, at, at + frame);
        }
    return out > 0 ? 10 * std::log10(in / out) : 0;
}

// Log-spectral distance (dB) over speech frames of 32 ms, powers floored 50 dB below the
// frame's clean peak so silence between harmonics does not dominate.
double LogSpectralDistance(const Samples& clean, const Samples& test, int rate)
{
    const int n = rate <= 8000 ? 256 : 512;
    numera::SOR_TWIDDLE fft;
    numera::sor_twiddle(fft, n);
    const auto active = ActiveFrames(clean, static_cast<size_t>(n));
    std::vector<double> a(static_cast<size_t>(n)), b(static_cast<size_t>(n)),
        pa(static_cast<size_t>(n / 2 + 1)), pb(pa.size());
    double sum = 0;
    int count = 0;
    for (size_t f = 0; f < active.size(); ++f)
    {
        if (!active[f]) continue;
        for (int i = 0; i < n; ++i)
        {
            const double w = 0.5 - 0.5 * std::cos(2 * M_PI * i / n);
            a[static_cast<size_t>(i)] =
                clean[f * static_cast<size_t>(n) + static_cast<size_t>(i)] * w;
            b[static_cast<size_t>(i)] =
                test[f * static_cast<size_t>(n) + static_cast<size_t>(i)] * w;
        }
        numera::sor_forward(fft, a.data());
        numera::sor_forward(fft, b.data());
        numera::sor_power(a.data(), n, pa.data());
        numera::sor_power(b.data(), n, pb.data());
        const double floor = *std::max_element(pa.begin(), pa.end()) * 1e-5;
        double d = 0;
        for (size_t k = 0; k < pa.size(); ++k)
            d += std::pow(10 * std::log10(std::max(pa[k], floor) / std::max(pb[k], floor)), 2);
        sum += std::sqrt(d / static_cast<double>(pa.size()));
        ++count;
    }
    return count ? sum / count : 0;
}

std::vector<double> NoiseOfKind(const std::string& kind, int rate, size_t n)
{
    if (kind == "white") return material::WhiteNoise(n, 1);
    if (kind == "pink") return material::PinkNoise(n, 2);
    if (kind == "babble") return material::BabbleNoise(rate, n, 3);
    return material::BandLimit(material::WhiteNoise(n, 4), rate, 300, 3400); // "line"
}

void DenoiserTable()
{
    std::printf(
        "\nNoise suppressor, depth 20 dB (level 20000), beside speexdsp's preprocessor "
        "(denoise only, NOISE_SUPPRESS -20). segSNR gain and noise attenuation in dB (higher "
        "is better); LSD = log-spectral distance to the clean speech, noisy -> cleaned (lower "
        "is better); ours-spx = segSNR gain of ours (microphone mode) minus speexdsp's; the goal "
        "(+1 dB) is over white, pink and babble noise.\n");
    std::printf("%-6s %-7s %4s | %-28s | %-15s | %8s | %-28s\n", "rate", "noise", "SNR",
                "ours: Microphone (mode 1)", "speexdsp", "ours-spx",
                "ours: Telephone line (mode 0)");
    std::printf("%-6s %-7s %4s | %7s %7s %12s | %7s %7s | %8s | %7s %7s %12s\n", "", "", "",
                "segSNR", "atten", "LSD", "segSNR", "atten", "", "segSNR", "atten", "LSD");
    double worst[2] = {1e9, 1e9};
    double worstMargin = 1e9;
    for (int rate : {8000, 16000})
    {
        bool spoken = false;
        const Samples clean = material::Speech(rate, 0, &spoken);
        if (rate == 8000) std::printf("(speech: %s)\n", spoken ? "espeak-ng" : "synthetic voice");
        for (const std::string kind : {"white", "pink", "babble", "line"})
        {
            const auto noise = NoiseOfKind(kind, rate, clean.size());
            for (double snr : {0.0, 5.0, 10.0})
            {
                const Samples noisy = material::MixAtSnr(clean, noise, snr);
                const double before = SegmentalSnr(clean, noisy, rate);
                const double lsdIn = LogSpectralDistance(clean, noisy, rate);
                double gain[2] = {0, 0};
                std::string ours[2];
                for (int mode : {1, 0})
                {
                    const Samples out = Denoise(noisy, rate, mode, 20);
                    gain[mode] = SegmentalSnr(clean, out, rate) - before;
                    worst[mode] = std::min(worst[mode], gain[mode]);
                    char cell[64];
                    std::snprintf(cell, sizeof cell, "%+7.2f %7.2f %5.2f->%5.2f", gain[mode],
                                  NoiseAttenuation(clean, noisy, out, rate), lsdIn,
                                  LogSpectralDistance(clean, out, rate));
                    ours[mode] = cell;
                }
                std::printf("%-6d %-7s %4.0f | %s |", rate, kind.c_str(), snr, ours[1].c_str());
#ifdef BENCH_HAVE_SPEEXDSP
                const Samples spx = reference::SpeexDenoise(noisy, rate, 20);
                const double spxGain = SegmentalSnr(clean, spx, rate) - before;
                const double margin = gain[1] - spxGain;
                if (kind != "line") worstMargin = std::min(worstMargin, margin);
                std::printf(" %+7.2f %7.2f | %+8.2f |", spxGain,
                            NoiseAttenuation(clean, noisy, spx, rate), margin);
#else
                std::printf(" %7s %7s | %8s |", "n/a", "n/a", "n/a");
#endif
                std::printf(" %s\n", ours[0].c_str());
            }
        }
    }
    std::printf("lowest segSNR gain: microphone %+.2f dB, telephone line %+.2f dB", worst[1],
                worst[0]);
    if (worstMargin < 1e9)
        std::printf("; smallest lead over speexdsp on white, pink, babble %+.2f dB (goal +1.00)",
                    worstMargin);
    std::printf("\n");
}

double ActiveLevelDb(const Samples& x, size_t from, size_t to, int rate)
{
    // Mean absolute value over 0.4 s windows that hold speech, in dB against the target.
    const size_t w = static_cast<size_t>(rate) * 2 / 5;
    std::vector<double> levels;
    for (size_t at = from; at + w <= to; at += w)
    {
        double s = 0;
        for (size_t i = at; i < at + w; ++i)
            s += std::abs(static_cast<int>(x[i]));
        levels.push_back(s / static_cast<double>(w));
    }
    const double top = *std::max_element(levels.begin(), levels.end());
    double sum = 0;
    int n = 0;
    for (double l : levels)
        if (l > top * 0.25)
        {
            sum += l;
            ++n;
        }
    return 20 * std::log10(sum / n / AGC_ENGINE::kTarget);
}

Samples AtRmsDbfs(const Samples& clean, double dbfs, int rate)
{
    // Level of the active speech (frames within 40 dB of the loudest), as RMS re full scale.
    const auto active = ActiveFrames(clean, static_cast<size_t>(rate / 50));
    double p = 0;
    int n = 0;
    for (size_t f = 0; f < active.size(); ++f)
        if (active[f])
        {
            p += material::Power(clean, f * static_cast<size_t>(rate / 50),
                                 (f + 1) * static_cast<size_t>(rate / 50));
            ++n;
        }
    const double k = 32768 * std::pow(10.0, dbfs / 20) / std::sqrt(p / n);
    Samples out(clean.size());
    for (size_t i = 0; i < clean.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(std::clamp(clean[i] * k, -32768.0, 32767.0)));
    return out;
}

void AgcTable()
{
    const int rate = 8000;
    Samples speech = material::Speech(rate, 1);
    const Samples more = material::Speech(rate, 2);
    speech.insert(speech.end(), more.begin(), more.end());
    std::printf(
        "\nAGC, level 30 dB: output speech level (mean |x| over 0.4 s speech windows) in dB "
        "against the target 3000, after 2 s of settling; clipped = samples at the limits.\n");
    std::printf("%12s %10s %8s\n", "input dBFS", "out dB", "clipped");
    for (double dbfs : {-40.0, -30.0, -20.0, -12.0, -6.0})
    {
        const Samples in = AtRmsDbfs(speech, dbfs, rate);
        AGC_ENGINE agc;
        Samples out;
        agc.Process(in.data(), in.size(), out);
        agc.Flush(out);
        out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(agc.Latency()));
        const long clipped = std::count_if(out.begin(), out.end(),
                                           [](int16_t v) { return v >= 32767 || v <= -32766; });
        std::printf("%12.0f %+10.2f %8ld\n", dbfs, ActiveLevelDb(out, 2 * rate, out.size(), rate),
                    clipped);
    }
    // Level jumps of 20 dB every sentence pair.
    Samples jumps;
    std::vector<size_t> bounds = {0};
    const double levels[] = {-36, -16, -36, -16};
    for (double l : levels)
    {
        const Samples part = AtRmsDbfs(speech, l, rate);
        jumps.insert(jumps.end(), part.begin(), part.end());
        bounds.push_back(jumps.size());
    }
    AGC_ENGINE agc;
    Samples out;
    agc.Process(jumps.data(), jumps.size(), out);
    agc.Flush(out);
    out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(agc.Latency()));
    std::printf("level steps of +-20 dB (segments of %.1f s): output dB against target per segment "
                "(first 2 s of each left out):",
                static_cast<double>(speech.size()) / rate);
    for (size_t i = 0; i + 1 < bounds.size(); ++i)
        std::printf(" %.0f dBFS -> %+.2f;", levels[i],
                    ActiveLevelDb(out, bounds[i] + 2 * rate, bounds[i + 1], rate));
    std::printf("\n");
}

Samples Stretch(const Samples& in, int rate, int step)
{
    STRETCH_ENGINE s;
    s.Reinit(rate);
    s.SetStep(step);
    Samples out;
    for (size_t at = 0; at < in.size(); at += 1600)
        s.Process(in.data() + at, std::min<size_t>(1600, in.size() - at), out);
    s.Flush(out);
    return out;
}

// Seconds of sound per second of CPU for `run` on `seconds` of input (repeated for 0.3 s).
template <typename RUN> double RealTimeFactor(double seconds, RUN run)
{
    using Clock = std::chrono::steady_clock;
    const auto begun = Clock::now();
    int runs = 0;
    double elapsed = 0;
    do
    {
        benchmark::DoNotOptimize(run());
        ++runs;
        elapsed = std::chrono::duration<double>(Clock::now() - begun).count();
    } while (elapsed < 0.3);
    return seconds * runs / elapsed;
}

void StretcherTable()
{
    const int rate = 16000;
    const Samples speech = material::Speech(rate, 3);
    Samples voiced(static_cast<size_t>(rate) * 3);
    for (size_t i = 0; i < voiced.size(); ++i)
    {
        double v = 0;
        for (int h = 1; h <= 10; ++h)
            v += std::sin(2 * M_PI * 140 * h * static_cast<double>(i) / rate + 0.7 * h) / h;
        voiced[i] = static_cast<int16_t>(std::lround(6000 * v));
    }
    const double pitchIn = material::PitchHz(voiced, rate);
    const double seconds = static_cast<double>(speech.size()) / rate;
    std::printf("\nStretcher at 16000 Hz beside SoundTouch (tempo change, same speed, same input): "
                "duration error = out/in duration against 1/speed on %.1f s of speech; pitch = "
                "output pitch / input pitch on a 140 Hz voiced sound; cost in x real time.\n",
                seconds);
    std::printf("%5s %7s | %10s %8s %9s | %10s %8s %9s\n", "step", "speed", "ours err", "pitch",
                "x rt", "ST err", "pitch", "x rt");
    double worstDur = 0, worstPitch = 0, worstTouch = 0;
    for (int step = -7; step <= 6; ++step)
    {
        if (step == 0) continue;
        const double speed = STRETCH_ENGINE::SpeedOf(step);
        const Samples out = Stretch(speech, rate, step);
        const double err = (static_cast<double>(out.size()) / speech.size() * speed - 1) * 100;
        const double pitch = material::PitchHz(Stretch(voiced, rate, step), rate) / pitchIn;
        worstDur = std::max(worstDur, std::fabs(err));
        worstPitch = std::max(worstPitch, std::fabs(pitch - 1) * 100);
        std::printf("%5d %7.3f | %+9.2f%% %8.4f %9.0f |", step, speed, err, pitch,
                    RealTimeFactor(seconds, [&] { return Stretch(speech, rate, step).size(); }));
#ifdef BENCH_HAVE_SOUNDTOUCH
        const Samples touched = reference::TouchTempo(speech, rate, speed);
        const double touchErr =
            (static_cast<double>(touched.size()) / speech.size() * speed - 1) * 100;
        worstTouch = std::max(worstTouch, std::fabs(touchErr));
        std::printf(" %+9.2f%% %8.4f %9.0f\n", touchErr,
                    material::PitchHz(reference::TouchTempo(voiced, rate, speed), rate) / pitchIn,
                    RealTimeFactor(seconds, [&]
                                   { return reference::TouchTempo(speech, rate, speed).size(); }));
#else
        std::printf(" %10s %8s %9s\n", "n/a", "n/a", "n/a");
#endif
    }
    std::printf(
        "largest duration error %.2f %% (SoundTouch %.2f %%), largest pitch change %.2f %%\n",
        worstDur, worstTouch, worstPitch);
}

// The speech search object over `noisy` in 20 ms stereo messages, as the core hands them on:
// the start (samples) of the first message that is heard, or -1.
long long FirstHeard(const Samples& noisy, int rate, long threshold)
{
    QuietHost host;
    OBJ_SPEECHSEARCH search;
    search.SetInterface(&host);
    search.SetThreshold(threshold);
    search.Enable();
    const size_t block = static_cast<size_t>(rate / 50);
    for (size_t at = 0; at < noisy.size() && search.IsEnabled(); at += block)
    {
        const size_t n = std::min(block, noisy.size() - at);
        SMSG msg;
        msg.Assign(rate, 2, n, RNUMBER64(static_cast<int64_t>(at), rate));
        std::copy(noisy.begin() + static_cast<std::ptrdiff_t>(at),
                  noisy.begin() + static_cast<std::ptrdiff_t>(at + n), msg.Channel(0));
        std::copy(noisy.begin() + static_cast<std::ptrdiff_t>(at),
                  noisy.begin() + static_cast<std::ptrdiff_t>(at + n), msg.Channel(1));
        if (search.Process(msg) == TONEXT && msg.Frames() > 0) return static_cast<long long>(at);
    }
    return -1;
}

void DetectorTable()
{
    std::printf("\nSpeech search (threshold 800) through the speech search object in 20 ms "
                "messages: speech after 5 s of noise; delay = first sample heard - true onset "
                "(goal within 150 ms). Noise alone for 60 s: false finds.\n");
    std::printf("%-6s %-7s %4s %10s\n", "rate", "noise", "SNR", "delay ms");
    double worst = 0;
    for (int rate : {8000, 16000})
    {
        const Samples speech = material::Speech(rate, 4);
        Samples clean(static_cast<size_t>(rate) * 5, 0);
        clean.insert(clean.end(), speech.begin(), speech.end());
        size_t onset = 0;
        while (onset < clean.size() && std::abs(clean[onset]) < 300)
            ++onset;
        for (const std::string kind : {"white", "pink", "babble", "line"})
        {
            const auto noise = NoiseOfKind(kind, rate, clean.size());
            for (double snr : {5.0, 10.0, 20.0})
            {
                const long long heard =
                    FirstHeard(material::MixAtSnr(clean, noise, snr), rate, 800);
                if (heard < 0)
                {
                    std::printf("%-6d %-7s %4.0f %10s\n", rate, kind.c_str(), snr, "not found");
                    worst = 1e9;
                    continue;
                }
                const double delay =
                    (static_cast<double>(heard) - static_cast<double>(onset)) * 1000 / rate;
                worst = std::max(worst, std::fabs(delay));
                std::printf("%-6d %-7s %4.0f %+10.0f\n", rate, kind.c_str(), snr, delay);
            }
        }
        int falseFinds = 0;
        for (const std::string kind : {"white", "pink", "babble", "line"})
        {
            const Samples n = material::ScaledToRms(
                NoiseOfKind(kind, rate, static_cast<size_t>(rate) * 60), 2000);
            SPEECH_DETECTOR d;
            d.Reinit(rate);
            falseFinds += d.Feed(n.data(), n.size()) ? 1 : 0;
        }
        std::printf("%-6d false finds on 4 x 60 s of noise alone: %d\n", rate, falseFinds);
    }
    std::printf("largest delay %.0f ms\n", worst);
}

// ---- Cost ------------------------------------------------------------------------------

const Samples& NoisySpeech(int rate)
{
    static Samples at8, at16;
    Samples& s = rate == 8000 ? at8 : at16;
    if (s.empty())
    {
        const Samples clean = material::Speech(rate, 0);
        s = material::MixAtSnr(clean, material::PinkNoise(clean.size(), 5), 5);
    }
    return s;
}

void SetRealTime(benchmark::State& state, size_t samples, int rate)
{
    state.counters["x_realtime"] = benchmark::Counter(
        static_cast<double>(samples) / rate, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Denoiser(benchmark::State& state)
{
    const int rate = static_cast<int>(state.range(0)), mode = static_cast<int>(state.range(1));
    const Samples& in = NoisySpeech(rate);
    for (auto _ : state)
        benchmark::DoNotOptimize(Denoise(in, rate, mode, 20));
    SetRealTime(state, in.size(), rate);
}
BENCHMARK(BM_Denoiser)
    ->Args({8000, 1})
    ->Args({8000, 0})
    ->Args({16000, 1})
    ->Args({16000, 0})
    ->Unit(benchmark::kMillisecond);

void BM_Agc(benchmark::State& state)
{
    const Samples& in = NoisySpeech(16000);
    for (auto _ : state)
    {
        AGC_ENGINE agc;
        agc.Reinit(16000);
        Samples out;
        out.reserve(in.size() + agc.Latency());
        agc.Process(in.data(), in.size(), out);
        agc.Flush(out);
        benchmark::DoNotOptimize(out.data());
    }
    SetRealTime(state, in.size(), 16000);
}
BENCHMARK(BM_Agc)->Unit(benchmark::kMillisecond);

void BM_Stretcher(benchmark::State& state)
{
    const Samples& in = NoisySpeech(16000);
    for (auto _ : state)
        benchmark::DoNotOptimize(Stretch(in, 16000, static_cast<int>(state.range(0))));
    SetRealTime(state, in.size(), 16000);
}
BENCHMARK(BM_Stretcher)->Arg(-7)->Arg(4)->Unit(benchmark::kMillisecond);

void BM_SpeechDetector(benchmark::State& state)
{
    // Noise alone, so the detector works through all of it.
    const auto noise = material::WhiteNoise(16000 * 10, 9);
    Samples in(noise.size());
    for (size_t i = 0; i < in.size(); ++i)
        in[i] = static_cast<int16_t>(std::lround(noise[i] * 1000));
    for (auto _ : state)
    {
        SPEECH_DETECTOR d;
        d.Reinit(16000);
        benchmark::DoNotOptimize(d.Feed(in.data(), in.size()));
    }
    SetRealTime(state, in.size(), 16000);
}
BENCHMARK(BM_SpeechDetector)->Unit(benchmark::kMillisecond);

// The file chain's processing at 16 kHz stereo with every object on: a suppressor and a gain
// control per channel, the detector and the stretcher on the mono mix, in 100 ms messages.
void BM_FullChain16kStereo(benchmark::State& state)
{
    const int rate = 16000;
    const Samples& left = NoisySpeech(rate);
    Samples right(left.size());
    for (size_t i = 0; i < left.size(); ++i)
        right[i] = static_cast<int16_t>(left[(i + 37) % left.size()] / 2);
    const size_t block = rate / 10;
    for (auto _ : state)
    {
        numera::Broadband_noise dn[2];
        AGC_ENGINE agc[2];
        SPEECH_DETECTOR detector;
        STRETCH_ENGINE stretch;
        for (auto& s : dn)
        {
            numera::init_clear_voice_struct(&s, rate, 1);
            numera::clear_voice_start(&s, nullptr, 0, nullptr);
        }
        for (auto& a : agc)
            a.Reinit(rate);
        detector.Reinit(rate);
        stretch.Reinit(rate);
        stretch.SetStep(4);
        Samples denoised, gained[2], mono, stretched;
        for (size_t at = 0; at + block <= left.size(); at += block)
        {
            for (int c = 0; c < 2; ++c)
            {
                const int16_t* in = (c == 0 ? left.data() : right.data()) + at;
                denoised.assign((block / static_cast<size_t>(dn[c].frame) + 2) *
                                    static_cast<size_t>(dn[c].frame),
                                0);
                int done = 0, made = 0;
                while (done < static_cast<int>(block) &&
                       static_cast<int>(denoised.size()) - made >= dn[c].frame)
                {
                    int used = 0, produced = 0;
                    numera::clear_voice_process(&dn[c], in + done, static_cast<int>(block) - done,
                                                &used, denoised.data() + made, &produced);
                    done += used;
                    made += produced;
                }
                gained[c].clear();
                agc[c].Process(denoised.data(), static_cast<size_t>(made), gained[c]);
            }
            const size_t n = std::min(gained[0].size(), gained[1].size());
            mono.resize(n);
            for (size_t i = 0; i < n; ++i)
                mono[i] = static_cast<int16_t>((gained[0][i] + gained[1][i]) / 2);
            detector.Feed(mono.data(), n);
            stretched.clear();
            stretch.Process(mono.data(), n, stretched);
            benchmark::DoNotOptimize(stretched.data());
        }
        for (auto& s : dn)
            numera::clear_voice_finish(&s, nullptr, nullptr);
    }
    SetRealTime(state, left.size(), rate);
}
BENCHMARK(BM_FullChain16kStereo)->Unit(benchmark::kMillisecond);

// The player core's own file chain through CRender (the reader, every object on, the stretcher
// at step 4), on a 16 kHz stereo WAV file: what `vark-audio process` costs.
class CountingSink final : public RENDER_SINK
{
public:
    bool Take(const SMSG& msg) override
    {
        frames += msg.Frames();
        return true;
    }
    size_t frames = 0;
};

void BM_CoreRender16kStereo(benchmark::State& state)
{
    const int rate = 16000;
    const Samples& left = NoisySpeech(rate);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("bench_speech_chain_" + std::to_string(getpid()) + ".wav"))
                                 .string();
    {
        std::vector<uint8_t> bytes(left.size() * 4);
        for (size_t i = 0; i < left.size(); ++i)
        {
            platform::StoreLE16(bytes.data() + 4 * i, static_cast<uint16_t>(left[i]));
            platform::StoreLE16(bytes.data() + 4 * i + 2,
                                static_cast<uint16_t>(left[(i + 37) % left.size()] / 2));
        }
        OutRiffFileStream file(path.c_str(), rate, 2);
        file.WriteBytes(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<int>(bytes.size()));
    }
    setenv("VARK_AUDIO", "null", 1);
    QuietHost host;
    {
        MOVRA core(-1);
        core.CSetInterface(&host);
        if (!core.COpenFile({platform::Utf8ToWide(path)}))
            state.SkipWithError("the test file cannot be opened");
        core.CDenoiser(1, 20000);
        core.CAgc(30);
        core.CStretcher(4);
        for (long id : {MOVRA::OBJ_ID_DENOISER, MOVRA::OBJ_ID_AGC, MOVRA::OBJ_ID_HLFILTER})
            core.CObject(id, 1);
        for (auto _ : state)
        {
            core.CObject(MOVRA::OBJ_ID_SPEECHSEARCH, 1); // it switches itself off at speech
            CountingSink sink;
            if (!core.CRender(sink)) state.SkipWithError("the core refused to render");
            benchmark::DoNotOptimize(sink.frames);
        }
    }
    std::filesystem::remove(path);
    SetRealTime(state, left.size(), rate);
}
BENCHMARK(BM_CoreRender16kStereo)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    // --tables=denoiser,agc,stretcher,detector picks the quality tables (all by default).
    std::string tables = "denoiser,agc,stretcher,detector";
    for (int i = 1; i < argc; ++i)
        if (std::string(argv[i]).rfind("--tables=", 0) == 0) tables = argv[i] + 9;
    const auto wanted = [&](const char* name) { return tables.find(name) != std::string::npos; };
    if (wanted("denoiser")) DenoiserTable();
    if (wanted("agc")) AgcTable();
    if (wanted("stretcher")) StretcherTable();
    if (wanted("detector")) DetectorTable();
    std::printf("\n");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
