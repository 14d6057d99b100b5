#include "recorder/firmware.h"
#include "recorder/flash_page.h"
#include "recorder/virtual_recorder.h"

#include "hamming_reference.h"

#include "platform/devio.h"
#include "testsupport/test_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using namespace recorder;
using Cmd = vark::RecorderCommand;
using vark::kFrameSize;
namespace dv = platform::devio;
using testsupport::ScopedTestEnv;

namespace
{

using Frame = std::array<uint8_t, kFrameSize>;

Frame F(uint32_t d0, uint32_t d4 = 0, uint32_t d8 = 0)
{
    Frame f{};
    dv::PutU32(&f[0], d0);
    dv::PutU32(&f[4], d4);
    dv::PutU32(&f[8], d8);
    return f;
}

uint32_t D4(const dv::DeviceAnswer& a)
{
    return dv::GetU32(a.output.data() + 4);
}

std::vector<uint8_t> Pattern(size_t n, unsigned seed)
{
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = static_cast<uint8_t>((i * 131 + seed * 17 + i / 300) & 0xFF);
    return v;
}

RecorderImage TestImage(uint16_t firmware, uint32_t code = 0)
{
    RecorderImage img;
    img.identity.serial = -2;
    img.identity.firmware = firmware;
    img.identity.capability = 3;
    img.identity.battery = 66;
    img.identity.charging = true;
    img.identity.memoryTotal = 1 << 20;
    img.settings.accessCode = code;
    StoredRecord r;
    r.start = 800000000;
    r.header = kHeaderUncompressed | kHeaderMarkT | (4u << kHeaderSourcesShift);
    r.data = Pattern(10000, 1);
    img.records.push_back(r);
    r.start = 800000100;
    r.header = kHeaderRate16k | kHeaderStereo | kHeaderMarkA;
    r.data = Pattern(40000, 2);
    img.records.push_back(r);
    return img;
}

struct Fw
{
    explicit Fw(uint16_t firmware, uint32_t code = 0, FirmwareConfig c = {})
        : fw(TestImage(firmware, code), c), code(code)
    {
        fw.Reset();
    }
    bool Unlock() { return fw.Write(Cmd::PresentAccessCode, F(0, code)).status == 0; }
    bool W(Cmd cmd, uint32_t d4 = 0, uint32_t d8 = 0)
    {
        return fw.Write(cmd, F(code, d4, d8)).status == 0;
    }
    dv::DeviceAnswer Q(Cmd cmd) { return fw.Query(cmd); }
    // Select a record and wait until it is ready.
    bool Open(uint16_t index)
    {
        if (!W(Cmd::SelectRecord, index)) return false;
        for (int i = 0; i < 100; ++i)
        {
            const auto a = Q(Cmd::SelectRecord);
            if (a.status != 0) return false;
            if (a.output[4] == 0) return true;
        }
        return false;
    }
    RecorderFirmware fw;
    uint32_t code;
};

} // namespace

TEST(RecorderFirmware, IdentityAndStatusQueries)
{
    Fw r(0x2C10);
    ASSERT_TRUE(r.Unlock());
    auto a = r.Q(Cmd::SerialNumber);
    ASSERT_EQ(a.status, 0u);
    ASSERT_EQ(a.outputLength, kFrameSize);
    EXPECT_EQ(dv::GetU16(a.output.data() + 4), 0xFFFE); // signed serial -2
    EXPECT_EQ(dv::GetU16(r.Q(Cmd::FirmwareVersion).output.data() + 4), 0x2C10);
    EXPECT_EQ(r.Q(Cmd::CapabilityLevel).output[4], 3);
    EXPECT_EQ(r.Q(Cmd::Battery).output[4], 66);
    EXPECT_EQ(r.Q(Cmd::Battery).output[5], 1);
    EXPECT_EQ(r.Q(Cmd::BatteryIndication).output[4], 1);
    EXPECT_EQ(dv::GetU16(r.Q(Cmd::RecordCount).output.data() + 4), 2);
    // Memory in 512-byte units from firmware kFirmwareSectorUnits on; free shrinks with the
    // records.
    a = r.Q(Cmd::Memory);
    EXPECT_EQ(D4(a), 2048u);
    EXPECT_EQ(dv::GetU32(a.output.data() + 8), (1048576u - 50000u) / 512);
    Fw old(vark::kFirmwareSectorUnits - 1);
    ASSERT_TRUE(old.Unlock());
    a = old.Q(Cmd::Memory);
    EXPECT_EQ(D4(a), 1048576u);
    EXPECT_EQ(dv::GetU32(a.output.data() + 8), 1048576u - 50000u);
    // Writes are reported as 16 bytes transferred and carry nothing back.
    const auto w = r.fw.Write(Cmd::BatteryIndication, F(0, 0));
    EXPECT_EQ(w.status, 0u);
    EXPECT_EQ(w.outputLength, kFrameSize);
    EXPECT_TRUE(w.output.empty());
    EXPECT_EQ(r.Q(Cmd::BatteryIndication).output[4], 0);
}

