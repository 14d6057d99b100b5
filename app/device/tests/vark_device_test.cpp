// CVarkDevice against the virtual recorder over a real socket, checking the exact request
// sequences through the recorder's request log.
#include "device/vark_device.h"

#include "recorder/virtual_recorder.h"
#include "scriba/scriba.h"
#include "testsupport/test_env.h"

#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <random>

using namespace vark;

namespace
{

using Cmd = RecorderCommand;

// A command as the recorder's request log and fault list number it.
int Number(Cmd command)
{
    return static_cast<int>(CommandNumber(command));
}

recorder::StoredRecord Record(size_t bytes, uint32_t header, unsigned seed)
{
    recorder::StoredRecord r;
    r.start = 86400 * 365 + seed;
    r.header = header;
    std::mt19937 rng(seed);
    r.data.resize(bytes);
    for (auto& b : r.data)
        b = static_cast<uint8_t>(rng());
    return r;
}

class DeviceTest : public ::testing::Test
{
protected:
    void Plug(uint16_t firmware = 0x2C10, uint32_t accessCode = 0)
    {
        recorder::RecorderImage image;
        image.identity.serial = static_cast<int16_t>(0x8005);
        image.identity.firmware = firmware;
        image.settings.accessCode = accessCode;
        image.records.push_back(Record(20000, 0x05, 1));
        image.records.push_back(Record(70001, 0x02, 2)); // stereo mu-law, odd size
        firmware_ = std::make_shared<recorder::RecorderFirmware>(image);
        plugged_ = std::make_unique<recorder::VirtualRecorder>(firmware_);
        ASSERT_TRUE(plugged_->Plug());
    }
    bool OpenAndUnlock(const std::wstring& pin = L"")
    {
        return dev_.Open(plugged_->DevicePath()) && dev_.PresentAccessCode(pin);
    }
    std::vector<recorder::RequestLogEntry> Log() const { return firmware_->RequestLog(); }
    // "W10 Q10 Q10 Q10 W14": the directions and commands the recorder saw.
    std::string Sequence() const
    {
        std::string s;
        for (const auto& e : Log())
        {
            if (!s.empty()) s += ' ';
            s += e.direction;
            if (e.command >= 0) s += std::to_string(e.command);
        }
        return s;
    }
    std::string LogText() const { return testsupport::ReadFile(logPath_); }

    void SetUp() override
    {
        logPath_ = env_.Path("device.log");
        OpenLog(std::wstring(logPath_.begin(), logPath_.end()).c_str(), 0, 0, 0);
    }
    void TearDown() override { CloseLog(); }

    testsupport::ScopedTestEnv env_;
    std::string logPath_;
    std::shared_ptr<recorder::RecorderFirmware> firmware_;
    std::unique_ptr<recorder::VirtualRecorder> plugged_;
    CVarkDevice dev_;
};

} // namespace

TEST_F(DeviceTest, DiscoveryOpensTheFirstRecorderAndReadsItsSerial)
{
    Plug();
    std::vector<std::string> offered;
    EXPECT_TRUE(FindRecorder(
        [&](const std::string& path)
        {
            offered.push_back(path);
            return dev_.Open(path);
        }));
    ASSERT_EQ(offered.size(), 1u);
    EXPECT_EQ(dev_.SerialNumber(), static_cast<int16_t>(0x8005)); // sign-extended later
    EXPECT_EQ(dev_.FirmwareVersion(), 0);
    EXPECT_EQ(Sequence(), "Q0");
    EXPECT_FALSE(dev_.Open(env_.Path("nothing-here")));
    // Every command fails at once, sending nothing, while closed.
    platform::AutoDate clock;
    EXPECT_FALSE(dev_.GetClock(clock));
    EXPECT_EQ(dev_.GetRecordCount(), 0);
    EXPECT_TRUE(dev_.IsErasing());
}

