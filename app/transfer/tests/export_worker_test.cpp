// The export worker against the virtual recorder over a real socket.
#include "transfer/export_worker.h"

#include "drive/drive_record.h"
#include "platform/bext.h"
#include "platform/little_endian.h"
#include "platform/riff.h"
#include "platform/thread_locale.h"
#include "recorder/virtual_recorder.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "settings/app_settings.h"
#include "testsupport/test_env.h"
#include "transfer/signature.h"

#include "export_test_host.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <sys/resource.h>

using namespace vark;
using testsupport::ReadFile;

namespace
{

uint32_t Get32(const std::string& s, size_t at)
{
    return platform::LoadLE32(reinterpret_cast<const uint8_t*>(s.data() + at));
}

constexpr uint32_t kT0 = 86400 * 366; // 2001-01-01 00:00:00 (2000 is a leap year)

class ExportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        logPath_ = env_.Path("Varke.log");
        OpenLog(std::wstring(logPath_.begin(), logPath_.end()).c_str(), 0, 0, 0);
        out_ = env_.Path("out");
        std::filesystem::create_directory(out_);
        // Two voice-activated fragments (8 kHz mono mu-law, 1 s each, 3 s apart) and one
        // 16 kHz PCM record.
        AddRecord(kT0, header::kMarkA, 8000, 1);
        AddRecord(kT0 + 4, header::kMarkA, 8000, 2);
        AddRecord(kT0 + 100, header::kRate16k | header::kUncompressed, 70000, 3);
    }
    void TearDown() override { CloseLog(); }

    void AddRecord(uint32_t start, uint32_t headerWord, size_t bytes, unsigned seed)
    {
        recorder::StoredRecord r;
        r.start = start;
        r.header = headerWord;
        std::mt19937 rng(seed);
        r.data.resize(bytes);
        for (auto& b : r.data)
            b = static_cast<uint8_t>(rng());
        image_.records.push_back(r);
    }
    void Plug()
    {
        image_.identity.serial = 321;
        firmware_ = std::make_shared<recorder::RecorderFirmware>(image_);
        plugged_ = std::make_unique<recorder::VirtualRecorder>(firmware_);
        ASSERT_TRUE(plugged_->Plug());
        ASSERT_TRUE(dev_.Open(plugged_->DevicePath()));
        ASSERT_TRUE(dev_.PresentAccessCode(L""));
    }
    ExportOptions Options(bool sign = false)
    {
        ExportOptions o;
        o.folder = out_;
        o.sign = sign;
        o.pauseMode = PauseMode::kReal;
        o.serial = 321;
        return o;
    }
    std::string Data(size_t record) const
    {
        const auto& d = image_.records[record].data;
        return std::string(d.begin(), d.end());
    }
    std::string File(const std::string& name) const { return ReadFile(out_ + "/" + name); }

    testsupport::ScopedTestEnv env_;
    std::string logPath_, out_;
    recorder::RecorderImage image_;
    std::shared_ptr<recorder::RecorderFirmware> firmware_;
    std::unique_ptr<recorder::VirtualRecorder> plugged_;
    CVarkDevice dev_;
    TestHost host_;
};

const std::string kFirst = "2001_01_01 00_00_00.wav";
const std::string kSecond = "2001_01_01 00_00_04.wav";
const std::string kThird = "2001_01_01 00_01_40.wav";

} // namespace

