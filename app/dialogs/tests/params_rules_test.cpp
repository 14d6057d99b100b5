// The dialog's rules without a window: mapping to and from the record, the texts, the checks.
#include "dialogs/params_rules.h"

#include "platform/thread_locale.h"
#include "res/string_ids.h"

#include <gtest/gtest.h>

using namespace dialogs;
using namespace vark;

namespace
{

ParamsEntries Accepted()
{
    ParamsEntries e = DefaultEntries(platform::AutoDate::FromParts(2027, 1, 2, 8, 0, 0));
    e.sourceLeft = 1;
    return e;
}

void SetTimer(ParamsEntries& e, int i, int hour, int minute, int hours, int minutes)
{
    e.timers[i] = {true, 2027, 1, 2, hour, minute, hours, minutes};
}

ParamsVerdict Check(ParamsEntries& e, std::optional<platform::AutoDate> clock = std::nullopt,
                    uint32_t freeKilobytes = 64 * 1024, bool changeLoop = false,
                    int* asked = nullptr)
{
    return CheckEntries(e, clock, freeKilobytes,
                        [&]
                        {
                            if (asked) ++*asked;
                            return changeLoop;
                        });
}

TEST(ParamsRules, RecordAndEntriesMapBothWays)
{
    ParamsEntries e = Accepted();
    e.sourceLeft = 3;
    e.sourceRight = 2;
    e.stereo = e.compression = e.agc = e.accu = e.ring = e.recordButton = true;
    e.rate = 0;
    e.inputLevel = 17;
    e.accuThreshold = 99;
    e.ringHours = 3;
    e.ringMinutes = 7;
    e.buttonMode = 0;
    SetTimer(e, 3, 23, 30, 2, 15);
    VarkParams base;
    base.inputLevelRight = 9; // never edited
    base.pad154[0] = 0xAB;
    const VarkParams p = ParamsFromEntries(base, e);
    EXPECT_EQ(p.sourceLeft, source::kLeftLine);
    EXPECT_EQ(p.sourceRight, source::kRightExternalMic);
    EXPECT_EQ(p.buttonMode, 1); // "Locked" is the recorder's 1
    EXPECT_EQ(p.rate16k, 0);
    EXPECT_EQ(p.inputLevelRight, 9);
    EXPECT_EQ(p.pad154[0], 0xAB);
    EXPECT_DOUBLE_EQ(p.ringLength, 187 / 1440.0);
    EXPECT_EQ(p.timers[3].enabled, 1u);
    EXPECT_EQ(platform::AutoDate(p.timers[3].start).Format("%Y-%m-%d %H:%M:%S"),
              "2027-01-02 23:30:00");
    EXPECT_DOUBLE_EQ(p.timers[3].duration, 135 / 1440.0);

    const ParamsEntries back = EntriesFromParams(p, Accepted());
    EXPECT_EQ(ParamsFromEntries(base, back), p);
    EXPECT_EQ(back.timers[3].durationMinutes, 15);
    EXPECT_FALSE(back.timers[0].enabled);

    // the loop field keeps its preset while the loop is off, and the record's length with it
    VarkParams off = p;
    off.ringEnabled = 0;
    off.ringLength = 0.0625;
    EXPECT_EQ(EntriesFromParams(off, Accepted()).ringHours, 1);
    e.ring = false;
    EXPECT_DOUBLE_EQ(ParamsFromEntries(off, e).ringLength, 0.0625);

    // values out of range from a file or the recorder show clamped or as the first entry
    VarkParams wild;
    wild.sourceLeft = 99;
    wild.sourceRight = 8; // the left channel's code for the external mic
    wild.rate16k = 7;
    wild.inputLevelLeft = 200;
    wild.accuThreshold = 500;
    wild.buttonMode = -4;
    wild.ringEnabled = 1;
    wild.ringLength = 1e300;
    wild.timers[0] = {1, 1e300, 0, -5, 0};
    const ParamsEntries shown = EntriesFromParams(wild, Accepted());
    EXPECT_EQ(shown.sourceLeft, 0);
    EXPECT_EQ(shown.sourceRight, 0);
    EXPECT_EQ(shown.rate, 1);
    EXPECT_EQ(shown.inputLevel, 31);
    EXPECT_EQ(shown.accuThreshold, 120);
    EXPECT_EQ(shown.buttonMode, 1);
    EXPECT_EQ(shown.ringHours * 60 + shown.ringMinutes, 74 * 60 + 59);
    EXPECT_FALSE(shown.timers[0].enabled); // a start no calendar holds keeps the preset

    // voice activation on at threshold 0 is what the recorder stores as off: shown as off,
    // and never written as on at 0
    VarkParams zero;
    zero.accuEnabled = 1;
    EXPECT_FALSE(EntriesFromParams(zero, Accepted()).accu);
    ParamsEntries onAtZero = Accepted();
    onAtZero.accu = true;
    onAtZero.accuThreshold = 0;
    const VarkParams written = ParamsFromEntries(VarkParams{}, onAtZero);
    EXPECT_TRUE(written.accuEnabled);
    EXPECT_EQ(written.accuThreshold, 1u);
}

TEST(ParamsRules, Texts)
{
    platform::SetThreadLocale(1033);
    const std::pair<int, const char*> levels[] = {{0, "off"}, {1, "0"},   {2, "1.5"}, {3, "3"},
                                                  {29, "42"}, {30, "48"}, {31, "54"}};
    for (const auto& [level, text] : levels)
        EXPECT_EQ(InputLevelText(level), text) << level;
    EXPECT_EQ(AccuNumber(60), 30);
    EXPECT_EQ(AccuNumber(7), 2);
    EXPECT_EQ(AccuNumber(120), 60);

    ParamsEntries e = Accepted();
    e.rate = 0;
    e.compression = true;
    EXPECT_EQ(MaxRecordTime(16000, e), "0:34:08");
    e.rate = 1;
    e.stereo = true;
    e.compression = false;
    EXPECT_EQ(MaxRecordTime(4000000000u, e), "17777:46:40"); // hours beyond a day, no overflow
    EXPECT_EQ(MaxRecordTime(0, e), "0:00:00");
}

TEST(ParamsRules, TimerOverlapAndPastWithOneSecondMargins)
{
    ParamsEntries e = Accepted();
    SetTimer(e, 0, 10, 0, 1, 0);
    SetTimer(e, 1, 11, 0, 0, 30);
    EXPECT_TRUE(Check(e).accepted);
    SetTimer(e, 1, 10, 59, 0, 30);
    auto v = Check(e);
    ASSERT_TRUE(v.refusal);
    EXPECT_EQ(v.refusal->textId, res::ids::kTimersOverlap);
    EXPECT_EQ(v.refusal->args[0], 1);
    EXPECT_EQ(v.refusal->args[1], 2);

    // pairs in order 1-2, 1-3, ... 4-5: 3 and 5 overlap, 2 and 4 too; 2-4 comes first
    e = Accepted();
    SetTimer(e, 1, 9, 0, 1, 0);
    SetTimer(e, 2, 12, 0, 1, 0);
    SetTimer(e, 3, 9, 30, 1, 0);
    SetTimer(e, 4, 12, 30, 1, 0);
    v = Check(e);
    ASSERT_TRUE(v.refusal);
    EXPECT_EQ(v.refusal->args[0], 2);
    EXPECT_EQ(v.refusal->args[1], 4);
    e.timers[3].enabled = false; // a timer that is off overlaps nothing
    v = Check(e);
    ASSERT_TRUE(v.refusal);
    EXPECT_EQ(v.refusal->args[0], 3);
    EXPECT_EQ(v.refusal->args[1], 5);

    // in the past: before the recorder's time + 5 s; no clock, no check
    e = Accepted();
    SetTimer(e, 2, 10, 0, 1, 0);
    const auto at = [](int h, int m, int s)
    { return platform::AutoDate::FromParts(2027, 1, 2, h, m, s); };
    EXPECT_TRUE(Check(e, at(9, 59, 55)).accepted);
    v = Check(e, at(9, 59, 56));
    ASSERT_TRUE(v.refusal);
    EXPECT_EQ(v.refusal->textId, res::ids::kTimerInThePast);
    EXPECT_EQ(v.refusal->args[0], 3);
    EXPECT_TRUE(Check(e, std::nullopt).accepted);
    // overlap is reported before the past
    SetTimer(e, 4, 10, 30, 1, 0);
    EXPECT_EQ(Check(e, at(12, 0, 0)).refusal->textId, res::ids::kTimersOverlap);
}

TEST(ParamsRules, Sources)
{
    ParamsEntries e = Accepted();
    e.sourceLeft = 0;
    e.sourceRight = 1;
    EXPECT_EQ(Check(e).refusal->textId, res::ids::kNoSignalSource); // mono needs the left source
    e.stereo = true;
    EXPECT_TRUE(Check(e).accepted);
    e.sourceRight = 0;
    EXPECT_EQ(Check(e).refusal->textId, res::ids::kNoSignalSource);
}

TEST(ParamsRules, LoopZeroMemoryAndAddressLimit)
{
    ParamsEntries e = Accepted();
    e.ring = true;
    e.ringHours = e.ringMinutes = 0;
    int asked = 0;
    EXPECT_EQ(Check(e, {}, 64 * 1024, false, &asked).refusal->textId, res::ids::kZeroRingDuration);
    EXPECT_EQ(asked, 0);

    // 16 kHz stereo uncompressed: 3840000 bytes a minute, 558 minutes at most
    e.rate = 1;
    e.stereo = true;
    e.sourceRight = 1;
    e.ringHours = 99;
    e.ringMinutes = 75;
    auto v = Check(e, {}, 64 * 1024, false, &asked);
    EXPECT_EQ(asked, 1); // far more than is free: asked first, "No" goes on
    ASSERT_TRUE(v.refusal);
    EXPECT_EQ(v.refusal->textId, res::ids::kLoopTooLong);
    EXPECT_EQ(v.refusal->args[0], 9);
    EXPECT_EQ(v.refusal->args[1], 18);
    EXPECT_EQ(e.ringHours, 9);
    EXPECT_EQ(e.ringMinutes, 18);
    // 9:18 itself fits below 2^31 bytes; with room enough no question
    asked = 0;
    EXPECT_TRUE(Check(e, {}, 4000000, false, &asked).accepted);
    EXPECT_EQ(asked, 0);
    e.ringMinutes = 19;
    EXPECT_EQ(Check(e, {}, 4000000).refusal->textId, res::ids::kLoopTooLong);

    // "Yes, change the length" stops with nothing refused and nothing accepted
    e.ringHours = 1;
    e.ringMinutes = 0;
    v = Check(e, {}, 1000, true, &asked);
    EXPECT_FALSE(v.accepted);
    EXPECT_FALSE(v.refusal);
    // 1 minute of 8 kHz mono compressed plus 1 MiB: just enough free, then a kilobyte less
    e = Accepted();
    e.ring = true;
    e.rate = 0;
    e.compression = true;
    e.ringHours = 0;
    e.ringMinutes = 1;
    asked = 0;
    EXPECT_TRUE(Check(e, {}, (480000 + 1048576) / 1024 + 1, false, &asked).accepted);
    EXPECT_EQ(asked, 0);
    EXPECT_TRUE(Check(e, {}, (480000 + 1048576) / 1024, false, &asked).accepted);
    EXPECT_EQ(asked, 1);
}

} // namespace