TEST(RecorderFirmware, MalformedRequestsAreRefused)
{
    Fw r(0x2C10);
    ASSERT_TRUE(r.Unlock());
    dv::DeviceRequest q;
    q.op = dv::kOpControl;
    q.code = QueryCode(Cmd::SerialNumber);
    q.outputCapacity = 8;
    EXPECT_EQ(r.fw.Handle(q).status, 122u);
    q.code = 0x220000;
    q.outputCapacity = kFrameSize;
    EXPECT_EQ(r.fw.Handle(q).status, dv::kErrorInvalidFunction);
    EXPECT_EQ(r.fw.Query(15).status, dv::kErrorInvalidFunction);        // unused command
    EXPECT_EQ(r.Q(Cmd::CloseRecord).status, dv::kErrorInvalidFunction); // write-only command
    dv::DeviceRequest w;
    w.op = dv::kOpControl;
    w.code = WriteCode(Cmd::SourceLeft);
    w.input = {0, 0, 0, 0};
    EXPECT_EQ(r.fw.Handle(w).status, dv::kErrorInvalidParameter);
    EXPECT_EQ(r.fw.Write(33, F(0)).status, dv::kErrorInvalidFunction);
}

TEST(RecorderFirmware, LockRules)
{
    Fw r(0x2C10, 0x1234);
    EXPECT_TRUE(r.fw.Locked());
    EXPECT_EQ(r.Q(Cmd::SerialNumber).status, 0u);
    for (Cmd cmd : {Cmd::Clock, Cmd::RecordCount, Cmd::FirmwareVersion})
        EXPECT_EQ(r.Q(cmd).status, dv::kErrorAccessDenied) << vark::CommandNumber(cmd);
    EXPECT_EQ(r.fw.Write(Cmd::SourceLeft, F(0x1234, 8)).status, dv::kErrorAccessDenied);
    EXPECT_EQ(r.fw.Read(5120).status, dv::kErrorAccessDenied);
    // The empty PIN the program tries first is refused; the recorder stays locked.
    EXPECT_EQ(r.fw.Write(Cmd::PresentAccessCode, F(0, 0)).status, dv::kErrorAccessDenied);
    EXPECT_TRUE(r.fw.Locked());
    ASSERT_EQ(r.fw.Write(Cmd::PresentAccessCode, F(0, 0x1234)).status, 0u);
    EXPECT_FALSE(r.fw.Locked());
    EXPECT_EQ(r.Q(Cmd::FirmwareVersion).status, 0u);
    // Every write carries the code presented at unlock.
    EXPECT_EQ(r.fw.Write(Cmd::SourceLeft, F(0, 8)).status, dv::kErrorAccessDenied);
    EXPECT_EQ(r.fw.Write(Cmd::SourceLeft, F(0x1234, 8)).status, 0u);
    // Change the code: the old code still commits, then only the new one unlocks.
    EXPECT_EQ(r.fw.Write(Cmd::ChangeAccessCode, F(0x1234, 0x5678)).status, 0u);
    EXPECT_EQ(r.fw.Write(Cmd::Commit, F(0x1234)).status, 0u);
    EXPECT_EQ(r.fw.CommittedImage().settings.accessCode, 0x5678u);
    EXPECT_EQ(r.fw.Write(Cmd::PresentAccessCode, F(0x1234, 0x1234)).status, dv::kErrorAccessDenied);
    EXPECT_TRUE(r.fw.Locked());
    EXPECT_EQ(r.fw.Write(Cmd::PresentAccessCode, F(0x1234, 0x5678)).status, 0u);
    EXPECT_EQ(r.fw.Write(Cmd::SourceLeft, F(0x1234, 4)).status, dv::kErrorAccessDenied);
    EXPECT_EQ(r.fw.Write(Cmd::SourceLeft, F(0x5678, 4)).status, 0u);
    // The last handle closing locks it again.
    r.fw.ConnectionChanged(1, true);
    r.fw.ConnectionChanged(2, true);
    r.fw.ConnectionChanged(1, false);
    EXPECT_FALSE(r.fw.Locked());
    r.fw.ConnectionChanged(2, false);
    EXPECT_TRUE(r.fw.Locked());
}

