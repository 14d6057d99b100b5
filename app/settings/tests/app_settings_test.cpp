#include "settings/app_settings.h"

#include "platform/thread_locale.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>
#include <thread>

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace
{
std::wstring W(const std::string& s)
{
    return std::wstring(s.begin(), s.end());
}
} // namespace

TEST(AppSettings, ValidationCorrectsOutOfRangeValues)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("Varke.ini");
    WriteFile(path, "[Common]\nPauseLength=75\nRingLength=0x10\nLogLevel=12\nDigitalSign=7\n"
                    "LoadListOrder=3\nLanguage=7\nSkipStep=31\nResumeRewind=11\n"
                    "TimeStampOfDay=2\nPedalSpeed=11\n");
    CAppSettings s(W(path));
    ASSERT_TRUE(s.Load());
    EXPECT_EQ(s.SkipStep, 5u);
    EXPECT_EQ(s.ResumeRewind, 0u);
    EXPECT_EQ(s.TimeStampOfDay, 1u);
    EXPECT_EQ(s.PedalSpeed, 4u);
    EXPECT_EQ(s.PauseLength, 59u);
    EXPECT_EQ(s.RingLength, 16u);
    EXPECT_EQ(s.LogLevel, 4u);
    EXPECT_EQ(s.DigitalSign, 1u);
    EXPECT_EQ(s.LoadListOrder, 1u);

    WriteFile(path, "[Common]\nPauseLength=0\nRingLength=12abc\nLogLevel=0\n");
    CAppSettings t(W(path));
    ASSERT_TRUE(t.Load());
    EXPECT_EQ(t.PauseLength, 1u);
    EXPECT_EQ(t.RingLength, 5u);
    EXPECT_EQ(t.LogLevel, 4u);
    WriteFile(path, "[Common]\nRingLength=0\n");
    CAppSettings u(W(path));
    u.Load();
    EXPECT_EQ(u.RingLength, 5u);
}

TEST(AppSettings, AMissingFileGivesDefaultsAndIsCreatedByTheFirstSave)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("Varke.ini");
    CAppSettings s(W(path));
    EXPECT_FALSE(s.Load());
    EXPECT_EQ(s.RingLength, 5u);
    EXPECT_EQ(s.PauseLength, 1u);
    EXPECT_EQ(s.SignMode, 2u);
    EXPECT_EQ(s.LogLevel, 4u);
    s.LastExportDirectory = L"/home/user/export";
    s.PlayerOptionsWinPosX = static_cast<uint32_t>(-20);
    ASSERT_TRUE(s.Save());
    EXPECT_EQ(s.SaveCount(), 1);
    EXPECT_EQ(ReadFile(path),
              "[Common]\nOutDeviceName=\nLastExportDirectory=/home/user/export\n"
              "LastOpenWaveDirectory=\nLastOpenDsgDirectory=\nLastOpenVrpDirectory=\n"
              "RingLength=5\nPauseLength=1\nLanguage=0\nDigitalSign=0\n"
              "LoadListOrder=0\nLogLevel=4\nLogFlags=0\n"
              "PlayerOptionsWinPosX=4294967276\nPlayerOptionsWinPosY=0\n"
              "SignMode=2\nIgnoreTimerOverlapping=0\nOpenSignature=0\nBroadcastWav=0\n"
              "ExportFormat=0\nSkipStep=5\nResumeRewind=0\nTimeStampOfDay=0\n"
              "PedalHoldToPlay=1\nPedalSpeed=4\n");
    CAppSettings back(W(path));
    ASSERT_TRUE(back.Load());
    EXPECT_EQ(static_cast<int32_t>(back.PlayerOptionsWinPosX), -20);
    EXPECT_EQ(back.LastExportDirectory, L"/home/user/export");
}

TEST(AppSettings, ATabInADirectoryKeepsThePreviousValueInTheFile)
{
    testsupport::ScopedTestEnv env;
    const std::string path = env.Path("Varke.ini");
    WriteFile(path, "[Common]\nLastExportDirectory=/old\n");
    CAppSettings s(W(path));
    s.Load();
    s.LastExportDirectory = L"/new\tdir";
    s.Save();
    CAppSettings back(W(path));
    back.Load();
    EXPECT_EQ(back.LastExportDirectory, L"/old");
}

TEST(Language, StoredLanguageOrTheUsersLocaleWithEnglishFallback)
{
    testsupport::ScopedTestEnv env;
    env.Set("LC_ALL", std::nullopt);
    env.Set("LC_MESSAGES", std::nullopt);
    env.Set("LANG", std::string("ru_RU.UTF-8"));
    CAppSettings s(W(env.Path("Varke.ini")));

    EXPECT_FALSE(s.followUserLanguage); // a stored choice wins on this platform
    s.Language = 7;                     // not offered
    EXPECT_EQ(ApplyLanguage(s), 1033u);
    EXPECT_EQ(s.Language, 9u);
    s.Language = 21;
    EXPECT_EQ(ApplyLanguage(s), 1045u);
    s.Language = 0; // not chosen: the user's language
    EXPECT_EQ(ApplyLanguage(s), 1049u);

    // With the flag set the user's locale wins whatever is stored.
    s.followUserLanguage = true;
    s.Language = 21;
    env.Set("LC_MESSAGES", std::string("pt_BR.UTF-8"));
    EXPECT_EQ(ApplyLanguage(s), 1046u);
    env.Set("LC_ALL", std::string("ar_EG.UTF-8"));
    EXPECT_EQ(ApplyLanguage(s), 1025u);
    EXPECT_EQ(s.Language, 1u);
    env.Set("LC_ALL", std::string("de_DE.UTF-8"));
    EXPECT_EQ(ApplyLanguage(s), 1033u);

    // Worker threads reapply the chosen language.
    s.followUserLanguage = false;
    s.Language = 25;
    ApplyLanguage(s);
    platform::Lcid seen = 0;
    std::thread(
        [&]
        {
            platform::SetThreadLocale(1033);
            ReapplyThreadLanguage();
            seen = platform::GetThreadLocale();
        })
        .join();
    EXPECT_EQ(seen, 1049u);
    s.Language = 9;
    ApplyLanguage(s);
}
