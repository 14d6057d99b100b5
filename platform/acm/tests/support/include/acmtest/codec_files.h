// Test material made at test time: synthetic signals, libavcodec-encoded WAVE data with its
// format block, hand-built RIFF files, and the comparison of decoded sound with its source.
#pragma once

#include "platform/wave_format.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace acmtest
{

// Interleaved 16-bit samples: a sine of `hz` on every channel (channel c shifted in phase).
std::vector<int16_t> Tone(int rate, int channels, int frames, double hz, double amplitude);

struct Encoded
{
    platform::WaveFormatBlock format;
    std::vector<uint8_t> data; // the WAVE "data" chunk body
    std::vector<std::vector<uint8_t>> packets;
    // The encoder's extra data as it stood after the flush (FLAC's final STREAMINFO).
    std::vector<uint8_t> finalExtra;
};

// A native FLAC file from a "flac" encoding (STREAMINFO, then the frames); a raw MPEG audio
// file is just the concatenated packets (Encoded::data).
std::string FlacFile(const Encoded& flac);

// Encodes interleaved 16-bit PCM with the named libavcodec encoder ("adpcm_ima_wav",
// "adpcm_ms", "libgsm_ms", "pcm_alaw", "pcm_mulaw", "libmp3lame", "flac") and describes the
// result as a WAVE format block with tag `tag`. Throws std::runtime_error when the encoder
// is missing or fails.
Encoded Encode(const std::string& encoder, uint16_t tag, int rate, int channels,
               const std::vector<int16_t>& pcm, int64_t bitRate = 0);

// A RIFF WAVE file: "fmt " (the block field by field), an optional "fact", then "data".
std::string RiffFile(const platform::WaveFormatBlock& format, const std::vector<uint8_t>& data,
                     std::optional<uint32_t> fact = std::nullopt);
std::string Chunk(const std::string& id, const std::string& body);
std::string Le16(uint16_t v);
std::string Le32(uint32_t v);
std::vector<uint8_t> Bytes(const std::vector<int16_t>& samples);

// Signal-to-noise ratio in dB of `got` against `ref` (interleaved, `channels`), after
// finding the delay in 0..maxLag frames that matches best (codecs may delay their output).
double AlignedSnr(const std::vector<int16_t>& ref, const std::vector<int16_t>& got, int channels,
                  int maxLag);

} // namespace acmtest
