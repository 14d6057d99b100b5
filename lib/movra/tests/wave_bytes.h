// Hand-built RIFF WAVE files for the reader tests.
#pragma once

#include "templates/r_number.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace wavetest
{

inline void Put16(std::string& s, uint16_t v)
{
    s += char(v & 0xFF);
    s += char(v >> 8);
}

inline void Put32(std::string& s, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s += char((v >> (8 * i)) & 0xFF);
}

// One chunk; odd bodies get the RIFF pad byte unless `pad` is false.
inline std::string Chunk(const char* id, const std::string& body, bool pad = true)
{
    std::string s(id, 4);
    Put32(s, uint32_t(body.size()));
    s += body;
    if (pad && body.size() % 2) s += '\0';
    return s;
}

inline std::string Fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits,
                       uint16_t blockAlign = 0, int64_t avg = -1, const std::string& extra = "")
{
    if (!blockAlign) blockAlign = uint16_t(channels * bits / 8);
    if (avg < 0) avg = int64_t(rate) * blockAlign;
    std::string b;
    Put16(b, tag);
    Put16(b, channels);
    Put32(b, rate);
    Put32(b, uint32_t(avg));
    Put16(b, blockAlign);
    Put16(b, bits);
    if (tag != 1 || !extra.empty())
    {
        Put16(b, uint16_t(extra.size()));
        b += extra;
    }
    return Chunk("fmt ", b);
}

inline std::string Riff(const std::string& chunks)
{
    std::string s = "RIFF";
    Put32(s, uint32_t(chunks.size() + 4));
    return s + "WAVE" + chunks;
}

inline std::string Pcm16(const std::vector<int16_t>& samples)
{
    std::string s;
    for (int16_t v : samples)
        Put16(s, uint16_t(v));
    return s;
}

// A recognisable signal: sample i of channel c.
inline int16_t Ramp(size_t i, unsigned c)
{
    return int16_t((i * 37 + c * 1000) % 60000 - 30000);
}

inline std::vector<int16_t> Interleaved(size_t frames, unsigned channels, size_t first = 0)
{
    std::vector<int16_t> v;
    for (size_t i = first; i < first + frames; ++i)
        for (unsigned c = 0; c < channels; ++c)
            v.push_back(Ramp(i, c));
    return v;
}

// A plain 16-bit PCM file.
inline std::string PcmFile(uint32_t rate, uint16_t channels, size_t frames)
{
    return Riff(Fmt(1, channels, rate, 16) + Chunk("data", Pcm16(Interleaved(frames, channels))));
}

// Reads a file reader (any class with Read, GetBuffer and IsEOF) to its end in `pieceMs`
// pieces; the interleaved samples.
template <typename READER>
std::vector<int16_t> ReadToEof(READER& reader, unsigned rate, unsigned channels,
                               int64_t pieceMs = 20)
{
    std::vector<int16_t> all;
    for (int guard = 0; guard < 1000000 && !reader.IsEOF(); ++guard)
    {
        RNUMBER64 at, wanted = RNUMBER64::FromMs(pieceMs), read;
        if (!reader.Read(at, wanted, read) || wanted == RNUMBER64(0)) break;
        const auto n = size_t(read.Num() * rate / read.Den()) * channels;
        if (n) all.insert(all.end(), reader.GetBuffer(), reader.GetBuffer() + n);
    }
    return all;
}

} // namespace wavetest
