// The vark-recorder program, run as a process.
#include "recorder/firmware.h"
#include "recorder/image.h"

#include "platform/devio.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>

using namespace recorder;
using Cmd = vark::RecorderCommand;
using vark::kFrameSize;
namespace dv = platform::devio;
using testsupport::ChildProcess;
using testsupport::RunProcess;
using testsupport::ScopedTestEnv;
using testsupport::WaitFor;

namespace
{

std::string Tool()
{
    return testsupport::BinDir() + "/vark-recorder";
}

std::vector<std::string> Sockets()
{
    return dv::EnumerateInterfaces(dv::kRecorderClassGuid);
}

bool Write(dv::DeviceHandle h, Cmd cmd, uint32_t d0, uint32_t d4)
{
    uint8_t f[kFrameSize] = {};
    dv::PutU32(f, d0);
    dv::PutU32(f + 4, d4);
    uint32_t got = 0;
    return dv::DeviceControl(h, WriteCode(cmd), f, kFrameSize, nullptr, 0, &got) &&
           got == kFrameSize;
}

int QueryByte(dv::DeviceHandle h, Cmd cmd)
{
    uint8_t f[kFrameSize] = {};
    uint32_t got = 0;
    if (!dv::DeviceControl(h, QueryCode(cmd), nullptr, 0, f, kFrameSize, &got) || got != kFrameSize)
        return -1;
    return f[4];
}

std::string WavFile(const std::string& path, unsigned rate, unsigned seconds)
{
    std::string w = "RIFF....WAVEfmt ";
    auto u32 = [&](uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            w.push_back(static_cast<char>(v >> (8 * i)));
    };
    u32(16);
    w += std::string("\x01\x00\x01\x00", 4);
    u32(rate);
    u32(rate * 2);
    w += std::string("\x02\x00\x10\x00", 4);
    w += "data";
    u32(rate * 2 * seconds);
    for (unsigned i = 0; i < rate * seconds; ++i)
    {
        const int16_t s = static_cast<int16_t>(8000 * std::sin(i * 0.05));
        w.push_back(static_cast<char>(s & 0xFF));
        w.push_back(static_cast<char>((s >> 8) & 0xFF));
    }
    testsupport::WriteFile(path, w);
    return path;
}

} // namespace

TEST(VarkRecorderProgram, PlugDemoPublishesOneSocketAndRemovesItOnSigterm)
{
    ScopedTestEnv env;
    ChildProcess child({Tool(), "plug", "--demo"});
    // Publishing takes well under two seconds; the bound here only catches a hang, since a
    // loaded machine running the sanitizer build may be many times slower.
    ASSERT_TRUE(WaitFor([] { return !Sockets().empty(); }, 30000)) << child.Stderr();
    const std::vector<std::string> sockets = Sockets();
    ASSERT_EQ(sockets.size(), 1u);
    EXPECT_EQ(sockets[0], dv::ClassFolder(dv::kRecorderClassGuid) + "/recorder-4711");
    const dv::DeviceHandle h = dv::OpenDevice(sockets[0]);
    ASSERT_TRUE(Write(h, Cmd::PresentAccessCode, 0, 0));
    EXPECT_EQ(QueryByte(h, Cmd::RecordCount), 8);
    ASSERT_TRUE(child.Signal(SIGTERM));
    const std::optional<int> rc = child.Wait(10000);
    ASSERT_TRUE(rc);
    EXPECT_EQ(*rc, 0);
    EXPECT_TRUE(Sockets().empty());
    EXPECT_EQ(QueryByte(h, Cmd::SerialNumber), -1);
    EXPECT_EQ(dv::LastError(), dv::kErrorDeviceNotConnected);
    dv::CloseDevice(h);
}

