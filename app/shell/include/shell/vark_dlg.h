// CVarkDlg, the program's one window: the layout, the menu and the wiring between the
// recorder controller (transfer/recorder_control.h: finding, connecting, status, list loading,
// erasing), the playback panel (shell/playback_panel.h) and the other dialogs. Each command
// and button has its own slot; the command numbers are the system's resource numbers.
//
// Platform mapping:
// - Device notifications: the controller's device watcher, its fd served by the Qt loop. A
//   watcher that cannot start shows "RegisterDeviceNotification failed" and the program goes
//   on.
// - Waits that would block the UI thread (Exit's 1500 ms, Delete all's 250 ms polling) run as
//   timers under the wait cursor with the window's input disabled, so it keeps painting.
// - Language menu: the resource lookup follows the chosen thread language, so the five items
//   are enabled, the current one is checked, and a change takes effect at the next start.
//   In Arabic the menu bar runs right to left.
// - While Copy to disk or the list loading runs, its worker has the recorder: the status
//   cycle skips it, and a removal is handled once the dialog has returned, connecting again
//   when the recorder came back meanwhile.
#pragma once

#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "drive/drive_recorders.h"
#include "shell/main_menu.h"
#include "shell/main_window_ids.h"
#include "shell/playback_panel.h"
#include "shell/recorder_status_view.h"
#include "skin/base_dlg.h"
#include "skin/skinned_fwd.h"
#include "transfer/recorder_control.h"

class CAppSettings;
class PluggedImport;
struct DriveImportSetting;
class QSocketNotifier;

namespace dialogs
{
class CRecordsList;
class CExportDlg;
class CLoadRecordsListDlg;
} // namespace dialogs

