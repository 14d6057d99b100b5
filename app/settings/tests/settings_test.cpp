#include "settings/settings.h"

#include "testsupport/test_env.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace
{

// A settings class with one key of each kind, as the program's classes are built.
class Sample : public CIniFileSettings
{
public:
    using CIniFileSettings::CIniFileSettings;
    std::wstring text = L"default";
    uint32_t number = 5;
    uint8_t blob[4] = {1, 2, 3, 4};

protected:
    void Exchange(bool saving) override
    {
        ExchangeString(saving, L"Text", text);
        ExchangeUInt(saving, L"Number", number);
        ExchangeFixedBinary(saving, L"Blob", blob, sizeof blob);
    }
};

std::wstring W(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}

} // namespace

TEST(ParseUInt32Base0, FollowsTheThirtyTwoBitRuntime)
{
    uint32_t v = 99;
    EXPECT_TRUE(ParseUInt32Base0(L"0x10", v));
    EXPECT_EQ(v, 16u);
    EXPECT_TRUE(ParseUInt32Base0(L"010", v));
    EXPECT_EQ(v, 8u);
    EXPECT_TRUE(ParseUInt32Base0(L"4294967295", v));
    EXPECT_EQ(v, 0xFFFFFFFFu);
    EXPECT_TRUE(ParseUInt32Base0(L"-10", v)); // negative values wrap, as positions are stored
    EXPECT_EQ(v, 4294967286u);
    v = 7;
    for (const wchar_t* bad : {L"", L"12abc", L"4294967296", L"0x", L"09", L"-", L" 1 2", L"0x1g"})
        EXPECT_FALSE(ParseUInt32Base0(bad, v)) << bad;
    EXPECT_EQ(v, 7u);
}

TEST(ReadProfileBinary, AcceptsOnlyValidUpperCaseValuesWithTheirChecksum)
{
    std::vector<uint8_t> block;
    // The first line is lower case, the second has a wrong checksum, the third is good.
    const std::string file = "[Other]\r\nKey=0102030609\r\n[Common]\r\nKey=0a0b15\r\n"
                             "Key=01020304\r\nKey=01020306\r\nKey=999\r\n";
    ASSERT_TRUE(ReadProfileBinary(file, L"common", L"KEY", block));
    EXPECT_EQ(block, (std::vector<uint8_t>{1, 2, 3}));

    EXPECT_FALSE(ReadProfileBinary("[Common]\nKey=0A0B\n", L"Common", L"Key", block));
    EXPECT_FALSE(ReadProfileBinary("[Common]\nKey=00\n", L"Common", L"Key", block));
    // The wanted section ends at the next section line, even one of the same name.
    EXPECT_FALSE(
        ReadProfileBinary("[Common]\nX=1\n[Common]\nKey=0101\n", L"Common", L"Key", block));
    // An empty value is an empty block.
    block = {9};
    EXPECT_TRUE(ReadProfileBinary("[Common]\nKey=\n", L"Common", L"Key", block));
    EXPECT_TRUE(block.empty());
    // A section line missing its bracket still opens the section.
    EXPECT_TRUE(ReadProfileBinary("[Common\nKey=0505\n", L"Common", L"Key", block));
    EXPECT_FALSE(ReadProfileBinary("", L"Common", L"Key", block));
}

