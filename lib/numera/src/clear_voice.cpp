#include "numera/clear_voice.h"

#include "cepstral_smoother.h"
#include "noise_fluctuation.h"
#include "noise_tracker.h"
#include "numera/fft.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace numera
{

namespace
{

// Tuning of the two options. The line option follows noise faster (line noise changes with
// the connection) and cuts what lies outside 250-3500 Hz, the 300-3400 Hz telephone channel
// with a margin: beyond it a line carries no speech.
struct Tuning
{
    double noiseMemory; // per-frame smoothing of the noise estimate
    double ddMemory;    // weight of the previous frame in the decision-directed a-priori SNR
    double bandLowHz, bandHighHz;
};
// A decision-directed weight of 0.9 rather than the textbook 0.98 lets the a-priori SNR follow
// speech onsets within a frame or two: about 1 dB more segmental SNR on white and pink noise,
// no loss on babble. The microphone's noise memory is long (about 0.8 s): the estimate wavers
// less under speech, and the tracker's minimum guard follows a rising noise.
constexpr Tuning kMicrophone{0.98, 0.90, 0.0, 1e9};
constexpr Tuning kTelephone{0.85, 0.97, 250.0, 3500.0};

constexpr double kXiMin = 0.0032; // -25 dB
constexpr double kTiny = 1e-10;

// The power of two nearest (on a log scale) to `ms` milliseconds, at least `least` points.
int PointsFor(int rate, double ms, int least)
{
    const double ideal = std::log2(rate * ms / 1000);
    return std::max(least, 1 << static_cast<int>(std::lround(ideal)));
}

// The frame is a hop of 64 ms windows at half overlap, about 32 ms. The microphone analyses
// such windows: twice the frequency resolution of 32 ms windows parts the harmonics of speech
// from the noise between them, about 0.5 dB more segmental SNR on white and pink noise at both
// rates. The line option keeps 32 ms windows moved by 16 ms, two steps to a frame: its faster
// noise tracking is tuned in such steps.
int FrameFor(int rate)
{
    return PointsFor(rate, 64, 128) / 2;
}
int WindowFor(int rate, bool line)
{
    return line ? FrameFor(rate) : 2 * FrameFor(rate);
}

// The rise guard's sub-windows last about 0.29 s, whatever the hop: with eight of them a noise
// that rises is followed within 2.3 s.
int RiseFrames(int rate, int hop)
{
    return static_cast<int>(std::lround(0.288 * rate / hop));
}

int16_t ToSample(double v)
{
    return static_cast<int16_t>(std::lround(std::clamp(v, -32768.0, 32767.0)));
}

} // namespace

struct ClearVoiceEngine
{
    ClearVoiceEngine(int rate, int n, int frameSize)
        : rate(rate), hop(n / 2), n(n), half(n / 2), frameSize(frameSize),
          tracker(n / 2 + 1, RiseFrames(rate, n / 2)), fluctuation(n / 2 + 1), smoother(rate, n)
    {
        sor_twiddle(fft, n);
        window.resize(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            window[static_cast<size_t>(i)] =
                std::sin(std::numbers::pi * i / n); // square root of the periodic Hann window
        analysis.assign(static_cast<size_t>(n), 0.0);
        overlap.assign(static_cast<size_t>(n), 0.0);
        spectrum.assign(static_cast<size_t>(n), 0.0);
        power.assign(static_cast<size_t>(half + 1), 0.0);
        cleanPrev.assign(static_cast<size_t>(half + 1), 0.0);
        gain.assign(static_cast<size_t>(half + 1), 1.0);
        presence.assign(static_cast<size_t>(half + 1), 0.5);
        raw.assign(static_cast<size_t>(half + 1), 0.5);
        smoothXi.assign(static_cast<size_t>(half + 1), kXiMin);
        input.reserve(static_cast<size_t>(frameSize));
    }

    void Spectrum(const double* samples)
    {
        for (int i = 0; i < n; ++i)
            spectrum[static_cast<size_t>(i)] = samples[i] * window[static_cast<size_t>(i)];
        sor_forward(fft, spectrum.data());
        sor_power(spectrum.data(), n, power.data());
    }

    void Prime(const int16_t* samples, int count)
    {
        std::vector<double> mean(static_cast<size_t>(half + 1), 0.0), frame(static_cast<size_t>(n));
        int frames = 0;
        for (int start = 0; start + n <= count; start += hop, ++frames)
        {
            for (int i = 0; i < n; ++i)
                frame[static_cast<size_t>(i)] = samples[start + i];
            Spectrum(frame.data());
            for (size_t k = 0; k < mean.size(); ++k)
                mean[k] += power[k];
        }
        if (frames == 0) return;
        for (double& m : mean)
            m /= frames;
        tracker.Prime(mean);
    }

    // One hop: analyse the newest frame, apply the gain, overlap-add, hand out one hop.
    void Frame(int depthDb, const Tuning& t, const int16_t* in, int16_t* out)
    {
        std::copy(analysis.begin() + hop, analysis.end(), analysis.begin());
        for (int i = 0; i < hop; ++i)
            analysis[static_cast<size_t>(n - hop + i)] = in[i];

        const int bins = half + 1;
        Spectrum(analysis.data());
        tracker.Update(power, t.noiseMemory);
        // The reference moves as slowly as the noise estimate: every fourth frame is enough.
        if (frames++ % 4 == 0) BroadbandReference(tracker.Noise(), 16, reference);
        CapToBroadband(tracker.Noise(), reference, 8.0, noise);
        // Below 60 Hz there is no speech and no tone worth keeping; rumble is all noise.
        for (int k = 0; k < bins && static_cast<double>(k) * rate / n < 60.0; ++k)
            noise[static_cast<size_t>(k)] = tracker.Noise()[static_cast<size_t>(k)];
        fluctuation.Update(power, noise);
        const double steadiness = fluctuation.Steadiness();

        // Presence against the broadband noise, so a steady tone counts as signal; smoothed
        // over neighbouring bins, rising at once and falling over about ten frames so that
        // word endings are not clipped.
        const size_t last = static_cast<size_t>(half);
        for (size_t k = 0; k <= last; ++k)
            raw[k] = PresenceProbability(power[k] / std::max(noise[k], kTiny));
        for (size_t k = 0; k <= last; ++k)
        {
            const double across =
                (raw[k == 0 ? 0 : k - 1] + raw[k] + raw[k == last ? last : k + 1]) / 3;
            presence[k] = std::max(across, 0.9 * presence[k] + 0.1 * across);
        }
        // Whole frames of noise (pauses) go down to the floor; within speech the bins keep the
        // estimator's own gain, which spares weak speech. About 3 % of the bins of pure noise
        // pass a presence of one half; speech frames have several times more.
        {
            int strong = 0;
            for (size_t k = 0; k <= last; ++k)
                strong += raw[k] > 0.5 ? 1 : 0;
            const double frac = static_cast<double>(strong) / static_cast<double>(last + 1);
            const double likely = std::clamp((frac - 0.05) / 0.1, 0.0, 1.0);
            frameSpeech = std::max(likely, 0.9 * frameSpeech);
        }

        const double floorGain = std::pow(10.0, -std::clamp(depthDb, 0, 60) / 20.0);
        const double logFloor = std::log(floorGain);
        // Where speech is unlikely a gain sinks towards the floor: geometric blend by the
        // presence probability p.
        const auto blend = [&](double g, double p)
        { return std::exp(p * std::log(std::clamp(g, floorGain, 1.0)) + (1 - p) * logFloor); };
        // The maximum-likelihood a-priori SNR smoothed in the cepstral domain: it follows the
        // envelope and the harmonics of speech at once, while the noise's chance peaks are
        // averaged away. Its geometric mean with the decision-directed estimate keeps the
        // latter's quick onsets and loses most of its musical noise: about 0.3 dB more on
        // babble, a little more everywhere.
        for (size_t k = 0; k <= last; ++k)
            smoothXi[k] = std::max(power[k] / std::max(noise[k], kTiny) - 1, kXiMin);
        smoother.Smooth(smoothXi);
        for (int k = 0; k < bins; ++k)
        {
            const size_t b = static_cast<size_t>(k);
            const double f = static_cast<double>(k) * rate / n;
            double g = floorGain, first = floorGain;
            const double p = std::max(presence[b], frameSpeech);
            if (f >= t.bandLowHz && f <= t.bandHighHz && p > 0.001)
            {
                // Wiener gains: the segmental SNR is a waveform error, which the Wiener gain
                // keeps least. First on the decision-directed a-priori SNR; then again on the
                // a-priori SNR of the first step's estimate of this frame, which takes away the
                // decision-directed lag of one frame. The second step counts as far as the noise
                // is steady: under a fluctuating noise the tracker lies low and its sharper
                // gain cuts speech.
                const double nk = std::max(noise[b], kTiny);
                const double gamma = power[b] / nk;
                const double dd = std::max(t.ddMemory * cleanPrev[b] / nk +
                                               (1 - t.ddMemory) * std::max(gamma - 1, 0.0),
                                           kXiMin);
                const double xi = std::sqrt(dd * std::max(smoothXi[b], kXiMin));
                const double wiener = xi / (1 + xi);
                const double xi2 = std::max(wiener * wiener * gamma, kXiMin);
                const double second = xi2 / (1 + xi2);
                const double mixed = steadiness >= 1   ? second
                                     : steadiness <= 0 ? wiener
                                                       : std::pow(second, steadiness) *
                                                             std::pow(wiener, 1 - steadiness);
                g = blend(mixed, p);
                first = blend(wiener, p);
            }
            gain[b] = g;
            // The decision-directed memory keeps the first step's estimate.
            cleanPrev[b] = first * first * power[b];
        }
        spectrum[0] *= gain[0];
        spectrum[static_cast<size_t>(half)] *= gain[static_cast<size_t>(half)];
        for (int k = 1; k < half; ++k)
        {
            spectrum[static_cast<size_t>(k)] *= gain[static_cast<size_t>(k)];
            spectrum[static_cast<size_t>(n - k)] *= gain[static_cast<size_t>(k)];
        }
        sor_inverse(fft, spectrum.data());
        for (int i = 0; i < n; ++i)
            overlap[static_cast<size_t>(i)] +=
                spectrum[static_cast<size_t>(i)] * window[static_cast<size_t>(i)] / n;
        for (int i = 0; i < hop; ++i)
            out[i] = ToSample(overlap[static_cast<size_t>(i)]);
        std::copy(overlap.begin() + hop, overlap.end(), overlap.begin());
        std::fill(overlap.end() - hop, overlap.end(), 0.0);
    }

    int rate, hop, n, half, frameSize;
    SOR_TWIDDLE fft;
    NoiseTracker tracker;
    NoiseFluctuation fluctuation;
    CepstralSmoother smoother;
    std::vector<double> window, analysis, overlap, spectrum, power, noise, cleanPrev, gain;
    std::vector<double> presence; // speech presence per bin, smoothed over time and frequency
    std::vector<double> raw, smoothXi;
    double frameSpeech = 1;
    std::vector<double> reference; // of the broadband cap
    long frames = 0;
    std::vector<int16_t> input;
};

Broadband_noise::Broadband_noise() = default;
Broadband_noise::~Broadband_noise() = default;

int init_clear_voice_struct(Broadband_noise* state, int rate, int channels)
{
    if (!state) return CLEAR_VOICE_BAD_ARGUMENT;
    state->engine.reset();
    state->rate = state->channels = state->frame = 0;
    if (rate < 1000 || rate > 192000 || channels != 1) return CLEAR_VOICE_BAD_ARGUMENT;
    state->rate = rate;
    state->channels = channels;
    state->frame = FrameFor(rate);
    state->suppression_depth = 20;
    state->option_flag = 0;
    return CLEAR_VOICE_OK;
}

int clear_voice_start(Broadband_noise* state, const int16_t* primer, int primerCount, int* latency)
{
    if (!state) return CLEAR_VOICE_BAD_ARGUMENT;
    if (state->frame <= 0) return CLEAR_VOICE_NOT_STARTED;
    if (primerCount < 0 || (primerCount > 0 && !primer)) return CLEAR_VOICE_BAD_ARGUMENT;
    const int n = WindowFor(state->rate, state->option_flag == 1);
    state->engine = std::make_unique<ClearVoiceEngine>(state->rate, n, state->frame);
    if (primer) state->engine->Prime(primer, primerCount);
    if (latency) *latency = n - state->engine->hop;
    return CLEAR_VOICE_OK;
}

int clear_voice_process(Broadband_noise* state, const int16_t* input, int count, int* consumed,
                        int16_t* output, int* produced)
{
    if (consumed) *consumed = 0;
    if (produced) *produced = 0;
    if (!state || !consumed || !produced || count < 0 || (count > 0 && !input))
        return CLEAR_VOICE_BAD_ARGUMENT;
    ClearVoiceEngine* e = state->engine.get();
    if (!e) return CLEAR_VOICE_NOT_STARTED;
    const int room = e->frameSize - static_cast<int>(e->input.size());
    const int take = std::min(count, room);
    if (take == room && !output) return CLEAR_VOICE_BAD_ARGUMENT;
    e->input.insert(e->input.end(), input, input + take);
    *consumed = take;
    if (static_cast<int>(e->input.size()) == e->frameSize)
    {
        const Tuning& t = state->option_flag == 1 ? kTelephone : kMicrophone;
        for (int at = 0; at < e->frameSize; at += e->hop)
            e->Frame(state->suppression_depth, t, e->input.data() + at, output + at);
        e->input.clear();
        *produced = e->frameSize;
    }
    return CLEAR_VOICE_OK;
}

int clear_voice_finish(Broadband_noise* state, int16_t* output, int* produced)
{
    if (produced) *produced = 0;
    if (!state) return CLEAR_VOICE_BAD_ARGUMENT;
    ClearVoiceEngine* e = state->engine.get();
    if (e && output)
    {
        // Pad the partial frame with silence and push one more frame through for the latency;
        // only the samples that stand for real input are handed out.
        const int held = static_cast<int>(e->input.size());
        const Tuning& t = state->option_flag == 1 ? kTelephone : kMicrophone;
        const int count = held + e->n - e->hop;
        const int steps = (count + e->hop - 1) / e->hop;
        e->input.resize(static_cast<size_t>(steps * e->hop), 0);
        std::vector<int16_t> tail(static_cast<size_t>(steps * e->hop));
        for (int i = 0; i < steps; ++i)
            e->Frame(state->suppression_depth, t, e->input.data() + i * e->hop,
                     tail.data() + i * e->hop);
        std::copy(tail.begin(), tail.begin() + count, output);
        if (produced) *produced = count;
    }
    state->engine.reset();
    return CLEAR_VOICE_OK;
}

} // namespace numera
