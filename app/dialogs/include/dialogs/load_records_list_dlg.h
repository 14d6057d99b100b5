// CLoadRecordsListDlg, "Load records list": fetches every record's header from the recorder
// on a worker thread and inserts its row into the main window's records list, with a
// progress bar and the loaded/total counters.
//
// The worker hands each header over by posting message 0x8000 to the dialog and hands over
// the next one only once the dialog has copied it (it reads that next header meanwhile; see
// the loader); a header that cannot be read ends the loading, and its message is
// shown here, on the UI thread. Cancel (the button, Escape, the window's close) only stops the
// worker before its next record while it runs, so the record being fetched still gets its
// row; once the worker has ended, it closes the dialog at once. A 250 ms timer ends the
// dialog with OK when the worker has ended. The worker is always joined before the dialog
// goes, and no row is added after the dialog has ended.
#pragma once

#include <QTimer>
#include <atomic>
#include <memory>

#include "device/vark_device.h"
#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"

namespace vark
{
class CRecordListLoader;
}

namespace dialogs
{

class CRecordsList;

class CLoadRecordsListDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_LOAD_RECORDS_LIST_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_LOAD_RECORDS_LIST_DIALOG_CONTROLS);
    // The worker's hand-over message (WM_APP) and the message that reports its failure.
    static constexpr int kRecordMessage = 0x8000, kFailureMessage = 0x8001;
    static constexpr int kTimerMs = 250;

    // `listOrder` non-zero loads newest first, each row inserted at the top.
    CLoadRecordsListDlg(QWidget* parent, vark::CVarkDevice& device, int count, int listOrder,
                        CRecordsList& list);
    ~CLoadRecordsListDlg() override;

    // Starts the worker and runs the dialog; the cancel result when the worker cannot start.
    int exec() override;
    void OnCommand(int id) override;
    // Asks a running worker to stop (what Cancel does while it runs).
    void Cancel();

    int RowsAdded() const { return rows_; }
    skin::CSkinnedProgress* Progress() const { return progress_; }
    skin::CSkinnedStatic* Loaded() const { return loaded_; }
    skin::CSkinnedStatic* Total() const { return total_; }

protected:
    bool event(QEvent* e) override;
    void reject() override { OnCommand(skin::IDCANCEL); }
    void closeEvent(QCloseEvent* e) override;

private:
    void TakeRecord();
    void ShowFailure(uint32_t messageId);
    void OnTimer();
    void Finish(int result);

    vark::CVarkDevice& device_;
    const int count_, listOrder_;
    CRecordsList& list_;
    std::unique_ptr<vark::CRecordListLoader> loader_;
    std::atomic<bool> failurePending_{false};
    bool ended_ = false;
    int rows_ = 0;
    QTimer timer_;
    skin::CSkinnedProgress* progress_;
    skin::CSkinnedStatic *loaded_, *total_;
};

} // namespace dialogs
