// vark-cli export, verify and key against a virtual recorder plugged in from an image the
// test writes, so every exported byte can be compared with the records.
#include "cli_fixture.h"

#include "platform/little_endian.h"
#include "recorder/image.h"
#include "transfer/signature.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <random>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

using testsupport::ReadFile;

namespace
{

uint32_t Get32(const std::string& s, size_t at)
{
    return platform::LoadLE32(reinterpret_cast<const uint8_t*>(s.data() + at));
}

constexpr uint32_t kT0 = 86400 * 366; // 2001-01-01 00:00:00
const std::string kFirst = "2001_01_01 00_00_00.wav";
const std::string kThird = "2001_01_01 00_01_40.wav";
constexpr int kSerial = 321;

class ExportCliTest : public CliTest
{
protected:
    // Two "A" fragments (8 kHz mono mu-law, 1 s each, 3 s apart) and a 16 kHz PCM record of
    // `pcmBytes`.
    void MakeImage(size_t pcmBytes = 70000)
    {
        image_.identity.serial = kSerial;
        Add(kT0, recorder::kHeaderMarkA, 8000, 1);
        Add(kT0 + 4, recorder::kHeaderMarkA, 8000, 2);
        Add(kT0 + 100, recorder::kHeaderRate16k | recorder::kHeaderUncompressed, pcmBytes, 3);
        std::string error;
        ASSERT_TRUE(recorder::SaveImage(imageDir_, image_, &error)) << error;
    }
    void Add(uint32_t start, uint32_t header, size_t bytes, unsigned seed)
    {
        recorder::StoredRecord r;
        r.start = start;
        r.header = header;
        std::mt19937 rng(seed);
        r.data.resize(bytes);
        for (auto& b : r.data)
            b = static_cast<uint8_t>(rng());
        image_.records.push_back(r);
    }
    std::string Data(size_t record) const
    {
        const auto& d = image_.records[record].data;
        return std::string(d.begin(), d.end());
    }
    std::string Out(const std::string& name) const { return out_ + "/" + name; }
    // Where a file is written until it is finished.
    std::string Part(const std::string& name) const { return out_ + "/." + name + ".part"; }

    recorder::RecorderImage image_;
    const std::string imageDir_ = env_.Path("image");
    const std::string out_ = env_.Path("out");
};

// The CLI on a pseudo-terminal, for the questions it asks there.
class Terminal
{
public:
    explicit Terminal(const std::vector<std::string>& argv)
    {
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0)
        {
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::fcntl(master_, F_SETFL, O_NONBLOCK);
    }
    ~Terminal()
    {
        if (pid_ > 0 && !status_)
        {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0) ::close(master_);
    }
    // Reads until `text` has appeared (after what was already seen).
    bool Expect(const std::string& text, int timeoutMs = 60000)
    {
        return testsupport::WaitFor(
            [&]
            {
                Drain();
                const size_t at = seen_.find(text, from_);
                if (at == std::string::npos) return false;
                from_ = at + text.size();
                return true;
            },
            timeoutMs);
    }
    void Type(const std::string& keys)
    {
        [[maybe_unused]] auto n = ::write(master_, keys.data(), keys.size());
    }
    std::optional<int> Wait(int timeoutMs)
    {
        testsupport::WaitFor(
            [&]
            {
                Drain();
                int status = 0;
                if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return true;
            },
            timeoutMs);
        return status_;
    }
    const std::string& Seen() const { return seen_; }

private:
    void Drain()
    {
        char buf[4096];
        ssize_t n;
        while ((n = ::read(master_, buf, sizeof buf)) > 0)
            seen_.append(buf, static_cast<size_t>(n));
    }
    int master_ = -1;
    pid_t pid_ = -1;
    std::optional<int> status_;
    std::string seen_;
    size_t from_ = 0;
};

} // namespace

