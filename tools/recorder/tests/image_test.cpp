#include "recorder/image.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>

using namespace recorder;
using testsupport::ScopedTestEnv;

namespace
{
RecorderImage Sample()
{
    RecorderImage img;
    img.identity.serial = -3;
    img.identity.firmware = 0x0100;
    img.identity.charging = true;
    img.settings.accessCode = 0x1234;
    img.settings.clockOffset = -7200;
    img.settings.timers[2] = {800000000, 3600};
    img.settings.levelLeft = 31;
    img.settings.loopSeconds = 5400;
    StoredRecord r;
    r.start = 123456789;
    r.header = kHeaderRate16k | kHeaderStereo | kHeaderUncompressed | kHeaderMarkA |
               (17u << kHeaderSourcesShift);
    r.data = {1, 2, 3, 4, 5, 6, 7, 8};
    img.records.push_back(r);
    r.header = kHeaderMarkT;
    r.data = {0xFF, 0x7F, 0x00};
    img.records.push_back(r);
    return img;
}

std::string LoadError(const std::string& dir)
{
    RecorderImage img;
    std::string error;
    EXPECT_FALSE(LoadImage(dir, &img, &error));
    return error;
}
} // namespace

TEST(RecorderImage, SaveAndLoadRoundTrip)
{
    ScopedTestEnv env;
    const RecorderImage img = Sample();
    std::string error;
    ASSERT_TRUE(SaveImage(env.Path("img"), img, &error)) << error;
    RecorderImage back;
    ASSERT_TRUE(LoadImage(env.Path("img"), &back, &error)) << error;
    EXPECT_EQ(back.identity.serial, -3);
    EXPECT_EQ(back.identity.firmware, 0x0100);
    EXPECT_TRUE(back.identity.charging);
    EXPECT_EQ(back.settings, img.settings);
    ASSERT_EQ(back.records.size(), 2u);
    EXPECT_EQ(back.records[0].data, img.records[0].data);
    EXPECT_EQ(back.records[0].header, img.records[0].header);
    EXPECT_EQ(back.records[1].start, 123456789u);
    // Fewer records: the files no longer named go.
    back.records.pop_back();
    ASSERT_TRUE(SaveImage(env.Path("img"), back, &error));
    EXPECT_FALSE(testsupport::FileExists(env.Path("img/record-001.raw")));
    const std::string text = testsupport::ReadFile(env.Path("img/recorder.txt"));
    EXPECT_NE(text.find("start = 2003-11-29 21:33:09"), std::string::npos) << text;
}

TEST(RecorderImage, CorruptImagesNameTheFileAndLine)
{
    ScopedTestEnv env;
    const std::string dir = env.Path("img");
    std::string error;
    ASSERT_TRUE(SaveImage(dir, Sample(), &error));
    const std::string good = testsupport::ReadFile(dir + "/recorder.txt");
    const std::string state = dir + "/recorder.txt";

    EXPECT_EQ(LoadError(env.Path("missing")),
              env.Path("missing") + "/recorder.txt: cannot be read");
    struct Case
    {
        std::string text, expect;
    };
    const Case cases[] = {
        {"[recorder]\nserial = 12\nbogus = 1\n", state + ":3: unknown key 'bogus'"},
        {"serial = 1\n", state + ":1: key outside a section"},
        {"[recorder]\nfirmware = 0x10000\n", state + ":2: bad value '0x10000' for 'firmware'"},
        {"[recorder]\nlevel_left = 32\n", state + ":2: bad value '32' for 'level_left'"},
        {"[recorder]\ntimer1 = 5\n", state + ":2: bad value '5' for 'timer1'"},
        {"[recorder]\nserial = 1\nserial = 2\n", state + ":3: duplicate key 'serial'"},
        {"[nonsense]\n", state + ":1: unknown section [nonsense]"},
        {"[recorder\n", state + ":1: malformed section line"},
        {"[recorder]\njust text\n", state + ":2: expected key = value"},
        {"[record]\nstart = 2026-02-30 10:00:00\n", state + ":2: bad start time"},
        {"[record]\nheader = 0x800\n", state + ":2: bad header word"},
        {"[record]\ndata = ../etc/passwd\n", state + ":2: data must name a file"},
        {"[record]\nstart = 2026-01-01 10:00:00\n[recorder]\n", state + ":3: record needs"},
        {"[record]\nstart = 2026-01-01 10:00:00\nheader = 4\ndata = none.raw\n",
         dir + "/none.raw: cannot be read (record at " + state + ":1)"},
        {"[record]\nstart = 2026-01-01 10:00:00\nheader = 0x6\ndata = record-001.raw\n",
         dir + "/record-001.raw: 3 bytes is not a whole number of sample frames"},
    };
    for (const Case& c : cases)
    {
        testsupport::WriteFile(state, c.text);
        EXPECT_EQ(LoadError(dir).rfind(c.expect, 0), 0u) << LoadError(dir);
    }
    testsupport::WriteFile(state, good);
    RecorderImage img;
    EXPECT_TRUE(LoadImage(dir, &img, &error)) << error;
}

TEST(RecorderImage, TimesAndPins)
{
    uint32_t s = 0;
    ASSERT_TRUE(ParseRecorderTime("2000-01-01 00:00:00", &s));
    EXPECT_EQ(s, 0u);
    ASSERT_TRUE(ParseRecorderTime("2024-02-29 23:59:59", &s));
    EXPECT_EQ(FormatRecorderTime(s), "2024-02-29 23:59:59");
    EXPECT_EQ(FormatRecorderTime(86400 * 366), "2001-01-01 00:00:00");
    for (const char* bad : {"1999-12-31 23:59:59", "2023-02-29 10:00:00", "2026-13-01 00:00:00",
                            "2026-01-01 24:00:00", "2026-01-01", "2026-01-01 10:00:00x"})
        EXPECT_FALSE(ParseRecorderTime(bad, &s)) << bad;

    uint32_t code = 99;
    EXPECT_TRUE(PinToAccessCode("", &code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(PinToAccessCode("1234", &code));
    EXPECT_EQ(code, 0x1234u);
    EXPECT_TRUE(PinToAccessCode("71234567", &code));
    EXPECT_EQ(code, 0x71234567u);
    EXPECT_TRUE(PinToAccessCode("91234567", &code));
    EXPECT_EQ(code, 0x7FFFFFFFu);
    EXPECT_FALSE(PinToAccessCode("123456789", &code));
    EXPECT_FALSE(PinToAccessCode("12a4", &code));
}