TEST(VarkRecorderProgram, CommittedChangesPersistAcrossPlugRuns)
{
    ScopedTestEnv env;
    const std::string img = env.Path("img");
    ASSERT_EQ(RunProcess({Tool(), "make-image", img, "--serial", "77", "--pin", "4321"}).exitCode,
              0);
    for (int run = 0; run < 2; ++run)
    {
        ChildProcess child({Tool(), "plug", img, "-v"});
        ASSERT_TRUE(WaitFor([] { return Sockets().size() == 1; }, 10000)) << child.Stderr();
        const dv::DeviceHandle h = dv::OpenDevice(Sockets()[0]);
        ASSERT_NE(h, dv::kInvalidDeviceHandle);
        ASSERT_FALSE(Write(h, Cmd::PresentAccessCode, 0, 0));
        ASSERT_TRUE(Write(h, Cmd::PresentAccessCode, 0, 0x4321));
        if (run == 0)
        {
            ASSERT_TRUE(Write(h, Cmd::SourceLeft, 0x4321, kSourceExtLeft));
            ASSERT_TRUE(Write(h, Cmd::Commit, 0x4321, 0));
            ASSERT_TRUE(Write(h, Cmd::SourceRight, 0x4321, kSourceLineRight)); // never committed
        }
        else
        {
            EXPECT_EQ(QueryByte(h, Cmd::SourceLeft), kSourceExtLeft);
            EXPECT_EQ(QueryByte(h, Cmd::SourceRight), kSourceInternal);
        }
        dv::CloseDevice(h);
        ASSERT_TRUE(child.Signal(SIGINT));
        ASSERT_EQ(child.Wait(10000), std::optional<int>(0));
        EXPECT_TRUE(Sockets().empty());
        if (run == 0)
        {
            const std::string out = child.Stdout();
            EXPECT_NE(out.find("W29 [00 00 00 00  00 00 00 00"), std::string::npos) << out;
            EXPECT_NE(out.find("-> error 5"), std::string::npos) << out;
            EXPECT_NE(out.find("W31 [21 43 00 00"), std::string::npos) << out;
        }
    }
    // Identity overrides are for one run only.
    ChildProcess child({Tool(), "plug", img, "--serial", "5", "--firmware", "0010"});
    ASSERT_TRUE(WaitFor([] { return Sockets().size() == 1; }, 10000));
    EXPECT_EQ(Sockets()[0].substr(Sockets()[0].rfind('/')), "/recorder-5");
    const dv::DeviceHandle h = dv::OpenDevice(Sockets()[0]);
    ASSERT_TRUE(Write(h, Cmd::PresentAccessCode, 0, 0x4321));
    uint8_t f[kFrameSize];
    uint32_t got;
    ASSERT_TRUE(
        dv::DeviceControl(h, QueryCode(Cmd::FirmwareVersion), nullptr, 0, f, kFrameSize, &got));
    EXPECT_EQ(dv::GetU16(f + 4), 0x0010);
    ASSERT_TRUE(Write(h, Cmd::Commit, 0x4321, 0));
    dv::CloseDevice(h);
    child.Signal(SIGTERM);
    ASSERT_EQ(child.Wait(10000), std::optional<int>(0));
    RecorderImage disk;
    std::string error;
    ASSERT_TRUE(LoadImage(img, &disk, &error)) << error;
    EXPECT_EQ(disk.identity.serial, 77);
    EXPECT_EQ(disk.identity.firmware, 0x2C10);
}

