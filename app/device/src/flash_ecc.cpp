#include "device/flash_ecc.h"

#include "scriba/scriba.h"

#include <bit>
#include <cstring>
#include <utility>

namespace vark
{

namespace
{

constexpr int Parity(unsigned x)
{
    return std::popcount(x & 0xFFu) & 1;
}

constexpr std::array<uint8_t, 256> MakeParityTable()
{
    std::array<uint8_t, 256> t{};
    for (unsigned x = 0; x < 256; ++x)
    {
        const unsigned bits = Parity(x) | Parity(x & 0x55) << 1 | Parity(x & 0xAA) << 2 |
                              Parity(x & 0x33) << 3 | Parity(x & 0xCC) << 4 |
                              Parity(x & 0x0F) << 5 | Parity(x & 0xF0) << 6;
        t[x] = static_cast<uint8_t>(0xFF ^ bits);
    }
    return t;
}

inline uint32_t LoadLe32(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap32(v);
    return v;
}

inline uint8_t Fold(uint32_t w)
{
    w ^= w >> 16;
    w ^= w >> 8;
    return static_cast<uint8_t>(w);
}

// "not parity" of a byte, from bit 0 of its table entry.
inline unsigned NotParity(uint8_t b)
{
    return kEccParityTable[b] & 1u;
}

} // namespace

const std::array<uint8_t, 256> kEccParityTable = MakeParityTable();

SectorEcc ComputeSectorEcc(const uint8_t* sector)
{
    // Word-wise: for each of the 7 bits of the word index, XOR the words whose index has the
    // bit set ("odd"); the words with the bit clear are then all ^ odd. Byte-address bits
    // 2..8 are word-index bits 0..6. The sector is walked in blocks of 16 words with the
    // inner index bits known at compile time, so each word costs about three XORs.
    uint32_t odd[7] = {};
    uint32_t all = 0;
    for (unsigned block = 0; block < 8; ++block)
    {
        const uint8_t* p = sector + 64 * block;
        uint32_t sum = 0;
        [&]<size_t... J>(std::index_sequence<J...>)
        {
            ((sum ^= LoadLe32(p + 4 * J), (J & 1 ? odd[0] ^= LoadLe32(p + 4 * J) : 0),
              (J & 2 ? odd[1] ^= LoadLe32(p + 4 * J) : 0),
              (J & 4 ? odd[2] ^= LoadLe32(p + 4 * J) : 0),
              (J & 8 ? odd[3] ^= LoadLe32(p + 4 * J) : 0)),
             ...);
        }
        (std::make_index_sequence<16>{});
        all ^= sum;
        if (block & 1) odd[4] ^= sum;
        if (block & 2) odd[5] ^= sum;
        if (block & 4) odd[6] ^= sum;
    }
    uint32_t even[7];
    for (unsigned k = 0; k < 7; ++k)
        even[k] = all ^ odd[k];
    const uint8_t b0 = static_cast<uint8_t>(all), b1 = static_cast<uint8_t>(all >> 8),
                  b2 = static_cast<uint8_t>(all >> 16), b3 = static_cast<uint8_t>(all >> 24);
    // Line parities LP0..LP17 as "not" bits: index 2k = address bit k clear, 2k+1 = set.
    unsigned notLp[18];
    notLp[0] = NotParity(b0 ^ b2); // address bit 0 clear: bytes 0 and 2 of each word
    notLp[1] = NotParity(b1 ^ b3);
    notLp[2] = NotParity(b0 ^ b1); // address bit 1 clear
    notLp[3] = NotParity(b2 ^ b3);
    for (unsigned k = 0; k < 7; ++k)
    {
        notLp[4 + 2 * k] = NotParity(Fold(even[k]));
        notLp[5 + 2 * k] = NotParity(Fold(odd[k]));
    }
    SectorEcc code{};
    for (unsigned j = 0; j < 8; ++j)
    {
        code[0] |= static_cast<uint8_t>(notLp[j] << j);
        code[1] |= static_cast<uint8_t>(notLp[8 + j] << j);
    }
    // Column parities: the table entry of the folded XOR of all bytes holds "not CP0..CP5"
    // in bits 1..6; the code byte wants them in bits 2..7.
    const uint8_t column = kEccParityTable[Fold(all)];
    code[2] = static_cast<uint8_t>(((column & 0x7E) << 1) | notLp[17] << 1 | notLp[16]);
    return code;
}

EccResult CorrectSector(uint8_t* sector, uint8_t* storedCode, const SectorEcc& computed)
{
    const uint8_t s0 = computed[0] ^ storedCode[0];
    const uint8_t s1 = computed[1] ^ storedCode[1];
    const uint8_t s2 = computed[2] ^ storedCode[2];
    if ((s0 | s1 | s2) == 0) return EccResult::ok;
    const int bits = std::popcount(static_cast<unsigned>(s0)) +
                     std::popcount(static_cast<unsigned>(s1)) +
                     std::popcount(static_cast<unsigned>(s2));
    // Two flipped bits can also leave 12 syndrome bits; only a single data bit sets exactly
    // one bit of every complementary pair.
    const auto pairsComplementary = [](uint8_t s) { return ((s ^ (s >> 1)) & 0x55) == 0x55; };
    if (bits == 12 && pairsComplementary(s0) && pairsComplementary(s1) && pairsComplementary(s2))
    {
        const auto oddBits = [](uint8_t s) {
            return ((s >> 1) & 1) | ((s >> 3) & 1) << 1 | ((s >> 5) & 1) << 2 | ((s >> 7) & 1) << 3;
        };
        const unsigned address = oddBits(s0) | oddBits(s1) << 4 | ((s2 >> 1) & 1u) << 8;
        const unsigned bit = ((s2 >> 3) & 1) | ((s2 >> 5) & 1) << 1 | ((s2 >> 7) & 1) << 2;
        sector[address] ^= static_cast<uint8_t>(1u << bit);
        return EccResult::corrected;
    }
    if (bits == 1)
    {
        std::memcpy(storedCode, computed.data(), 3);
        return EccResult::codeError;
    }
    return EccResult::uncorrectable;
}

bool CorrectSilentSector(uint8_t* sector)
{
    SectorEcc unprogrammed{0xFF, 0xFF, 0xFF};
    uint8_t trial[kSectorSize];
    std::memcpy(trial, sector, kSectorSize);
    if (CorrectSector(trial, unprogrammed.data(), ComputeSectorEcc(trial)) != EccResult::corrected)
        return false;
    const uint8_t fill = trial[0];
    if (fill != 0x00 && fill != 0xFF) return false;
    for (size_t i = 1; i < kSectorSize; ++i)
        if (trial[i] != fill) return false;
    std::memcpy(sector, trial, kSectorSize);
    return true;
}

void CheckPage(uint8_t* page)
{
    uint8_t* spare = page + kPageDataSize;
    const uint16_t marker =
        static_cast<uint16_t>(spare[kSpareMarkerOffset] | spare[kSpareMarkerOffset + 1] << 8);
    if (marker != kSpareMarker) return;
    for (unsigned k = 0; k < kPageDataSize / kSectorSize; ++k)
    {
        uint8_t* stored = spare + 3 * k;
        uint8_t* sector = page + kSectorSize * k;
        if (stored[0] == 0xFF && stored[1] == 0xFF && stored[2] == 0xFF)
        {
            // Never programmed, or silence: FF FF FF is also the true code of an all-0x00 and
            // of an all-0xFF sector. Only a single bit that turns such a sector back into
            // silence is corrected; anything else passes unchecked.
            if (CorrectSilentSector(sector)) SLOG("CVarkDevice::Read: ECC Correctable error");
            continue;
        }
        switch (CorrectSector(sector, stored, ComputeSectorEcc(sector)))
        {
        case EccResult::ok:
            break;
        case EccResult::corrected:
            SLOG("CVarkDevice::Read: ECC Correctable error");
            break;
        case EccResult::codeError:
            SLOG("CVarkDevice::Read: ECC ECC error");
            break;
        case EccResult::uncorrectable:
            SLOG_ERR("CVarkDevice::Read: ECC Uncorrectable error");
            break;
        }
    }
}

} // namespace vark
