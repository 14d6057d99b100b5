// Signatures of exported WAV files and the serial keys they carry. A signature file
// (".dsg", beside the WAV file) holds the SHA-1 digest of the whole file and the serial key
// of the recorder it came from.
#pragma once

#include "transfer/sha1.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace vark
{

// ki = serial x M + Bi (mod 2^32). Fixed once: signing, verifying and the key dialog must
// all use these same six values, or no signature made earlier verifies again.
inline constexpr uint32_t kSerialKeyMultiplier = 0x9E3779B1;
inline constexpr std::array<uint32_t, 5> kSerialKeyOffsets = {0x1B873593, 0xCC9E2D51, 0x85EBCA6B,
                                                              0xC2B2AE35, 0x27D4EB2F};

using SerialKey = std::array<uint32_t, 5>;

// A decimal serial number as the user types it: optional sign, digits, nothing else, within
// 32 bits (negative numbers are the recorder's device numbers above 32767, and 32768..65535
// are the same device numbers read unsigned, so both give the same serial); 0 is refused like
// an empty entry.
std::optional<uint32_t> ParseSerial(const std::string& text);
// The serial number signatures carry for a recorder's device number.
inline uint32_t SignatureSerial(int16_t deviceNumber)
{
    return static_cast<uint32_t>(static_cast<int32_t>(deviceNumber));
}

SerialKey MakeSerialKey(uint32_t serial);
// "%.8x %.8x %.8x %.8x %.8x", k0 first.
std::string SerialKeyText(const SerialKey& key);
// The words as stored in signature files: little-endian, k0 first.
std::array<uint8_t, 20> SerialKeyBytes(const SerialKey& key);

// wavPath + ".dsg" (appended to the full name, extension included).
std::filesystem::path SignaturePathFor(const std::filesystem::path& wavPath);

// Takes the digest from `digestState`, which has hashed the whole WAV file, traces it, and
// writes digest and key of `serial` to wavPath + ".dsg" (through its part file, replacing one
// there). False when the digest fails or the file cannot be written.
bool Sign(const std::filesystem::path& wavPath, Sha1& digestState, uint32_t serial);

// True only when the signature file's digest matches the WAV file and its key matches
// `serial`. For a 40-byte signature `exportedName` receives the base name the file was
// exported under (from its trailer chunk), or stays empty; for the 44-byte form, whose digest
// also covers the file's current base name, it is always empty.
bool Verify(const std::filesystem::path& signaturePath, const std::filesystem::path& wavPath,
            uint32_t serial, std::wstring& exportedName);

} // namespace vark
