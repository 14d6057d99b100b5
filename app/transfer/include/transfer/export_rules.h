// The rules of "Copy to disk" that do not need the recorder: file names, joining of
// voice-activated fragments with a pause of noise, the noise itself, the pause entry and the
// number grouping of the counters. The export worker and its tests share them.
#pragma once

#include "device/record_info.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vark
{

enum class PauseMode
{
    kFixed = 0,
    kReal = 1,
};

// "%Y_%m_%d %H_%M_%S" of the record's start (the file's base name, without ".wav").
std::string ExportBaseName(const RecordInfo& record);

// Bytes of noise that join `record` to `previous` in one file, 0 when it starts a new file.
// Only two fragments marked "A" (and not "T") of the same channels, rate and encoding join;
// the pause is the real gap between them rounded to seconds, or the fixed length; a pause of
// 0 or less counts as 0.2 s.
uint64_t JoinNoiseBytes(const RecordInfo& previous, const RecordInfo& record, PauseMode mode,
                        int fixedPauseSeconds);

// The pause edit as the OK button reads it: a signed number, anything else or a negative
// number reads as 0.
int ParsePauseText(const std::wstring& text);
// The fixed pause must be 1 to 59 seconds; the real pause takes any length.
bool PauseAccepted(PauseMode mode, int seconds);

// Thousands grouped with commas: "999", "1,000", "12,345,678".
std::string GroupThousands(uint64_t value);

inline constexpr size_t kNoiseSamples = 32768;
// One block of low-level noise: raw values random() x 1000 / 32767 (random() gives 0..32767),
// smoothed by a moving window of 15 of them; mu-law bytes (32768) for compressed records,
// else 16-bit little-endian samples (65536 bytes).
std::string MakeNoiseBlock(bool compressed, const std::function<int()>& random15);
// The runtime generator reduced to 0..32767.
int RuntimeRandom15();

} // namespace vark