TEST_F(ExportTest, FragmentsJoinWithNoiseAndEveryFileIsSigned)
{
    Plug();
    CExportWorker worker(dev_, {0, 1, 2}, Options(true), host_);
    ASSERT_TRUE(worker.Start());
    worker.Join();
    EXPECT_EQ(worker.Result(), 0u);
    EXPECT_TRUE(host_.errors.empty());

    const std::string joined = File(kFirst);
    ASSERT_EQ(joined.size(), 46u + 8000 + 24000 + 8000 + 156);
    EXPECT_EQ(Get32(joined, 4), 38u + 40000 + 156);
    EXPECT_EQ(Get32(joined, 42), 40000u);
    EXPECT_EQ(joined.substr(46, 8000), Data(0));
    EXPECT_EQ(joined.substr(46 + 8000 + 24000, 8000), Data(1));
    EXPECT_FALSE(std::filesystem::exists(out_ + "/" + kSecond));
    const std::string pcm = File(kThird);
    ASSERT_EQ(pcm.size(), 46u + 70000 + 156);
    EXPECT_EQ(pcm.substr(46, 70000), Data(2));

    for (const std::string& name : {kFirst, kThird})
    {
        std::wstring exported;
        EXPECT_TRUE(Verify(out_ + "/" + name + ".dsg", out_ + "/" + name, 321, exported)) << name;
        EXPECT_EQ(exported + L".wav", std::wstring(name.begin(), name.end()));
        EXPECT_FALSE(Verify(out_ + "/" + name + ".dsg", out_ + "/" + name, 322, exported));
    }

    const ExportProgress p = worker.Progress();
    EXPECT_EQ(p.grandTotal, 8000u + 24000 + 8000 + 70000);
    EXPECT_EQ(p.written, p.grandTotal);
    EXPECT_EQ(p.totalPercent, 100);
    EXPECT_EQ(host_.deselected, (std::vector<size_t>{0, 1, 2}));
    using namespace res::ids;
    EXPECT_EQ(host_.stages,
              (std::vector<uint32_t>{kCountingTotalSize, kWritingRecordFile, kWritingNoise,
                                     kWritingRecordFile, kCreatingSignatureFile, kWritingRecordFile,
                                     kCreatingSignatureFile}));
    EXPECT_TRUE(host_.asked.empty());
}

// Broadcast WAV: the bext chunk between the format and the data, the trailer still last, the
// fields from the recorder's clock, the data as written (mu-law stays mu-law), a signature
// over the file as written, and our own drive reader taking the start from it.
TEST_F(ExportTest, BroadcastWavCarriesItsBextBeforeTheDataAndTheTrailerLast)
{
    Plug();
    ExportOptions options = Options(true);
    options.bwf = true;
    CExportWorker worker(dev_, {0, 1, 2}, options, host_);
    EXPECT_EQ(worker.Run(), 0u);
    for (const auto& [name, history, reference] :
         {std::tuple{kFirst, "A=ULAW,F=8000,W=8,M=mono\r\n", uint64_t(0)},
          std::tuple{kThird, "A=PCM,F=16000,W=16,M=mono\r\n", uint64_t(100 * 16000)}})
    {
        SCOPED_TRACE(name);
        const std::string bytes = File(name);
        std::vector<std::string> ids;
        std::optional<platform::bext::Bext> bext;
        std::string data;
        platform::riff::WalkWaveChunks(
            reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
            [&](const platform::riff::Chunk& c)
            {
                ids.emplace_back(c.id, 4);
                const auto* body = reinterpret_cast<const uint8_t*>(bytes.data()) + c.body;
                if (ids.back() == "bext") bext = platform::bext::Parse(body, c.size);
                if (ids.back() == "data") data = bytes.substr(c.body, c.size);
                return true;
            });
        EXPECT_EQ(ids, (std::vector<std::string>{"fmt ", "bext", "data", "LIST"}));
        ASSERT_TRUE(bext);
        EXPECT_EQ(bext->originationDate, "2001-01-01");
        EXPECT_EQ(bext->timeReference, reference);
        EXPECT_EQ(bext->codingHistory, history);
        EXPECT_NE(bext->originator.find("321"), std::string::npos);
        EXPECT_EQ(data.size(), name == kThird ? 70000u : 40000u);
        if (name == kThird)
        {
            EXPECT_EQ(data, Data(2));
        }
        std::wstring exported;
        EXPECT_TRUE(Verify(out_ + "/" + name + ".dsg", out_ + "/" + name, 321, exported));
        EXPECT_EQ(exported + L".wav", std::wstring(name.begin(), name.end()));
        const drive::DriveRecord listed = drive::ReadRecord(out_, out_ + "/" + name);
        EXPECT_EQ(listed.startFrom, drive::StartFrom::kBext);
    }
}