TEST_F(DeviceTest, QueriesRetryZeroByteAnswersButNotShortOnes)
{
    Plug();
    ASSERT_TRUE(OpenAndUnlock());
    firmware_->ClearRequestLog();
    recorder::Fault empty;
    empty.kind = recorder::Fault::Kind::EmptyAnswer;
    empty.direction = 'Q';
    empty.command = Number(Cmd::RecordCount);
    empty.times = 2;
    firmware_->AddFault(empty);
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(dev_.GetRecordCount(), 2);
    EXPECT_GE(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(20));
    EXPECT_EQ(Sequence(), "Q9 Q9 Q9");

    firmware_->ClearRequestLog();
    recorder::Fault shortAnswer;
    shortAnswer.kind = recorder::Fault::Kind::ShortAnswer;
    shortAnswer.direction = 'Q';
    shortAnswer.command = Number(Cmd::Memory);
    shortAnswer.times = 1;
    firmware_->AddFault(shortAnswer);
    uint32_t total = 0, free = 0;
    EXPECT_FALSE(dev_.GetMemory(total, free));
    EXPECT_EQ(Sequence(), "Q7");
    EXPECT_TRUE(dev_.GetMemory(total, free));
    EXPECT_GT(total, free);
}

TEST_F(DeviceTest, PageReadsCorrectFlipsAndDeliverExactlyWhatWasAsked)
{
    Plug(kFirmwarePages);
    ASSERT_TRUE(OpenAndUnlock());
    recorder::Fault flip;
    flip.kind = recorder::Fault::Kind::FlipData;
    flip.sector = 3;
    flip.byte = 300;
    flip.bit = 4;
    firmware_->AddFault(flip);
    recorder::Fault code;
    code.kind = recorder::Fault::Kind::FlipCode;
    code.sector = 9;
    code.byte = 1;
    code.bit = 2;
    firmware_->AddFault(code);

    ASSERT_TRUE(dev_.OpenRecord(0));
    firmware_->ClearRequestLog();
    std::vector<uint8_t> data(10000, 0xEE);
    EXPECT_EQ(dev_.Read(data.data(), 10000), 10000u);
    const auto log = Log();
    ASSERT_EQ(log.size(), 3u); // three pages of 5120 bytes
    for (const auto& e : log)
        EXPECT_EQ(e.outputLength, 5120u);
    const auto image = firmware_->LiveImage();
    const auto& stored = image.records[0].data;
    EXPECT_TRUE(std::equal(data.begin(), data.end(), stored.begin()));
    EXPECT_NE(LogText().find("ECC Correctable error"), std::string::npos);
    EXPECT_NE(LogText().find("ECC ECC error"), std::string::npos);

    // The rest of the record: two more pages, then the end delivers nothing.
    std::vector<uint8_t> rest(12288);
    EXPECT_EQ(dev_.Read(rest.data(), 12288), 8192u);
    EXPECT_TRUE(std::equal(rest.begin(), rest.begin() + 20000 - 12288, stored.begin() + 12288));
    EXPECT_TRUE(dev_.CloseRecord());
}

TEST_F(DeviceTest, AShortPageEndsTheReadWithWhatWasDelivered)
{
    Plug(kFirmwarePages);
    ASSERT_TRUE(OpenAndUnlock());
    ASSERT_TRUE(dev_.OpenRecord(0));
    recorder::Fault shortRead;
    shortRead.kind = recorder::Fault::Kind::ShortRead;
    shortRead.bytes = 4096;
    shortRead.skip = 1;
    shortRead.times = 1;
    firmware_->AddFault(shortRead);
    std::vector<uint8_t> data(10000);
    EXPECT_EQ(dev_.Read(data.data(), 10000), 4096u);
    EXPECT_NE(LogText().find("CVarkDevice::Read: ReadFile return 4096 bytes"), std::string::npos);
}

TEST_F(DeviceTest, TransportVariantsByFirmware)
{
    // Below 17: the transfer size goes before every read, and no size on opening.
    Plug(kFirmwareTransferSizeOnOpen - 1);
    ASSERT_TRUE(OpenAndUnlock());
    firmware_->ClearRequestLog();
    ASSERT_TRUE(dev_.OpenRecord(1));
    EXPECT_EQ(Sequence().find("W14"), std::string::npos);
    std::vector<uint8_t> data(32768);
    EXPECT_EQ(dev_.Read(data.data(), 32768), 32768u);
    auto log = Log();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2].command, Number(Cmd::TransferSize));
    EXPECT_EQ(log[log.size() - 2].input[4] | log[log.size() - 2].input[5] << 8, 32768);
    EXPECT_TRUE(
        std::equal(data.begin(), data.end(), firmware_->LiveImage().records[1].data.begin()));
    dev_.CloseRecord();
    dev_.Close();
    plugged_.reset();

    // 17 and above: the size 0x4000 after opening and after positioning, one plain read.
    Plug(kFirmwareTransferSizeOnOpen);
    ASSERT_TRUE(OpenAndUnlock());
    firmware_->ClearRequestLog();
    ASSERT_TRUE(dev_.OpenRecord(1));
    ASSERT_TRUE(dev_.SeekRecord(0x10100, 0));
    const std::string seq = Sequence();
    EXPECT_EQ(seq.substr(0, 4), "W10 ");
    EXPECT_EQ(seq.substr(seq.size() - 11), "W14 W13 W14");
    log = Log();
    const auto& w14 = log.back().input;
    EXPECT_EQ(w14[4] | w14[5] << 8, kTransferSizeOnOpen);
    EXPECT_EQ(w14[6], 0x01); // the same frame: the position's upper bytes remain
    std::vector<uint8_t> chunk(4096);
    EXPECT_EQ(dev_.Read(chunk.data(), 4096), 4096u);
    const auto image = firmware_->LiveImage();
    EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), image.records[1].data.begin() + 0x10100));
    // After Close the firmware version is 0 again.
    dev_.Close();
    EXPECT_EQ(dev_.FirmwareVersion(), 0);
}

