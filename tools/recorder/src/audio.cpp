#include "recorder/audio.h"
#include "recorder/mulaw.h"

#include "platform/devio_frame.h"
#include "platform/riff.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace recorder
{

using platform::devio::GetU16;
using platform::devio::GetU32;

bool ParseWav(const std::vector<uint8_t>& b, PcmAudio* audio, std::string* why)
{
    unsigned tag = 0, channels = 0, rate = 0, bits = 0, align = 0;
    bool haveFormat = false, truncatedFormat = false;
    const uint8_t* data = nullptr;
    size_t dataSize = 0;
    const bool riff =
        platform::riff::WalkWaveChunks(b.data(), b.size(),
                                       [&](const platform::riff::Chunk& chunk)
                                       {
                                           const uint8_t* body = b.data() + chunk.body;
                                           if (chunk.Is("fmt "))
                                           {
                                               if (chunk.size < 16 || chunk.held < chunk.size)
                                               {
                                                   truncatedFormat = true;
                                                   return false;
                                               }
                                               tag = GetU16(body);
                                               channels = GetU16(body + 2);
                                               rate = GetU32(body + 4);
                                               align = GetU16(body + 12);
                                               bits = GetU16(body + 14);
                                               if (tag == 0xFFFE && chunk.size >= 40)
                                                   tag = GetU16(body + 24);
                                               haveFormat = true;
                                               return true;
                                           }
                                           if (!chunk.Is("data")) return true;
                                           data = body;
                                           dataSize = chunk.held; // tolerate a short tail
                                           return false;
                                       });
    if (!riff)
    {
        *why = "not a RIFF WAVE file";
        return false;
    }
    if (truncatedFormat)
    {
        *why = "truncated format chunk";
        return false;
    }
    if (!haveFormat || !data)
    {
        *why = haveFormat ? "no data chunk" : "no format chunk";
        return false;
    }
    const bool pcm = tag == 1 && (bits == 8 || bits == 16 || bits == 24 || bits == 32);
    const bool flt = tag == 3 && bits == 32;
    if (!pcm && !flt)
    {
        *why = "unsupported sample format (tag " + std::to_string(tag) + ", " +
               std::to_string(bits) + " bits)";
        return false;
    }
    if (channels == 0 || channels > 16 || rate < 1000 || rate > 384000 ||
        align != channels * bits / 8)
    {
        *why = "implausible format (channels " + std::to_string(channels) + ", rate " +
               std::to_string(rate) + ")";
        return false;
    }
    const size_t bytesPer = bits / 8;
    const size_t count = dataSize / bytesPer / channels * channels;
    audio->rate = rate;
    audio->channels = channels;
    audio->samples.resize(count);
    for (size_t i = 0; i < count; ++i)
    {
        const uint8_t* p = data + i * bytesPer;
        int32_t v;
        if (flt)
        {
            float f;
            const uint32_t u = GetU32(p);
            std::memcpy(&f, &u, 4);
            if (!std::isfinite(f)) f = 0;
            v = static_cast<int32_t>(std::lround(std::clamp(f, -1.0f, 1.0f) * 32767.0f));
        }
        else if (bits == 8)
            v = (p[0] - 128) << 8;
        else if (bits == 16)
            v = static_cast<int16_t>(GetU16(p));
        else if (bits == 24)
            v = static_cast<int16_t>(p[1] | (p[2] << 8));
        else
            v = static_cast<int16_t>(GetU16(p + 2));
        audio->samples[i] = static_cast<int16_t>(v);
    }
    return true;
}

bool ReadWav(const std::string& path, PcmAudio* audio, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
    {
        *error = path + ": cannot be read";
        return false;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    std::string why;
    if (!ParseWav(bytes, audio, &why))
    {
        *error = path + ": " + why;
        return false;
    }
    return true;
}

namespace
{

// Band-limited resampling: a Hann-windowed sinc with its cut-off below the lower Nyquist rate,
// read from a table so that each tap is one multiply-add.
std::vector<float> Resample(const std::vector<float>& in, unsigned from, unsigned to)
{
    if (from == to || in.empty()) return in;
    const double ratio = static_cast<double>(to) / from;
    const double cutoff = 0.45 * std::min(1.0, ratio); // in cycles per input sample
    const int half = static_cast<int>(std::ceil(8 / std::min(1.0, ratio)));
    constexpr int kSteps = 256; // table entries per input sample
    std::vector<float> kernel(static_cast<size_t>(2 * half * kSteps + 2));
    for (size_t j = 0; j < kernel.size(); ++j)
    {
        const double x = static_cast<double>(j) / kSteps - half;
        const double w = 0.5 + 0.5 * std::cos(M_PI * x / (half + 1));
        const double arg = 2 * cutoff * x;
        const double sinc = std::fabs(arg) < 1e-9 ? 1.0 : std::sin(M_PI * arg) / (M_PI * arg);
        kernel[j] = static_cast<float>(2 * cutoff * sinc * w);
    }
    const size_t outCount = static_cast<size_t>(static_cast<double>(in.size()) * ratio);
    std::vector<float> out(outCount);
    const long last = static_cast<long>(in.size()) - 1;
    for (size_t n = 0; n < outCount; ++n)
    {
        const double t = static_cast<double>(n) / ratio;
        const long centre = static_cast<long>(std::floor(t));
        const long lo = std::max(0L, centre - half + 1), hi = std::min(last, centre + half);
        float sum = 0;
        for (long k = lo; k <= hi; ++k)
        {
            const double x = t - static_cast<double>(k) + half; // 0 .. 2*half
            sum += in[static_cast<size_t>(k)] * kernel[static_cast<size_t>(x * kSteps + 0.5)];
        }
        out[n] = sum;
    }
    return out;
}

int16_t Clip(float v)
{
    return static_cast<int16_t>(std::lround(std::clamp(v, -32768.0f, 32767.0f)));
}

} // namespace

std::vector<uint8_t> ToRecordData(const PcmAudio& audio, bool rate16k, bool stereo, bool mulaw)
{
    const unsigned target = rate16k ? 16000 : 8000;
    const size_t frames = audio.channels ? audio.samples.size() / audio.channels : 0;
    std::vector<float> left(frames), right(frames);
    for (size_t i = 0; i < frames; ++i)
    {
        const int16_t* f = &audio.samples[i * audio.channels];
        left[i] = f[0];
        right[i] = audio.channels > 1 ? f[1] : f[0];
        if (!stereo) left[i] = (left[i] + right[i]) / 2;
    }
    left = Resample(left, audio.rate, target);
    if (stereo) right = Resample(right, audio.rate, target);
    std::vector<uint8_t> out;
    const unsigned channels = stereo ? 2 : 1;
    out.reserve(left.size() * channels * (mulaw ? 1 : 2));
    for (size_t i = 0; i < left.size(); ++i)
        for (unsigned c = 0; c < channels; ++c)
        {
            const int16_t s = Clip(c == 0 ? left[i] : right[i]);
            if (mulaw)
                out.push_back(MulawEncode(s));
            else
            {
                out.push_back(static_cast<uint8_t>(s & 0xFF));
                out.push_back(static_cast<uint8_t>((static_cast<uint16_t>(s) >> 8) & 0xFF));
            }
        }
    return out;
}

PcmAudio Resampled(const PcmAudio& audio, unsigned rate)
{
    PcmAudio out;
    out.rate = rate;
    out.channels = audio.channels;
    if (audio.channels == 0) return out;
    const size_t frames = audio.samples.size() / audio.channels;
    for (unsigned c = 0; c < audio.channels; ++c)
    {
        std::vector<float> channel(frames);
        for (size_t i = 0; i < frames; ++i)
            channel[i] = audio.samples[i * audio.channels + c];
        channel = Resample(channel, audio.rate, rate);
        out.samples.resize(channel.size() * audio.channels);
        for (size_t i = 0; i < channel.size(); ++i)
            out.samples[i * audio.channels + c] = Clip(channel[i]);
    }
    return out;
}

bool SpeakWithEspeak(const std::string& text, const std::string& voice, PcmAudio* audio)
{
    char dir[] = "/tmp/vark-speech-XXXXXX";
    if (!::mkdtemp(dir)) return false;
    const std::string wav = std::string(dir) + "/speech.wav";
    std::vector<std::string> args = {"espeak-ng", "-v", voice, "-s", "150", "-w", wav, "--", text};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, "espeak-ng", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    bool ok = false;
    if (rc == 0)
    {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR)
        {
        }
        std::string error;
        ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && ReadWav(wav, audio, &error) &&
             !audio->samples.empty();
    }
    std::remove(wav.c_str());
    ::rmdir(dir);
    return ok;
}

PcmAudio SyntheticVoice(double seconds, unsigned rate, unsigned seed)
{
    PcmAudio a;
    a.rate = rate;
    a.channels = 1;
    const size_t n = static_cast<size_t>(seconds * rate);
    a.samples.resize(n);
    std::vector<float> raw(n);
    // Vowel formants (F1, F2, F3) that the syllables move between.
    static const double kVowels[][3] = {{730, 1090, 2440}, {270, 2290, 3010}, {570, 840, 2410},
                                        {530, 1840, 2480}, {300, 870, 2240},  {660, 1720, 2410}};
    uint32_t rng = seed * 2654435761u + 1;
    const auto noise = [&rng]
    {
        rng = rng * 1664525u + 1013904223u;
        return static_cast<double>(rng >> 8) / 8388608.0 - 1.0;
    };
    double phase = 0;
    double y[3][2] = {};
    const double syllable = 0.21 + 0.03 * (seed % 3);
    for (size_t i = 0; i < n; ++i)
    {
        const double t = static_cast<double>(i) / rate;
        const size_t s = static_cast<size_t>(t / syllable);
        const double inSyl = std::fmod(t, syllable) / syllable;
        const bool pause = (s + seed) % 9 == 8 || (s + seed) % 13 == 12;
        const double env = pause ? 0.0 : std::pow(std::sin(M_PI * inSyl), 0.6);
        const double f0 = 105 + 25 * std::sin(2 * M_PI * 0.4 * t + seed) - 15 * inSyl;
        phase += f0 / rate;
        double source = 0;
        if (phase >= 1)
        {
            phase -= 1;
            source = 1.0;
        }
        source += 0.02 * noise();
        const double* v = kVowels[(s * 7 + seed) % 6];
        double out = 0;
        for (int k = 0; k < 3; ++k)
        {
            const double bw = 80 + 40 * k;
            const double r = std::exp(-M_PI * bw / rate);
            const double c = 2 * r * std::cos(2 * M_PI * v[k] / rate);
            const double yk = source + c * y[k][0] - r * r * y[k][1];
            y[k][1] = y[k][0];
            y[k][0] = yk;
            out += yk / (k + 1);
        }
        raw[i] = static_cast<float>(out * env);
    }
    float peak = 1e-6f;
    for (float v : raw)
        peak = std::max(peak, std::fabs(v));
    for (size_t i = 0; i < n; ++i)
        a.samples[i] = Clip(raw[i] / peak * 12000.0f + static_cast<float>(60 * noise()));
    return a;
}

PcmAudio Speech(const std::string& text, const std::string& voice, unsigned seed, bool* usedSpeech)
{
    PcmAudio audio;
    if (SpeakWithEspeak(text, voice, &audio)) return audio;
    if (usedSpeech) *usedSpeech = false;
    const double seconds = 1.0 + 0.065 * static_cast<double>(text.size());
    return SyntheticVoice(seconds, 16000, seed);
}

} // namespace recorder
