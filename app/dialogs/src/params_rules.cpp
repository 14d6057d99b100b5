#include "dialogs/params_rules.h"

#include "res/strings.h"

#include <algorithm>
#include <cmath>

namespace dialogs
{

using namespace vark;

namespace
{

// The button list shows "Locked", "Use for erase", "Use for playback"; the recorder's codes
// for them are 1, 0 and 2.
constexpr int32_t kButtonCodes[3] = {1, 0, 2};

constexpr uint64_t kLoopReserve = 1048576;        // the recorder keeps 1 MiB besides the loop
constexpr uint64_t kLoopAddressable = 2147483647; // the loop must stay below 2^31 - 1 bytes
constexpr int kTimerMarginSeconds = 1;
constexpr int kPastMarginSeconds = 5;

int64_t Seconds(const platform::AutoDate& d)
{
    return std::llround(d.Linear() * 86400.0);
}

uint32_t BytesPerSecondOf(const ParamsEntries& e)
{
    VarkParams p;
    p.compression = e.compression;
    p.stereo = e.stereo;
    p.rate16k = e.rate != 0;
    return BytesPerSecond(p);
}

// The start's date, hours and minutes (the pickers hold no seconds).
void SetStart(TimerEntry& t, const platform::DateParts& parts)
{
    t.year = parts.year;
    t.month = parts.month;
    t.day = parts.day;
    t.hour = parts.hour;
    t.minute = parts.minute;
}

TimerEntry TimerFromRecord(const VarkTimer& t, const TimerEntry& preset)
{
    platform::DateParts parts;
    if (!t.enabled || t.startStatus != 0 || !platform::AutoDate(t.start).GetParts(parts))
        return preset;
    TimerEntry e = preset;
    e.enabled = true;
    SetStart(e, parts);
    if (t.durationStatus == 0 && std::isfinite(t.duration) && t.duration >= 0)
    {
        // the duration picker shows a time of day, so 23:59 is the longest it holds
        const long minutes = std::min<long>(std::lround(t.duration * 1440.0), 23 * 60 + 59);
        e.durationHours = static_cast<int>(minutes / 60);
        e.durationMinutes = static_cast<int>(minutes % 60);
    }
    return e;
}

std::optional<ParamsRefusal> FirstOverlap(const ParamsEntries& e)
{
    for (int i = 0; i < kTimerCount; ++i)
        for (int j = i + 1; j < kTimerCount; ++j)
        {
            const TimerEntry &a = e.timers[i], &b = e.timers[j];
            if (!a.enabled || !b.enabled) continue;
            const int64_t startA = Seconds(a.Start()), startB = Seconds(b.Start());
            const int64_t endA = startA + std::llround(a.Duration().TotalSeconds());
            const int64_t endB = startB + std::llround(b.Duration().TotalSeconds());
            if (startB + kTimerMarginSeconds < endA && startA + kTimerMarginSeconds < endB)
                return ParamsRefusal{res::ids::kTimersOverlap, {i + 1, j + 1}};
        }
    return std::nullopt;
}

std::optional<ParamsRefusal> FirstInThePast(const ParamsEntries& e, const platform::AutoDate& clock)
{
    const int64_t earliest = Seconds(clock) + kPastMarginSeconds;
    for (int i = 0; i < kTimerCount; ++i)
        if (e.timers[i].enabled && Seconds(e.timers[i].Start()) < earliest)
            return ParamsRefusal{res::ids::kTimerInThePast, {i + 1, 0}};
    return std::nullopt;
}

} // namespace

platform::AutoDate TimerEntry::Start() const
{
    return platform::AutoDate::FromParts(year, month, day, hour, minute, 0);
}

platform::AutoSpan TimerEntry::Duration() const
{
    return platform::AutoSpan::FromParts(0, durationHours, durationMinutes, 0);
}

ParamsEntries DefaultEntries(const platform::AutoDate& now)
{
    ParamsEntries e;
    platform::DateParts parts;
    now.GetParts(parts);
    for (TimerEntry& t : e.timers)
        SetStart(t, parts);
    return e;
}

ParamsEntries EntriesFromParams(const VarkParams& p, const ParamsEntries& presets)
{
    ParamsEntries e = presets;
    e.sourceLeft = source::ChoiceOf(source::kLeftCodes, p.sourceLeft);
    e.sourceRight = source::ChoiceOf(source::kRightCodes, p.sourceRight);
    e.rate = p.rate16k ? 1 : 0;
    e.compression = p.compression != 0;
    e.stereo = p.stereo != 0;
    e.agc = p.agc != 0;
    e.inputLevel = std::min<int>(p.inputLevelLeft, kMaxInputLevel);
    for (int i = 0; i < kTimerCount; ++i)
        e.timers[i] = TimerFromRecord(p.timers[i], presets.timers[i]);
    e.accu = p.accuEnabled != 0 && !AccuOnAtZero(p); // what the recorder would store
    e.accuThreshold = std::min<int>(p.accuThreshold, kMaxAccuThreshold);
    e.ring = p.ringEnabled != 0;
    if (e.ring && p.ringLengthStatus == 0 && std::isfinite(p.ringLength) && p.ringLength >= 0)
    {
        const double minutes = std::min(p.ringLength * 1440.0, kMaxRingHours * 60.0 + 59);
        const long whole = std::lround(minutes);
        e.ringHours = static_cast<int>(whole / 60);
        e.ringMinutes = static_cast<int>(whole % 60);
    }
    e.buttonMode = 1;
    for (int i = 0; i < 3; ++i)
        if (kButtonCodes[i] == p.buttonMode) e.buttonMode = i;
    e.recordButton = p.recordButton != 0;
    return e;
}

VarkParams ParamsFromEntries(const VarkParams& base, const ParamsEntries& e)
{
    VarkParams p = base;
    p.compression = e.compression;
    p.stereo = e.stereo;
    p.rate16k = e.rate != 0;
    p.sourceLeft = source::kLeftCodes[std::clamp(e.sourceLeft, 0, source::kChoices - 1)];
    p.sourceRight = source::kRightCodes[std::clamp(e.sourceRight, 0, source::kChoices - 1)];
    for (int i = 0; i < kTimerCount; ++i)
    {
        const TimerEntry& t = e.timers[i];
        const platform::AutoDate start = t.Start();
        const platform::AutoSpan duration = t.Duration();
        p.timers[i].enabled = t.enabled;
        p.timers[i].start = start.Days();
        p.timers[i].startStatus = start.IsValid() ? 0 : 1;
        p.timers[i].duration = duration.Days();
        p.timers[i].durationStatus = duration.IsValid() ? 0 : 1;
    }
    p.accuEnabled = e.accu;
    p.accuThreshold = static_cast<uint16_t>(
        std::clamp(e.accuThreshold, e.accu ? int{kMinAccuThresholdOn} : 0, kMaxAccuThreshold));
    p.ringEnabled = e.ring;
    if (e.ring)
    {
        p.ringLength = (e.ringHours * 60 + e.ringMinutes) / 1440.0;
        p.ringLengthStatus = 0;
    }
    p.buttonMode = kButtonCodes[std::clamp(e.buttonMode, 0, 2)];
    p.recordButton = e.recordButton;
    p.agc = e.agc;
    p.inputLevelLeft = static_cast<uint8_t>(std::clamp(e.inputLevel, 0, kMaxInputLevel));
    return p;
}

std::string InputLevelText(int level)
{
    if (level <= 0) return res::LoadString(res::ids::kOff);
    if (level == 30) return "48";
    if (level >= 31) return "54";
    const int halves = (level - 1) * 3; // (level - 1) x 1.5 in halves
    return std::to_string(halves / 2) + (halves % 2 ? ".5" : "");
}

int AccuNumber(int threshold)
{
    return threshold / 4 * 2;
}

std::string MaxRecordTime(uint32_t freeKilobytes, const ParamsEntries& e)
{
    const uint64_t seconds = uint64_t{freeKilobytes} * 1024 / BytesPerSecondOf(e);
    return res::FormatText("%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                           static_cast<unsigned>(seconds / 60 % 60),
                           static_cast<unsigned>(seconds % 60));
}

ParamsVerdict CheckEntries(ParamsEntries& e, const std::optional<platform::AutoDate>& clock,
                           uint32_t freeKilobytes, const std::function<bool()>& changeLoop)
{
    if (auto r = FirstOverlap(e)) return {false, r};
    if (clock)
        if (auto r = FirstInThePast(e, *clock)) return {false, r};
    if ((e.sourceLeft == 0 && e.sourceRight == 0) || (!e.stereo && e.sourceLeft == 0))
        return {false, ParamsRefusal{res::ids::kNoSignalSource, {}}};
    if (!e.ring) return {true, std::nullopt};
    if (e.ringHours <= 0 && e.ringMinutes <= 0)
        return {false, ParamsRefusal{res::ids::kZeroRingDuration, {}}};
    e.ringHours = std::clamp(e.ringHours, 0, kMaxRingHours);
    e.ringMinutes = std::clamp(e.ringMinutes, 0, kMaxRingMinutes);
    const uint64_t perMinute = uint64_t{BytesPerSecondOf(e)} * 60;
    const uint64_t needed =
        static_cast<uint64_t>(e.ringHours * 60 + e.ringMinutes) * perMinute + kLoopReserve;
    if (needed > uint64_t{freeKilobytes} * 1024 && changeLoop && changeLoop())
        return {false, std::nullopt};
    if (needed >= kLoopAddressable)
    {
        const int longest = static_cast<int>((kLoopAddressable - kLoopReserve) / perMinute);
        e.ringHours = longest / 60;
        e.ringMinutes = longest % 60;
        return {false, ParamsRefusal{res::ids::kLoopTooLong, {e.ringHours, e.ringMinutes}}};
    }
    return {true, std::nullopt};
}

} // namespace dialogs
