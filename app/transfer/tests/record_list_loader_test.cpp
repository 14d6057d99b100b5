// The list loader against the virtual recorder over a real socket, with a consumer thread
// that takes each record the way the dialog does.
#include "transfer/record_list_loader.h"

#include "recorder/virtual_recorder.h"
#include "res/string_ids.h"
#include "scriba/scriba.h"
#include "testsupport/test_env.h"
#include "transfer/record_row.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <memory>

using namespace vark;

namespace
{

class LoaderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        logPath_ = env_.Path("Varke.log");
        OpenLog(std::wstring(logPath_.begin(), logPath_.end()).c_str(), 0, 0, 0);
        recorder::RecorderImage image;
        image.identity.serial = 77;
        for (int i = 0; i < 3; ++i)
        {
            recorder::StoredRecord r;
            r.start = 86400 + 60 * static_cast<uint32_t>(i);
            r.header = 0x05;
            r.data.assign(1000 * static_cast<size_t>(i + 1), static_cast<uint8_t>(i));
            image.records.push_back(r);
        }
        firmware_ = std::make_shared<recorder::RecorderFirmware>(image);
        plugged_ = std::make_unique<recorder::VirtualRecorder>(firmware_);
        ASSERT_TRUE(plugged_->Plug());
        ASSERT_TRUE(dev_.Open(plugged_->DevicePath()));
        ASSERT_TRUE(dev_.PresentAccessCode(L""));
    }
    void TearDown() override { CloseLog(); }

    RecordListHandover Handover(std::function<void(int)> extra = {})
    {
        RecordListHandover h;
        h.recordReady = [this, extra](int index)
        {
            if (extra) extra(index);
            std::lock_guard<std::mutex> lock(mutex_);
            readyCalls_.push_back(index);
            cv_.notify_all();
        };
        h.failed = [this](uint32_t id)
        {
            std::lock_guard<std::mutex> lock(mutex_);
            failures_.push_back(id);
        };
        return h;
    }

    // Takes records as the dialog does until the worker ends; returns the column-0 texts of
    // the list from the top.
    std::vector<std::wstring> Consume(CRecordListLoader& loader, int listOrder)
    {
        std::vector<std::wstring> rows;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline)
        {
            {
                std::unique_lock<std::mutex> lock(mutex_);
                cv_.wait_for(lock, std::chrono::milliseconds(10));
            }
            int index = -1;
            RecordInfo info;
            if (loader.TakeRecord(index, info))
            {
                taken_.push_back({index, info.dataSize});
                const auto row = RecordRowTexts(
                    index, info, [](uint32_t) { return std::wstring(); },
                    [](const platform::AutoDate&) { return std::wstring(); });
                rows.insert(rows.begin() + CRecordListLoader::RowPosition(
                                               listOrder, static_cast<int>(rows.size())),
                            row[0]);
            }
            else if (!loader.Running())
            {
                break;
            }
        }
        loader.Join();
        return rows;
    }

    testsupport::ScopedTestEnv env_;
    std::string logPath_;
    std::shared_ptr<recorder::RecorderFirmware> firmware_;
    std::unique_ptr<recorder::VirtualRecorder> plugged_;
    CVarkDevice dev_;

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<int> readyCalls_;
    std::vector<uint32_t> failures_;
    std::vector<std::pair<int, uint32_t>> taken_;
};

} // namespace

TEST_F(LoaderTest, BothOrdersFillTheListOneTwoThree)
{
    for (int order : {0, 1})
    {
        readyCalls_.clear();
        taken_.clear();
        CRecordListLoader loader(dev_, 3, order, Handover());
        ASSERT_TRUE(loader.Start());
        EXPECT_EQ(Consume(loader, order), (std::vector<std::wstring>{L"1", L"2", L"3"}));
        EXPECT_EQ(readyCalls_, (order ? std::vector<int>{2, 1, 0} : std::vector<int>{0, 1, 2}));
        ASSERT_EQ(taken_.size(), 3u);
        for (const auto& [index, size] : taken_)
            EXPECT_EQ(size, 1000u * static_cast<uint32_t>(index + 1));
        EXPECT_TRUE(failures_.empty());
    }
    CloseLog();
    const std::string log = testsupport::ReadFile(logPath_);
    EXPECT_NE(log.find("LoadList, listOrder=0"), std::string::npos);
    EXPECT_NE(log.find("LoadList, listOrder=1"), std::string::npos);
}

