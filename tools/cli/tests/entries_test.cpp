#include "entries.h"

#include <gtest/gtest.h>

using namespace cli;

namespace
{
Args Make(std::map<std::string, std::string> options)
{
    Args a;
    a.options = std::move(options);
    return a;
}
} // namespace

TEST(Entries, RecordListsAreNumbersAndRisingRanges)
{
    EXPECT_EQ(ParseRecordList("1,3-5"), (std::vector<int>{1, 3, 4, 5}));
    EXPECT_EQ(ParseRecordList("5,2-3,3,1"), (std::vector<int>{1, 2, 3, 5}));
    EXPECT_EQ(ParseRecordList("65535"), (std::vector<int>{65535}));
    EXPECT_EQ(ParseRecordList("7-7"), (std::vector<int>{7}));
    for (const char* bad : {"", ",", "1,", ",1", "0", "-3", "3-", "4-2", "1-2-3", "x", " 1", "+1",
                            "65536", "99999999999", "1;2"})
        EXPECT_FALSE(ParseRecordList(bad).has_value()) << bad;
}

TEST(Entries, ExportOptionsFollowTheDialogsRules)
{
    const ExportRequest r = ParseExportRequest(
        Make({{"--out", "/tmp/o"}, {"--records", "2"}, {"--pause", " 7 "}, {"--sign", ""}}));
    EXPECT_EQ(r.records, (std::vector<int>{2}));
    EXPECT_EQ(r.pauseMode, vark::PauseMode::kFixed);
    EXPECT_EQ(r.pauseSeconds, 7);
    EXPECT_TRUE(r.sign);
    EXPECT_EQ(r.existing, Existing::kAsk);

    const ExportRequest real = ParseExportRequest(Make({{"--out", "o"},
                                                        {"--all", ""},
                                                        {"--real-pause", ""},
                                                        {"--skip-existing", ""},
                                                        {"--yes", ""}}));
    EXPECT_EQ(real.pauseMode, vark::PauseMode::kReal);
    EXPECT_EQ(real.existing, Existing::kSkip);
    EXPECT_TRUE(real.yes);
    // The dialog's default: a fixed pause of one second.
    EXPECT_EQ(ParseExportRequest(Make({{"--out", "o"}, {"--all", ""}})).pauseSeconds, 1);

    for (const char* pause : {"0", "60", "-1", "1.5", ""})
        EXPECT_THROW(ParseExportRequest(Make({{"--out", "o"}, {"--all", ""}, {"--pause", pause}})),
                     UsageError)
            << pause;
    EXPECT_THROW(ParseExportRequest(Make({{"--out", ""}, {"--all", ""}})), UsageError);
}

TEST(Entries, SerialNumbersAreDecimalWithin32Bits)
{
    EXPECT_EQ(ParseSerial("321"), 321u);
    EXPECT_EQ(ParseSerial("+7"), 7u);
    EXPECT_EQ(ParseSerial("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseSerial("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseSerial("-2147483648"), 0x80000000u);
    for (const char* bad : {"", "0", "-0", "-", "4294967296", "-2147483649", "12 ", "0x10", "1e3"})
        EXPECT_FALSE(ParseSerial(bad).has_value()) << bad;
    // A device number above 32767 reads back negative; its signature serial is that number.
    EXPECT_EQ(SignatureSerial(static_cast<int16_t>(-5)), *ParseSerial("-5"));
    EXPECT_EQ(SignatureSerial(1001), 1001u);
    // The PIN dialog shows a device number unsigned: typed that way it is the same serial.
    EXPECT_EQ(ParseSerial("40000"), SignatureSerial(static_cast<int16_t>(40000)));
    EXPECT_EQ(ParseSerial("40000"), ParseSerial("-25536"));
    EXPECT_EQ(ParseSerial("32768"), 0xFFFF8000u);
    EXPECT_EQ(ParseSerial("65535"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseSerial("32767"), 32767u);
    EXPECT_EQ(ParseSerial("65536"), 65536u);
}

TEST(Entries, AnswersInTheUsersLanguage)
{
    EXPECT_TRUE(IsYesAnswer("y", "Yes", "No"));
    EXPECT_TRUE(IsYesAnswer(" YES\r", "Yes", "No"));
    EXPECT_FALSE(IsYesAnswer("", "Yes", "No"));
    EXPECT_FALSE(IsYesAnswer("n", "Yes", "No"));
    EXPECT_FALSE(IsYesAnswer("yep", "Yes", "No"));
    EXPECT_TRUE(IsYesAnswer("да", "Да", "Нет"));
    EXPECT_TRUE(IsYesAnswer("Д", "Да", "Нет"));
    EXPECT_FALSE(IsYesAnswer("н", "Да", "Нет"));
    EXPECT_TRUE(IsYesAnswer("t", "Tak", "Nie"));
    EXPECT_TRUE(IsYesAnswer("SIM", "Sim", "Não"));
    EXPECT_FALSE(IsYesAnswer("NÃO", "Sim", "Não"));
    EXPECT_TRUE(IsYesAnswer("نعم", "نعم", "لا"));
    // A first letter shared by Yes and No decides nothing.
    EXPECT_FALSE(IsYesAnswer("n", "Na", "Nein"));
}

TEST(Entries, PlayTakesAFileOrARecord)
{
    Args file = Make({{"--gain", "80"}, {"--denoiser", "1,20000"}});
    file.positional = {"talk.wav"};
    const PlayRequest f = ParsePlayRequest(file);
    EXPECT_EQ(f.file, "talk.wav");
    EXPECT_EQ(f.record, 0);
    EXPECT_EQ(f.gain, 80);
    EXPECT_EQ(f.ncMode, 1);
    EXPECT_EQ(f.ncDepth, 20000);

    const PlayRequest r = ParsePlayRequest(Make({{"--record", "3"}, {"--from", "1500"}}));
    EXPECT_EQ(r.record, 3);
    EXPECT_EQ(r.from, 1500);
    EXPECT_TRUE(r.file.empty());
    EXPECT_FALSE(ParsePlayRequest(Make({{"--record", "1"}})).from.has_value());

    Args both = Make({{"--record", "1"}});
    both.positional = {"talk.wav"};
    EXPECT_THROW(ParsePlayRequest(both), UsageError);
    Args fromFile = Make({{"--from", "0"}});
    fromFile.positional = {"talk.wav"};
    EXPECT_THROW(ParsePlayRequest(fromFile), UsageError);
    EXPECT_THROW(ParsePlayRequest(Make({})), UsageError);
    for (const char* bad : {"0", "65536", "-1", "x", ""})
        EXPECT_THROW(ParsePlayRequest(Make({{"--record", bad}})), UsageError) << bad;
    for (const char* bad : {"-1", "2147483648", "1s", ""})
        EXPECT_THROW(ParsePlayRequest(Make({{"--record", "1"}, {"--from", bad}})), UsageError)
            << bad;
    for (const auto& [name, value] :
         std::vector<std::pair<std::string, std::string>>{{"--gain", "101"},
                                                          {"--ring", "0"},
                                                          {"--denoiser", "1"},
                                                          {"--denoiser", "2,5"},
                                                          {"--agc", "x"},
                                                          {"--stretch", "101"}})
        EXPECT_THROW(ParsePlayRequest(Make({{"--record", "1"}, {name, value}})), UsageError)
            << name << " " << value;
}