TEST(RecorderFirmware, ParametersStoreAnswerAndCommit)
{
    ScopedTestEnv env;
    Fw r(0x2C10);
    std::string error;
    ASSERT_TRUE(SaveImage(env.Path("img"), TestImage(0x2C10), &error));
    r.fw.SetImageFolder(env.Path("img"));
    ASSERT_TRUE(r.Unlock());
    const struct
    {
        Cmd cmd;
        uint32_t value, expect;
    } bytes[] = {
        {Cmd::SampleRate, 1, 1}, {Cmd::Uncompressed, 0, 0},  {Cmd::Stereo, 7, 1},
        {Cmd::SourceLeft, 8, 8}, {Cmd::SourceRight, 16, 16}, {Cmd::Agc, 0, 0},
        {Cmd::ButtonMode, 2, 2}, {Cmd::RecordButton, 5, 1},  {Cmd::BatteryIndication, 1, 1}};
    for (const auto& b : bytes)
    {
        ASSERT_TRUE(r.W(b.cmd, b.value)) << vark::CommandNumber(b.cmd);
        EXPECT_EQ(r.Q(b.cmd).output[4], b.expect) << vark::CommandNumber(b.cmd);
    }
    ASSERT_TRUE(r.W(Cmd::RecordingLevel, 31 | (4u << 8)));
    EXPECT_EQ(r.Q(Cmd::RecordingLevel).output[4], 31);
    EXPECT_EQ(r.Q(Cmd::RecordingLevel).output[5], 4);
    EXPECT_FALSE(r.W(Cmd::RecordingLevel, 32 | (2u << 8))); // not a level
    ASSERT_TRUE(r.W(Cmd::AccuThreshold, 0xABCD0078));       // only the 16-bit word counts
    EXPECT_EQ(D4(r.Q(Cmd::AccuThreshold)), 0x78u);
    ASSERT_TRUE(r.W(Cmd::RingLength, 5400));
    EXPECT_EQ(D4(r.Q(Cmd::RingLength)), 5400u);
    for (uint32_t t = 0; t < 5; ++t)
    {
        ASSERT_TRUE(r.W(Cmd::SelectTimer, t));
        ASSERT_TRUE(r.W(Cmd::Timer, 900000000 + t, 60 * (t + 1)));
    }
    EXPECT_FALSE(r.W(Cmd::SelectTimer, 5));
    ASSERT_TRUE(r.W(Cmd::SelectTimer, 3));
    const auto t3 = r.Q(Cmd::Timer);
    EXPECT_EQ(D4(t3), 900000003u);
    EXPECT_EQ(dv::GetU32(t3.output.data() + 8), 240u);

    // Nothing reaches the image before the commit; the commit writes it at once.
    RecorderImage disk;
    ASSERT_TRUE(LoadImage(env.Path("img"), &disk, &error));
    EXPECT_EQ(disk.settings.sourceLeft, kSourceInternal);
    ASSERT_TRUE(r.W(Cmd::Commit));
    ASSERT_TRUE(LoadImage(env.Path("img"), &disk, &error)) << error;
    EXPECT_EQ(disk.settings, r.fw.LiveImage().settings);
    EXPECT_EQ(disk.settings.timers[4].duration, 300u);
    EXPECT_EQ(disk.records.size(), 2u);
    // Uncommitted changes are gone after a power cycle.
    ASSERT_TRUE(r.W(Cmd::SourceLeft, 1));
    r.fw.Reset();
    ASSERT_TRUE(r.Unlock());
    EXPECT_EQ(r.Q(Cmd::SourceLeft).output[4], 8);
}

