// SHA256SUMS as sha256sum reads and writes it: names with spaces, backslashes and line
// breaks, lines of other files kept, files written again updated, and what a check finds.
#include "transfer/sha256_manifest.h"

#include "testsupport/test_env.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>

using namespace vark;

TEST(Sha256Manifest, UpdatedLikeSha256sumWritesItAndCheckedFileByFile)
{
    testsupport::ScopedTestEnv env;
    const std::string dir = env.Path("out");
    std::filesystem::create_directories(dir);
    const std::vector<std::string> names = {"2026_03_14 09_26_53.wav", "odd\\name\nwith break.wav",
                                            "a.wav.minisig"};
    for (const std::string& n : names)
        testsupport::WriteFile(dir + "/" + n, "bytes of " + n);
    // a line of another tool's file and a line that is not one are kept as they stand
    const std::string foreign =
        "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855  other.txt\n"
        "not a manifest line\n";
    testsupport::WriteFile(dir + "/SHA256SUMS", foreign);
    ASSERT_TRUE(AddToManifest(dir, {names[0], names[1], names[2]}));
    const auto sums = testsupport::RunProcess(
        {"sh", "-c", "cd \"$0\" && sha256sum -c --ignore-missing SHA256SUMS", dir});
    // sha256sum reads our escaped name and finds every file ours lists
    EXPECT_NE(sums.out.find("2026_03_14 09_26_53.wav: OK"), std::string::npos) << sums.out;
    EXPECT_NE(sums.out.find("a.wav.minisig: OK"), std::string::npos);
    EXPECT_NE(sums.out.find("with break.wav: OK"), std::string::npos);

    // written again: one line, the new one
    testsupport::WriteFile(dir + "/" + names[0], "new bytes");
    ASSERT_TRUE(AddToManifest(dir, {names[0]}));
    const std::string text = testsupport::ReadFile(dir + "/SHA256SUMS");
    EXPECT_EQ(text.find(foreign), 0u);
    const Manifest m = ParseManifest(text);
    EXPECT_EQ(m.badLines, std::vector<size_t>{2});
    ASSERT_EQ(m.lines.size(), 4u);
    EXPECT_EQ(m.lines[1].name, names[1]);
    EXPECT_EQ(m.lines[2].name, names[2]);
    EXPECT_EQ(m.lines[3].name, names[0]);
    EXPECT_EQ(m.lines[3].hash, *Sha256OfFile(dir + "/" + names[0]));
    EXPECT_FALSE(AddToManifest(dir, {"not there.wav"}));
    EXPECT_EQ(testsupport::ReadFile(dir + "/SHA256SUMS"), text); // as it was

    // the check: other.txt is missing, a changed file named, a line climbing out refused
    testsupport::WriteFile(dir + "/" + names[2], "edited");
    testsupport::WriteFile(env.Path("secret"), "x");
    testsupport::WriteFile(dir + "/SHA256SUMS",
                           text + *Sha256OfFile(env.Path("secret")) + "  ../secret\n");
    const ManifestReport r = CheckManifest(dir);
    ASSERT_TRUE(r.found);
    EXPECT_FALSE(r.AllOk());
    EXPECT_EQ(r.badLines, std::vector<size_t>{2});
    std::map<std::string, ManifestCheck::Status> status;
    for (const auto& c : r.files)
        status[c.name] = c.status;
    EXPECT_EQ(status["other.txt"], ManifestCheck::missing);
    EXPECT_EQ(status[names[0]], ManifestCheck::ok);
    EXPECT_EQ(status[names[1]], ManifestCheck::ok);
    EXPECT_EQ(status[names[2]], ManifestCheck::changed);
    EXPECT_EQ(status["../secret"], ManifestCheck::missing);
    EXPECT_FALSE(CheckManifest(env.Path("nowhere")).found);
}