TEST_F(ExportCliTest, SignedExportVerifiesAndDetectsChanges)
{
    MakeImage();
    Plug({}, imageDir_);
    const auto r = Cli({"export", "--all", "--sign", "--real-pause", "--out", out_, "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, Out(kFirst) + "\n" + Out(kFirst) + ".dsg\n" + Out(kThird) + "\n" +
                         Out(kThird) + ".dsg\n");
    // The progress lines name the stages and end at 100 % of the whole.
    EXPECT_NE(r.err.find("Counting total size..."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Writing noise..."), std::string::npos);
    EXPECT_NE(r.err.find("Creating signature file..."), std::string::npos);
    EXPECT_NE(r.err.find("100%  100%  107 / 107 KB"), std::string::npos) << r.err;

    const std::string joined = ReadFile(Out(kFirst));
    ASSERT_EQ(joined.size(), 46u + 8000 + 24000 + 8000 + 156);
    EXPECT_EQ(joined.substr(46, 8000), Data(0));
    EXPECT_EQ(joined.substr(46 + 32000, 8000), Data(1));
    EXPECT_EQ(ReadFile(Out(kThird)).substr(46, 70000), Data(2));

    const auto ok = Cli({"verify", Out(kFirst), "--serial", std::to_string(kSerial)});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(ok.out, "File is authentic.\n");
    EXPECT_EQ(Cli({"verify", Out(kThird), "--attached"}).exitCode, 0);
    const auto other = Cli({"verify", Out(kThird), "--serial", "322"});
    EXPECT_EQ(other.exitCode, 1);
    EXPECT_EQ(other.out, "File has been changed.\n");

    // A renamed file is authentic and names its exported name.
    std::filesystem::rename(Out(kThird), Out("talk.wav"));
    const auto renamed = Cli({"verify", Out("talk.wav"), "--dsg", Out(kThird) + ".dsg", "--serial",
                              std::to_string(kSerial)});
    EXPECT_EQ(renamed.exitCode, 0);
    EXPECT_EQ(renamed.out, "File is authentic.\nAttention! The file name has been changed. The "
                           "original file name is\n2001_01_01 00_01_40\n");

    std::string changed = joined;
    changed[30000] ^= 0x01;
    testsupport::WriteFile(Out(kFirst), changed);
    const auto bad = Cli({"--json", "verify", Out(kFirst), "--serial", std::to_string(kSerial)});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.out.find("\"authentic\":false"), std::string::npos) << bad.out;

    const std::string key = vark::SerialKeyText(vark::MakeSerialKey(kSerial));
    EXPECT_EQ(Cli({"key", "--serial", "321"}).out, key + "\n");
    EXPECT_EQ(Cli({"key", "--attached"}).out, key + "\n");
}

// Broadcast WAV and FLAC exports as the peer tools read them: ffprobe and mediainfo find the
// bext fields, flac tests every file, ffprobe reads its comments, and the signatures and the
// manifest hold over the FLAC bytes.
TEST_F(ExportCliTest, BroadcastWavAndFlacExportsAsPeerToolsReadThem)
{
    using testsupport::RunProcess;
    if (RunProcess({"ffprobe", "-version"}).exitCode != 0 ||
        RunProcess({"flac", "--version"}).exitCode != 0 ||
        RunProcess({"mediainfo", "--version"}).exitCode != 0)
        GTEST_SKIP() << "ffprobe, flac or mediainfo is missing (scripts/bootstrap adds them)";
    MakeImage();
    Plug({}, imageDir_);
    ASSERT_EQ(Cli({"export", "--all", "--bwf", "--real-pause", "--out", out_, "--yes"}).exitCode,
              0);
    const auto tags = [](const std::string& file)
    {
        return RunProcess({"ffprobe", "-v", "error", "-show_entries", "format_tags", "-of",
                           "default=nw=1", file})
            .out;
    };
    const std::string bwf = tags(Out(kFirst));
    // (ffprobe shows the trailer's comment over the bext description; mediainfo shows both)
    EXPECT_NE(bwf.find("TAG:encoded_by=Sound Manager Varke P 321"), std::string::npos) << bwf;
    EXPECT_NE(bwf.find("TAG:originator_reference=321-1-20010101000000"), std::string::npos);
    EXPECT_NE(bwf.find("TAG:date=2001-01-01"), std::string::npos);
    EXPECT_NE(bwf.find("TAG:coding_history=A=ULAW,F=8000,W=8,M=mono"), std::string::npos);
    const std::string info = RunProcess({"mediainfo", Out(kThird)}).out;
    EXPECT_NE(info.find("Encoded date                             : 2001-01-01 00:01:40"),
              std::string::npos)
        << info;
    EXPECT_NE(info.find("Description                              : Record 3 of recorder 321"),
              std::string::npos);

    const std::string flacDir = env_.Path("flac");
    const auto r = Cli({"export", "--all", "--format", "flac", "--sign", "--real-pause", "--out",
                        flacDir, "--yes"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string first = flacDir + "/2001_01_01 00_00_00.flac",
                      third = flacDir + "/2001_01_01 00_01_40.flac";
    EXPECT_EQ(r.out, first + "\n" + first + ".dsg\n" + third + "\n" + third + ".dsg\n");
    EXPECT_EQ(RunProcess({"flac", "-t", "-s", first, third}).exitCode, 0);
    const std::string comments = tags(first);
    EXPECT_NE(comments.find("TAG:ORIGINATION_DATE=2001-01-01"), std::string::npos) << comments;
    EXPECT_NE(comments.find("TAG:CODING_HISTORY=A=ULAW,F=8000,W=8,M=mono\nA=PCM,F=8000,W=16"),
              std::string::npos);
    EXPECT_EQ(Cli({"verify", third, "--serial", std::to_string(kSerial)}).exitCode, 0);
    EXPECT_EQ(RunProcess({"sh", "-c", "cd '" + flacDir + "' && sha256sum -c --quiet SHA256SUMS"})
                  .exitCode,
              0);
    EXPECT_EQ(Cli({"export", "--all", "--format", "ogg", "--out", flacDir}).exitCode, 2);
}

TEST_F(ExportCliTest, WrongEntriesAreRefusedBeforeTheRecorderIsTouched)
{
    // No recorder is plugged in: a refused entry says why and exits 2, a good one gets as far
    // as looking for the recorder (1).
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"export", "--all"}, "Enter target folder."},
        {{"export", "--out", out_}, "--all or --records"},
        {{"export", "--out", out_, "--all", "--records", "1"}, "--all or --records"},
        {{"export", "--out", out_, "--records", "0"}, "bad record list"},
        {{"export", "--out", out_, "--records", "3-1"}, "bad record list"},
        {{"export", "--out", out_, "--records", "1,,2"}, "bad record list"},
        {{"export", "--out", out_, "--records", "1-x"}, "bad record list"},
        {{"export", "--out", out_, "--records", "70000"}, "bad record list"},
        {{"export", "--out", out_, "--all", "--overwrite", "--skip-existing"}, "exclude"},
        {{"export", "--out", out_, "--all", "--pause", "0"}, "can be 1 to 59 sec"},
        {{"export", "--out", out_, "--all", "--pause", "60"}, "can be 1 to 59 sec"},
        {{"export", "--out", out_, "--all", "--pause", "two"}, "can be 1 to 59 sec"},
        {{"export", "--out", out_, "--all", "--pause", "5", "--real-pause"}, "exclude"},
        {{"export", "--out", out_, "--all", "--frobnicate"}, "unknown option"},
        {{"verify", env_.Path("none.wav"), "--serial", "5"}, "File not found"},
        {{"verify", " ", "--serial", "5"}, "Please enter file name"},
        {{"key", "--serial", "0"}, "Wrong serial number"},
        {{"key", "--serial", "12a"}, "Wrong serial number"},
        {{"key", "--serial", "4294967296"}, "Wrong serial number"},
        {{"key", "--serial", "5", "--attached"}, "key (--serial N | --attached)"},
        {{"key"}, "key (--serial N | --attached)"},
    };
    for (const auto& [args, why] : refused)
    {
        const auto r = Cli(args);
        EXPECT_EQ(r.exitCode, 2) << args.back() << "\n" << r.err;
        EXPECT_NE(r.err.find(why), std::string::npos) << args.back() << "\n" << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(out_));
    const auto good = Cli({"export", "--out", out_, "--records", "1,3-5", "--pause", "59"});
    EXPECT_EQ(good.exitCode, 1);
    EXPECT_NE(good.err.find("No connection"), std::string::npos) << good.err;
    EXPECT_EQ(Cli({"key", "--serial", "-5"}).out,
              vark::SerialKeyText(vark::MakeSerialKey(static_cast<uint32_t>(-5))) + "\n");

    MakeImage();
    Plug({}, imageDir_);
    const auto beyond = Cli({"export", "--out", out_, "--records", "2-4"});
    EXPECT_EQ(beyond.exitCode, 2);
    EXPECT_NE(beyond.err.find("no record 4"), std::string::npos) << beyond.err;
    EXPECT_FALSE(std::filesystem::exists(Out(kFirst)));
}

TEST_F(ExportCliTest, ExistingFilesAreKeptUnlessOverwritingIsAsked)
{
    MakeImage();
    Plug({}, imageDir_);
    std::filesystem::create_directories(out_);
    testsupport::WriteFile(Out(kThird), "keep me");

    const auto skip = Cli({"export", "--records", "3", "--out", out_, "--skip-existing"});
    EXPECT_EQ(skip.exitCode, 0) << skip.err;
    EXPECT_EQ(ReadFile(Out(kThird)), "keep me");
    // Without a terminal nobody can be asked: the file stays and the question is shown.
    const auto nobody = Cli({"export", "--records", "3", "--out", out_});
    EXPECT_EQ(nobody.exitCode, 0);
    EXPECT_NE(nobody.err.find("Record " + Out(kThird) +
                              " already exists. Do you want to "
                              "overwrite? No"),
              std::string::npos)
        << nobody.err;
    EXPECT_EQ(ReadFile(Out(kThird)), "keep me");
    const auto over = Cli({"export", "--records", "3", "--out", out_, "--overwrite"});
    EXPECT_EQ(over.exitCode, 0);
    EXPECT_EQ(ReadFile(Out(kThird)).substr(46, 70000), Data(2));
}

TEST_F(ExportCliTest, FullTargetEndsWithDiskErrorAndKeepsWhatWasWritten)
{
    MakeImage();
    Plug({}, imageDir_);
    // Files may grow to 100 blocks of 512 bytes: the PCM record does not fit.
    const auto r = testsupport::RunProcess(
        {"/bin/sh", "-c", "ulimit -f 100 && trap '' XFSZ && exec \"$0\" \"$@\"",
         testsupport::BinDir() + "/vark-cli", "export", "--records", "2,3", "--out", out_},
        "", 120000);
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error writing onto the disk."), std::string::npos) << r.err;
    const std::string first = ReadFile(Out("2001_01_01 00_00_04.wav"));
    ASSERT_EQ(first.size(), 46u + 8000 + 156);
    EXPECT_EQ(first.substr(46, 8000), Data(1));
    EXPECT_FALSE(testsupport::FileExists(Out(kThird))); // not finished: only its part
    const std::string part = ReadFile(Part(kThird));
    ASSERT_EQ(part.size(), 51200u);
    EXPECT_EQ(Get32(part, 42), 51200u - 46);
    EXPECT_EQ(part.substr(46), Data(2).substr(0, 51200 - 46));
}

TEST_F(ExportCliTest, CtrlCWithoutATerminalCancelsAtOnce)
{
    MakeImage(2000000);
    Plug({"--throttle", "400000"}, imageDir_);
    testsupport::ChildProcess cli(
        {testsupport::BinDir() + "/vark-cli", "export", "--all", "--out", out_});
    ASSERT_TRUE(testsupport::WaitFor([&] { return testsupport::FileExists(Part(kThird)); }, 60000))
        << cli.Stderr();
    const std::string first = ReadFile(Out(kFirst));
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(30000), std::optional<int>(1)) << cli.Stderr();
    EXPECT_EQ(cli.Stderr().find("Do you want to cancel copying?"), std::string::npos);
    EXPECT_FALSE(testsupport::FileExists(Out(kThird)));
    EXPECT_FALSE(testsupport::FileExists(Part(kThird)));
    EXPECT_EQ(ReadFile(Out(kFirst)), first);
    EXPECT_EQ(first.size(), 46u + 8000 + 8000 + 8000 + 156); // joined by a 1 s pause
}

