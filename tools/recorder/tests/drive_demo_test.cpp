// vark-recorder make-drive: the demo drive recorder, read back as the drive reader will.
#include "platform/bext.h"
#include "platform/little_endian.h"
#include "platform/riff.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

extern "C"
{
#include <libavformat/avformat.h>
}

#include <ctime>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

using testsupport::RunProcess;
using testsupport::ScopedTestEnv;
namespace fs = std::filesystem;

namespace
{

std::string Tool()
{
    return testsupport::BinDir() + "/vark-recorder";
}

time_t LocalTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

std::optional<std::string> Tag(AVFormatContext* f, const char* key)
{
    const AVDictionaryEntry* e = av_dict_get(f->metadata, key, nullptr, 0);
    return e ? std::optional<std::string>(e->value) : std::nullopt;
}

} // namespace

TEST(VarkRecorderProgram, MakeDriveLaysOutTheDemoRecorderAndRefusesAFolderInUse)
{
    ScopedTestEnv env;
    const std::string dir = env.Path("drive");
    const auto r = RunProcess({Tool(), "make-drive", dir, "--demo"});
    ASSERT_EQ(r.exitCode, 0) << r.err;

    std::vector<std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(dir))
        if (!e.is_directory()) files.push_back(fs::relative(e.path(), dir).string());
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files,
              (std::vector<std::string>{
                  "RECORDER/FOLDER_A/260314_0926.WAV", "RECORDER/FOLDER_A/REC0002.WAV",
                  "RECORDER/FOLDER_A/REC0003.WAV", "RECORDER/FOLDER_B/20260316_101500.WAV",
                  "RECORDER/FOLDER_B/MEMO0005.WAV", "RECORDER/FOLDER_C/2026-03-19 16-45-00.mp3",
                  "RECORDER/FOLDER_C/NOTES.TXT", "RECORDER/FOLDER_C/VOICE006.MP3"}));
    EXPECT_TRUE(fs::is_empty(dir + "/RECORDER/FOLDER_E"));
    EXPECT_EQ(fs::file_size(dir + "/RECORDER/FOLDER_A/REC0003.WAV"), 30u);

    // Broadcast WAV: fmt, bext, data, in that order, and the start read back.
    const std::string bwf = dir + "/RECORDER/FOLDER_A/260314_0926.WAV";
    const std::string bytes = testsupport::ReadFile(bwf);
    const auto* b = reinterpret_cast<const uint8_t*>(bytes.data());
    std::string order;
    std::optional<platform::bext::Bext> bext;
    uint32_t rate = 0, dataBytes = 0;
    ASSERT_TRUE(platform::riff::WalkWaveChunks(b, bytes.size(),
                                               [&](const platform::riff::Chunk& c)
                                               {
                                                   order += std::string(c.id, 4) + "|";
                                                   if (c.Is("fmt "))
                                                       rate = platform::LoadLE32(b + c.body + 4);
                                                   if (c.Is("bext"))
                                                       bext = platform::bext::Parse(b + c.body,
                                                                                    c.held);
                                                   if (c.Is("data")) dataBytes = c.held;
                                                   return true;
                                               }));
    EXPECT_EQ(order, "fmt |bext|data|");
    EXPECT_EQ(rate, 16000u);
    EXPECT_EQ(dataBytes, 7u * 16000 * 2);
    ASSERT_TRUE(bext);
    EXPECT_EQ(bext->description, "Dictation");
    EXPECT_EQ(bext->originator, "Pocket recorder");
    EXPECT_EQ(bext->originatorReference, "PR-0001");
    EXPECT_EQ(bext->originationDate, "2026-03-14");
    EXPECT_EQ(bext->originationTime, "09:26:53");
    EXPECT_EQ(bext->timeReference, (9u * 3600 + 26 * 60 + 53) * 16000);
    EXPECT_EQ(bext->codingHistory, "A=PCM,F=16000,W=16,M=mono,T=demo\r\n");
    // modified when it ended: its start plus its seven seconds, local time
    struct stat st
    {
    };
    ASSERT_EQ(::stat(bwf.c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, LocalTime(2026, 3, 14, 9, 27, 0));

    // MP3 with its date in an ID3v2 tag, and one with none.
    for (const char* name : {"VOICE006.MP3", "2026-03-19 16-45-00.mp3"})
    {
        const std::string path = dir + "/RECORDER/FOLDER_C/" + name;
        AVFormatContext* f = nullptr;
        ASSERT_EQ(avformat_open_input(&f, path.c_str(), nullptr, nullptr), 0) << path;
        ASSERT_GE(avformat_find_stream_info(f, nullptr), 0);
        EXPECT_STREQ(f->iformat->name, "mp3");
        ASSERT_EQ(f->nb_streams, 1u);
        EXPECT_EQ(f->streams[0]->codecpar->codec_id, AV_CODEC_ID_MP3);
        EXPECT_EQ(f->streams[0]->codecpar->ch_layout.nb_channels, 1);
        if (name[0] == 'V')
        {
            EXPECT_EQ(f->streams[0]->codecpar->sample_rate, 44100);
            EXPECT_EQ(Tag(f, "date"), "2026-03-18T11:30:00");
            EXPECT_EQ(Tag(f, "title"), "Lecture notes");
        }
        else
            EXPECT_EQ(Tag(f, "date"), std::nullopt);
        avformat_close_input(&f);
    }

    const auto again = RunProcess({Tool(), "make-drive", dir});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_NE(again.err.find(dir + " is not empty"), std::string::npos) << again.err;
    EXPECT_EQ(RunProcess({Tool(), "make-drive", bwf + "/x"}).exitCode, 1);
    EXPECT_EQ(RunProcess({Tool(), "make-drive"}).exitCode, 2);
    EXPECT_EQ(RunProcess({Tool(), "make-drive", dir, "--loud"}).exitCode, 2);
    const auto empty = RunProcess({Tool(), "make-drive", env.Path("bare")});
    ASSERT_EQ(empty.exitCode, 0) << empty.err;
    EXPECT_TRUE(fs::is_directory(env.Path("bare/RECORDER/FOLDER_A")));
    EXPECT_TRUE(fs::is_empty(env.Path("bare/RECORDER/FOLDER_E")));
}
