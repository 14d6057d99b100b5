// The platform's wave format record. WAVEFORMATEX keeps its Windows name and its packed
// 18-byte layout because it crosses library interfaces as a variable-length block: the
// 18-byte header followed directly by `cbSize` bytes of format-specific data. In files the
// record is always read and written field by field, little-endian (ReadWaveFormat,
// WriteWaveFormat), never by copying the struct.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

inline constexpr uint16_t WAVE_FORMAT_UNKNOWN = 0x0000;
inline constexpr uint16_t WAVE_FORMAT_PCM = 0x0001;
inline constexpr uint16_t WAVE_FORMAT_ADPCM = 0x0002;
inline constexpr uint16_t WAVE_FORMAT_IEEE_FLOAT = 0x0003;
inline constexpr uint16_t WAVE_FORMAT_ALAW = 0x0006;
inline constexpr uint16_t WAVE_FORMAT_MULAW = 0x0007;
inline constexpr uint16_t WAVE_FORMAT_IMA_ADPCM = 0x0011;
inline constexpr uint16_t WAVE_FORMAT_DVI_ADPCM = 0x0011;
inline constexpr uint16_t WAVE_FORMAT_GSM610 = 0x0031;
inline constexpr uint16_t WAVE_FORMAT_MPEG = 0x0050;
inline constexpr uint16_t WAVE_FORMAT_MPEGLAYER3 = 0x0055;
inline constexpr uint16_t WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
struct WAVEFORMATEX
{
    uint16_t wFormatTag;
    uint16_t nChannels;
    uint32_t nSamplesPerSec;
    uint32_t nAvgBytesPerSec;
    uint16_t nBlockAlign;
    uint16_t wBitsPerSample;
    uint16_t cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX must keep its 18-byte layout");

namespace platform
{

inline constexpr size_t kWaveFormatHeaderBytes = 18;

// The 18 header bytes, little-endian, field by field.
WAVEFORMATEX ReadWaveFormat(const uint8_t* bytes);
void WriteWaveFormat(const WAVEFORMATEX& format, uint8_t* bytes);

// The `cbSize` extra bytes that follow a block's header in memory.
inline const uint8_t* WaveFormatExtra(const WAVEFORMATEX* format)
{
    return reinterpret_cast<const uint8_t*>(format) + kWaveFormatHeaderBytes;
}
inline uint8_t* WaveFormatExtra(WAVEFORMATEX* format)
{
    return reinterpret_cast<uint8_t*>(format) + kWaveFormatHeaderBytes;
}

// 16-bit (or `bits`) PCM: block align = channels x bytes per sample, average bytes per
// second = block align x rate, no extra bytes.
WAVEFORMATEX MakePcmFormat(uint32_t sampleRate, uint16_t channels, uint16_t bits = 16);

// An owned variable-length format block (header plus `cbSize` extra bytes).
class WaveFormatBlock
{
public:
    WaveFormatBlock();
    // Copies the header and the `cbSize` bytes that follow it in memory.
    explicit WaveFormatBlock(const WAVEFORMATEX* format);
    // Header plus the given extra bytes; `cbSize` is set to `extraSize`.
    WaveFormatBlock(const WAVEFORMATEX& header, const uint8_t* extra, size_t extraSize);
    // Parses a "fmt " chunk body field by field: a body shorter than 18 bytes leaves the
    // missing fields 0 and `cbSize` 0; a `cbSize` larger than the body holds is cut to what
    // is there, so the block never claims bytes it does not have.
    static WaveFormatBlock FromChunk(const uint8_t* body, size_t size);

    WAVEFORMATEX* get() { return reinterpret_cast<WAVEFORMATEX*>(bytes_.data()); }
    const WAVEFORMATEX* get() const { return reinterpret_cast<const WAVEFORMATEX*>(bytes_.data()); }
    const WAVEFORMATEX& operator*() const { return *get(); }
    const WAVEFORMATEX* operator->() const { return get(); }
    size_t size() const { return bytes_.size(); }
    // The block in file order (little-endian header, then the extra bytes).
    std::vector<uint8_t> Serialize() const;

private:
    std::vector<uint8_t> bytes_;
};

} // namespace platform
