#include "ondakit/wave_format.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace WaveFormat
{

WAVEFORMATEX* CreateFormat(int cbSize)
{
    if (cbSize < 0 || cbSize > 0xFFFF) return nullptr;
    void* memory = std::calloc(1, platform::kWaveFormatHeaderBytes + static_cast<size_t>(cbSize));
    if (!memory) return nullptr;
    auto* format = new (memory) WAVEFORMATEX{};
    format->cbSize = static_cast<uint16_t>(cbSize);
    return format;
}

WAVEFORMATEX* CreateFormat(const WAVEFORMATEX* source)
{
    if (!source) return nullptr;
    WAVEFORMATEX* copy = CreateFormat(source->cbSize);
    if (copy) std::memcpy(copy, source, platform::kWaveFormatHeaderBytes + source->cbSize);
    return copy;
}

void FreeFormat(WAVEFORMATEX* format)
{
    std::free(format);
}

} // namespace WaveFormat
