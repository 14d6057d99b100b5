#include "drive/drive_identity.h"
#include "drive/drive_record.h"
#include "drive/drive_recorders.h"
#include "drive/drive_space.h"
#include "drive/name_dates.h"
#include "drive/recorder_layout.h"

#include "acmtest/codec_files.h"
#include "platform/bext.h"
#include "platform/riff.h"
#include "platform/wave_format.h"
#include "testsupport/test_env.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <gtest/gtest.h>

using drive::DateInName;
using drive::NameDate;

TEST(DateInName, ThePatternsRecordersAndThisProgramWrite)
{
    EXPECT_EQ(DateInName("2026_11_07 09_30_00.wav"), (NameDate{2026, 11, 7, 9, 30, 0}));
    EXPECT_EQ(DateInName("REC_20261107_093015.WAV"), (NameDate{2026, 11, 7, 9, 30, 15}));
    EXPECT_EQ(DateInName("20261107-093015.mp3"), (NameDate{2026, 11, 7, 9, 30, 15}));
    EXPECT_EQ(DateInName("Lecture 2026-11-07 09-30-15.m4a"), (NameDate{2026, 11, 7, 9, 30, 15}));
    EXPECT_EQ(DateInName("261107_0930.MP3"), (NameDate{2026, 11, 7, 9, 30, 0}));
    EXPECT_EQ(DateInName("VN261107-0930 meeting.wma"), (NameDate{2026, 11, 7, 9, 30, 0}));
    EXPECT_EQ(DateInName("20240229_120000.wav"), (NameDate{2024, 2, 29, 12, 0, 0}));
    // not real moments, dates inside longer numbers, and no date at all
    EXPECT_FALSE(DateInName("20250229_120000.wav"));
    EXPECT_FALSE(DateInName("20261307_093000.wav"));
    EXPECT_FALSE(DateInName("20261107_246000.wav"));
    EXPECT_FALSE(DateInName("9920261107_093000.wav"));
    EXPECT_FALSE(DateInName("DS400012.DSS"));
    EXPECT_FALSE(DateInName(""));
}

TEST(RecorderLayout, SoundAtTheTopOrInTheRecorderFoldersOnly)
{
    testsupport::ScopedTestEnv env;
    namespace fs = std::filesystem;
    const std::string root = env.Path("drive");
    for (const char* folder : {"RECORDER/FOLDER_A", "RECORDER/FOLDER_B", "voice", "Photos", "MIC"})
        fs::create_directories(root + "/" + folder);
    testsupport::WriteFile(root + "/RECORDER/FOLDER_A/261107_0930.MP3", "x");
    testsupport::WriteFile(root + "/RECORDER/FOLDER_B/notes.txt", "x");
    testsupport::WriteFile(root + "/voice/talk.Wav", "x");
    testsupport::WriteFile(root + "/Photos/sound.wav", "x"); // not a recorder folder
    fs::create_directories(env.Path("outside"));
    testsupport::WriteFile(env.Path("outside/a.wav"), "x");
    fs::create_directory_symlink(env.Path("outside"), root + "/REC"); // never followed
    EXPECT_EQ(drive::RecordFolders(root),
              (std::vector<std::string>{root + "/RECORDER/FOLDER_A", root + "/voice"}));

    testsupport::WriteFile(root + "/top.ogg", "x");
    EXPECT_EQ(drive::RecordFolders(root).front(), root);
    EXPECT_TRUE(drive::RecordFolders(env.Path("missing")).empty());
    EXPECT_FALSE(drive::HasSoundExtension(".wav"));
    EXPECT_FALSE(drive::HasSoundExtension("wav"));
    EXPECT_TRUE(drive::HasSoundExtension("a.b.FLAC"));
}

