#include "transfer/signature.h"

#include "platform/text.h"
#include "scriba/scriba.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

using namespace vark;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace
{

void Put32(std::string& s, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + i] = static_cast<char>(v >> (8 * i));
}

// An exported file as the writer lays it out: header, data, LIST/INFO trailer.
std::string ExportedWav(const std::string& baseName, size_t dataSize)
{
    std::string wav(46, '\0');
    std::memcpy(&wav[0], "RIFFxxxxWAVEfmt ", 16);
    Put32(wav, 16, 18);
    std::memcpy(&wav[38], "data", 4);
    Put32(wav, 42, static_cast<uint32_t>(dataSize));
    for (size_t i = 0; i < dataSize; ++i)
        wav += static_cast<char>(i * 31 + 7);
    std::string trailer(156, '\0');
    std::memcpy(&trailer[0], "LIST", 4);
    Put32(trailer, 4, 148);
    std::memcpy(&trailer[8], "INFOINAM", 8);
    Put32(trailer, 16, 64);
    std::memcpy(&trailer[20], "Varke P", 7);
    std::memcpy(&trailer[84], "ICMT", 4);
    Put32(trailer, 88, 64);
    const std::string comment = "Start date-time & sound source: " + baseName.substr(0, 30);
    std::memcpy(&trailer[92], comment.data(), comment.size());
    wav += trailer;
    Put32(wav, 4, static_cast<uint32_t>(wav.size() - 8));
    return wav;
}

Sha1 HashOf(const std::string& bytes)
{
    Sha1 sha;
    sha.Input(bytes.data(), bytes.size());
    return sha;
}

class SignatureTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        wav_ = env_.Path("2024_05_01 10_20_30.wav");
        bytes_ = ExportedWav("2024_05_01 10_20_30", 200);
        WriteFile(wav_, bytes_);
        Sha1 sha = HashOf(bytes_);
        ASSERT_TRUE(Sign(wav_, sha, kSerial));
    }
    bool Check(const std::string& wav, uint32_t serial, std::wstring* name = nullptr)
    {
        std::wstring found = L"junk";
        const bool ok = Verify(wav_ + ".dsg", wav, serial, found);
        if (name) *name = found;
        return ok;
    }

    static constexpr uint32_t kSerial = 12345;
    testsupport::ScopedTestEnv env_;
    std::string wav_;
    std::string bytes_;
};

} // namespace

TEST(SerialKey, WordsTextAndStoredBytes)
{
    EXPECT_EQ(MakeSerialKey(0), kSerialKeyOffsets);
    const SerialKey k = MakeSerialKey(3);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(k[i], 3u * kSerialKeyMultiplier + kSerialKeyOffsets[i]);
    EXPECT_NE(MakeSerialKey(1), MakeSerialKey(2));

    EXPECT_EQ(SerialKeyText({0x1, 0xabcdef, 0xffffffff, 0, 0x12345678}),
              "00000001 00abcdef ffffffff 00000000 12345678");
    const auto bytes = SerialKeyBytes({0x04030201, 0, 0, 0, 0xA0B0C0D0});
    EXPECT_EQ(bytes[0], 1);
    EXPECT_EQ(bytes[3], 4);
    EXPECT_EQ(bytes[16], 0xD0);
    EXPECT_EQ(bytes[19], 0xA0);
}

TEST_F(SignatureTest, SignatureFileHoldsDigestThenKey)
{
    const std::string dsg = ReadFile(wav_ + ".dsg");
    ASSERT_EQ(dsg.size(), 40u);
    Sha1 sha = HashOf(bytes_);
    Sha1Digest digest{};
    ASSERT_EQ(sha.Result(digest), Sha1Status::kSuccess);
    EXPECT_EQ(dsg.substr(0, 20), std::string(digest.begin(), digest.end()));
    const auto key = SerialKeyBytes(MakeSerialKey(kSerial));
    EXPECT_EQ(dsg.substr(20), std::string(key.begin(), key.end()));
}

TEST_F(SignatureTest, AuthenticFileGivesItsExportedName)
{
    std::wstring name;
    EXPECT_TRUE(Check(wav_, kSerial, &name));
    EXPECT_EQ(name, L"2024_05_01 10_20_30");
}

TEST_F(SignatureTest, RenamedFileStillVerifiesAndNamesTheOriginal)
{
    const std::string renamed = env_.Path("meeting.wav");
    std::filesystem::rename(wav_, renamed);
    std::wstring name;
    EXPECT_TRUE(Check(renamed, kSerial, &name));
    EXPECT_EQ(name, L"2024_05_01 10_20_30");
}

TEST_F(SignatureTest, AnyChangedByteOrAnotherSerialFails)
{
    for (size_t at = 0; at < bytes_.size(); ++at)
    {
        std::string changed = bytes_;
        changed[at] = static_cast<char>(changed[at] ^ 0x01);
        WriteFile(wav_, changed);
        ASSERT_FALSE(Check(wav_, kSerial)) << "byte " << at;
    }
    WriteFile(wav_, bytes_ + "x");
    EXPECT_FALSE(Check(wav_, kSerial));
    WriteFile(wav_, bytes_.substr(0, bytes_.size() - 1));
    EXPECT_FALSE(Check(wav_, kSerial));

    WriteFile(wav_, bytes_);
    EXPECT_TRUE(Check(wav_, kSerial));
    EXPECT_FALSE(Check(wav_, kSerial + 1));
    EXPECT_FALSE(Check(wav_, 0));

    // A changed key word in the signature file fails as well.
    std::string dsg = ReadFile(wav_ + ".dsg");
    dsg[25] = static_cast<char>(dsg[25] ^ 0x80);
    WriteFile(wav_ + ".dsg", dsg);
    EXPECT_FALSE(Check(wav_, kSerial));
}

