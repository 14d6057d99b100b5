// Flash page error correction for recorders that deliver raw NAND pages: 4096 data bytes
// (eight 512-byte sectors) followed by 1024 spare bytes holding a 3-byte Hamming code per
// sector at spare offsets 0, 3, ... 21 and the marker 0x42 0x45 at spare offset 24.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace vark
{

inline constexpr size_t kSectorSize = 512;
inline constexpr size_t kPageDataSize = 4096;
inline constexpr size_t kPageSize = 5120;
inline constexpr size_t kSpareMarkerOffset = 24;
inline constexpr uint16_t kSpareMarker = 0x4542;

enum class EccResult
{
    ok = 0,
    corrected = 1,
    codeError = 2,
    uncorrectable = 3
};

using SectorEcc = std::array<uint8_t, 3>;

// The 256-entry parity table: entry x = 0xFF ^ (P(x) | CP0(x) << 1 | ... | CP5(x) << 6).
extern const std::array<uint8_t, 256> kEccParityTable;

// The sector's code bytes as the recorder stores them.
SectorEcc ComputeSectorEcc(const uint8_t* sector);

// Compares a sector with its stored code and repairs what one bit error explains: a data
// bit is flipped back, or the stored code is replaced by the computed one.
EccResult CorrectSector(uint8_t* sector, uint8_t* storedCode, const SectorEcc& computed);

// A sector stored with the all-0xFF code: corrected in place (true) only when one flipped
// bit explains it as all-0x00 or all-0xFF silence, whose true code that is.
bool CorrectSilentSector(uint8_t* sector);

// Checks and corrects every sector of a page in place and logs each finding. A page without
// the marker passes unchecked; so do sectors whose stored code is all 0xFF, except silence
// with one flipped bit.
void CheckPage(uint8_t* page);

} // namespace vark