TEST(RecorderFirmware, ClockTicksAndIsSet)
{
    Fw r(0x2C10);
    ASSERT_TRUE(r.Unlock());
    ASSERT_TRUE(r.W(Cmd::Clock, 700000000));
    const uint32_t t0 = D4(r.Q(Cmd::Clock));
    EXPECT_GE(t0, 700000000u);
    EXPECT_LE(t0, 700000002u);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const uint32_t t1 = D4(r.Q(Cmd::Clock));
    EXPECT_GE(t1, t0 + 1);
    EXPECT_LE(t1, t0 + 10);
}

TEST(RecorderFirmware, RecordSelectionAndHeader)
{
    FirmwareConfig c;
    c.notReadyPolls = 3;
    Fw r(0x2C10, 0, c);
    ASSERT_TRUE(r.Unlock());
    EXPECT_EQ(r.Q(Cmd::SelectRecord).status, dv::kErrorGenFailure); // nothing selected
    EXPECT_FALSE(r.W(Cmd::SelectRecord, 2));                        // no such record
    ASSERT_TRUE(r.W(Cmd::SelectRecord, 1));
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(r.Q(Cmd::RecordHeader).status, dv::kErrorNotReady);
        EXPECT_EQ(r.Q(Cmd::SelectRecord).output[4], 1);
    }
    EXPECT_EQ(r.Q(Cmd::SelectRecord).output[4], 0);
    const auto h = r.Q(Cmd::RecordHeader);
    ASSERT_EQ(h.status, 0u);
    EXPECT_EQ(D4(h), 40000u);
    EXPECT_EQ(dv::GetU32(h.output.data() + 8), 800000100u);
    EXPECT_EQ(dv::GetU32(h.output.data() + 12), kHeaderRate16k | kHeaderStereo | kHeaderMarkA);
    ASSERT_TRUE(r.W(Cmd::CloseRecord));
    EXPECT_EQ(r.Q(Cmd::RecordHeader).status, dv::kErrorGenFailure);
}

TEST(RecorderFirmware, BulkReadBeforeFirmware17NeedsTheSizeEveryTime)
{
    Fw r(vark::kFirmwareTransferSizeOnOpen - 1);
    ASSERT_TRUE(r.Unlock());
    ASSERT_TRUE(r.Open(0));
    EXPECT_EQ(r.fw.Read(4096).status, dv::kErrorGenFailure); // no transfer size yet
    const std::vector<uint8_t> data = Pattern(10000, 1);
    std::vector<uint8_t> got;
    while (true)
    {
        ASSERT_TRUE(r.W(Cmd::TransferSize, 4096));
        const auto a = r.fw.Read(4096);
        ASSERT_EQ(a.status, 0u);
        if (a.outputLength == 0) break;
        got.insert(got.end(), a.output.begin(), a.output.end());
        EXPECT_EQ(r.fw.Read(4096).status, dv::kErrorGenFailure); // the size was used up
    }
    EXPECT_EQ(got, data);
    // The transfer size limits the read.
    ASSERT_TRUE(r.W(Cmd::SeekRecord, 100));
    ASSERT_TRUE(r.W(Cmd::TransferSize, 50));
    const auto a = r.fw.Read(4096);
    EXPECT_EQ(a.outputLength, 50u);
    EXPECT_TRUE(std::equal(a.output.begin(), a.output.end(), data.begin() + 100));
}

