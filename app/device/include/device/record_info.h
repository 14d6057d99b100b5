// One record's header as the program keeps it, copied by value between the list, playback,
// export and signatures.
#pragma once

#include "platform/autodate.h"

#include <cstdint>
#include <string>

namespace vark
{

// Bits of the record header word.
namespace header
{
inline constexpr uint32_t kRate16k = 1u << 0;
inline constexpr uint32_t kStereo = 1u << 1;
inline constexpr uint32_t kUncompressed = 1u << 2;
inline constexpr uint32_t kMarkT = 1u << 3;
inline constexpr uint32_t kMarkL = 1u << 4;
inline constexpr uint32_t kMarkA = 1u << 5;
inline constexpr int kSourcesShift = 6;
inline constexpr uint32_t kSourcesMask = 0x1Fu << kSourcesShift;
} // namespace header

struct RecordInfo
{
    platform::AutoDate start;
    platform::AutoSpan duration;
    uint32_t dataSize = 0;
    uint8_t compressed = 0;
    uint8_t stereo = 0;
    uint8_t rate16k = 0;
    uint32_t marks = 0; // bit 0 "T", bit 1 "A"
    uint32_t markL = 0;
    uint32_t sources = 0; // OR of the left and right source codes
    std::wstring serialNumber;

    uint32_t Rate() const { return rate16k ? 16000u : 8000u; }
    uint32_t Channels() const { return stereo ? 2u : 1u; }
    uint32_t BytesPerSample() const { return compressed ? 1u : 2u; }
    uint32_t BytesPerSecond() const { return Rate() * Channels() * BytesPerSample(); }
};

inline constexpr uint32_t kMarkBitT = 1u << 0;
inline constexpr uint32_t kMarkBitA = 1u << 1;

// Builds a RecordInfo from the command-12 reply fields and the device's serial number.
RecordInfo DecodeRecordHeader(uint32_t dataSize, uint32_t startSeconds, uint32_t headerWord,
                              int16_t serialNumber);

} // namespace vark
