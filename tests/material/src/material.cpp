#include "test_material/material.h"

#include "numera/fft.h"
#include "recorder/audio.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

namespace material
{

namespace
{

const char* const kSentences[] = {
    "The meeting starts at nine. Please bring the reports from last week, and the figures "
    "for the second quarter.",
    "I called the office twice this morning, but nobody answered. Could you check the line?",
    "Turn left after the bridge, then follow the river until you see the old mill.",
    "We should order more paper before Friday. The printer in room four is nearly empty.",
    "She said the train was late again, so she took a taxi from the station.",
    "Remember to save your work often. The network goes down at six for maintenance.",
};
const char* const kVoices[] = {"en", "en+f3", "en-us", "en+m3", "en-gb-x-rp", "en+f2"};

std::vector<int16_t> FromRecordData(const std::vector<uint8_t>& bytes)
{
    std::vector<int16_t> out(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
    return out;
}

std::vector<int16_t> Utterance(int rate, unsigned variant, bool* usedSpeech)
{
    recorder::PcmAudio audio;
    const unsigned n = sizeof(kSentences) / sizeof(kSentences[0]);
    const bool spoken =
        recorder::SpeakWithEspeak(kSentences[variant % n], kVoices[variant % n], &audio);
    if (usedSpeech) *usedSpeech = spoken;
    if (!spoken) audio = recorder::SyntheticVoice(4.0, 16000, variant + 1);
    return FromRecordData(recorder::ToRecordData(audio, rate == 16000, false, false));
}

} // namespace

std::vector<int16_t> Speech(int rate, unsigned variant, bool* usedSpeech)
{
    std::vector<int16_t> out;
    bool spoken = true;
    for (unsigned part = 0; part < 2; ++part)
    {
        bool used = false;
        std::vector<int16_t> u = Utterance(rate, variant * 2 + part, &used);
        spoken = spoken && used;
        out.insert(out.end(), static_cast<size_t>(rate / 2), 0); // a pause between sentences
        out.insert(out.end(), u.begin(), u.end());
    }
    out.insert(out.end(), static_cast<size_t>(rate / 2), 0);
    if (usedSpeech) *usedSpeech = spoken;
    return out;
}

std::vector<double> WhiteNoise(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> g(0.0, 1.0);
    std::vector<double> out(n);
    for (double& v : out)
        v = g(rng);
    return out;
}

std::vector<double> PinkNoise(size_t n, unsigned seed)
{
    // White noise through three one-pole stages whose sum falls at about 3 dB per octave.
    std::vector<double> w = WhiteNoise(n, seed), out(n);
    double b0 = 0, b1 = 0, b2 = 0;
    for (size_t i = 0; i < n; ++i)
    {
        b0 = 0.99765 * b0 + w[i] * 0.0990460;
        b1 = 0.96300 * b1 + w[i] * 0.2965164;
        b2 = 0.57000 * b2 + w[i] * 1.0526913;
        out[i] = b0 + b1 + b2 + w[i] * 0.1848;
    }
    return out;
}

std::vector<double> BabbleNoise(int rate, size_t n, unsigned seed)
{
    std::vector<double> out(n, 0.0);
    for (unsigned talker = 0; talker < 6; ++talker)
    {
        std::vector<int16_t> voice = Utterance(rate, seed * 7 + talker + 11, nullptr);
        if (voice.empty()) continue;
        const size_t offset = (talker * 7919 + seed * 104729) % voice.size();
        for (size_t i = 0; i < n; ++i)
            out[i] += voice[(i + offset) % voice.size()];
    }
    return out;
}

std::vector<double> BandLimit(const std::vector<double>& x, int rate, double lowHz, double highHz)
{
    constexpr int kN = 1024, kHop = kN / 2;
    numera::SOR_TWIDDLE fft;
    numera::sor_twiddle(fft, kN);
    std::vector<double> out(x.size() + 2 * kN, 0.0), frame(kN);
    for (size_t start = 0; start < x.size() + kHop; start += kHop)
    {
        for (int i = 0; i < kN; ++i)
        {
            const size_t j = start + static_cast<size_t>(i);
            // Hann analysis at half overlap adds up to one, so the plain sum reconstructs.
            const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / kN);
            frame[static_cast<size_t>(i)] =
                (j >= kHop && j - kHop < x.size()) ? x[j - kHop] * w : 0;
        }
        numera::sor_forward(fft, frame.data());
        for (int k = 0; k <= kN / 2; ++k)
        {
            const double f = static_cast<double>(k) * rate / kN;
            if (f >= lowHz && f <= highHz) continue;
            frame[static_cast<size_t>(k)] = 0;
            if (k > 0 && k < kN / 2) frame[static_cast<size_t>(kN - k)] = 0;
        }
        numera::sor_inverse(fft, frame.data());
        for (int i = 0; i < kN; ++i)
            out[start + static_cast<size_t>(i)] += frame[static_cast<size_t>(i)] / kN;
    }
    return std::vector<double>(out.begin() + kHop,
                               out.begin() + kHop + static_cast<std::ptrdiff_t>(x.size()));
}

std::vector<int16_t> MixAtSnr(const std::vector<int16_t>& clean, const std::vector<double>& noise,
                              double snrDb, std::vector<double>* noiseOut)
{
    double cleanPower = 0, noisePower = 0;
    const size_t n = std::min(clean.size(), noise.size());
    for (size_t i = 0; i < n; ++i)
    {
        cleanPower += static_cast<double>(clean[i]) * clean[i];
        noisePower += noise[i] * noise[i];
    }
    const double scale =
        noisePower > 0 ? std::sqrt(cleanPower / noisePower / std::pow(10.0, snrDb / 10)) : 0;
    std::vector<int16_t> out(n);
    if (noiseOut) noiseOut->assign(n, 0.0);
    for (size_t i = 0; i < n; ++i)
    {
        const double v = noise[i] * scale;
        if (noiseOut) (*noiseOut)[i] = v;
        out[i] = static_cast<int16_t>(std::lround(std::clamp(clean[i] + v, -32768.0, 32767.0)));
    }
    return out;
}

std::vector<int16_t> ScaledToRms(const std::vector<double>& x, double rms)
{
    double p = 0;
    for (double v : x)
        p += v * v;
    const double k = p > 0 ? rms / std::sqrt(p / static_cast<double>(x.size())) : 0;
    std::vector<int16_t> out(x.size());
    for (size_t i = 0; i < x.size(); ++i)
        out[i] = static_cast<int16_t>(std::lround(std::clamp(x[i] * k, -32768.0, 32767.0)));
    return out;
}

double PitchHz(const std::vector<int16_t>& x, int rate)
{
    const size_t from = x.size() / 4, len = static_cast<size_t>(rate) / 4;
    const int maxLag = rate / 60;
    if (from + len + static_cast<size_t>(maxLag) > x.size()) return 0;
    std::vector<double> rs(static_cast<size_t>(maxLag + 1), -1.0);
    double best = -1;
    for (int l = rate / 400; l <= maxLag; ++l)
    {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = from; i < from + len; ++i)
        {
            const double a = x[i], b = x[i + static_cast<size_t>(l)];
            xy += a * b;
            xx += a * a;
            yy += b * b;
        }
        rs[static_cast<size_t>(l)] = xy / std::sqrt(xx * yy + 1);
        best = std::max(best, rs[static_cast<size_t>(l)]);
    }
    for (size_t l = static_cast<size_t>(rate / 400 + 1); l + 1 < rs.size(); ++l)
        if (rs[l] >= 0.9 * best && rs[l] >= rs[l - 1] && rs[l] >= rs[l + 1])
            return static_cast<double>(rate) / static_cast<double>(l);
    return 0;
}

double Power(const std::vector<int16_t>& x, size_t from, size_t to)
{
    to = std::min(to, x.size());
    if (from >= to) return 0;
    double sum = 0;
    for (size_t i = from; i < to; ++i)
        sum += static_cast<double>(x[i]) * x[i];
    return sum / static_cast<double>(to - from);
}

std::vector<int16_t> Tone(int rate, double hz, double amplitude, size_t n)
{
    std::vector<int16_t> out(n);
    for (size_t i = 0; i < n; ++i)
        out[i] = static_cast<int16_t>(std::lround(
            amplitude * std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / rate)));
    return out;
}

} // namespace material