namespace
{

std::string Wave(int rate, int channels, double seconds, const std::string& bextDate = {},
                 const std::string& bextTime = {})
{
    const WAVEFORMATEX f = platform::MakePcmFormat(rate, channels);
    const auto pcm =
        acmtest::Bytes(acmtest::Tone(rate, channels, static_cast<int>(rate * seconds), 300, 4000));
    std::vector<uint8_t> chunks;
    const auto add = [&](const char(&id)[5], const std::vector<uint8_t>& body)
    {
        const auto c =
            platform::riff::ChunkBytes(platform::riff::FourCc(id), body.data(), body.size());
        chunks.insert(chunks.end(), c.begin(), c.end());
    };
    add("fmt ", std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&f),
                                     reinterpret_cast<const uint8_t*>(&f) + 16));
    if (!bextDate.empty())
    {
        platform::bext::Bext b;
        b.originationDate = bextDate;
        b.originationTime = bextTime;
        add("bext", platform::bext::Body(b));
    }
    add("data", pcm);
    std::vector<uint8_t> file(platform::riff::kFormHeaderBytes);
    platform::riff::PutFormHeader(file.data(), platform::riff::FourCc("WAVE"),
                                  static_cast<uint32_t>(4 + chunks.size()));
    file.insert(file.end(), chunks.begin(), chunks.end());
    return std::string(file.begin(), file.end());
}