TEST_F(ExportCliTest, OnATerminalQuestionsAreAskedAndCtrlCAsksFirst)
{
    MakeImage(2000000);
    Plug({"--throttle", "400000"}, imageDir_);
    std::filesystem::create_directories(out_);
    testsupport::WriteFile(Out(kFirst), "old");
    Terminal t({testsupport::BinDir() + "/vark-cli", "export", "--all", "--out", out_});
    ASSERT_TRUE(t.Expect("already exists. Do you want to overwrite? [Yes/No] ")) << t.Seen();
    t.Type("y\n");
    ASSERT_TRUE(testsupport::WaitFor([&] { return testsupport::FileExists(Part(kThird)); }, 60000));
    t.Type("\x03"); // Ctrl-C
    ASSERT_TRUE(t.Expect("Do you want to cancel copying? [Yes/No] ")) << t.Seen();
    t.Type("n\n");
    ASSERT_TRUE(t.Expect("Writing record file...")) << t.Seen();
    t.Type("\x03");
    ASSERT_TRUE(t.Expect("Do you want to cancel copying? [Yes/No] ")) << t.Seen();
    t.Type("yes\n");
    EXPECT_EQ(t.Wait(30000), std::optional<int>(1)) << t.Seen();
    EXPECT_FALSE(testsupport::FileExists(Out(kThird)));
    EXPECT_FALSE(testsupport::FileExists(Part(kThird)));
    EXPECT_EQ(ReadFile(Out(kFirst)).size(), 46u + 24000 + 156); // overwritten
}
