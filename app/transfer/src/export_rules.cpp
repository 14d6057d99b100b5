#include "transfer/export_rules.h"

#include "transfer/g711.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwctype>

namespace vark
{

std::string ExportBaseName(const RecordInfo& record)
{
    return record.start.Format("%Y_%m_%d %H_%M_%S");
}

uint64_t JoinNoiseBytes(const RecordInfo& previous, const RecordInfo& record, PauseMode mode,
                        int fixedPauseSeconds)
{
    // Joining fragments of different encodings would mix two sample formats in one file.
    if (previous.dataSize == 0 || previous.marks != kMarkBitA || record.marks != kMarkBitA ||
        previous.stereo != record.stereo || previous.rate16k != record.rate16k ||
        previous.compressed != record.compressed)
        return 0;
    double seconds = fixedPauseSeconds;
    if (mode == PauseMode::kReal)
    {
        const platform::AutoSpan gap = record.start - (previous.start + previous.duration);
        seconds = gap.IsValid() ? std::round(gap.TotalSeconds()) : 0.0;
    }
    if (seconds <= 0) seconds = 0.2;
    return static_cast<uint64_t>(seconds * record.Channels() * record.BytesPerSample() *
                                 record.Rate());
}

int ParsePauseText(const std::wstring& text)
{
    size_t at = 0;
    while (at < text.size() && std::iswspace(static_cast<wint_t>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'-' || text[at] == L'+')) negative = text[at++] == L'-';
    const size_t digits = at;
    long long value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at)
        if (value < 1000000) value = value * 10 + (text[at] - L'0');
    while (at < text.size() && std::iswspace(static_cast<wint_t>(text[at])))
        ++at;
    if (at == digits || at != text.size() || negative) return 0;
    return static_cast<int>(value);
}

bool PauseAccepted(PauseMode mode, int seconds)
{
    return mode == PauseMode::kReal || (seconds >= 1 && seconds <= 59);
}

std::string GroupThousands(uint64_t v)
{
    char buf[64];
    if (v < 1000)
        std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(v));
    else if (v < 1000000)
        std::snprintf(buf, sizeof buf, "%llu,%03llu", static_cast<unsigned long long>(v / 1000),
                      static_cast<unsigned long long>(v % 1000));
    else
        std::snprintf(buf, sizeof buf, "%llu,%03llu,%03llu",
                      static_cast<unsigned long long>(v / 1000000),
                      static_cast<unsigned long long>(v / 1000 % 1000),
                      static_cast<unsigned long long>(v % 1000));
    return buf;
}

int RuntimeRandom15()
{
    return static_cast<int>(static_cast<unsigned>(std::rand()) & 0x7FFF);
}

std::string MakeNoiseBlock(bool compressed, const std::function<int()>& random15)
{
    std::vector<int> raw(kNoiseSamples);
    for (auto& r : raw)
        r = random15() * 1000 / 32767;
    constexpr size_t kWindow = 15;
    int window[kWindow];
    for (size_t k = 0; k < kWindow; ++k)
        window[k] = raw[k];

    std::string out;
    out.reserve(compressed ? kNoiseSamples : 2 * kNoiseSamples);
    for (size_t i = 0; i < kNoiseSamples; ++i)
    {
        window[i % kWindow] = raw[i]; // replaces the oldest value
        int sample = 0;
        for (int w : window)
            sample += w / static_cast<int>(kWindow);
        if (compressed)
        {
            out += static_cast<char>(LinearToMuLaw(static_cast<int16_t>(sample)));
        }
        else
        {
            out += static_cast<char>(sample & 0xFF);
            out += static_cast<char>((sample >> 8) & 0xFF);
        }
    }
    return out;
}

} // namespace vark