TEST_F(DeviceTest, AccessCodesFollowThePinRules)
{
    uint32_t code = 0;
    EXPECT_TRUE(PinTextToAccessCode(L"", code));
    EXPECT_EQ(code, 0u);
    EXPECT_TRUE(PinTextToAccessCode(L"1234", code));
    EXPECT_EQ(code, 0x1234u);
    EXPECT_TRUE(PinTextToAccessCode(L"71234567", code));
    EXPECT_EQ(code, 0x71234567u);
    EXPECT_TRUE(PinTextToAccessCode(L"81234567", code));
    EXPECT_EQ(code, 0x7FFFFFFFu);
    EXPECT_TRUE(PinTextToAccessCode(L" 0x1f", code));
    EXPECT_EQ(code, 0x1Fu);
    EXPECT_TRUE(PinTextToAccessCode(L"12z4", code));
    EXPECT_EQ(code, 0x12u);
    EXPECT_FALSE(PinTextToAccessCode(L"123456789", code));

    Plug(0x2C10, 0x4321);
    ASSERT_TRUE(dev_.Open(plugged_->DevicePath()));
    firmware_->ClearRequestLog();
    EXPECT_FALSE(dev_.PresentAccessCode(L"123456789"));
    EXPECT_TRUE(Log().empty()); // refused before any request
    EXPECT_FALSE(dev_.PresentAccessCode(L""));
    EXPECT_FALSE(dev_.PresentAccessCode(L"1234"));
    EXPECT_TRUE(firmware_->Locked());
    ASSERT_TRUE(dev_.PresentAccessCode(L"4321"));
    EXPECT_EQ(dev_.AccessCode(), 0x4321u);
    EXPECT_EQ(dev_.FirmwareVersion(), 0x2C10);
    ASSERT_TRUE(dev_.ChangeAccessCode(L"9876"));
    EXPECT_EQ(dev_.AccessCode(), 0x9876u);
    EXPECT_EQ(firmware_->CommittedImage().settings.accessCode, 0x9876u);
    EXPECT_NE(Sequence().find("W28 W31 W29 Q34"), std::string::npos);
}

