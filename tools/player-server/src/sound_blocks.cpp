#include "sound_blocks.h"

#include <cstring>

namespace player
{

std::optional<std::vector<signed char>> InterleaveChannelBlocks(const uint8_t* data, size_t size,
                                                                long channels)
{
    if (channels != 1 && channels != 2) return std::nullopt;
    const size_t frames = size / (2 * static_cast<size_t>(channels));
    std::vector<signed char> out(frames * 2 * static_cast<size_t>(channels));
    if (frames == 0) return out;
    if (channels == 1)
    {
        std::memcpy(out.data(), data, out.size());
        return out;
    }
    const uint8_t* left = data;
    const uint8_t* right = data + frames * 2;
    for (size_t i = 0; i < frames; ++i)
    {
        std::memcpy(&out[i * 4], left + i * 2, 2);
        std::memcpy(&out[i * 4 + 2], right + i * 2, 2);
    }
    return out;
}

} // namespace player