TEST_F(SignatureTest, LongFormCoversTheBaseNameInUtf16)
{
    std::string withName = bytes_;
    for (char c : std::string("2024_05_01 10_20_30"))
    {
        withName += c;
        withName += '\0';
    }
    Sha1 sha = HashOf(withName);
    Sha1Digest digest{};
    ASSERT_EQ(sha.Result(digest), Sha1Status::kSuccess);
    const auto key = SerialKeyBytes(MakeSerialKey(kSerial));
    WriteFile(wav_ + ".dsg", std::string(digest.begin(), digest.end()) +
                                 std::string(key.begin(), key.end()) + "\x01\x02\x03\x04");

    std::wstring name;
    EXPECT_TRUE(Check(wav_, kSerial, &name));
    EXPECT_TRUE(name.empty());
    EXPECT_FALSE(Check(wav_, kSerial + 1));
    // The name is part of the digest, so the renamed file no longer matches.
    const std::string renamed = env_.Path("2024_05_01 10_20_31.wav");
    std::filesystem::rename(wav_, renamed);
    EXPECT_FALSE(Check(renamed, kSerial));
}

TEST_F(SignatureTest, BadSignatureFilesAnswerChanged)
{
    const std::string dsg = ReadFile(wav_ + ".dsg");
    for (const std::string& bad : {std::string(), dsg.substr(0, 19), dsg.substr(0, 39),
                                   dsg + "\x01\x02\x03" /* 43: still the 40-byte form */})
    {
        WriteFile(wav_ + ".dsg", bad);
        const bool ok = Check(wav_, kSerial);
        EXPECT_EQ(ok, bad.size() == 43) << bad.size();
    }
    // A huge file reads as the 44-byte form, whose digest then does not match.
    WriteFile(wav_ + ".dsg", dsg + std::string(1 << 20, '\x5A'));
    EXPECT_FALSE(Check(wav_, kSerial));

    std::filesystem::remove(wav_ + ".dsg");
    EXPECT_FALSE(Check(wav_, kSerial));
    std::filesystem::create_directory(wav_ + ".dsg");
    EXPECT_FALSE(Check(wav_, kSerial));
}

TEST_F(SignatureTest, UnreadableOrOddWavFilesAnswerChangedAndAreLogged)
{
    const std::string log = env_.Path("Varke.log");
    ASSERT_TRUE(OpenLog(platform::Utf8ToWide(log).c_str(), 0, 0, 0));

    std::wstring name = L"junk";
    EXPECT_FALSE(Verify(wav_ + ".dsg", env_.Path("missing.wav"), kSerial, name));
    std::filesystem::create_directory(env_.Path("folder.wav"));
    EXPECT_FALSE(Verify(wav_ + ".dsg", env_.Path("folder.wav"), kSerial, name));
    EXPECT_TRUE(name.empty());
    // Short and empty files hash fine and simply do not match; no trailer, no name.
    WriteFile(env_.Path("empty.wav"), "");
    EXPECT_FALSE(Verify(wav_ + ".dsg", env_.Path("empty.wav"), kSerial, name));
    WriteFile(env_.Path("short.wav"), "RIFF");
    EXPECT_FALSE(Verify(wav_ + ".dsg", env_.Path("short.wav"), kSerial, name));
    EXPECT_TRUE(name.empty());
    CloseLog();

    const std::string text = ReadFile(log);
    size_t count = 0;
    for (size_t at = text.find("Ошибка получения хэш-кода"); at != std::string::npos;
         at = text.find("Ошибка получения хэш-кода", at + 1))
        ++count;
    EXPECT_EQ(count, 2u);
    EXPECT_NE(text.find("HASH = DA 39 A3 EE 5E 6B 4B 0D"), std::string::npos); // the empty file
}

TEST_F(SignatureTest, SignFailsOnBadTargetOrBrokenState)
{
    const std::string log = env_.Path("Varke.log");
    ASSERT_TRUE(OpenLog(platform::Utf8ToWide(log).c_str(), 0, 0, 0));
    Sha1 sha = HashOf("abc");
    EXPECT_FALSE(Sign(env_.Path("no/such/folder/x.wav"), sha, kSerial));
    Sha1 ok = HashOf("abc");
    EXPECT_TRUE(Sign(env_.Path("abc.wav"), ok, kSerial));
    Sha1 broken = HashOf("abc");
    Sha1Digest d{};
    broken.Result(d);
    broken.Input("d", 1);
    EXPECT_FALSE(Sign(env_.Path("broken.wav"), broken, kSerial));
    EXPECT_FALSE(std::filesystem::exists(env_.Path("broken.wav.dsg")));
    CloseLog();
    EXPECT_NE(
        ReadFile(log).find("HASH = A9 99 3E 36 47 06 81 6A BA 3E 25 71 78 50 C2 6C 9C D0 D8 9D"),
        std::string::npos);
}
