// The recorder's parameters record: 184 bytes, little-endian, naturally aligned, exactly as
// it is stored in parameter files (.vrp). Padding bytes are carried, never interpreted.
#pragma once

#include "platform/autodate.h"

#include <array>
#include <cstdint>

namespace vark
{

inline constexpr size_t kVarkParamsSize = 184;
inline constexpr int kTimerCount = 5;

struct VarkTimer
{
    uint32_t enabled = 0;
    double start = 0;         // automation date
    uint32_t startStatus = 0; // 0 valid, 1 invalid
    double duration = 0;      // span in days
    uint32_t durationStatus = 0;
};

struct VarkParams
{
    uint8_t compression = 0; // 1 = mu-law records
    uint8_t stereo = 0;
    uint8_t rate16k = 0;
    uint8_t sourceLeft = 0;
    uint8_t sourceRight = 0;
    uint8_t pad5[3] = {};
    VarkTimer timers[kTimerCount];
    uint32_t accuEnabled = 0;
    uint16_t accuThreshold = 0;
    uint8_t pad154[2] = {}; // the upper half of the recorder's 32-bit threshold answer
    uint32_t ringEnabled = 0;
    double ringLength = 0; // span in days
    uint32_t ringLengthStatus = 0;
    int32_t buttonMode = 0;
    uint32_t recordButton = 0;
    uint8_t agc = 0;
    uint8_t inputLevelLeft = 0;
    uint8_t inputLevelRight = 0;
    uint8_t pad183 = 0;
};

// The recorder keeps voice activation in one word, the threshold, 0 meaning off: "on at
// threshold 0" cannot be stored (it reads back as off), so the lowest threshold when on is 1.
inline constexpr uint16_t kMinAccuThresholdOn = 1;
inline bool AccuOnAtZero(const VarkParams& p)
{
    return p.accuEnabled != 0 && p.accuThreshold == 0;
}

using VarkParamsBytes = std::array<uint8_t, kVarkParamsSize>;
// Equal when their file images are equal (also for NaN doubles read from a file).
bool operator==(const VarkParams& a, const VarkParams& b);
VarkParamsBytes SerializeParams(const VarkParams& params);
VarkParams DeserializeParams(const uint8_t* bytes);

// Source codes of the two channels.
namespace source
{
inline constexpr uint8_t kNone = 0, kInternalMic = 4;
inline constexpr uint8_t kLeftExternalMic = 8, kLeftLine = 1;
inline constexpr uint8_t kRightExternalMic = 2, kRightLine = 16;
// Each channel's codes in the order the program offers them: none, internal mic, external
// mic, line input.
inline constexpr int kChoices = 4;
inline constexpr uint8_t kLeftCodes[kChoices] = {kNone, kInternalMic, kLeftExternalMic, kLeftLine};
inline constexpr uint8_t kRightCodes[kChoices] = {kNone, kInternalMic, kRightExternalMic,
                                                  kRightLine};
// The position of `code` among a channel's codes; 0 ("none") for any other code.
int ChoiceOf(const uint8_t (&codes)[kChoices], uint8_t code);
} // namespace source

// Recorder-side time: seconds since 2000-01-01 00:00:00.
inline constexpr double kRecorderEpochDays = 36526.0;
// Date or span to seconds: half a second away from zero, then truncated. false for an
// invalid value (which is never sent).
bool DateToRecorderTime(const platform::AutoDate& date, uint32_t& seconds);
bool SpanToRecorderSeconds(const platform::AutoSpan& span, uint32_t& seconds);
platform::AutoDate RecorderTimeToDate(uint32_t seconds);
platform::AutoSpan RecorderSecondsToSpan(uint32_t seconds);

// Input levels on the wire: level - 1, with 31 standing for level 0.
uint8_t EncodeInputLevel(uint8_t level);
uint8_t DecodeInputLevel(uint8_t wire);

// Bytes per second of new recordings at these parameters.
uint32_t BytesPerSecond(const VarkParams& params);

} // namespace vark