TEST(RecorderFirmware, BulkReadFromFirmware17IsPlain)
{
    Fw r(vark::kFirmwareTransferSizeOnOpen);
    ASSERT_TRUE(r.Unlock());
    ASSERT_TRUE(r.Open(1));
    ASSERT_TRUE(r.W(Cmd::TransferSize, vark::kTransferSizeOnOpen));
    const std::vector<uint8_t> data = Pattern(40000, 2);
    std::vector<uint8_t> got;
    for (auto n : {32768u, 32768u})
    {
        const auto a = r.fw.Read(n);
        ASSERT_EQ(a.status, 0u);
        got.insert(got.end(), a.output.begin(), a.output.end());
    }
    EXPECT_EQ(got, data);
    EXPECT_EQ(r.fw.Read(32768).outputLength, 0u);
    // Positioning asks for the transfer size again.
    ASSERT_TRUE(r.W(Cmd::SeekRecord, 39990));
    EXPECT_EQ(r.fw.Read(100).status, dv::kErrorGenFailure);
    ASSERT_TRUE(r.W(Cmd::TransferSize, vark::kTransferSizeOnOpen));
    const auto a = r.fw.Read(100);
    EXPECT_EQ(a.outputLength, 10u);
    EXPECT_TRUE(std::equal(a.output.begin(), a.output.end(), data.begin() + 39990));
}

TEST(RecorderFirmware, PageFirmwareDeliversCodedPages)
{
    Fw r(vark::kFirmwarePages);
    ASSERT_TRUE(r.Unlock());
    ASSERT_TRUE(r.Open(0));
    ASSERT_TRUE(r.W(Cmd::TransferSize, vark::kTransferSizeOnOpen));
    EXPECT_EQ(r.fw.Read(4096).status, dv::kErrorInvalidParameter); // pages only
    const std::vector<uint8_t> data = Pattern(10000, 1);
    std::vector<uint8_t> pages;
    for (int i = 0; i < 3; ++i)
    {
        const auto a = r.fw.Read(5120);
        ASSERT_EQ(a.status, 0u);
        ASSERT_EQ(a.outputLength, 5120u);
        pages.insert(pages.end(), a.output.begin(), a.output.end());
    }
    EXPECT_EQ(r.fw.Read(5120).outputLength, 0u); // at the end
    for (size_t p = 0; p < 3; ++p)
    {
        const uint8_t* page = &pages[p * 5120];
        for (size_t i = 0; i < 4096; ++i)
        {
            const size_t off = p * 4096 + i;
            ASSERT_EQ(page[i], off < data.size() ? data[off] : 0xFF) << off;
        }
        for (size_t k = 0; k < 8; ++k)
        {
            const auto ref = ReferenceSectorCode(page + 512 * k);
            ASSERT_EQ(std::vector<uint8_t>(page + 4096 + 3 * k, page + 4099 + 3 * k),
                      std::vector<uint8_t>(ref.begin(), ref.end()))
                << "page " << p << " sector " << k;
        }
        EXPECT_EQ(page[4120], 0x42);
        EXPECT_EQ(page[4121], 0x45);
        for (size_t i = 4122; i < 5120; ++i)
            ASSERT_EQ(page[i], 0xFF);
    }
    // Several pages in one read; positioning works in data bytes.
    ASSERT_TRUE(r.W(Cmd::SeekRecord, 4096));
    ASSERT_TRUE(r.W(Cmd::TransferSize, vark::kTransferSizeOnOpen));
    const auto a = r.fw.Read(3 * 5120);
    EXPECT_EQ(a.outputLength, 2u * 5120);
    EXPECT_TRUE(std::equal(a.output.begin(), a.output.begin() + 4096, data.begin() + 4096));
}

TEST(RecorderFirmware, EraseTakesItsTimeAndEmptiesTheRecorder)
{
    ScopedTestEnv env;
    FirmwareConfig c;
    c.eraseSeconds = 0.5;
    Fw r(0x2C10, 0, c);
    std::string error;
    ASSERT_TRUE(SaveImage(env.Path("img"), TestImage(0x2C10), &error));
    r.fw.SetImageFolder(env.Path("img"));
    ASSERT_TRUE(r.Unlock());
    const auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(r.W(Cmd::EraseAll, 2));
    ASSERT_TRUE(r.W(Cmd::EraseAll, 1));
    EXPECT_EQ(r.Q(Cmd::EraseAll).output[4], 1);
    EXPECT_EQ(r.Q(Cmd::Clock).status, 0u); // the clock answers during the erase
    EXPECT_FALSE(r.W(Cmd::SelectRecord, 0));
    ASSERT_TRUE(testsupport::WaitFor([&] { return r.Q(Cmd::EraseAll).output[4] == 0; }, 10000));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500));
    EXPECT_EQ(dv::GetU16(r.Q(Cmd::RecordCount).output.data() + 4), 0);
    EXPECT_EQ(dv::GetU32(r.Q(Cmd::Memory).output.data() + 8), 2048u);
    RecorderImage disk;
    ASSERT_TRUE(LoadImage(env.Path("img"), &disk, &error));
    EXPECT_TRUE(disk.records.empty());
    EXPECT_EQ(FirmwareConfig{}.eraseSeconds, 3.0);
}