void SetModified(const std::string& path, int year, int month, int day, int hour)
{
    tm t{};
    t.tm_year = year - 1900, t.tm_mon = month - 1, t.tm_mday = day, t.tm_hour = hour;
    t.tm_isdst = -1;
    const timespec times[2] = {{mktime(&t), 0}, {mktime(&t), 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

} // namespace

TEST(DriveRecords, EveryFileListedWithItsStartFromTheBestSource)
{
    testsupport::ScopedTestEnv env;
    namespace fs = std::filesystem;
    const std::string root = env.Path("drive");
    const std::string a = root + "/RECORDER/FOLDER_A", c = root + "/RECORDER/FOLDER_C";
    fs::create_directories(a);
    fs::create_directories(c);
    testsupport::WriteFile(a + "/REC0001.WAV", Wave(16000, 1, 2.0, "2026-03-15", "14:02:10"));
    testsupport::WriteFile(a + "/20260316_101500.WAV", Wave(8000, 1, 1.0));
    testsupport::WriteFile(a + "/REC0003.WAV", Wave(8000, 1, 1.0).substr(0, 30));
    testsupport::WriteFile(a + "/MEMO.DAT", Wave(44100, 2, 0.5)); // sound whatever its name
    testsupport::WriteFile(a + "/NOTES.TXT", "not sound");
    testsupport::WriteFile(a + "/._REC0001.WAV", "shadow file of another system");
    const auto mp3 = acmtest::Encode("libmp3lame", WAVE_FORMAT_MPEGLAYER3, 22050, 1,
                                     acmtest::Tone(22050, 1, 22050, 440, 8000), 64000);
    // an ID3v2.4 tag with TDRC, in UTC
    const std::string date = "\x03"
                             "2026-03-18T11:30:00Z";
    const std::string frame =
        "TDRC" + std::string{0, 0, 0, static_cast<char>(date.size())} + std::string(2, '\0') + date;
    testsupport::WriteFile(c + "/VOICE006.MP3", std::string("ID3\x04\x00\x00\x00\x00\x00", 9) +
                                                    static_cast<char>(frame.size()) + frame +
                                                    std::string(mp3.data.begin(), mp3.data.end()));
    // AMR-NB as phones and some recorders write it, built by hand (there is no encoder here):
    // the magic, then a second of 12.2 kb/s frames, each a header byte and 31 bytes of bits
    std::string amr = "#!AMR\n";
    for (int frame = 0; frame < 50; ++frame)
    {
        amr += '\x3C';
        for (int i = 0; i < 31; ++i)
            amr += static_cast<char>(frame * 31 + i * 17);
    }
    testsupport::WriteFile(c + "/20260320_080000.AMR", amr);
    for (const char* name : {"MEMO.DAT", "REC0003.WAV"})
        SetModified(a + "/" + name, 2026, 3, 10, 8);

    const auto records = drive::ListRecords(root);
    std::vector<std::string> names;
    for (const auto& r : records)
        names.push_back(r.name);
    // oldest first: both files with only their modification time, then bext, name, tag
    EXPECT_EQ(names, (std::vector<std::string>{"MEMO.DAT", "REC0003.WAV", "REC0001.WAV",
                                               "20260316_101500.WAV", "VOICE006.MP3",
                                               "20260320_080000.AMR"}));
    ASSERT_EQ(records.size(), 6u);
    const auto& memo = records[0];
    EXPECT_TRUE(memo.readable);
    EXPECT_TRUE(memo.IsWave());
    EXPECT_EQ(memo.channels, 2);
    EXPECT_EQ(memo.startFrom, drive::StartFrom::kModified);
    // the modification time is the end of the recording
    EXPECT_EQ(memo.start.Format("%Y-%m-%d %H:%M:%S"), "2026-03-10 07:59:59");
    EXPECT_FALSE(records[1].readable);
    EXPECT_EQ(records[1].folder, "RECORDER/FOLDER_A");
    EXPECT_EQ(records[2].startFrom, drive::StartFrom::kBext);
    EXPECT_EQ(records[2].start.Format("%Y-%m-%d %H:%M:%S"), "2026-03-15 14:02:10");
    EXPECT_NEAR(records[2].duration.TotalSeconds(), 2.0, 0.01);
    EXPECT_EQ(records[3].startFrom, drive::StartFrom::kName);
    const auto& voice = records[4];
    EXPECT_EQ(voice.codec, "mp3");
    EXPECT_FALSE(voice.IsWave());
    EXPECT_EQ(voice.startFrom, drive::StartFrom::kTags);
    EXPECT_EQ(voice.start.Format("%Y-%m-%d %H:%M:%S"),
              drive::DateInTag("2026-03-18 11:30:00+00:00").Format("%Y-%m-%d %H:%M:%S"));
    const auto& amrRecord = records[5];
    EXPECT_TRUE(amrRecord.readable);
    EXPECT_EQ(amrRecord.codec, "amr_nb");
    EXPECT_EQ(amrRecord.rate, 8000);
    EXPECT_NEAR(amrRecord.duration.TotalSeconds(), 1.0, 0.05);

    // time left at the newest record's rate: the AMR file's 1,600 bytes a second
    const auto left = drive::SecondsLeft(8000 * 3600, records);
    ASSERT_TRUE(left);
    EXPECT_NEAR(static_cast<double>(*left), 18000, 1000);
    EXPECT_FALSE(drive::SecondsLeft(1000, {}));
    // a listing asked to stop ends early
    EXPECT_TRUE(drive::ListRecords(root, [] { return true; }).empty());
}

TEST(DriveRecords, TagDatesWithAndWithoutZones)
{
    setenv("TZ", "UTC+2", 1); // two hours behind UTC, no summer time
    tzset();
    EXPECT_EQ(drive::DateInTag("2026-03-18T11:30:00.000000Z").Format("%Y-%m-%d %H:%M:%S"),
              "2026-03-18 09:30:00");
    EXPECT_EQ(drive::DateInTag("2026-03-18 11:30").Format("%H:%M:%S"), "11:30:00");
    EXPECT_EQ(drive::DateInTag("2026-03-18T11:30:05+01:30").Format("%H:%M:%S"), "08:00:05");
    for (const char* bad : {"2026", "2026-03-18", "2026-02-30 10:00:00", "2026-03-18T11:30:00Q",
                            "2026-03-18T11:30:00+1"})
        EXPECT_FALSE(drive::DateInTag(bad).IsValid()) << bad;
    unsetenv("TZ");
    tzset();
}

TEST(DriveIdentity, UuidAndLabelFromTheLinksElseThePath)
{
    testsupport::ScopedTestEnv env;
    namespace fs = std::filesystem;
    fs::create_directories(env.Path("disk/by-uuid"));
    fs::create_directories(env.Path("disk/by-label"));
    fs::create_directories(env.Path("media/REC"));
    testsupport::WriteFile(env.Path("sdz1"), "");
    fs::create_symlink("../../sdz1", env.Path("disk/by-uuid/1A2B-3C4D"));
    fs::create_symlink("../../sdz1", env.Path("disk/by-label/MY\\x20REC"));
    const std::vector<platform::mounts::Mount> mounts = {
        {"tmpfs", env.Path("media"), "tmpfs", "/"},
        {env.Path("sdz1"), env.Path("media/REC"), "vfat", "/"}};

    const auto id = drive::IdentifyDrive(env.Path("media/REC/"), mounts, env.Path("disk"));
    EXPECT_EQ(id.id, "uuid:1A2B-3C4D");
    EXPECT_EQ(id.label, "MY REC");

    fs::create_directories(env.Path("lecture"));
    const auto folder = drive::IdentifyDrive(env.Path("lecture"), mounts, env.Path("disk"));
    EXPECT_EQ(folder.label, "lecture");
    EXPECT_EQ(folder.id.rfind("path:", 0), 0u);
    EXPECT_EQ(folder.id.size(), 5u + 16u);
    EXPECT_EQ(drive::IdentifyDrive(env.Path("lecture/."), mounts, env.Path("disk")).id, folder.id);
    EXPECT_NE(drive::IdentifyDrive(env.Path("media"), mounts, env.Path("disk")).id, folder.id);

    const auto space = drive::SpaceOf(env.Path("lecture"));
    ASSERT_TRUE(space);
    EXPECT_GT(space->totalBytes, 0u);
    EXPECT_LE(space->freeBytes, space->totalBytes);
    EXPECT_FALSE(drive::SpaceOf(env.Path("gone")));
}

namespace
{

// The window's loop: steps posted from the drives' thread wait here until the test runs them.
struct WindowLoop
{
    std::mutex mutex;
    std::condition_variable posted;
    std::deque<std::function<void()>> steps;
    std::function<void(std::function<void()>)> post = [this](std::function<void()> step)
    {
        std::lock_guard<std::mutex> lock(mutex);
        steps.push_back(std::move(step));
        posted.notify_all();
    };

    bool RunUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done())
        {
            std::unique_lock<std::mutex> lock(mutex);
            if (!posted.wait_until(lock, deadline, [&] { return !steps.empty(); })) return false;
            auto step = std::move(steps.front());
            steps.pop_front();
            lock.unlock();
            step();
        }
        return true;
    }
};

bool Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

} // namespace