TEST_F(LoaderTest, WorkerWaitsUntilTheRecordIsTaken)
{
    CRecordListLoader loader(dev_, 3, 0, Handover());
    ASSERT_TRUE(loader.Start());
    {
        std::unique_lock<std::mutex> lock(mutex_);
        ASSERT_TRUE(
            cv_.wait_for(lock, std::chrono::seconds(10), [&] { return !readyCalls_.empty(); }));
    }
    // While record 0 is not taken, record 1 is read ahead but not handed over, and record 2
    // is not asked for.
    const auto selected = [&]
    {
        std::vector<int> indexes;
        for (const auto& e : firmware_->RequestLog())
            if (e.direction == 'W' && e.command == int(RecorderCommand::SelectRecord))
                indexes.push_back(e.input[4]);
        return indexes;
    };
    testsupport::WaitFor([&] { return selected().size() >= 2; }, 10000);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_EQ(selected(), (std::vector<int>{0, 1}));
    {
        std::lock_guard<std::mutex> lock(mutex_);
        EXPECT_EQ(readyCalls_.size(), 1u);
    }
    EXPECT_TRUE(loader.Running());
    EXPECT_EQ(Consume(loader, 0).size(), 3u);
}

TEST_F(LoaderTest, CancelDuringARecordKeepsThatRecordOnly)
{
    CRecordListLoader* self = nullptr;
    CRecordListLoader loader(dev_, 3, 0,
                             Handover(
                                 [&](int index)
                                 {
                                     if (index == 1) self->Cancel();
                                 }));
    self = &loader;
    ASSERT_TRUE(loader.Start());
    EXPECT_EQ(Consume(loader, 0), (std::vector<std::wstring>{L"1", L"2"}));
    EXPECT_EQ(readyCalls_, (std::vector<int>{0, 1}));
    EXPECT_TRUE(failures_.empty());
}

TEST_F(LoaderTest, FirstUnreadableHeaderEndsWithCantOpenRecord)
{
    recorder::Fault fault;
    fault.kind = recorder::Fault::Kind::FailCommand;
    fault.direction = 'Q';
    fault.command = 12;
    fault.skip = 1;
    firmware_->AddFault(fault);
    CRecordListLoader loader(dev_, 3, 0, Handover());
    ASSERT_TRUE(loader.Start());
    EXPECT_EQ(Consume(loader, 0), (std::vector<std::wstring>{L"1"}));
    EXPECT_EQ(failures_, (std::vector<uint32_t>{res::ids::kCantOpenRecord}));

    // A recorder that has gone away fails the same way, before any row.
    failures_.clear();
    plugged_->Unplug();
    CRecordListLoader again(dev_, 3, 1, Handover());
    ASSERT_TRUE(again.Start());
    EXPECT_TRUE(Consume(again, 1).empty());
    EXPECT_EQ(failures_, (std::vector<uint32_t>{res::ids::kCantOpenRecord}));
}

TEST_F(LoaderTest, ConsumerThatGoesAwayReleasesTheWorker)
{
    {
        CRecordListLoader loader(dev_, 3, 0, Handover());
        ASSERT_TRUE(loader.Start());
        std::unique_lock<std::mutex> lock(mutex_);
        ASSERT_TRUE(
            cv_.wait_for(lock, std::chrono::seconds(10), [&] { return !readyCalls_.empty(); }));
    } // destroyed with record 0 untaken: must not hang
    EXPECT_EQ(readyCalls_.size(), 1u);

    CRecordListLoader empty(dev_, 0, 0, Handover());
    ASSERT_TRUE(empty.Start());
    EXPECT_TRUE(Consume(empty, 0).empty());
    EXPECT_FALSE(empty.Start());
}
