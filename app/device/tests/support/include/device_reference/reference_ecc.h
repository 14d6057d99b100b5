#pragma once
// The flash sector code computed bit by bit from its definition, as a reader of the format
// would: the tests and the benchmark check the table-driven code against it.
#include "device/flash_ecc.h"

#include <cstdint>
#include <cstring>

namespace vark::reference
{

inline int Parity(unsigned x)
{
    return __builtin_popcount(x & 0xFF) & 1;
}

// Line parities over byte addresses, column parities over the XOR of all bytes, every bit
// complemented.
inline SectorEcc ReferenceEcc(const uint8_t* d)
{
    int lp[18] = {};
    uint8_t x = 0;
    for (unsigned a = 0; a < 512; ++a)
    {
        const int p = Parity(d[a]);
        for (unsigned k = 0; k < 9; ++k)
            lp[2 * k + ((a >> k) & 1)] ^= p;
        x ^= d[a];
    }
    const int cp[6] = {Parity(x & 0x55), Parity(x & 0xAA), Parity(x & 0x33),
                       Parity(x & 0xCC), Parity(x & 0x0F), Parity(x & 0xF0)};
    SectorEcc c{};
    for (int j = 0; j < 8; ++j)
    {
        c[0] |= static_cast<uint8_t>((!lp[j]) << j);
        c[1] |= static_cast<uint8_t>((!lp[8 + j]) << j);
    }
    c[2] = static_cast<uint8_t>((!lp[16]) | (!lp[17]) << 1);
    for (int j = 0; j < 6; ++j)
        c[2] |= static_cast<uint8_t>((!cp[j]) << (2 + j));
    return c;
}

// Stores the eight sector codes and the "checked page" marker in the page's spare area.
inline void SealPage(uint8_t* page)
{
    for (unsigned k = 0; k < 8; ++k)
    {
        const auto code = ReferenceEcc(page + 512 * k);
        std::memcpy(page + kPageDataSize + 3 * k, code.data(), code.size());
    }
    page[kPageDataSize + 24] = 0x42;
    page[kPageDataSize + 25] = 0x45;
}

} // namespace vark::reference
