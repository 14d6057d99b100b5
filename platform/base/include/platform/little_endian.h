// Explicit little-endian loads and stores for file and wire formats: every multi-byte field
// is assembled from its bytes, so no struct is ever cast over a buffer.
#pragma once

#include <bit>
#include <cstdint>

namespace platform
{

inline uint16_t LoadLE16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

inline uint32_t LoadLE32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

inline float LoadLEFloat(const uint8_t* p)
{
    return std::bit_cast<float>(LoadLE32(p));
}

inline void StoreLE16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void StoreLE32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

inline uint64_t LoadLE64(const uint8_t* p)
{
    return static_cast<uint64_t>(LoadLE32(p)) | (static_cast<uint64_t>(LoadLE32(p + 4)) << 32);
}

inline void StoreLE64(uint8_t* p, uint64_t v)
{
    StoreLE32(p, static_cast<uint32_t>(v));
    StoreLE32(p + 4, static_cast<uint32_t>(v >> 32));
}

inline double LoadLEDouble(const uint8_t* p)
{
    return std::bit_cast<double>(LoadLE64(p));
}
inline void StoreLEDouble(uint8_t* p, double v)
{
    StoreLE64(p, std::bit_cast<uint64_t>(v));
}

} // namespace platform