class CVarkDlg : public skin::SkinnedDialog<skin::CBaseDlg>,
                 public MainWindowIds,
                 private vark::RecorderControl::Host
{
public:
    VARK_DIALOG_IDENTITY(VARK_VARK_DIALOG_IDENTITY);

    explicit CVarkDlg(CAppSettings& settings, QWidget* parent = nullptr);
    ~CVarkDlg() override;

    // A command of a menu item, button or key, by its resource number.
    void OnCommand(int id) override;
    // The Exit command.
    void OnExit();
    // True once Exit has run its final pass: nothing more is started.
    bool Exited() const { return exited_; }

    // For tests and the screenshots: what the window shows and holds.
    bool Connected() const { return recorder_.Connected(); }
    int SelectedIndex() const { return selected_; }
    dialogs::CRecordsList* List() const { return list_; }
    QString FieldText(int id) const;
    bool ItemEnabled(int command) const { return menu_->Enabled(command); }
    vark::RecorderControl& Recorder() { return recorder_; }
    // The root of the drive recorder the window shows, empty when it shows none.
    const std::string& DriveShown() const { return drive_.root; }
    // Shows the folder as a recorder, as File -> "Open recorder folder..." does.
    void OpenRecorderFolder(const std::string& folder);
    vark::PlayerControl& Player() { return panel_->Player(); }
    int LoopLength() const { return panel_->LoopLength(); }
    // Makes row `index` current (wrapping), as previous and next do.
    void ChooseRow(int index);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void reject() override {} // Escape does nothing

private:
    void InitControls();
    void InitKeys();
    void InitCommands();
    void CloseWhatIsOpen();
    void SetText(int id, const QString& text);

    // What the recorder controller asks and reports.
    using CBaseDlg::Message;
    int Message(uint32_t text, uint32_t title, uint32_t style) override
    {
        return CBaseDlg::Message(text, title, style);
    }
    std::optional<std::wstring> AskPin(uint16_t shownSerial) override;
    void After(int ms, std::function<void()> step) override;
    void Watch(int fd) override;
    void StateChanged() override;
    void StatusRead() override;
    void RecordsCleared() override;
    // Empties the list and lets go of playback, for either kind of recorder.
    void ClearRecords();
    void LoadRecords(int count) override;
    void RecordsLoaded() override;
    void StopPlayback() override
    {
        if (!drive_.root.empty()) return; // a drive's file plays, not the recorder's
        panel_->Stop();
        update();
    }
    void DropPlayback() override { panel_->Drop(); }
    void Erasing(bool on) override;

    // The slots.
    void OnStatusTick();
    void OnDeleteAll();
    void OnRecordOrder(bool newestFirst);
    void OnSetTime();
    void OnRecordSettings();
    void OnChangePin();
    void OnLanguage(int command);
    void OnSaveToDisk();
    void SaveDriveRecords();
    void OnAuthenticate();
    void OnPublicKeys();
    void OnAbout();
    void OnSelectDevice();
    void OnStep(int delta);
    void PlayRecord();
    void PlayFirstSelected();
    void UpdateSelection();

    // Recorders that appear as a drive (vark_dlg_drive.cpp). The protocol recorder comes
    // first: a drive is shown while it is not connected.
    void StartDrives();
    void OnDrivesAttached(const std::vector<drive::AttachedDrive>& drives);
    void ShowDrive(const drive::AttachedDrive& d);
    void LetGoOfDrive();
    void LoadDrive();
    void OnDriveLoaded(const drive::DriveContents& contents);
    void ShowDriveStatus(const std::optional<drive::DriveSpace>& space);
    void OnOpenRecorderFolder();
    void OnDeleteRecords(bool all);
    void FillRecordersMenu(QMenu& menu);
    // File -> Recorders: the attached recorders in a list under the menu bar; one is chosen.
    void OnRecordersList();
    // What the window follows after a change of either kind of recorder.
    void FollowRecorder();
    // The shown drive's label, else its folder's name.
    std::string DriveLabel() const;
    void PlayDriveRecord(int row);
    // Import on plug (vark_dlg_import.cpp): offered once per recorder, run once per plug.
    void OfferImport();
    void StartImport(const DriveImportSetting& setting);
    void FollowImport();
    void OnDriveImportSettings();
    bool ImportingShownDrive() const;
    // The drive at `root` is plugged in (a folder opened by hand is not).
    bool Attached(const std::string& root) const;

    CAppSettings& settings_;
    vark::RecorderControl recorder_;
    std::unique_ptr<PlaybackPanel> panel_;
    std::unique_ptr<RecorderStatusView> status_;
    std::unique_ptr<MainMenu> menu_;
    std::unique_ptr<QSocketNotifier> watch_;
    std::map<int, std::function<void()>> commands_;
    bool exited_ = false;
    bool exitWaiting_ = false; // Exit waits for the player to stop
    vark::RecorderControl::State protocolState_ = vark::RecorderControl::State::kNone;
    int selected_ = -1;
    QTimer statusTimer_;

    dialogs::CLoadRecordsListDlg* loadDialog_ = nullptr;
    dialogs::CExportDlg* exportDialog_ = nullptr;

    dialogs::CRecordsList* list_;
    skin::CSkinnedMenu* menuBar_;
    std::map<int, skin::CSkinnedStatic*> texts_;
    skin::CSkinnedCheck* battery_;
    skin::CSkinnedEdit* loopEdit_;

    struct ShownDrive
    {
        std::string root;
        drive::DriveIdentity identity;
        std::vector<drive::DriveRecord> records; // by their index in the list rows
        bool loading = false;
    } drive_;
    std::vector<drive::AttachedDrive> attachedDrives_, openedFolders_;
    QMenu* recordersMenu_ = nullptr;
    std::unique_ptr<PluggedImport> import_;
    QTimer importTimer_;
    std::set<std::string> importOffered_; // the attached drives whose import ran or was offered
    // Last: it goes first, so nothing it posts can reach a window half taken down.
    std::unique_ptr<drive::DriveRecorders> drives_;
};