TEST(IniFileSettings, RoundTripKeepsOtherLinesAndUnreadableValuesKeepDefaults)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("s.ini");
    WriteFile(path, "; mine\n[Other]\nText=elsewhere\n[Common]\nNumber=12abc\n"
                    "Text=\xFF\xFE not utf8\nBlob=0102030409\nExtra=kept\n");
    Sample s(W(path), L"Common");
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(s.text, L"default");
    EXPECT_FALSE(s.ExchangeSucceeded(&s.text));
    EXPECT_EQ(s.number, 5u);
    EXPECT_FALSE(s.ExchangeSucceeded(&s.number));
    EXPECT_EQ(s.blob[3], 4); // 01020304 with checksum 0A would be right; 09 is not
    EXPECT_FALSE(s.ExchangeSucceeded(s.blob));

    s.text = L"\u0437\u0430\u043f\u0438\u0441\u044c";
    s.number = 4000000000u;
    s.blob[0] = 0xAB;
    ASSERT_TRUE(s.Save());
    EXPECT_EQ(ReadFile(path), "; mine\n[Other]\nText=elsewhere\n[Common]\nNumber=4000000000\n"
                              "Text=\xD0\xB7\xD0\xB0\xD0\xBF\xD0\xB8\xD1\x81\xD1\x8C\nExtra=kept\n"
                              "Blob=AB020304B4\n");

    Sample again(W(path), L"Common");
    ASSERT_TRUE(again.Load());
    EXPECT_EQ(again.text, s.text);
    EXPECT_EQ(again.number, 4000000000u);
    EXPECT_EQ(again.blob[0], 0xAB);
    // Saving twice leaves one line per key.
    ASSERT_TRUE(again.Save());
    ASSERT_TRUE(again.Save());
    EXPECT_EQ(ReadFile(path), ReadFile(path)); // stable
    const auto text = ReadFile(path);
    EXPECT_EQ(text.find("Blob="), text.rfind("Blob="));
}

TEST(IniFileSettings, StringsWithBreaksOrTabsAreNotSaved)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("s.ini");
    WriteFile(path, "[Common]\nText=old\n");
    Sample s(W(path), L"Common");
    s.text = L"tab\there";
    ASSERT_TRUE(s.Save());
    EXPECT_FALSE(s.ExchangeSucceeded(&s.text));
    EXPECT_TRUE(s.ExchangeSucceeded(&s.number));
    EXPECT_NE(ReadFile(path).find("Text=old\n"), std::string::npos);
    s.text = std::wstring(32768, L'x');
    ASSERT_TRUE(s.Save());
    EXPECT_NE(ReadFile(path).find("Text=old\n"), std::string::npos);
    s.text = std::wstring(32767, L'x');
    ASSERT_TRUE(s.Save());
    EXPECT_NE(ReadFile(path).find("Text=xxx"), std::string::npos);
}

TEST(IniFileSettings, MissingOrUnreadableFilesKeepEveryDefault)
{
    testsupport::ScopedTestEnv env;
    Sample missing(W(env.Path("none.ini")), L"Common");
    EXPECT_FALSE(missing.Load());
    EXPECT_EQ(missing.LastError(), 2u); // ENOENT
    EXPECT_FALSE(missing.LastErrorText().empty());
    EXPECT_EQ(missing.text, L"default");

    Sample folder(W(env.Root()), L"Common");
    EXPECT_FALSE(folder.Load());
    EXPECT_FALSE(folder.Save());
    EXPECT_EQ(folder.number, 5u);

    // The first save creates the file.
    ASSERT_TRUE(missing.Save());
    EXPECT_EQ(ReadFile(env.Path("none.ini")),
              "[Common]\nText=default\nNumber=5\nBlob=010203040A\n");
}

TEST(IniFileSettings, AFailedSaveLeavesTheOldFile)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("s.ini");
    WriteFile(path, "[Common]\nNumber=1\n");
    Sample s(W(path), L"Common");
    s.text = std::wstring(5000, L'x');
    const auto entries = [&]
    {
        int n = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(env.Root()))
            ++n;
        return n;
    };
    const int before = entries();
    // A full disk, as far as this process can tell: writes beyond 64 bytes fail.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = s.Save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(saved);
    EXPECT_NE(s.LastError(), 0u);
    EXPECT_EQ(ReadFile(path), "[Common]\nNumber=1\n");
    // No temporary file is left behind.
    EXPECT_EQ(entries(), before);
}

TEST(IniFileSettings, RelativePathsAndEmptyNamesTakeTheDefaults)
{
    testsupport::ScopedTestEnv env;
    Sample s(L"dir\\file.ini", L"");
    EXPECT_EQ(s.Path(), W(env.Root() + "/config/file.ini"));
    EXPECT_EQ(s.Section(), L"Varke");
    Sample d(L"", L"X");
    EXPECT_EQ(d.Path(), W(env.Root() + "/config/Varke.ini"));
}