TEST(RecorderFirmware, NotReadyZeroByteAnswersAfterWrites)
{
    FirmwareConfig c;
    c.busyEmptyAnswers = 2;
    Fw r(0x2C10, 0, c);
    ASSERT_TRUE(r.Unlock());
    EXPECT_EQ(r.Q(Cmd::RecordCount).outputLength, 0u);
    EXPECT_EQ(r.Q(Cmd::RecordCount).outputLength, 0u);
    const auto a = r.Q(Cmd::RecordCount);
    EXPECT_EQ(a.status, 0u);
    EXPECT_EQ(a.outputLength, kFrameSize);
}

TEST(RecorderFirmware, InputLevelMovesLikeAVoice)
{
    Fw r(0x2C10);
    ASSERT_TRUE(r.Unlock());
    int lo = 255, hi = 0;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
    while (std::chrono::steady_clock::now() < end)
    {
        const int v = r.Q(Cmd::InputLevel).output[4];
        lo = std::min(lo, v);
        hi = std::max(hi, v);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_LT(lo, 10);
    EXPECT_GT(hi, 40);
    EXPECT_LE(hi, 100);
}

TEST(RecorderFirmware, CommandFaults)
{
    Fw r(0x2C10);
    ASSERT_TRUE(r.Unlock());
    std::string error;
    for (const char* spec :
         {"fail:W25,skip=2,times=1", "empty:Q9,times=2", "short-answer:Q7", "fail:Q12,error=1167"})
    {
        auto f = ParseFault(spec, &error);
        ASSERT_TRUE(f) << error;
        r.fw.AddFault(*f);
    }
    EXPECT_TRUE(r.W(Cmd::Timer));
    EXPECT_TRUE(r.W(Cmd::Timer));
    EXPECT_FALSE(r.W(Cmd::Timer)); // the third
    EXPECT_TRUE(r.W(Cmd::Timer));
    EXPECT_EQ(r.Q(Cmd::Timer).status, 0u); // queries of 25 are not hit
    EXPECT_EQ(r.Q(Cmd::RecordCount).outputLength, 0u);
    EXPECT_EQ(r.Q(Cmd::RecordCount).outputLength, 0u);
    EXPECT_EQ(r.Q(Cmd::RecordCount).outputLength, 16u);
    EXPECT_EQ(r.Q(Cmd::Memory).outputLength, 8u);
    EXPECT_EQ(r.Q(Cmd::Memory).outputLength, 16u);
    ASSERT_TRUE(r.Open(0));
    EXPECT_EQ(r.Q(Cmd::RecordHeader).status, 1167u);
    EXPECT_EQ(r.Q(Cmd::RecordHeader).status, 1167u);
    r.fw.ClearFaults();
    EXPECT_EQ(r.Q(Cmd::RecordHeader).status, 0u);

    for (const char* bad : {"fail", "fail:Q", "fail:W300", "empty:W9", "nonsense:1", "short-read:x",
                            "flip-data:1,byte=512", "flip-code:1,byte=3", "fail:Q1,bit=2",
                            "fail:Q1,error=0", "fail:Q1,times"})
        EXPECT_FALSE(ParseFault(bad, &error)) << bad;
}

TEST(RecorderFirmware, FlippedBitsReadBackWrongUnderRightCodes)
{
    Fw r(0x2C10);
    ASSERT_TRUE(r.Unlock());
    std::string error;
    // Sector 9 = page 1, sector 1: one data bit; sector 10: two data bits; sector 3: a code bit.
    for (const char* spec :
         {"flip-data:9", "flip-data:10,byte=5,bit=0", "flip-data:10,byte=6,bit=7",
          "flip-code:3,byte=2,bit=6", "flip-data:0,record=1"})
        r.fw.AddFault(*ParseFault(spec, &error));
    const std::vector<uint8_t> data = Pattern(10000, 1);
    ASSERT_TRUE(r.Open(0));
    ASSERT_TRUE(r.W(Cmd::TransferSize, vark::kTransferSizeOnOpen));
    const auto p0 = r.fw.Read(5120).output;
    const auto p1 = r.fw.Read(5120).output;
    ASSERT_EQ(p1.size(), 5120u);
    EXPECT_TRUE(std::equal(p0.begin(), p0.begin() + 4096, data.begin())); // record 1 only
    for (size_t i = 0; i < 4096; ++i)
    {
        uint8_t expect = data[4096 + i];
        if (i == 512 + 300) expect ^= 0x10;
        if (i == 1024 + 5) expect ^= 0x01;
        if (i == 1024 + 6) expect ^= 0x80;
        ASSERT_EQ(p1[i], expect) << i;
    }
    // The codes are those of the data as written.
    for (size_t k = 0; k < 8; ++k)
    {
        const auto ref = ReferenceSectorCode(&data[4096 + 512 * k]);
        EXPECT_EQ(p1[4096 + 3 * k], ref[0]);
        EXPECT_EQ(p1[4096 + 3 * k + 2], ref[2]);
    }
    const auto ref3 = ReferenceSectorCode(&data[512 * 3]);
    EXPECT_EQ(p0[4096 + 9 + 2], ref3[2] ^ 0x40);
    EXPECT_EQ(p0[4096 + 9], ref3[0]);
    // Without ECC the flip shows in the plain data as well.
    Fw plain(0x0100);
    plain.fw.AddFault(*ParseFault("flip-data:0,byte=1,bit=1", &error));
    ASSERT_TRUE(plain.Unlock());
    ASSERT_TRUE(plain.Open(0));
    ASSERT_TRUE(plain.W(Cmd::TransferSize, vark::kTransferSizeOnOpen));
    const auto a = plain.fw.Read(16);
    EXPECT_EQ(a.output[1], data[1] ^ 0x02);
    EXPECT_EQ(a.output[0], data[0]);
}

TEST(RecorderFirmware, ShortReadThrottleAndLatency)
{
    FirmwareConfig c;
    c.throttleBytesPerSecond = 100000;
    c.latencyMs = 50;
    Fw r(0x0100, 0, c);
    std::string error;
    r.fw.AddFault(*ParseFault("short-read:1000,skip=1", &error));
    ASSERT_TRUE(r.Unlock());
    ASSERT_TRUE(r.Open(1));
    ASSERT_TRUE(r.W(Cmd::TransferSize, vark::kTransferSizeOnOpen));
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(r.fw.Read(20000).outputLength, 20000u); // 0.2 s at 100 kB/s
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(250));
    EXPECT_EQ(r.fw.Read(20000).outputLength, 1000u);
    EXPECT_EQ(r.fw.Read(20000).outputLength, 0u); // the rest of the short one was lost
}

