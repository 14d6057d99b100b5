#include "recorder/flash_page.h"

#include <cstring>

namespace recorder
{

namespace
{

unsigned Parity(unsigned x)
{
    x ^= x >> 4;
    x ^= x >> 2;
    x ^= x >> 1;
    return x & 1;
}

} // namespace

void ComputeSectorCode(const uint8_t* sector, uint8_t code[3])
{
    unsigned lp[18] = {};
    unsigned all = 0;
    for (unsigned a = 0; a < kSectorSize; ++a)
    {
        all ^= sector[a];
        if (!Parity(sector[a])) continue;
        for (unsigned k = 0; k < 9; ++k)
            lp[2 * k + ((a >> k) & 1)] ^= 1;
    }
    const unsigned cp[6] = {Parity(all & 0x55), Parity(all & 0xAA), Parity(all & 0x33),
                            Parity(all & 0xCC), Parity(all & 0x0F), Parity(all & 0xF0)};
    unsigned c0 = 0, c1 = 0, c2 = 0;
    for (unsigned i = 0; i < 8; ++i)
    {
        c0 |= lp[i] << i;
        c1 |= lp[8 + i] << i;
    }
    c2 = lp[16] | lp[17] << 1;
    for (unsigned i = 0; i < 6; ++i)
        c2 |= cp[i] << (2 + i);
    code[0] = static_cast<uint8_t>(~c0);
    code[1] = static_cast<uint8_t>(~c1);
    code[2] = static_cast<uint8_t>(~c2);
}

void BuildPage(const uint8_t* data, uint8_t* page)
{
    std::memcpy(page, data, kPageDataSize);
    std::memset(page + kPageDataSize, 0xFF, kPageSize - kPageDataSize);
    for (size_t k = 0; k < kSectorsPerPage; ++k)
        ComputeSectorCode(data + k * kSectorSize, page + kPageDataSize + 3 * k);
    page[kMarkerOffset] = 0x42;
    page[kMarkerOffset + 1] = 0x45;
}

} // namespace recorder