// FLAC: the same names, joining and signatures, and decoding gives exactly what decoding the
// WAV export gives, for the joined mu-law file and the PCM one alike (the joining noise is
// random, made anew by each export: only its length can agree).
TEST_F(ExportTest, FlacExportsDecodeToTheSamplesOfTheWavExports)
{
    Plug();
    CExportWorker wavWorker(dev_, {0, 1, 2}, Options(), host_);
    ASSERT_EQ(wavWorker.Run(), 0u);
    ExportOptions flac = Options(true);
    flac.format = ExportFormat::kFlac;
    flac.folder = env_.Path("flac");
    std::filesystem::create_directory(flac.folder);
    CExportWorker flacWorker(dev_, {0, 1, 2}, flac, host_);
    ASSERT_EQ(flacWorker.Run(), 0u);
    EXPECT_TRUE(host_.errors.empty());
    EXPECT_EQ(flacWorker.Finished(),
              (std::vector<std::filesystem::path>{flac.folder / "2001_01_01 00_00_00.flac",
                                                  flac.folder / "2001_01_01 00_01_40.flac"}));
    for (const auto& [wavName, flacName] :
         {std::pair{kFirst, "2001_01_01 00_00_00.flac"}, {kThird, "2001_01_01 00_01_40.flac"}})
    {
        SCOPED_TRACE(flacName);
        const std::string flacPath = (flac.folder / flacName).string();
        EXPECT_EQ(ReadFile(flacPath).substr(0, 4), "fLaC");
        const std::string fromWav = DecodedSamples(out_ + "/" + wavName),
                          fromFlac = DecodedSamples(flacPath);
        ASSERT_EQ(fromFlac.size(), wavName == kFirst ? 2u * 40000 : 70000u);
        ASSERT_EQ(fromFlac.size(), fromWav.size());
        const size_t record = wavName == kFirst ? 2u * 8000 : fromWav.size();
        EXPECT_TRUE(fromFlac.substr(0, record) == fromWav.substr(0, record));
        EXPECT_TRUE(fromFlac.substr(fromFlac.size() - record) ==
                    fromWav.substr(fromWav.size() - record));
        std::wstring exported;
        EXPECT_TRUE(Verify(flacPath + ".dsg", flacPath, 321, exported));
    }
    EXPECT_NE(ReadFile(flac.folder / "SHA256SUMS").find("2001_01_01 00_01_40.flac.dsg"),
              std::string::npos);
}

// A target disk that fills up mid-FLAC (a file size limit, in a child so the limit stays
// there): the write error is said and no finished-looking file is left.
TEST_F(ExportTest, AFullDiskMidFlacLeavesNoFinishedFile)
{
    auto fill = [&]
    {
        Plug();
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{30000, 30000}; // the first file's FLAC frames do not fit
        setrlimit(RLIMIT_FSIZE, &limit);
        ExportOptions o = Options();
        o.format = ExportFormat::kFlac;
        CExportWorker worker(dev_, {0, 1, 2}, o, host_);
        const uint32_t result = worker.Run();
        bool finished = false;
        for (const auto& e : std::filesystem::directory_iterator(out_))
            finished = finished || e.path().extension() == ".flac";
        std::fprintf(stderr, "result %u, finished file %d\n", result, int(finished));
        std::exit(result == res::ids::kDiskWriteError && !finished && host_.errors.size() == 1 ? 0
                                                                                               : 1);
    };
    EXPECT_EXIT(fill(), ::testing::ExitedWithCode(0), "");
}