TEST(RecorderFirmware, RequestLogHoldsTheExactSequence)
{
    Fw r(0x2C10);
    r.fw.ClearRequestLog();
    ASSERT_TRUE(r.Unlock());
    EXPECT_EQ(r.Q(Cmd::RecordHeader).status, dv::kErrorGenFailure);
    const auto log = r.fw.RequestLog();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].direction, 'W');
    EXPECT_EQ(log[0].command, 29);
    EXPECT_EQ(log[0].code, 0x222474u);
    const Frame unlock = F(0, 0);
    EXPECT_EQ(log[0].input, std::vector<uint8_t>(unlock.begin(), unlock.end()));
    EXPECT_EQ(log[0].outputLength, 16u);
    EXPECT_EQ(log[1].direction, 'Q');
    EXPECT_EQ(log[1].code, 0x222030u);
    EXPECT_EQ(log[1].status, dv::kErrorGenFailure);
    EXPECT_EQ(FormatLogEntry(log[1]), "#0 Q12 -> error 31");
}

TEST(VirtualRecorder, ServesTwoClientsAndUnplugsByFault)
{
    ScopedTestEnv env;
    auto fw = std::make_shared<RecorderFirmware>(TestImage(0x2C10));
    std::string error;
    fw->AddFault(*ParseFault("unplug-after:6000", &error));
    VirtualRecorder rec(fw);
    ASSERT_TRUE(rec.Plug());
    EXPECT_EQ(dv::EnumerateInterfaces(dv::kRecorderClassGuid),
              std::vector<std::string>{rec.DevicePath()});
    EXPECT_EQ(rec.DevicePath().substr(rec.DevicePath().rfind('/')), "/recorder--2");

    const dv::DeviceHandle a = dv::OpenDevice(rec.DevicePath());
    const dv::DeviceHandle b = dv::OpenDevice(rec.DevicePath());
    ASSERT_NE(a, dv::kInvalidDeviceHandle);
    ASSERT_NE(b, dv::kInvalidDeviceHandle);
    uint8_t out[kFrameSize];
    uint32_t got = 0;
    const auto write = [&](dv::DeviceHandle h, Cmd cmd, uint32_t d4)
    {
        const Frame f = F(0, d4);
        return dv::DeviceControl(h, WriteCode(cmd), f.data(), kFrameSize, nullptr, 0, &got) &&
               got == kFrameSize;
    };
    ASSERT_TRUE(write(a, Cmd::PresentAccessCode, 0));
    ASSERT_TRUE(
        dv::DeviceControl(b, QueryCode(Cmd::RecordCount), nullptr, 0, out, kFrameSize, &got));
    EXPECT_EQ(dv::GetU16(out + 4), 2);
    std::atomic<int> failures{0};
    std::thread t(
        [&]
        {
            for (int i = 0; i < 200; ++i)
                if (!dv::DeviceControl(b, QueryCode(Cmd::SerialNumber), nullptr, 0, out, kFrameSize,
                                       &got))
                    ++failures;
        });
    uint8_t local[kFrameSize];
    uint32_t n = 0;
    for (int i = 0; i < 200; ++i)
        if (!dv::DeviceControl(a, QueryCode(Cmd::FirmwareVersion), nullptr, 0, local, kFrameSize,
                               &n) ||
            dv::GetU16(local + 4) != 0x2C10)
            ++failures;
    t.join();
    EXPECT_EQ(failures, 0);

    ASSERT_TRUE(write(a, Cmd::SelectRecord, 1));
    for (int i = 0; i < 10; ++i)
    {
        ASSERT_TRUE(
            dv::DeviceControl(a, QueryCode(Cmd::SelectRecord), nullptr, 0, local, kFrameSize, &n));
        if (local[4] == 0) break;
    }
    ASSERT_TRUE(write(a, Cmd::TransferSize, vark::kTransferSizeOnOpen));
    std::vector<uint8_t> page(5120);
    ASSERT_TRUE(dv::ReadDevice(a, page.data(), 5120, &n));
    EXPECT_EQ(n, 5120u);
    ASSERT_TRUE(dv::ReadDevice(a, page.data(), 5120, &n));
    EXPECT_EQ(n, 880u); // cut short at 6000 bytes
    EXPECT_TRUE(testsupport::WaitFor(
        [] { return dv::EnumerateInterfaces(dv::kRecorderClassGuid).empty(); }, 5000));
    EXPECT_FALSE(rec.IsPlugged());
    for (dv::DeviceHandle h : {a, b})
    {
        EXPECT_FALSE(
            dv::DeviceControl(h, QueryCode(Cmd::SerialNumber), nullptr, 0, local, kFrameSize, &n));
        EXPECT_EQ(dv::LastError(), dv::kErrorDeviceNotConnected);
        dv::CloseDevice(h);
    }
    // Plugged in again it comes up locked and working.
    rec.Unplug();
    fw->ClearFaults();
    ASSERT_TRUE(rec.Plug());
    const dv::DeviceHandle c = dv::OpenDevice(rec.DevicePath());
    EXPECT_FALSE(
        dv::DeviceControl(c, QueryCode(Cmd::RecordCount), nullptr, 0, local, kFrameSize, &n));
    EXPECT_EQ(dv::LastError(), dv::kErrorAccessDenied);
    EXPECT_TRUE(write(c, Cmd::PresentAccessCode, 0));
    dv::CloseDevice(c);
}