TEST(DriveRecorders, FoundOnPlugReadOffTheCallersThreadLetGoOnRemoval)
{
    testsupport::ScopedTestEnv env;
    namespace fs = std::filesystem;

    WindowLoop loop;
    const auto& post = loop.post;
    const auto runUntil = [&](const std::function<bool()>& done) { return loop.RunUntil(done); };
    std::vector<std::vector<drive::AttachedDrive>> seen;
    drive::DriveRecorders drives(post, [&](const auto& list) { seen.push_back(list); });
    EXPECT_TRUE(drives.Start());
    ASSERT_TRUE(runUntil([&] { return seen.size() == 1; }));
    EXPECT_TRUE(seen[0].empty());

    // plugged whole, as a mount appears
    const std::string root = env.Path("drives/REC"), staged = env.Path("staged");
    fs::create_directories(staged + "/VOICE");
    testsupport::WriteFile(staged + "/VOICE/A.WAV", Wave(8000, 1, 1.0));
    testsupport::WriteFile(staged + "/VOICE/B.WAV", Wave(8000, 1, 1.0));
    fs::rename(staged, root);
    fs::create_directories(env.Path("drives/Photos")); // not a recorder
    ASSERT_TRUE(runUntil([&] { return !seen.back().empty(); }));
    EXPECT_EQ(seen.back().size(), 1u);
    EXPECT_EQ(seen.back()[0].root, root);
    EXPECT_EQ(seen.back()[0].identity.label, "REC");

    std::optional<drive::DriveContents> contents;
    drives.Load(root, [&](const drive::DriveContents& c) { contents = c; });
    ASSERT_TRUE(runUntil([&] { return contents.has_value(); }));
    EXPECT_TRUE(contents->present);
    EXPECT_EQ(contents->records.size(), 2u);
    EXPECT_TRUE(contents->space);

    std::optional<std::vector<std::string>> failed;
    drives.Delete({root + "/VOICE/A.WAV", root + "/VOICE/gone.WAV"},
                  [&](const std::vector<std::string>& f) { failed = f; });
    ASSERT_TRUE(runUntil([&] { return failed.has_value(); }));
    EXPECT_EQ(*failed, (std::vector<std::string>{root + "/VOICE/gone.WAV"}));
    EXPECT_FALSE(fs::exists(root + "/VOICE/A.WAV"));

    // pulled: the list empties, and reading what is gone ends cleanly
    fs::remove_all(root);
    ASSERT_TRUE(runUntil([&] { return seen.back().empty(); }));
    contents.reset();
    drives.Load(root, [&](const drive::DriveContents& c) { contents = c; });
    ASSERT_TRUE(runUntil([&] { return contents.has_value(); }));
    EXPECT_FALSE(contents->present);
}