TEST_F(ExportTest, SkippedExistingFileBreaksTheJoin)
{
    Plug();
    testsupport::WriteFile(out_ + "/" + kFirst, "keep me");
    ExportOptions o = Options();
    o.keepSelection = true;
    CExportWorker worker(dev_, {0, 1, 2}, o, host_);
    EXPECT_EQ(worker.Run(), 0u);
    EXPECT_EQ(host_.asked, (std::vector<uint32_t>{res::ids::kRecordExists}));
    EXPECT_EQ(host_.lastArgs, (std::vector<std::string>{out_ + "/" + kFirst}));
    EXPECT_EQ(File(kFirst), "keep me");
    const std::string second = File(kSecond);
    ASSERT_EQ(second.size(), 46u + 8000 + 156);
    EXPECT_EQ(second.substr(46, 8000), Data(1));
    EXPECT_TRUE(std::filesystem::exists(out_ + "/" + kThird));
    EXPECT_FALSE(std::filesystem::exists(out_ + "/" + kThird + ".dsg"));
    EXPECT_TRUE(host_.deselected.empty());
    // Skipped bytes and the noise that would have joined count as done.
    EXPECT_EQ(worker.Progress().written, worker.Progress().grandTotal);

    // Overwriting replaces the old file.
    TestHost yes;
    yes.answers[res::ids::kRecordExists] = true;
    CExportWorker again(dev_, {0}, Options(), yes);
    EXPECT_EQ(again.Run(), 0u);
    EXPECT_EQ(File(kFirst).substr(46, 8000), Data(0));
}

TEST_F(ExportTest, CancelDeletesTheCurrentFileOnly)
{
    Plug();
    CExportWorker first(dev_, {2}, Options(), host_);
    EXPECT_EQ(first.Run(), 0u);
    const std::string done = File(kThird);

    host_.answers[res::ids::kCancelCopying] = false;
    CExportWorker notCancelled(dev_, {0}, Options(), host_);
    notCancelled.Cancel();
    EXPECT_EQ(notCancelled.Run(), 0u); // "No" goes on
    EXPECT_EQ(File(kFirst).size(), 46u + 8000 + 156);

    host_.answers[res::ids::kCancelCopying] = true;
    std::filesystem::remove(out_ + "/" + kFirst);
    CExportWorker worker(dev_, {0, 1}, Options(), host_);
    worker.Cancel();
    EXPECT_EQ(worker.Run(), 0u);
    EXPECT_FALSE(std::filesystem::exists(out_ + "/" + kFirst));
    EXPECT_EQ(File(kThird), done);
    EXPECT_TRUE(host_.errors.empty());
}

TEST_F(ExportTest, VanishingRecorderEndsWithCantOpenRecordAndAValidFile)
{
    // A file left behind is closed with its header completed and no trailer: a valid WAV of
    // what was copied, under its part name only, since it is not finished.
    const auto expectPartial = [&](const std::string& name, size_t record)
    {
        EXPECT_FALSE(std::filesystem::exists(out_ + "/" + name));
        const std::string part = File("." + name + ".part");
        ASSERT_GT(part.size(), 46u);
        const uint32_t data = Get32(part, 42);
        EXPECT_LT(data, Data(record).size());
        EXPECT_EQ(part.size(), 46u + data);
        EXPECT_EQ(Get32(part, 4), 38u + data);
        EXPECT_EQ(part.substr(46), Data(record).substr(0, data));
    };
    const auto unplugAfter = [&](uint64_t bytes)
    {
        Plug();
        recorder::Fault gone;
        gone.kind = recorder::Fault::Kind::UnplugAfter;
        gone.bytes = bytes;
        firmware_->AddFault(gone);
    };

    unplugAfter(7000); // inside the second page of the first record
    CExportWorker worker(dev_, {0, 1, 2}, Options(), host_);
    EXPECT_EQ(worker.Run(), res::ids::kCantOpenRecord);
    EXPECT_EQ(host_.errors, (std::vector<uint32_t>{res::ids::kCantOpenRecord}));
    expectPartial(kFirst, 0);

    // Inside the last record no later request would notice: the short record itself must
    // end the export, and it is not signed.
    dev_.Close();
    unplugAfter(30000);
    TestHost last;
    CExportWorker lastWorker(dev_, {2}, Options(true), last);
    EXPECT_EQ(lastWorker.Run(), res::ids::kCantOpenRecord);
    EXPECT_EQ(last.errors, (std::vector<uint32_t>{res::ids::kCantOpenRecord}));
    EXPECT_TRUE(lastWorker.Finished().empty());
    EXPECT_TRUE(last.deselected.empty());
    expectPartial(kThird, 2);
    EXPECT_FALSE(std::filesystem::exists(out_ + "/" + kThird + ".dsg"));

    // The next export of that name writes it whole and leaves no part of it behind (the first
    // record's part stays until that record is exported again).
    dev_.Close();
    Plug();
    TestHost again;
    CExportWorker whole(dev_, {2}, Options(true), again);
    EXPECT_EQ(whole.Run(), 0u);
    EXPECT_EQ(File(kThird).substr(46, Data(2).size()), Data(2));
    EXPECT_TRUE(std::filesystem::exists(out_ + "/" + kThird + ".dsg"));
    EXPECT_FALSE(std::filesystem::exists(out_ + "/." + kThird + ".part"));
    EXPECT_TRUE(std::filesystem::exists(out_ + "/." + kFirst + ".part"));
}

