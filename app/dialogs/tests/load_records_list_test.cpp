// "Load records list" against the virtual recorder over a real socket: both orders, cancel
// while a record is fetched, and the recorder unplugged in the middle of the list.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include "dialogs/load_records_list_dlg.h"
#include "dialogs/records_list.h"
#include "plugged_recorder.h"
#include "recorder/virtual_recorder.h"
#include "res/strings.h"
#include "skin/modal_questions.h"
#include "skin/skinned_controls.h"
#include "testsupport/test_env.h"

namespace
{

using namespace dialogs;

class LoadListTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        recorder::RecorderImage image;
        image.identity.serial = 77;
        for (int i = 0; i < 4; ++i)
        {
            recorder::StoredRecord r;
            r.start = 86400 + 60 * static_cast<uint32_t>(i);
            r.header = i == 0 ? 0x05 : 0x02; // 16 kHz mono PCM, then 8 kHz stereo mu-law
            r.data.assign(32000 * static_cast<size_t>(i + 1), static_cast<uint8_t>(i));
            image.records.push_back(r);
        }
        recorder_.Plug(image);
        ASSERT_FALSE(HasFailure());
    }
    void TearDown() override { firmware_->SetLogSink({}); }

    // Record indexes in the order the recorder was asked to open them.
    std::vector<int> Opened() const
    {
        std::vector<int> order;
        for (const auto& e : firmware_->RequestLog())
            if (e.direction == 'W' && e.command == 10 && e.input.size() >= 6)
                order.push_back(e.input[4] | e.input[5] << 8);
        return order;
    }
    std::vector<QString> Column0() const
    {
        std::vector<QString> rows;
        for (int r = 0; r < list_.RowCount(); ++r)
            rows.push_back(list_.Text(r, 0));
        return rows;
    }
    // Runs `action` on the UI thread as soon as the recorder is asked to open record `index`.
    void WhenOpening(int index, std::function<void()> action)
    {
        firmware_->SetLogSink(
            [this, index, action](const recorder::RequestLogEntry& e)
            {
                if (e.direction == 'W' && e.command == 10 && e.input.size() >= 6 &&
                    (e.input[4] | e.input[5] << 8) == index)
                    QMetaObject::invokeMethod(&list_, action, Qt::QueuedConnection);
            });
    }

    testsupport::ScopedTestEnv env_;
    skin::ScriptedResponder answers_;
    dialogs_test::PluggedRecorder recorder_;
    std::shared_ptr<recorder::RecorderFirmware>& firmware_ = recorder_.firmware;
    std::unique_ptr<recorder::VirtualRecorder>& plugged_ = recorder_.plugged;
    vark::CVarkDevice& device_ = recorder_.device;
    CRecordsList list_{nullptr};
};

} // namespace

TEST_F(LoadListTest, BothOrdersListOneTwoThreeWithTheRowsTexts)
{
    for (int order : {0, 1})
    {
        list_.Clear();
        firmware_->ClearRequestLog();
        CLoadRecordsListDlg dlg(nullptr, device_, 3, order, list_);
        EXPECT_EQ(dlg.Total()->text(), "3");
        EXPECT_EQ(dlg.exec(), skin::IDOK);
        EXPECT_EQ(Column0(), (std::vector<QString>{"1", "2", "3"}));
        EXPECT_EQ(Opened(), (order ? std::vector<int>{2, 1, 0} : std::vector<int>{0, 1, 2}));
        EXPECT_EQ(dlg.Loaded()->text(), "3");
        EXPECT_EQ(dlg.Progress()->value(), 100);
    }
    EXPECT_EQ(list_.RecordIndex(2), 2);
    EXPECT_EQ(list_.Record(2).dataSize, 96000u);
    EXPECT_EQ(list_.Text(0, 4), "0:00:01"); // 32000 bytes at 16 kHz mono PCM
    EXPECT_EQ(list_.Text(0, 5), "16000");
    EXPECT_EQ(list_.Text(1, 7), "stereo");
    EXPECT_TRUE(list_.topLevelItem(1)->toolTip(3).contains(list_.Text(1, 3)));
    EXPECT_TRUE(answers_.AskedQuestions().empty());
}

TEST_F(LoadListTest, CancelWhileARecordIsFetchedKeepsItsRowAndFetchesNoMore)
{
    CLoadRecordsListDlg dlg(nullptr, device_, 4, 0, list_);
    WhenOpening(1,
                [&]
                {
                    for (auto* b : dlg.findChildren<skin::CSkinnedButton*>())
                        if (b->ControlId() == skin::IDCANCEL) b->click();
                    QTest::keyClick(&dlg, Qt::Key_Escape); // a second cancel changes nothing
                    dlg.close();
                });
    EXPECT_EQ(dlg.exec(), skin::IDOK);
    EXPECT_EQ(Column0(), (std::vector<QString>{"1", "2"}));
    EXPECT_EQ(Opened(), (std::vector<int>{0, 1}));
    EXPECT_EQ(dlg.RowsAdded(), 2);
    EXPECT_EQ(dlg.Progress()->value(), 50);
}

TEST_F(LoadListTest, UnplugMidListShowsTheMessageOnceAndKeepsTheRows)
{
    answers_.AnswerMessage(skin::IDOK);
    CLoadRecordsListDlg dlg(nullptr, device_, 4, 1, list_);
    WhenOpening(2, [&] { plugged_->Unplug(); });
    EXPECT_EQ(dlg.exec(), skin::IDOK);
    ASSERT_EQ(answers_.AskedQuestions().size(), 1u);
    EXPECT_EQ(answers_.AskedQuestions()[0].text, res::LoadString(res::ids::kCantOpenRecord));
    EXPECT_EQ(answers_.AskedQuestions()[0].style, 0x10u);
    // newest first: record 4, maybe 3, stay at the top in their order
    ASSERT_GE(list_.RowCount(), 1);
    ASSERT_LE(list_.RowCount(), 2);
    EXPECT_EQ(list_.Text(list_.RowCount() - 1, 0), "4");
    EXPECT_EQ(answers_.Unexpected(), 0);
}
