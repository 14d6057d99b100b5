#include "platform/profile.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace platform;
using testsupport::ReadFile;
using testsupport::WriteFile;

TEST(Profile, ReadsCaseInsensitivelyAndFirstMatchWins)
{
    const auto doc =
        ProfileDocument::Parse("; comment\n[Common]\n Key = first \nkey=second\n"
                               "[common]\nOther=x\n[Quoted]\nA=\"  spaced \"\nB='x'\n");
    EXPECT_EQ(doc.Get("COMMON", "KEY"), "first");
    // A duplicate section is not searched: the first section wins.
    EXPECT_EQ(doc.Get("Common", "Other"), std::nullopt);
    EXPECT_EQ(doc.Get("quoted", "a"), "  spaced ");
    EXPECT_EQ(doc.Get("quoted", "b"), "x");
    EXPECT_EQ(doc.Get("Missing", "Key"), std::nullopt);
}

TEST(Profile, WritesKeepEveryOtherLineByteForByte)
{
    const std::string original =
        "\xEF\xBB\xBF; keep me\r\n[A]\r\nx=1\r\n\r\n[B]\r\ny = 2 ; odd\r\nno equals line\r\n";
    auto doc = ProfileDocument::Parse(original);
    ASSERT_TRUE(doc.Set("a", "X", "10"));
    ASSERT_TRUE(doc.Set("A", "new", "v"));
    ASSERT_TRUE(doc.Set("C", "z", "3"));
    EXPECT_EQ(doc.Serialize(), "\xEF\xBB\xBF; keep me\r\n[A]\r\nX=10\r\nnew=v\r\n\r\n[B]\r\n"
                               "y = 2 ; odd\r\nno equals line\r\n[C]\r\nz=3\r\n");
    EXPECT_TRUE(doc.Remove("b", "Y"));
    EXPECT_FALSE(doc.Remove("b", "y"));
    EXPECT_EQ(doc.Get("B", "y"), std::nullopt);
}

TEST(Profile, RefusesLineBreaksInNamesAndValues)
{
    ProfileDocument doc;
    EXPECT_FALSE(doc.Set("S", "k", "a\nb"));
    EXPECT_FALSE(doc.Set("S", "k\r", "v"));
    EXPECT_FALSE(doc.Set("S", "a=b", "v"));
    EXPECT_FALSE(doc.Set("S", "", "v"));
    // Found by fuzzing: these keys were "set" as lines that read back as a comment or a
    // section.
    EXPECT_FALSE(doc.Set("S", ";Vark", "v"));
    EXPECT_FALSE(doc.Set("S", " [Vark", "v"));
    EXPECT_EQ(doc.Serialize(), "");
}

TEST(Profile, FilesAreCreatedAndSavedAtomically)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("settings.ini");
    EXPECT_EQ(ProfileReadString(path, "S", "k"), std::nullopt);
    EXPECT_EQ(ProfileReadInt(path, "S", "k", 7), 7);
    ASSERT_TRUE(ProfileWriteString(path, "S", "k", "-42xyz"));
    EXPECT_EQ(ProfileReadInt(path, "S", "k", 7), -42);
    ASSERT_TRUE(ProfileWriteString(path, "S", "j", "abc"));
    EXPECT_EQ(ProfileReadInt(path, "S", "j", 7), 7);
    EXPECT_EQ(ReadFile(path), "[S]\nk=-42xyz\nj=abc\n");

    // A save into a folder that cannot be written fails and leaves the old file alone.
    ASSERT_EQ(::chmod(env.Root().c_str(), 0500), 0);
    int err = 0;
    const bool saved = ProfileWriteString(path, "S", "k", "1", &err);
    ::chmod(env.Root().c_str(), 0700);
    if (::geteuid() != 0)
    { // root ignores folder permissions
        EXPECT_FALSE(saved);
        EXPECT_NE(err, 0);
        EXPECT_EQ(ReadFile(path), "[S]\nk=-42xyz\nj=abc\n");
    }
    // A path that is a folder reads as nothing and cannot be written.
    EXPECT_EQ(ProfileReadString(env.Root(), "S", "k"), std::nullopt);
    EXPECT_FALSE(ProfileWriteString(env.Root(), "S", "k", "1"));
}

TEST(Profile, StructuresAreUpperCaseHexWithChecksum)
{
    const uint8_t bytes[] = {0x01, 0xAB, 0xFF};
    EXPECT_EQ(EncodeProfileStruct(bytes, 3), "01ABFFAB");
    EXPECT_EQ(EncodeProfileStruct(bytes, 0), "00");
    testsupport::ScopedTestEnv env;
    ASSERT_TRUE(ProfileWriteStruct(env.Path("s.ini"), "Common", "Blob", bytes, 3));
    EXPECT_EQ(ProfileReadString(env.Path("s.ini"), "common", "blob"), "01ABFFAB");
    ASSERT_TRUE(ProfileDeleteKey(env.Path("s.ini"), "COMMON", "BLOB"));
    EXPECT_EQ(ReadFile(env.Path("s.ini")), "[Common]\n");
}

TEST(Profile, HugeAndBinaryLinesDoNotBreakParsing)
{
    std::string junk(200000, 'x');
    junk += "\n[S]\n";
    junk += std::string("\0\xFF\xFE=1\n", 6);
    junk += "k=" + std::string(100000, 'v') + "\n";
    const auto doc = ProfileDocument::Parse(junk);
    EXPECT_EQ(doc.Get("S", "k")->size(), 100000u);
    EXPECT_EQ(doc.Serialize(), junk);
}