TEST_F(ExportTest, ReadThatLosesPartOfATransferIsNotReportedAsSuccess)
{
    Plug();
    recorder::Fault shortRead;
    shortRead.kind = recorder::Fault::Kind::ShortRead;
    shortRead.bytes = 1000;
    shortRead.skip = 3;
    shortRead.times = 1;
    firmware_->AddFault(shortRead);
    CExportWorker worker(dev_, {2}, Options(), host_);
    EXPECT_EQ(worker.Run(), res::ids::kCantOpenRecord);
    EXPECT_TRUE(worker.Finished().empty());
}

TEST_F(ExportTest, WorkerThreadSpeaksTheProgramsLanguage)
{
    Plug();
    CAppSettings settings(L"");
    settings.followUserLanguage = false;
    settings.Language = kLangRussian;
    ApplyLanguage(settings);
    // A thread that did not take the chosen language would start in English.
    platform::SetDefaultThreadLocale(platform::kLcidEnglish);
    platform::SetThreadLocale(platform::kLcidEnglish);

    CExportWorker worker(dev_, {0}, Options(), host_);
    ASSERT_TRUE(worker.Start(ReapplyThreadLanguage));
    worker.Join();
    settings.Language = kLangEnglish;
    ApplyLanguage(settings);

    EXPECT_EQ(worker.Result(), 0u);
    ASSERT_FALSE(host_.stageLocales.empty());
    for (platform::Lcid lcid : host_.stageLocales)
        EXPECT_EQ(lcid, 1049u);
    EXPECT_EQ(host_.stageTexts.front(), res::LoadString(res::ids::kCountingTotalSize, 1049));
    EXPECT_NE(host_.stageTexts.front(), res::LoadString(res::ids::kCountingTotalSize, 1033));
}

TEST_F(ExportTest, UnwritableTargetEndsWithDiskError)
{
    Plug();
    ExportOptions o = Options();
    o.folder = env_.Path("missing");
    CExportWorker worker(dev_, {0}, o, host_);
    EXPECT_EQ(worker.Run(), res::ids::kDiskWriteError);
    EXPECT_EQ(host_.errors, (std::vector<uint32_t>{res::ids::kDiskWriteError}));
}

TEST_F(ExportTest, AStandardExceptionShowsItsOwnTextAndAnythingElseTheDiskMessage)
{
    Plug();
    host_.onStage = [](uint32_t id)
    {
        if (id == res::ids::kWritingRecordFile) throw std::runtime_error("Stream ended early");
    };
    {
        CExportWorker worker(dev_, {2}, Options(), host_);
        EXPECT_EQ(worker.Run(), res::ids::kDiskWriteError);
    }
    EXPECT_EQ(host_.errorTexts, (std::vector<std::string>{"Stream ended early"}));
    EXPECT_TRUE(host_.errors.empty());

    host_.errorTexts.clear();
    host_.onStage = [](uint32_t id)
    {
        if (id == res::ids::kWritingRecordFile) throw 7;
    };
    CExportWorker worker(dev_, {2}, Options(), host_);
    EXPECT_EQ(worker.Run(), res::ids::kDiskWriteError);
    EXPECT_EQ(host_.errors, (std::vector<uint32_t>{res::ids::kDiskWriteError}));
    EXPECT_TRUE(host_.errorTexts.empty());
}
