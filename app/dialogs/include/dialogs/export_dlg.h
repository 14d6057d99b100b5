// CExportDlg, "Copy to disk": copies the records selected in the main window's list to a
// folder as WAV files (joined "A" fragments, optional signatures) through the export worker,
// with the stage text, two bars and the written/total counters.
//
// The worker's stage changes, row deselections, questions and its ending message reach the
// dialog as blocking queued calls: the worker waits while the UI thread shows them, as it
// would for a sent message. A 200 ms timer copies the progress (taken under the worker's
// lock) into the controls and closes the dialog with OK five ticks after the worker has
// ended. Cancel, Escape and the window's close only signal a running worker, which then asks
// "Do you want to cancel copying?". Stop() (the main window's exit) ends a run without that
// question. The worker is always joined before the dialog goes.
//
// For a recorder that appears as a drive the same dialog copies its files (no joining, so the
// pause has no say) and offers to keep a converted record's original too. Signatures take the
// serial remembered for that drive, asked for the first time. Open signatures take the
// user's signing key, whose passphrase is asked for (or the key made) when OK starts.
#pragma once

#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "device/vark_device.h"
#include "drive/drive_record.h"
#include "skin/base_dlg.h"
#include "skin/skinned_fwd.h"

class CAppSettings;

namespace vark
{
class ExportRun;
}

namespace dialogs
{

class CRecordsList;

// One selected row of the main list and the index of its record on the recorder.
struct ExportEntry
{
    int row = 0;
    uint16_t record = 0;
};

// A drive recorder's side of a copy: its records, one per selection entry in order, and the
// identity and label by which the serial of its signatures is asked for and remembered.
struct DriveExportSource
{
    std::vector<drive::DriveRecord> records;
    std::string identity, label;
};

class CExportDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_EXPORT_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_EXPORT_DIALOG_CONTROLS);
    static constexpr int kTimerMs = 200, kEndTicks = 5;
    // A record from the recorder that was playing gets this long to close first.
    static constexpr int kPlaybackStopMs = 250;

    // `settings` gives and keeps the folder, the pause and the signature choice.
    CExportDlg(QWidget* parent, CAppSettings& settings, vark::CVarkDevice& device,
               std::vector<ExportEntry> selection, CRecordsList& list);
    CExportDlg(QWidget* parent, CAppSettings& settings, DriveExportSource drive,
               std::vector<ExportEntry> selection, CRecordsList& list);
    ~CExportDlg() override;

    // Called when OK starts the export: stops a record that plays from the recorder and
    // returns true when it did (the start then waits kPlaybackStopMs). The main window sets it.
    std::function<bool()> stopRecorderPlayback;

    void OnCommand(int id) override;
    // Ends the dialog as soon as it can: a running export stops without asking, as after
    // "Yes" to the cancel question.
    void Stop();
    // The export has been started and has not ended yet.
    bool Running() const;

protected:
    void reject() override { OnCommand(skin::IDCANCEL); }
    void closeEvent(QCloseEvent* e) override;

private:
    class Host;
    CExportDlg(QWidget* parent, CAppSettings& settings, vark::CVarkDevice* device,
               std::optional<DriveExportSource> drive, std::vector<ExportEntry> selection,
               CRecordsList& list);
    // The serial of a drive's signatures: remembered, else asked for; nothing when cancelled.
    std::optional<uint32_t> DriveSerial();
    void BrowseFolder();
    void Confirm();
    void StartWorker();
    void SetInputsEnabled(bool on);
    bool Flac() const; // the format chosen
    void ShowProgress();
    void OnTimer();
    void Finish(int result);
    // Runs `call` on the UI thread and returns when it has run (called by the worker).
    void OnUiThread(const std::function<void()>& call);

    CAppSettings& settings_;
    vark::CVarkDevice* const device_;              // the protocol recorder, or
    const std::optional<DriveExportSource> drive_; // the drive recorder
    const std::vector<ExportEntry> selection_;
    CRecordsList& list_;
    std::unique_ptr<Host> host_;
    std::unique_ptr<vark::ExportRun> worker_;
    std::atomic<bool> stopping_{false};
    bool starting_ = false, ended_ = false;
    int endTicks_ = 0;
    QTimer timer_;

    skin::CSkinnedEdit *folder_, *pause_;
    skin::CSkinnedSpin* pauseSpin_;
    skin::CSkinnedRadio *fixedPause_, *realPause_;
    skin::CSkinnedCheck *sign_, *openSign_, *keepSelection_, *keepOriginal_, *bwf_;
    skin::CSkinnedCombo* format_;
    skin::CSkinnedStatic *stage_, *stagePercent_, *totalPercent_, *written_, *total_;
    skin::CSkinnedProgress *stageBar_, *totalBar_;
    QWidget *browse_, *ok_;
};

} // namespace dialogs
