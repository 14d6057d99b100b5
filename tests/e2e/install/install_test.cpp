// The installation end to end. The build tree is installed into a prefix whose name has a
// space and non-ASCII letters, and the Debian package is extracted into a root; their
// programs then run with nothing but the system around them: no library path, a PATH
// without the build tree, and another installation's player server registered. Every
// program answers --version; the installed vark-recorder plugs the demo recorder; vark-cli
// reads its status, exports and signs, verifies, and plays through its own installation's
// vark-player into the capture back end; vark opens its main window under the offscreen
// platform. No process of theirs maps a file of the build tree.
#include "testsupport/sound.h"
#include "testsupport/test_env.h"

#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

using testsupport::ReadFile;
using testsupport::RunProcess;

namespace
{

namespace fs = std::filesystem;

class Installed : public ::testing::Test
{
protected:
    Installed()
    {
        env.Set("LC_ALL", std::string("C"));
        // Nothing may come from the build tree by accident.
        env.Set("LD_LIBRARY_PATH", std::nullopt);
        env.Set("VARK_BIN_DIR", std::nullopt);
        env.Set("PATH", std::string("/usr/bin:/bin"));
    }
    ~Installed() override
    {
        EXPECT_TRUE(testsupport::WaitFor(
            [&] { return testsupport::ProcessesUnder("vark-player", env.Root()).empty(); }, 10000));
    }

    // Files of the build tree that process `pid` has mapped (its libraries, its program).
    static std::string BuildTreeFilesOf(pid_t pid)
    {
        const std::string maps = ReadFile("/proc/" + std::to_string(pid) + "/maps");
        const std::string build = fs::canonical(VARK_BUILD_DIR).string() + "/";
        std::string found;
        for (size_t at = maps.find(build); at != std::string::npos; at = maps.find(build, at + 1))
            found += maps.substr(at, maps.find('\n', at) - at) + "\n";
        return found;
    }

    void ExpectVersions(const std::string& root)
    {
        for (const std::string program : {"vark", "vark-cli", "vark-audio", "vark-recorder"})
        {
            const auto r = RunProcess({root + "/bin/" + program, "--version"});
            EXPECT_EQ(r.exitCode, 0) << program << ": " << r.err;
            EXPECT_EQ(r.out, program + " " VARK_VERSION "\n");
        }
        const auto r = RunProcess({root + "/" VARK_LIBEXEC_DIR "/vark-player", "--version"});
        EXPECT_EQ(r.out, "vark-player " VARK_VERSION "\n") << r.err;
    }

    // The demo recorder plugged by the installed vark-recorder; vark-cli status, export
    // --sign, verify and play from the same installation.
    void ExpectTheRecorderWorkflow(const std::string& root)
    {
        // Another installation's player server is the registered one (a program that starts
        // and never answers): ours must not use it.
        const std::string other = env.Path("other/vark-player");
        fs::create_directories(env.Path("other"));
        fs::create_directories(env.Path("com"));
        if (!fs::exists(other)) fs::copy_file("/bin/true", other);
        testsupport::WriteFile(env.Path("com/{66666666-7C77-4362-ABD9-4B06077A63BC}"),
                               other + "\n");
        const std::string cli = root + "/bin/vark-cli";

        testsupport::ChildProcess plug({root + "/bin/vark-recorder", "plug", "--demo"});
        ASSERT_TRUE(testsupport::WaitForRecorder(env, 120000)) << plug.Stderr();
        EXPECT_EQ(BuildTreeFilesOf(plug.Pid()), "");

        const auto status = RunProcess({cli, "status"});
        ASSERT_EQ(status.exitCode, 0) << status.err << status.out;

        const std::string out = env.Path("exported files");
        const auto exported =
            RunProcess({cli, "export", "--out", out, "--records", "1", "--sign"}, "", 120000);
        ASSERT_EQ(exported.exitCode, 0) << exported.err << exported.out;
        std::string wav;
        for (const auto& f : fs::directory_iterator(out))
            if (f.path().extension() == ".wav") wav = f.path().string();
        ASSERT_FALSE(wav.empty());
        const auto verified = RunProcess({cli, "verify", wav, "--attached"});
        EXPECT_EQ(verified.exitCode, 0) << verified.err;
        EXPECT_NE(verified.out.find("File is authentic."), std::string::npos) << verified.out;

        env.Set("VARK_AUDIO", "capture:" + env.Path("heard.wav"));
        env.Set("VARK_AUDIO_SPEED", std::string("8"));
        testsupport::WriteFile(env.Path("tone.wav"),
                               testsupport::MonoWav(testsupport::TestTone(8000 * 2), 8000));
        testsupport::ChildProcess play({cli, "play", env.Path("tone.wav")});
        std::vector<pid_t> servers;
        ASSERT_TRUE(testsupport::WaitFor(
            [&]
            { return !(servers = testsupport::ProcessesUnder("vark-player", env.Root())).empty(); },
            30000))
            << play.Stderr();
        EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(servers[0]) + "/exe"),
                  fs::canonical(root + "/" VARK_LIBEXEC_DIR "/vark-player"));
        EXPECT_EQ(BuildTreeFilesOf(servers[0]), "");
        ASSERT_EQ(play.Wait(60000).value_or(-1), 0) << play.Stderr() << play.Stdout();
        EXPECT_EQ(testsupport::HeardOnBothChannels(env.Path("heard.wav"),
                                                   testsupport::TestTone(8000 * 2)),
                  "");
        env.Set("VARK_AUDIO", std::string("null"));
    }

    // vark under the offscreen platform until its main window has drawn its first frame.
    void ExpectTheWindowOpens(const std::string& root)
    {
        env.Set("QT_QPA_PLATFORM", std::string("offscreen"));
        testsupport::ChildProcess vark({root + "/bin/vark"});
        const std::string log = env.Path("config/Mirvanta/Varke-P/Log/Varke.log");
        ASSERT_TRUE(testsupport::WaitFor(
            [&] { return ReadFile(log).find("Main window shown") != std::string::npos; }, 60000))
            << vark.Stderr();
        EXPECT_EQ(BuildTreeFilesOf(vark.Pid()), "");
        ASSERT_TRUE(vark.Signal(SIGTERM));
        EXPECT_EQ(vark.Wait(30000).value_or(-1), 0) << vark.Stderr();
    }

    testsupport::ScopedTestEnv env;
};

