#include "ondakit/input_sound_file_stream.h"
#include "ondakit_test_files.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <memory>

using odktest::Wide;

namespace
{

using NarrowOpen = InputSoundFileStream* (*)(const char*, OpenModes);
using WideOpen = InputSoundFileStream* (*)(const wchar_t*, OpenModes);

// The library finds its settings file beside itself, so the test loads a private copy of
// it from a folder of its own (one with a dot in its name) with the INI beside it.
struct LibraryCopy
{
    void* handle = nullptr;
    NarrowOpen narrow = nullptr;
    WideOpen wide = nullptr;

    explicit LibraryCopy(const std::string& folder)
    {
        Dl_info info{};
        dladdr(reinterpret_cast<void*>(static_cast<NarrowOpen>(&InputSoundFileStream::Open)),
               &info);
        testsupport::WriteFile(folder + "/libondakit.so", testsupport::ReadFile(info.dli_fname));
        handle = dlopen((folder + "/libondakit.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) return;
        narrow = reinterpret_cast<NarrowOpen>(
            dlsym(handle, "_ZN20InputSoundFileStream4OpenEPKc9OpenModes"));
        wide = reinterpret_cast<WideOpen>(
            dlsym(handle, "_ZN20InputSoundFileStream4OpenEPKw9OpenModes"));
    }
    ~LibraryCopy()
    {
        if (handle) dlclose(handle);
    }
};

} // namespace

TEST(OpenStrategy, SettingBesideTheLibrarySteersNarrowOpensOnly)
{
    testsupport::ScopedTestEnv env;
    const std::string folder = env.Path("with.dot");
    ASSERT_TRUE(testsupport::RunProcess({"mkdir", "-p", folder}).exitCode == 0);
    testsupport::WriteFile(env.Path("a.wav"), odktest::PcmWav(8000, 1, odktest::Ramp(800)));
    const auto pcm = acmtest::Tone(22050, 1, 22050, 440, 8000);
    const auto mp3 = acmtest::Encode("libmp3lame", WAVE_FORMAT_MPEGLAYER3, 22050, 1, pcm);
    testsupport::WriteFile(env.Path("a.mp3"), std::string(mp3.data.begin(), mp3.data.end()));
    LibraryCopy lib(folder);
    ASSERT_TRUE(lib.narrow && lib.wide) << dlerror();

    const auto usesMedia = [&](InputSoundFileStream* s)
    {
        std::unique_ptr<InputSoundFileStream> owned(s);
        return s ? (s->UsesDX() ? 1 : 0) : -1;
    };
    const std::string wav = env.Path("a.wav"), mp3Path = env.Path("a.mp3");
    // No settings file: the RIFF reader first, then the media reader.
    EXPECT_EQ(usesMedia(lib.narrow(wav.c_str(), OpenRiffThenMedia)), 0);
    EXPECT_EQ(usesMedia(lib.narrow(mp3Path.c_str(), OpenRiffThenMedia)), 1);

    testsupport::WriteFile(folder + "/libondakit.ini", "[SETTINGS]\nODK_OpenStrategy=dx_only\n");
    EXPECT_EQ(usesMedia(lib.narrow(wav.c_str(), OpenRiffThenMedia)), 1);
    EXPECT_EQ(usesMedia(lib.wide(Wide(wav).c_str(), OpenRiffThenMedia)), 0);
    EXPECT_EQ(usesMedia(lib.narrow(wav.c_str(), OpenRiffOnly)), 0); // only mode 3 asks

    testsupport::WriteFile(folder + "/libondakit.ini", "[settings]\nodk_openstrategy=ACM_ONLY\n");
    EXPECT_EQ(usesMedia(lib.narrow(mp3Path.c_str(), OpenRiffThenMedia)), -1);
    EXPECT_EQ(usesMedia(lib.wide(Wide(mp3Path).c_str(), OpenRiffThenMedia)), 1);

    testsupport::WriteFile(folder + "/libondakit.ini",
                           "[SETTINGS]\nODK_OpenStrategy=DX_onlyXXXXXXXXXXX\n");
    EXPECT_EQ(usesMedia(lib.narrow(wav.c_str(), OpenRiffThenMedia)), 0);
}

TEST(Open, ModesAndChannelCounts)
{
    testsupport::ScopedTestEnv env;
    testsupport::WriteFile(env.Path("a.wav"), odktest::PcmWav(8000, 2, odktest::Ramp(800)));
    const auto pcm = acmtest::Tone(8000, 1, 8000, 440, 8000);
    testsupport::WriteFile(env.Path("a.flac"),
                           acmtest::FlacFile(acmtest::Encode("flac", 0xF1AC, 8000, 1, pcm)));
    testsupport::WriteFile(env.Path("junk"), "not sound at all");
    const std::wstring wav = Wide(env.Path("a.wav")), flac = Wide(env.Path("a.flac"));
    for (int mode : {0, 4, -1})
        EXPECT_FALSE(InputSoundFileStream::Open(wav.c_str(), static_cast<OpenModes>(mode)));
    std::unique_ptr<InputSoundFileStream> media(
        InputSoundFileStream::Open(wav.c_str(), OpenMediaOnly));
    ASSERT_TRUE(media);
    EXPECT_TRUE(media->UsesDX());
    EXPECT_FALSE(InputSoundFileStream::Open(flac.c_str(), OpenRiffOnly));
    std::unique_ptr<InputSoundFileStream> any(
        InputSoundFileStream::Open(env.Path("a.flac").c_str()));
    ASSERT_TRUE(any);
    EXPECT_EQ(odktest::ReadAll(*any, 512, 1), pcm);
    EXPECT_FALSE(InputSoundFileStream::Open(env.Path("junk").c_str()));
    EXPECT_FALSE(InputSoundFileStream::Open(static_cast<const char*>(nullptr)));

    EXPECT_EQ(InputSoundFileStream::GetWavFileChannelCount(wav.c_str()), 2);
    EXPECT_EQ(InputSoundFileStream::GetWavFileChannelCount(flac.c_str()), 1);
    EXPECT_EQ(InputSoundFileStream::GetWavFileChannelCount(Wide(env.Path("junk")).c_str()), -1);

    int state = 0;
    char text[8];
    EXPECT_EQ(any->GetErrorState(&state, text, sizeof text), 0);
    std::unique_ptr<InputSoundFileStream> riff(
        InputSoundFileStream::Open(wav.c_str(), OpenRiffOnly));
    EXPECT_EQ(riff->GetErrorState(&state, text, sizeof text), -1);
    EXPECT_EQ(state, -1);
    EXPECT_STREQ(text, "?");
}
