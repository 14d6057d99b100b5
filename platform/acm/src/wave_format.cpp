#include "platform/wave_format.h"

#include "platform/little_endian.h"

#include <algorithm>
#include <cstring>

namespace platform
{

WAVEFORMATEX ReadWaveFormat(const uint8_t* b)
{
    WAVEFORMATEX f;
    f.wFormatTag = LoadLE16(b + 0);
    f.nChannels = LoadLE16(b + 2);
    f.nSamplesPerSec = LoadLE32(b + 4);
    f.nAvgBytesPerSec = LoadLE32(b + 8);
    f.nBlockAlign = LoadLE16(b + 12);
    f.wBitsPerSample = LoadLE16(b + 14);
    f.cbSize = LoadLE16(b + 16);
    return f;
}

void WriteWaveFormat(const WAVEFORMATEX& f, uint8_t* b)
{
    StoreLE16(b + 0, f.wFormatTag);
    StoreLE16(b + 2, f.nChannels);
    StoreLE32(b + 4, f.nSamplesPerSec);
    StoreLE32(b + 8, f.nAvgBytesPerSec);
    StoreLE16(b + 12, f.nBlockAlign);
    StoreLE16(b + 14, f.wBitsPerSample);
    StoreLE16(b + 16, f.cbSize);
}

WAVEFORMATEX MakePcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t bits)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_PCM;
    f.nChannels = channels;
    f.nSamplesPerSec = sampleRate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<uint16_t>(channels * (bits / 8));
    f.nAvgBytesPerSec = f.nBlockAlign * sampleRate;
    f.cbSize = 0;
    return f;
}

WaveFormatBlock::WaveFormatBlock() : bytes_(kWaveFormatHeaderBytes, 0) {}

WaveFormatBlock::WaveFormatBlock(const WAVEFORMATEX* format)
    : WaveFormatBlock(*format, WaveFormatExtra(format), format->cbSize)
{
}

WaveFormatBlock::WaveFormatBlock(const WAVEFORMATEX& header, const uint8_t* extra, size_t extraSize)
{
    extraSize = std::min<size_t>(extraSize, 0xFFFF);
    bytes_.resize(kWaveFormatHeaderBytes + extraSize);
    std::memcpy(bytes_.data(), &header, kWaveFormatHeaderBytes);
    get()->cbSize = static_cast<uint16_t>(extraSize);
    if (extraSize) std::memcpy(bytes_.data() + kWaveFormatHeaderBytes, extra, extraSize);
}

WaveFormatBlock WaveFormatBlock::FromChunk(const uint8_t* body, size_t size)
{
    uint8_t head[kWaveFormatHeaderBytes] = {};
    if (size) std::memcpy(head, body, std::min(size, kWaveFormatHeaderBytes));
    WAVEFORMATEX f = ReadWaveFormat(head);
    if (size < kWaveFormatHeaderBytes) f.cbSize = 0;
    const size_t extra = std::min<size_t>(f.cbSize, size > 18 ? size - 18 : 0);
    return WaveFormatBlock(f, body + std::min(size, kWaveFormatHeaderBytes), extra);
}

std::vector<uint8_t> WaveFormatBlock::Serialize() const
{
    std::vector<uint8_t> out(bytes_.size());
    WriteWaveFormat(*get(), out.data());
    std::copy(bytes_.begin() + kWaveFormatHeaderBytes, bytes_.end(),
              out.begin() + kWaveFormatHeaderBytes);
    return out;
}

} // namespace platform
