// The host's own settings file lies beside the test program; only this program writes it, and
// in one test, so parallel tests never see each other's settings.
#include "movra/datasrc_file.h"

#include "faltor/journal.h"
#include "movra/open_strategy.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "testsupport/test_env.h"
#include "wave_bytes.h"

#include <gtest/gtest.h>

#include <cstdio>

TEST(FileSourceStrategy, TheHostsSettingChoosesTheReader)
{
    testsupport::ScopedTestEnv env;
    ASSERT_TRUE(JOURNAL::Create(env.Path("journal.log")));
    testsupport::WriteFile(env.Path("a.wav"), wavetest::PcmFile(8000, 1, 800));
    const std::wstring name = platform::Utf8ToWide(env.Path("a.wav"));
    const std::string ini = HostSettingsPath(platform::ExecutablePath());
    struct Cleanup
    {
        std::string path;
        ~Cleanup() { std::remove(path.c_str()); }
    } cleanup{ini};

    const auto open = [&](const char* setting, bool library)
    {
        if (setting)
            testsupport::WriteFile(ini, std::string("[SETTINGS]\nOpenStrategy=") + setting + "\n");
        else
            std::remove(ini.c_str());
        testsupport::WriteFile(env.Path("journal.log"), "");
        DATASRC_FILE source;
        ASSERT_TRUE(source.Open({name}));
        EXPECT_EQ(source.Worker(0)->IsLibraryReader(), library) << (setting ? setting : "none");
        // The native reader journals the format it opened: under "DX" it is never tried.
        const bool nativeTried =
            testsupport::ReadFile(env.Path("journal.log")).find("WAVE_FILE: ") != std::string::npos;
        EXPECT_EQ(nativeTried, !library) << (setting ? setting : "none");
    };
    open(nullptr, false);
    open("NZ_MMIO_DX", false);
    open("dx", true);
    open("MMIO_DX", true);
    open("something else", false);
    JOURNAL::Destroy();
}