TEST_F(DeviceTest, ParametersTravelFieldByFieldInTheirOrder)
{
    Plug();
    ASSERT_TRUE(OpenAndUnlock());
    firmware_->ClearRequestLog();
    ASSERT_TRUE(dev_.ReadParameters());
    EXPECT_EQ(Sequence(), "Q23 Q21 Q16 Q22 Q30 W24 Q25 W24 Q25 W24 Q25 W24 Q25 W24 Q25 Q27 "
                          "Q2 Q3 Q4 Q5 Q6");
    VarkParams& p = dev_.Params();
    p.inputLevelLeft = 3;
    p.inputLevelRight = 7;
    p.compression = 1;
    p.timers[1].enabled = 1;
    p.timers[1].start = platform::AutoDate::FromParts(2030, 1, 2, 3, 4, 5).Days();
    p.timers[1].duration = platform::AutoSpan::FromParts(0, 1, 30, 0).Days();
    p.ringEnabled = 1;
    p.ringLength = platform::AutoSpan::FromParts(0, 2, 0, 0).Days();
    firmware_->ClearRequestLog();
    ASSERT_TRUE(dev_.WriteParameters());
    EXPECT_EQ(Sequence(), "W23 W21 W16 W22 W30 W24 W25 W24 W25 W24 W25 W24 W25 W24 W25 W27 "
                          "W2 W3 W4 W5 W6 W31");
    const auto log = Log();
    EXPECT_EQ(log[2].input[4], 2);
    EXPECT_EQ(log[2].input[5], 2);
    EXPECT_EQ(log[17].input[4], 0); // compression 1 goes out as "not uncompressed"
    const auto settings = firmware_->CommittedImage().settings;
    EXPECT_EQ(settings.timers[1].duration, 5400u);
    EXPECT_EQ(settings.loopSeconds, 7200u);

    // Read back: the loop length and levels decode as they were written.
    VarkParams before = p;
    ASSERT_TRUE(dev_.ReadParameters());
    EXPECT_EQ(dev_.Params().inputLevelLeft, 3);
    EXPECT_EQ(dev_.Params().inputLevelRight, 3);
    EXPECT_EQ(dev_.Params().timers[1].enabled, 1u);
    EXPECT_NEAR(dev_.Params().timers[1].start, before.timers[1].start, 1e-9);
    EXPECT_NEAR(dev_.Params().ringLength, before.ringLength, 1e-9);
}

TEST_F(DeviceTest, AFailedStepStopsWritingButNotReading)
{
    Plug();
    ASSERT_TRUE(OpenAndUnlock());
    recorder::Fault fail;
    fail.direction = 'W';
    fail.command = Number(Cmd::Timer);
    fail.skip = 2;
    fail.times = 1;
    firmware_->AddFault(fail);
    firmware_->ClearRequestLog();
    EXPECT_FALSE(dev_.WriteParameters());
    EXPECT_EQ(Sequence(), "W23 W21 W16 W22 W30 W24 W25 W24 W25 W24 W25");
    EXPECT_NE(LogText().find("VarkeControlWrite command: 25, errCode = 31"), std::string::npos);

    recorder::Fault q27;
    q27.direction = 'Q';
    q27.command = Number(Cmd::RingLength);
    q27.times = 1;
    firmware_->AddFault(q27);
    firmware_->ClearRequestLog();
    dev_.Params().ringEnabled = 1;
    dev_.Params().ringLength = 0.5;
    EXPECT_TRUE(dev_.ReadParameters());
    EXPECT_EQ(Sequence().substr(Sequence().size() - 18), "Q27 Q2 Q3 Q4 Q5 Q6");
    EXPECT_EQ(dev_.Params().ringLength, 0.5); // left as it was
}

TEST_F(DeviceTest, RecordHeadersAndAVanishingRecorder)
{
    Plug(0x2C10);
    ASSERT_TRUE(OpenAndUnlock());
    EXPECT_EQ(dev_.GetRecordCount(), 2);
    firmware_->ClearRequestLog();
    RecordInfo info;
    ASSERT_TRUE(dev_.GetRecordInfo(1, info));
    EXPECT_EQ(Sequence(), "W10 Q10 Q10 Q10 Q12 W11");
    EXPECT_EQ(info.dataSize, 70001u);
    EXPECT_EQ(info.stereo, 1);
    EXPECT_EQ(info.compressed, 1);
    EXPECT_EQ(info.serialNumber, L"-32763");
    EXPECT_FALSE(dev_.GetRecordInfo(7, info));

    recorder::Fault unplug;
    unplug.kind = recorder::Fault::Kind::UnplugAfter;
    unplug.bytes = 6000;
    firmware_->AddFault(unplug);
    ASSERT_TRUE(dev_.OpenRecord(0));
    std::vector<uint8_t> data(32768);
    EXPECT_EQ(dev_.Read(data.data(), 32768), 4096u); // the second page is cut short
    EXPECT_EQ(dev_.Read(data.data(), 32768), 0u);
    EXPECT_FALSE(dev_.CloseRecord());
    EXPECT_NE(LogText().find("errCode = 1167"), std::string::npos);
}

TEST_F(DeviceTest, EraseAllWaitsUntilTheRecorderIsDone)
{
    Plug();
    auto config = firmware_->Config();
    config.eraseSeconds = 0.6;
    firmware_->SetConfig(config);
    ASSERT_TRUE(OpenAndUnlock());
    ASSERT_TRUE(dev_.StartEraseAll());
    EXPECT_TRUE(dev_.IsErasing());
    int ticks = 0;
    EXPECT_TRUE(WaitForEraseEnd(dev_, [&](int) { ++ticks; }));
    EXPECT_GE(ticks, 2);
    EXPECT_EQ(dev_.GetRecordCount(), 0);
}