// A real file system on a loop device, mounted where the automounter puts drives: found
// through the mount table, named by its label and UUID, listed, and let go on unmount. FAT
// where the kernel has it, else ext4 (the same path through the table and the device).
TEST(DriveRecorders, AMountedImageIsFoundIdentifiedListedAndLetGoOnUnmount)
{
    namespace fs = std::filesystem;
    const std::string filesystems = testsupport::ReadFile("/proc/filesystems");
    const bool fat = filesystems.find("\tvfat\n") != std::string::npos;
    const std::string mkfs = fat ? "mkfs.vfat -n VOICEPEN" : "mkfs.ext4 -q -L VOICEPEN";
    if (::geteuid() != 0 || !fs::exists("/dev/loop-control") ||
        !Shell("command -v " + mkfs.substr(0, mkfs.find(' '))))
        GTEST_SKIP() << "needs root, loop devices and " << mkfs.substr(0, mkfs.find(' '));
    testsupport::ScopedTestEnv env;
    env.Set("VARK_MOUNTINFO", std::nullopt); // the machine's own table
    const std::string image = env.Path("drive.img");
    const std::string media = "/media/vark-test-" + std::to_string(::getpid());
    const std::string mountPoint = media + "/VOICEPEN";
    fs::create_directories(mountPoint);
    ASSERT_TRUE(Shell("truncate -s 32M " + image) && Shell(mkfs + " " + image));
    if (!Shell("mount -o loop " + image + " " + mountPoint))
    {
        fs::remove_all(media);
        GTEST_SKIP() << "this machine cannot mount a loop device";
    }
    fs::create_directories(mountPoint + "/RECORDER/FOLDER_A");
    testsupport::WriteFile(mountPoint + "/RECORDER/FOLDER_A/REC0001.WAV", Wave(16000, 1, 1.0));
    Shell("sync");

    WindowLoop loop;
    std::vector<std::vector<drive::AttachedDrive>> seen;
    drive::DriveRecorders drives(loop.post, [&](const auto& list) { seen.push_back(list); });
    EXPECT_TRUE(drives.Start());
    const auto found = [&]
    {
        return !seen.empty() &&
               std::any_of(seen.back().begin(), seen.back().end(),
                           [&](const drive::AttachedDrive& d) { return d.root == mountPoint; });
    };
    const bool wasFound = loop.RunUntil(found);
    std::optional<drive::DriveContents> contents;
    if (wasFound)
    {
        const auto& d = *std::find_if(seen.back().begin(), seen.back().end(),
                                      [&](const auto& a) { return a.root == mountPoint; });
        EXPECT_EQ(d.identity.label, "VOICEPEN");
        EXPECT_EQ(d.identity.id.rfind("uuid:", 0), 0u) << d.identity.id;
        drives.Load(mountPoint, [&](const drive::DriveContents& c) { contents = c; });
        EXPECT_TRUE(loop.RunUntil([&] { return contents.has_value(); }));
    }
    const bool unmounted = Shell("umount " + mountPoint);
    EXPECT_TRUE(unmounted);
    if (wasFound && unmounted)
    {
        EXPECT_TRUE(loop.RunUntil([&] { return !found(); }));
    }
    fs::remove_all(media);
    ASSERT_TRUE(wasFound);
    ASSERT_TRUE(contents);
    ASSERT_EQ(contents->records.size(), 1u);
    EXPECT_TRUE(contents->records[0].readable);
    EXPECT_GT(contents->space->totalBytes, 16u << 20);
}
