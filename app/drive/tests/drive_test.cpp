#include "drive/name_dates.h"
#include "drive/recorder_layout.h"

#include "testsupport/test_env.h"

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