TEST(VarkRecorderProgram, ImportAddsARecordInTheRecorderFormat)
{
    ScopedTestEnv env;
    const std::string img = env.Path("img");
    ASSERT_EQ(RunProcess({Tool(), "make-image", img}).exitCode, 0);
    EXPECT_EQ(RunProcess({Tool(), "make-image", img}).exitCode, 1); // not over an image
    const std::string wav = WavFile(env.Path("in.wav"), 22050, 2);
    const auto r =
        RunProcess({Tool(), "import", img, wav, "--start", "2026-05-04 10:11:12", "--rate", "8000",
                    "--stereo", "--mulaw", "--marks", "A,T", "--sources", "ext-left,ext-right"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_EQ(RunProcess({Tool(), "import", img, wav}).exitCode, 0);
    RecorderImage disk;
    std::string error;
    ASSERT_TRUE(LoadImage(img, &disk, &error)) << error;
    ASSERT_EQ(disk.records.size(), 2u);
    const StoredRecord& a = disk.records[0];
    EXPECT_EQ(FormatRecorderTime(a.start), "2026-05-04 10:11:12");
    EXPECT_EQ(a.header, kHeaderStereo | kHeaderMarkA | kHeaderMarkT | (10u << kHeaderSourcesShift));
    EXPECT_EQ(a.data.size(), 2u * 8000 * 2);
    const StoredRecord& b = disk.records[1]; // defaults: 16 kHz PCM mono, internal mic, now
    EXPECT_EQ(b.header, kHeaderRate16k | kHeaderUncompressed | (4u << kHeaderSourcesShift));
    EXPECT_EQ(b.data.size(), 2u * 16000 * 2);

    testsupport::WriteFile(env.Path("bad.wav"), "RIFF1234WAVEjunk");
    const auto bad = RunProcess({Tool(), "import", img, env.Path("bad.wav")});
    EXPECT_EQ(bad.exitCode, 1);
    EXPECT_NE(bad.err.find(env.Path("bad.wav") + ": no format chunk"), std::string::npos)
        << bad.err;
    for (std::vector<std::string> args :
         {std::vector<std::string>{"import", img, wav, "--rate", "11025"},
          {"import", img, wav, "--marks", "X"},
          {"import", img, wav, "--start", "yesterday"},
          {"import", img},
          {"plug"},
          {"plug", img, "--demo"},
          {"plug", img, "--fault", "nonsense"},
          {"plug", img, "--pin", "12345678901"},
          {"plug", img, "--firmware", "xyz"},
          {"frobnicate"}})
    {
        args.insert(args.begin(), Tool());
        EXPECT_EQ(RunProcess(args).exitCode, 2) << args[1] << " " << args.back();
    }
    EXPECT_EQ(disk.records.size(), 2u);
}

TEST(VarkRecorderProgram, CorruptImageIsReportedWithFileAndLine)
{
    ScopedTestEnv env;
    const std::string img = env.Path("img");
    ASSERT_EQ(RunProcess({Tool(), "make-image", img}).exitCode, 0);
    std::string text = testsupport::ReadFile(img + "/recorder.txt");
    text += "[record]\nstart = 2026-01-01 00:00:00\nheader = zzz\n";
    testsupport::WriteFile(img + "/recorder.txt", text);
    const auto r = RunProcess({Tool(), "plug", img});
    EXPECT_EQ(r.exitCode, 1);
    const size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    EXPECT_NE(r.err.find(img + "/recorder.txt:" + std::to_string(lines) + ": bad header word"),
              std::string::npos)
        << r.err;
    EXPECT_TRUE(Sockets().empty());
}

TEST(VarkRecorderProgram, UnplugFaultEndsThePlug)
{
    ScopedTestEnv env;
    const std::string img = env.Path("img");
    ASSERT_EQ(RunProcess({Tool(), "make-image", img, "--demo"}).exitCode, 0);
    ChildProcess child({Tool(), "plug", img, "--fault", "unplug-after:100", "--latency", "1"});
    ASSERT_TRUE(WaitFor([] { return Sockets().size() == 1; }, 10000));
    const dv::DeviceHandle h = dv::OpenDevice(Sockets()[0]);
    ASSERT_TRUE(Write(h, Cmd::PresentAccessCode, 0, 0));
    ASSERT_TRUE(Write(h, Cmd::SelectRecord, 0, 0));
    while (QueryByte(h, Cmd::SelectRecord) == 1)
    {
    }
    ASSERT_TRUE(Write(h, Cmd::TransferSize, 0, vark::kTransferSizeOnOpen));
    std::vector<uint8_t> page(5120);
    uint32_t n = 0;
    ASSERT_TRUE(dv::ReadDevice(h, page.data(), 5120, &n));
    EXPECT_EQ(n, 100u);
    EXPECT_EQ(child.Wait(10000), std::optional<int>(0));
    EXPECT_TRUE(Sockets().empty());
    EXPECT_NE(child.Stdout().find("unplugged by fault"), std::string::npos);
    dv::CloseDevice(h);
}
