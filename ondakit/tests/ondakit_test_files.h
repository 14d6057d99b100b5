// Sound files for the library's tests, made on the spot in a per-test folder.
#pragma once

#include "acmtest/codec_files.h"
#include "platform/text.h"
#include "testsupport/test_env.h"

#include <bit>
#include <string>
#include <vector>

namespace odktest
{

inline std::string PcmWav(int rate, int channels, const std::vector<int16_t>& pcm)
{
    const WAVEFORMATEX f = platform::MakePcmFormat(rate, channels);
    return acmtest::RiffFile(platform::WaveFormatBlock(&f), acmtest::Bytes(pcm));
}

inline std::string FloatWav(int rate, int channels, const std::vector<float>& samples)
{
    WAVEFORMATEX f = platform::MakePcmFormat(rate, channels, 32);
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    std::string data;
    for (float v : samples)
        data += acmtest::Le32(std::bit_cast<uint32_t>(v));
    return acmtest::RiffFile(platform::WaveFormatBlock(&f),
                             std::vector<uint8_t>(data.begin(), data.end()));
}

inline std::vector<int16_t> Ramp(size_t n)
{
    std::vector<int16_t> r(n);
    for (size_t i = 0; i < n; ++i)
        r[i] = static_cast<int16_t>(i % 30000);
    return r;
}

inline std::wstring Wide(const std::string& s)
{
    return platform::Utf8ToWide(s);
}

// Everything a stream delivers, read `chunk` frames at a time.
template <typename Stream> std::vector<int16_t> ReadAll(Stream& s, int chunk, int channels)
{
    std::vector<int16_t> out, buf(static_cast<size_t>(chunk) * channels);
    for (int guard = 0; guard < 1000000; ++guard)
    {
        const int got = s.ReadData(buf.data(), chunk);
        if (got <= 0) break;
        out.insert(out.end(), buf.begin(), buf.begin() + static_cast<ptrdiff_t>(got) * channels);
    }
    return out;
}

} // namespace odktest
