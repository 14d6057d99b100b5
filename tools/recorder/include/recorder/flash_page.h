// The recorder's flash page as page-format firmware (0x2C00 and above) delivers it: 4096 data
// bytes (eight 512-byte sectors), then 1024 spare bytes holding each sector's 3-byte Hamming
// code at spare offsets 0, 3, ... 21, the marker 0x42 0x45 at spare offset 24, the rest 0xFF.
#pragma once

#include <cstddef>
#include <cstdint>

namespace recorder
{

inline constexpr size_t kSectorSize = 512;
inline constexpr size_t kPageDataSize = 4096;
inline constexpr size_t kPageSize = 5120;
inline constexpr size_t kSectorsPerPage = kPageDataSize / kSectorSize;
inline constexpr size_t kMarkerOffset = kPageDataSize + 24;

// The code the firmware programs for a sector: the complements of the 18 line parities
// (parity of the bytes whose address bit k is 0 / 1) and the 6 column parities.
void ComputeSectorCode(const uint8_t* sector, uint8_t code[3]);

// Fills `page` from 4096 data bytes: data, codes, marker, 0xFF elsewhere.
void BuildPage(const uint8_t* data, uint8_t* page);

} // namespace recorder
