#include "transfer/signature.h"

#include <cstdio>

namespace vark
{

SerialKey MakeSerialKey(uint32_t serial)
{
    SerialKey key{};
    for (size_t i = 0; i < key.size(); ++i)
        key[i] = serial * kSerialKeyMultiplier + kSerialKeyOffsets[i];
    return key;
}

std::string SerialKeyText(const SerialKey& key)
{
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.8x %.8x %.8x %.8x %.8x", key[0], key[1], key[2], key[3],
                  key[4]);
    return buf;
}

std::array<uint8_t, 20> SerialKeyBytes(const SerialKey& key)
{
    std::array<uint8_t, 20> bytes{};
    for (size_t i = 0; i < key.size(); ++i)
        for (size_t b = 0; b < 4; ++b)
            bytes[4 * i + b] = static_cast<uint8_t>(key[i] >> (8 * b));
    return bytes;
}

} // namespace vark
