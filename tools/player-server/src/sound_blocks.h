// The sound blocks the wrapper pushes: 16-bit little-endian samples, with two channels all
// left samples first and then all right samples. The core wants them interleaved.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace player
{

// Interleaved bytes for 1 or 2 channels; nullopt for any other channel count. A trailing
// part that does not make a whole sample frame is dropped.
std::optional<std::vector<signed char>> InterleaveChannelBlocks(const uint8_t* data, size_t size,
                                                                long channels);

} // namespace player
