// GUID comparison and the registry's braced text form.
#include "platform/com/types.h"

#include <cstdio>
#include <cstring>

namespace com
{

bool operator==(const GUID& a, const GUID& b)
{
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::memcmp(a.Data4, b.Data4, 8) == 0;
}

std::string GuidToString(const GUID& g)
{
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1,
                  g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

static int HexValue(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<GUID> GuidFromString(std::string_view t)
{
    // {8-4-4-4-12}
    if (t.size() != 38 || t.front() != '{' || t.back() != '}') return std::nullopt;
    uint8_t bytes[16];
    size_t b = 0;
    for (size_t i = 1; i < 37;)
    {
        if (i == 9 || i == 14 || i == 19 || i == 24)
        {
            if (t[i] != '-') return std::nullopt;
            ++i;
            continue;
        }
        int hi = HexValue(t[i]), lo = HexValue(t[i + 1]);
        if (hi < 0 || lo < 0 || b >= 16) return std::nullopt;
        bytes[b++] = static_cast<uint8_t>(hi * 16 + lo);
        i += 2;
    }
    if (b != 16) return std::nullopt;
    GUID g{};
    g.Data1 = (uint32_t(bytes[0]) << 24) | (uint32_t(bytes[1]) << 16) | (uint32_t(bytes[2]) << 8) |
              bytes[3];
    g.Data2 = static_cast<uint16_t>((bytes[4] << 8) | bytes[5]);
    g.Data3 = static_cast<uint16_t>((bytes[6] << 8) | bytes[7]);
    std::memcpy(g.Data4, bytes + 8, 8);
    return g;
}

} // namespace com