TEST_F(DeviceTest, TimesBeforeTheRecordersEpochAreRefusedNotWrapped)
{
    Plug();
    ASSERT_TRUE(OpenAndUnlock());
    firmware_->ClearRequestLog();
    EXPECT_FALSE(dev_.SetClock(platform::AutoDate::FromParts(1999, 12, 31, 23, 59, 59)));
    EXPECT_EQ(Sequence(), ""); // nothing went out
    ASSERT_TRUE(dev_.SetClock(platform::AutoDate::FromParts(2000, 1, 1, 0, 0, 0)));

    // A timer starting before 2000, then a negative loop span: the write stops before the
    // value, with no commit.
    ASSERT_TRUE(dev_.ReadParameters());
    VarkParams& p = dev_.Params();
    p.timers[2].enabled = 1;
    p.timers[2].start = platform::AutoDate::FromParts(1999, 6, 1, 12, 0, 0).Days();
    p.timers[2].duration = platform::AutoSpan::FromParts(0, 0, 30, 0).Days();
    firmware_->ClearRequestLog();
    EXPECT_FALSE(dev_.WriteParameters());
    EXPECT_EQ(Sequence(), "W23 W21 W16 W22 W30 W24 W25 W24 W25");
    p.timers[2].start = platform::AutoDate::FromParts(2030, 6, 1, 12, 0, 0).Days();
    p.ringEnabled = 1;
    p.ringLength = -1.0 / 24;
    firmware_->ClearRequestLog();
    EXPECT_FALSE(dev_.WriteParameters());
    EXPECT_EQ(Sequence().find("W27"), std::string::npos);
    EXPECT_EQ(Sequence().find("W31"), std::string::npos);
    p.ringLength = 1.0 / 24;
    EXPECT_TRUE(dev_.WriteParameters());
}

TEST_F(DeviceTest, FailedQueriesAreToldFromZero)
{
    Plug(0x2C10);
    ASSERT_TRUE(OpenAndUnlock());
    bool charging = false;
    ASSERT_EQ(dev_.QueryRecordCount(), std::optional<uint16_t>(2));
    ASSERT_TRUE(dev_.QueryBattery(charging).has_value());
    ASSERT_TRUE(dev_.QueryCapabilityLevel().has_value());
    for (Cmd command : {Cmd::Battery, Cmd::RecordCount, Cmd::CapabilityLevel})
    {
        recorder::Fault fail;
        fail.direction = 'Q';
        fail.command = Number(command);
        fail.times = 2;
        firmware_->AddFault(fail);
    }
    EXPECT_EQ(dev_.QueryRecordCount(), std::nullopt);
    EXPECT_EQ(dev_.GetRecordCount(), 0); // the program's callers still get 0
    EXPECT_EQ(dev_.QueryBattery(charging), std::nullopt);
    EXPECT_EQ(dev_.GetBattery(charging), 0);
    EXPECT_EQ(dev_.QueryCapabilityLevel(), std::nullopt);
    EXPECT_EQ(dev_.GetCapabilityLevel(), 0);
    EXPECT_EQ(dev_.QueryRecordCount(), std::optional<uint16_t>(2));
}

TEST_F(DeviceTest, ARecordThatNeverGetsReadyIsAFailedOpenAfterTheBound)
{
    Plug();
    auto config = firmware_->Config();
    config.notReadyPolls = 1u << 30;
    firmware_->SetConfig(config);
    ASSERT_TRUE(OpenAndUnlock());
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(dev_.OpenRecord(0)); // the record list loader and the header read alike
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    EXPECT_GE(seconds, CVarkDevice::kRecordReadyTimeoutMs / 1000.0);
    EXPECT_LT(seconds, CVarkDevice::kRecordReadyTimeoutMs / 1000.0 + 20);
    // Polled with pauses, not in a tight loop.
    size_t polls = 0;
    for (const auto& e : Log())
        polls += e.direction == 'Q' && e.command == Number(Cmd::SelectRecord);
    EXPECT_LE(polls, 1u * CVarkDevice::kRecordReadyTimeoutMs / CVarkDevice::kNotReadyPauseMs + 10);
    EXPECT_NE(LogText().find("not ready after"), std::string::npos);
}
