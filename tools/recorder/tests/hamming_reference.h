// An independent computation of the sector code, bit by bit from its definition: every set
// data bit at byte address a, bit b toggles the line parities selected by the address bits
// and the column parities selected by b.
#pragma once

#include <array>
#include <cstdint>

inline std::array<uint8_t, 3> ReferenceSectorCode(const uint8_t* d)
{
    int lp[18] = {}, cp[6] = {};
    for (int a = 0; a < 512; ++a)
        for (int b = 0; b < 8; ++b)
        {
            if (!((d[a] >> b) & 1)) continue;
            for (int k = 0; k < 9; ++k)
                lp[2 * k + ((a >> k) & 1)] ^= 1;
            cp[(b & 1) ? 1 : 0] ^= 1;
            cp[(b & 2) ? 3 : 2] ^= 1;
            cp[(b & 4) ? 5 : 4] ^= 1;
        }
    std::array<uint8_t, 3> code{};
    for (int i = 0; i < 8; ++i)
    {
        code[0] |= static_cast<uint8_t>(!lp[i] << i);
        code[1] |= static_cast<uint8_t>(!lp[8 + i] << i);
    }
    code[2] = static_cast<uint8_t>((!lp[16]) | (!lp[17]) << 1);
    for (int i = 0; i < 6; ++i)
        code[2] |= static_cast<uint8_t>(!cp[i] << (2 + i));
    return code;
}
