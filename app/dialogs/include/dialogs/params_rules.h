// The rules of the recording parameters dialog that need no window: what its controls hold,
// how that maps to and from the parameters record, the texts it shows, and the checks that
// run before the values are written to the recorder or saved to a file.
#pragma once

#include "device/vark_params.h"
#include "platform/autodate.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace dialogs
{

// One timer as its three pickers show it: start date, start time (hours and minutes) and
// duration (hours and minutes).
struct TimerEntry
{
    bool enabled = false;
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0;
    int durationHours = 0, durationMinutes = 1;

    platform::AutoDate Start() const;
    platform::AutoSpan Duration() const;
};

// The values of the dialog's controls, in the controls' own terms (list positions).
struct ParamsEntries
{
    int sourceLeft = 1, sourceRight = 0; // 0 none, 1 internal mic, 2 external mic, 3 line
    int rate = 1;                        // 0 8 kHz, 1 16 kHz
    bool compression = false, stereo = false, agc = false;
    int inputLevel = 25; // 0..31
    TimerEntry timers[vark::kTimerCount];
    bool accu = false;
    int accuThreshold = 60; // 0..120
    bool ring = false;
    int ringHours = 1, ringMinutes = 0;
    int buttonMode = 1; // 0 locked, 1 use for erase, 2 use for playback
    bool recordButton = false;
};

inline constexpr int kMaxRingHours = 74, kMaxRingMinutes = 59;
inline constexpr int kMaxInputLevel = 31, kMaxAccuThreshold = 120;

// The defaults: every timer off from `now` (date, hours and minutes) for 0:01.
ParamsEntries DefaultEntries(const platform::AutoDate& now);
// The record's values over `presets`: a timer that is off keeps its preset, and so do the
// loop fields when the loop is off. Values out of range show clamped, unknown codes as the
// first entry of their list ("None" for sources, "Use for erase" for the button).
ParamsEntries EntriesFromParams(const vark::VarkParams& params, const ParamsEntries& presets);
// A copy of `base` with the entries' values; the loop length only while the loop is on.
vark::VarkParams ParamsFromEntries(const vark::VarkParams& base, const ParamsEntries& entries);

// "off", then (level - 1) x 1.5 without trailing zeros, 48 and 54 for the top two levels.
std::string InputLevelText(int level);
// The voice-activation number shown beside its slider.
int AccuNumber(int threshold);
// "H:MM:SS" (hours not wrapped) of recording that `freeKilobytes` holds at these values.
std::string MaxRecordTime(uint32_t freeKilobytes, const ParamsEntries& entries);

// A refusal: the message text number and its printf arguments (error icon).
struct ParamsRefusal
{
    uint32_t textId = 0;
    int args[2] = {0, 0};
};

// The checks of confirming, in order: timer overlap, timers in the past (only with the
// recorder's clock), the sources, the loop. `changeLoop` is asked when the loop needs more
// memory than is free; its true ends the checks with no refusal but not accepted. The loop
// fields of `entries` are corrected to 74:59 at most, and to the longest loop the recorder
// can address when the refusal says so.
struct ParamsVerdict
{
    bool accepted = false;
    std::optional<ParamsRefusal> refusal;
};
ParamsVerdict CheckEntries(ParamsEntries& entries,
                           const std::optional<platform::AutoDate>& recorderClock,
                           uint32_t freeKilobytes, const std::function<bool()>& changeLoop);

} // namespace dialogs
