// Import from a drive recorder: copies once, goes on after the drive was pulled mid-import,
// knows copies without its state, deletes only what matches its copy, and a full target disk.
#include "transfer/drive_import_worker.h"

#include "acmtest/codec_files.h"
#include "platform/wave_format.h"
#include "res/string_ids.h"
#include "testsupport/test_env.h"

#include "export_test_host.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/resource.h>

using namespace vark;
namespace fs = std::filesystem;

namespace
{

std::string PcmWav(int frames, double hz)
{
    const WAVEFORMATEX f = platform::MakePcmFormat(8000, 1);
    return acmtest::RiffFile(platform::WaveFormatBlock(&f),
                             acmtest::Bytes(acmtest::Tone(8000, 1, frames, hz, 6000)));
}

std::vector<std::string> Names(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class DriveImport : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fs::create_directories(root_ + "/RECORDER/FOLDER_A");
        files_ = {"/RECORDER/FOLDER_A/REC0001.WAV", "/RECORDER/FOLDER_A/REC0002.WAV",
                  "/RECORDER/FOLDER_A/REC0003.WAV"};
        for (size_t i = 0; i < files_.size(); ++i)
        {
            testsupport::WriteFile(root_ + files_[i], PcmWav(8000 * int(i + 1), 300.0 + 100 * i));
            // a minute apart, so each has its own start-time name
            const auto t =
                fs::file_time_type::clock::now() - std::chrono::hours(24) + std::chrono::minutes(i);
            fs::last_write_time(root_ + files_[i], t);
        }
        options_.to = out_;
        options_.stateFile = ImportStatePath(env_.Path("state"), "uuid:1234-ABCD");
        fs::create_directories(out_);
    }
    uint32_t Import(TestHost& host, ImportCounts& counts)
    {
        CDriveImportWorker worker(drive::ListRecords(root_), options_, host);
        const uint32_t result = worker.Run();
        counts = worker.Counts();
        return result;
    }

    testsupport::ScopedTestEnv env_;
    const std::string root_ = env_.Path("drive"), out_ = env_.Path("out");
    std::vector<std::string> files_;
    DriveImportOptions options_;
};

} // namespace

TEST_F(DriveImport, CopiesOnceGoesOnAfterAPullAndDeletesOnlyWhatMatchesItsCopy)
{
    // the drive is pulled while the second file is being copied
    TestHost pulled;
    int copies = 0;
    pulled.onStage = [&](uint32_t id)
    {
        if (id == res::ids::kImportingNewRecords && ++copies == 2)
            fs::rename(root_, root_ + ".away");
    };
    ImportCounts counts;
    EXPECT_EQ(Import(pulled, counts), res::ids::kDriveFileUnreadable);
    EXPECT_EQ(counts.copied, 1);
    fs::rename(root_ + ".away", root_);
    const std::vector<std::string> first = Names(out_);
    ASSERT_EQ(first.size(), 2u); // one copy and the manifest, no part file
    EXPECT_EQ(first.back(), "SHA256SUMS");
    EXPECT_EQ(testsupport::ReadFile(out_ + "/" + first[0]),
              testsupport::ReadFile(root_ + files_[0]));

    // plugged again, its state damaged (lines that cannot be read are dropped): the copy
    // there is known by its size and SHA-256
    testsupport::WriteFile(options_.stateFile.string(),
                           "garbage\n" + std::string(64, 'a') + "\t12\tx\t/t\tp\n" +
                               std::string(64, 'b') + "\t1\t2\t/t%Z\tRECORDER\n\t\t\t\t\n");
    TestHost again;
    EXPECT_EQ(Import(again, counts), 0u);
    EXPECT_EQ(counts.copied, 2);
    EXPECT_EQ(counts.skipped, 1);
    EXPECT_EQ(Names(out_).size(), 4u);
    EXPECT_EQ(ImportOutcomeText(counts), "Copied 2, skipped 1, deleted 0.");

    // deleting: the first file changes on the drive between its check and its deletion
    TestHost deleting;
    options_.deleteVerified = true;
    bool changed = false;
    deleting.onStage = [&](uint32_t id)
    {
        if (id != res::ids::kCheckingBeforeDelete || changed) return;
        std::string bytes = testsupport::ReadFile(root_ + files_[0]);
        bytes[bytes.size() / 2] ^= 1;
        testsupport::WriteFile(root_ + files_[0], bytes);
        changed = true;
    };
    EXPECT_EQ(Import(deleting, counts), 0u);
    EXPECT_EQ(counts.skipped, 3);
    EXPECT_EQ(counts.deleted, 2);
    EXPECT_EQ(counts.notDeleted, std::vector<std::string>{"RECORDER/FOLDER_A/REC0001.WAV"});
    EXPECT_TRUE(fs::exists(root_ + files_[0]));
    EXPECT_FALSE(fs::exists(root_ + files_[1]) || fs::exists(root_ + files_[2]));

    // the changed file is new: copied and deleted, the first copy left as it was
    const std::string original = testsupport::ReadFile(out_ + "/" + first[0]);
    TestHost last;
    EXPECT_EQ(Import(last, counts), 0u);
    EXPECT_EQ(counts.copied, 1);
    EXPECT_EQ(counts.deleted, 1);
    EXPECT_TRUE(fs::is_empty(root_ + "/RECORDER/FOLDER_A"));
    EXPECT_EQ(Names(out_).size(), 5u);
    EXPECT_EQ(testsupport::ReadFile(out_ + "/" + first[0]), original);
}

// A target disk that fills up (a file size limit, in a child process): the write error,
// no part file, and the drive untouched though deleting was asked for.
TEST_F(DriveImport, AFullTargetDiskEndsWithTheWriteErrorAndDeletesNothing)
{
    auto fill = [&]
    {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{24000, 24000}; // the second file (32 KB of samples) does not fit
        setrlimit(RLIMIT_FSIZE, &limit);
        options_.deleteVerified = true;
        TestHost host;
        ImportCounts counts;
        const uint32_t result = Import(host, counts);
        const auto left = Names(out_);
        const bool ok = result == res::ids::kDiskWriteError && host.errors.size() == 1 &&
                        counts.copied == 1 && counts.deleted == 1 && left.size() == 2 &&
                        fs::exists(root_ + files_[1]) && fs::exists(root_ + files_[2]);
        std::fprintf(stderr, "result %u, %zu left, %d copied\n", result, left.size(),
                     counts.copied);
        std::exit(ok ? 0 : 1);
    };
    EXPECT_EXIT(fill(), ::testing::ExitedWithCode(0), "");
}
