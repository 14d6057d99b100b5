#include "params_keys.h"

#include <gtest/gtest.h>

using namespace cli;

TEST(ParamsKeys, EveryShownKeyCanBeSetBackExceptTheReadOnlyOne)
{
    vark::VarkParams p;
    p.rate16k = 1;
    p.sourceLeft = 8;
    p.sourceRight = 16;
    p.buttonMode = 2;
    p.ringLength = 0.0625;
    p.timers[2].enabled = 1;
    p.timers[2].start = platform::AutoDate::FromParts(2030, 3, 4, 5, 6, 0).Days();
    p.timers[2].duration = platform::AutoSpan::FromParts(0, 0, 45, 0).Days();
    vark::VarkParams copy;
    std::string error;
    for (const auto& [k, v] : ParamsToKeys(p))
    {
        if (k == "input-level-right")
        {
            EXPECT_FALSE(SetParamKey(copy, k, v, error));
            continue;
        }
        if (k.find(".start") != std::string::npos && v == "1899-12-30 00:00:00") continue;
        ASSERT_TRUE(SetParamKey(copy, k, v, error)) << k << "=" << v << ": " << error;
    }
    EXPECT_EQ(ParamsToKeys(copy), ParamsToKeys(p));
}

TEST(ParamsKeys, WrongEntriesAreRefusedWithAReason)
{
    vark::VarkParams p;
    std::string error;
    for (const auto& [k, v] :
         std::vector<std::pair<std::string, std::string>>{{"rate", "44100"},
                                                          {"voice-threshold", "121"},
                                                          {"input-level", "-1"},
                                                          {"input-level", "3x"},
                                                          {"timer6.enabled", "on"},
                                                          {"timer1.start", "2030-13-01 00:00:00"},
                                                          {"timer1.duration", "1:60"},
                                                          {"loop-length", "0:00"},
                                                          {"source-left", "mic"},
                                                          {"button-mode", "3"},
                                                          {"agc", "maybe"}})
    {
        error.clear();
        EXPECT_FALSE(SetParamKey(p, k, v, error)) << k << "=" << v;
        EXPECT_FALSE(error.empty());
    }
    EXPECT_EQ(ParamsToKeys(p), ParamsToKeys(vark::VarkParams{}));
}
