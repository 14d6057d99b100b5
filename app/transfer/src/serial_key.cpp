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

std::optional<uint32_t> ParseSerial(const std::string& text)
{
    if (text.empty()) return std::nullopt;
    size_t at = 0;
    const bool negative = text[0] == '-';
    if (text[0] == '-' || text[0] == '+') at = 1;
    if (at == text.size() || text.size() - at > 10) return std::nullopt;
    uint64_t n = 0;
    for (; at < text.size(); ++at)
    {
        if (text[at] < '0' || text[at] > '9') return std::nullopt;
        n = n * 10 + static_cast<uint64_t>(text[at] - '0');
    }
    if (negative ? n > 0x80000000ull : n > 0xFFFFFFFFull) return std::nullopt;
    if (n == 0) return std::nullopt;
    if (negative) return static_cast<uint32_t>(-static_cast<int64_t>(n));
    // 32768..65535 is a device number read unsigned (as the PIN dialog shows it): the same
    // recorder as its sign-extended form. No signature was ever made with the 32-bit value.
    if (n >= 0x8000 && n <= 0xFFFF) return SignatureSerial(static_cast<int16_t>(n));
    return static_cast<uint32_t>(n);
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
