#include "platform/mounts.h"

#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>

using namespace platform::mounts;

TEST(MountTable, FieldsWithTheirEscapesAndMalformedLinesSkipped)
{
    const std::string text =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "97 22 8:17 / /media/ann/MY\\040RECORDER rw,nosuid shared:55 master:3 - vfat /dev/sdb1 "
        "rw,uid=1000\n"
        "98 22 8:33 /sub /run/media/ann/back\\134slash rw - exfat /dev/sdc1 rw\n"
        "garbage line\n"
        "99 22 8:49 / /media/x rw shared:1 ext4 /dev/sdd1\n" // no separator
        "100 22 0:5 / relative rw - tmpfs tmpfs rw\n";
    const std::vector<Mount> m = ParseMountInfo(text);
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].mountPoint, "/");
    EXPECT_EQ(m[1].mountPoint, "/media/ann/MY RECORDER");
    EXPECT_EQ(m[1].source, "/dev/sdb1");
    EXPECT_EQ(m[1].fsType, "vfat");
    EXPECT_EQ(m[2].mountPoint, "/run/media/ann/back\\slash");
    EXPECT_EQ(m[2].root, "/sub");
    // not three octal digits, or beyond a byte: kept as written
    EXPECT_EQ(UnescapeField("a\\12"), "a\\12");
    EXPECT_EQ(UnescapeField("a\\777b"), "a\\777b");
    EXPECT_EQ(UnescapeField("tab\\011end\\"), "tab\tend\\");

    // the system's own table has at least the root file system
    testsupport::ScopedTestEnv env;
    env.Set("VARK_MOUNTINFO", std::nullopt);
    bool root = false;
    for (const Mount& mount : ReadMounts())
        root = root || mount.mountPoint == "/";
    EXPECT_TRUE(root);
}

TEST(DriveCandidates, MediaTwoLevelsDownThenTheRootsFolders)
{
    testsupport::ScopedTestEnv env;
    namespace fs = std::filesystem;
    const std::string root = env.Path("drives");
    fs::create_directories(root + "/B/LABEL");
    fs::create_directories(root + "/A");
    fs::create_directories(env.Path("outside/deep"));
    fs::create_directory_symlink(env.Path("outside"), root + "/L"); // never followed
    testsupport::WriteFile(root + "/file.wav", "not a folder");
    env.Set("VARK_DRIVE_ROOTS", root + "/:" + env.Path("missing") + "::");
    std::vector<Mount> mounts;
    for (const char* point : {"/media/usb", "/media/ann/REC", "/media/a/b/c", "/run/media/u/X",
                              "/mnt/x", "/media", "/mediafoo/x", "/media/usb"})
        mounts.push_back({"/dev/sdz1", point, "vfat", "/"});
    EXPECT_EQ(DriveCandidates(mounts),
              (std::vector<std::string>{"/media/usb", "/media/ann/REC", "/run/media/u/X",
                                        root + "/A", root + "/B", root + "/B/LABEL"}));

    env.Set("VARK_MOUNTINFO", env.Path("mountinfo"));
    testsupport::WriteFile(env.Path("mountinfo"),
                           "97 22 8:17 / /media/ann/REC rw - vfat /dev/sdb1 rw\n");
    ASSERT_EQ(ReadMounts().size(), 1u);
    EXPECT_EQ(ReadMounts()[0].mountPoint, "/media/ann/REC");
    env.Set("VARK_MOUNTINFO", env.Path("gone"));
    EXPECT_TRUE(ReadMounts().empty());
}

// The watcher runs its thread for real: a rewritten table (in place and by rename) and
// folders added to a root, at one and two levels, each wake it.
TEST(MountWatcher, ReportsATableRewriteAndFoldersAddedToARoot)
{
    testsupport::ScopedTestEnv env;
    const std::string table = env.Path("mountinfo"), root = env.Path("drives");
    std::filesystem::create_directories(root + "/ann");
    testsupport::WriteFile(table, "");
    env.Set("VARK_MOUNTINFO", table);
    env.Set("VARK_DRIVE_ROOTS", root);
    std::atomic<int> calls{0};
    MountWatcher watcher([&] { ++calls; });
    ASSERT_TRUE(watcher.Watching());
    const auto woke = [&](int before)
    { return testsupport::WaitFor([&] { return calls.load() > before; }, 10000); };

    int before = calls;
    testsupport::WriteFile(table, "97 22 8:17 / /media/ann/REC rw - vfat /dev/sdb1 rw\n");
    EXPECT_TRUE(woke(before));
    before = calls;
    testsupport::WriteFile(env.Path("next"), "");
    std::rename(env.Path("next").c_str(), table.c_str());
    EXPECT_TRUE(woke(before));
    before = calls;
    std::filesystem::create_directory(root + "/RECORDER");
    EXPECT_TRUE(woke(before));
    before = calls;
    std::filesystem::create_directory(root + "/ann/LABEL");
    EXPECT_TRUE(woke(before));
}