TEST_F(Installed, IntoAPrefixWithASpaceAndNonAsciiLettersRunsOnItsOwn)
{
    const std::string prefix = env.Path("opt/Varke P Grabação Запись");
    const auto installed =
        RunProcess({VARK_CMAKE, "--install", VARK_BUILD_DIR, "--prefix", prefix}, "", 300000);
    ASSERT_EQ(installed.exitCode, 0) << installed.err << installed.out;
    ExpectVersions(prefix);
    // The run-time data is found beside the installed programs; without it the player
    // still plays on the defaults, and its journal names the file.
    const std::string ini = prefix + "/share/vark-p/config/player.ini";
    ASSERT_TRUE(testsupport::FileExists(ini));
    ExpectTheRecorderWorkflow(prefix);
    fs::remove(ini);
    testsupport::WriteFile(env.Path("tone.wav"),
                           testsupport::MonoWav(testsupport::TestTone(8000), 8000));
    const auto processed = RunProcess(
        {prefix + "/bin/vark-audio", "process", env.Path("tone.wav"), env.Path("o.wav")});
    EXPECT_EQ(processed.exitCode, 0) << processed.err;
    ExpectTheWindowOpens(prefix);
}

TEST_F(Installed, TheDebianPackageExtractedIntoARootRunsOnItsOwn)
{
    if (std::string(VARK_DPKG_DEB).empty() ||
        std::string(VARK_DPKG_DEB).find("NOTFOUND") != std::string::npos)
        GTEST_SKIP() << "dpkg-deb is not installed";
    const std::string packages = env.Path("packages");
    const auto packed = RunProcess(
        {VARK_CPACK, "-G", "DEB", "--config", VARK_BUILD_DIR "/CPackConfig.cmake", "-B", packages},
        "", 380000);
    ASSERT_EQ(packed.exitCode, 0) << packed.err << packed.out;
    std::string deb;
    for (const auto& f : fs::directory_iterator(packages))
        if (f.path().extension() == ".deb") deb = f.path().string();
    ASSERT_FALSE(deb.empty()) << packed.out;
    const std::string root = env.Path("root");
    ASSERT_EQ(RunProcess({VARK_DPKG_DEB, "-x", deb, root}).exitCode, 0);
    const auto fields = RunProcess({VARK_DPKG_DEB, "-f", deb, "Package", "Section", "Depends"});
    EXPECT_NE(fields.out.find("Package: vark-p\n"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find("Section: sound\n"), std::string::npos) << fields.out;
    EXPECT_NE(fields.out.find("libc6"), std::string::npos) << fields.out;
    // the private libraries, the desktop files in their places
    EXPECT_TRUE(testsupport::FileExists(root + "/usr/" VARK_PKGLIB_DIR "/libmovra.so"));
    for (const char* file :
         {"/usr/share/applications/com.mirvanta.VarkeP.desktop",
          "/usr/share/metainfo/com.mirvanta.VarkeP.metainfo.xml",
          "/usr/share/icons/hicolor/scalable/apps/com.mirvanta.VarkeP.svg",
          "/usr/share/icons/hicolor/48x48/apps/com.mirvanta.VarkeP.png",
          "/usr/share/man/man1/vark-cli.1.gz", "/usr/share/bash-completion/completions/vark-cli",
          "/usr/share/doc/vark-p/copyright", "/usr/lib/udev/rules.d/70-vark-pedals.rules"})
        EXPECT_TRUE(testsupport::FileExists(root + file)) << file;
    ExpectVersions(root + "/usr");
    ExpectTheRecorderWorkflow(root + "/usr");
}

} // namespace
