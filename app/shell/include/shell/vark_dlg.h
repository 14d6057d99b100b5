// CVarkDlg, the program's one window: finds and connects the recorder (the empty PIN first,
// then the PIN dialog), shows its status, lists its records, plays records and files, and
// opens the other dialogs from its menu.
//
// Platform mapping:
// - Device notifications: the device watcher of the recorder's interface class, its fd served
//   by the Qt loop; arrival and removal start the 250 ms one-shot timers. A watcher that
//   cannot start shows "RegisterDeviceNotification failed" and the program goes on.
// - Player notifications (message 33323): the window-message handle posts a QEvent of that
//   type carrying code, value and a copy of any text; code 12 is sent (handled at once).
// - Waits that would block the UI thread (Exit's 1500 ms, Delete all's 250 ms polling) run as
//   timers under the wait cursor with the window's input disabled, so it keeps painting.
// - Language menu: the resource lookup follows the chosen thread language, so the five items
//   are enabled, the current one is checked, and a change takes effect at the next start.
//   In Arabic the menu bar runs right to left.
// - While Copy to disk or the list loading runs, its worker has the recorder: the status
//   cycle skips it, and a removal is handled once the dialog has returned, connecting again
//   when the recorder came back meanwhile.
#pragma once

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>
#include <string>

#include "device/vark_device.h"
#include "platform/autodate.h"
#include "platform/devio_watcher.h"
#include "platform/winmsg.h"
#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"
#include "skin/skinned_slider.h"
#include "transfer/file_data_flow.h"
#include "transfer/flow_clock.h"
#include "transfer/player_control.h"
#include "transfer/vark_data_flow.h"

class CAppSettings;
class QAction;
class QMenu;

namespace dialogs
{
class CRecordsList;
class CExportDlg;
class CLoadRecordsListDlg;
class CPlayerOptionsDlg;
} // namespace dialogs

class CVarkDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    static constexpr int kDialogId = 102, kBitmap = 209, kDescription = 195;
    // Menu commands.
    enum Command
    {
        ID_EXIT = 32771,
        ID_RECORD_SETTINGS = 32772,
        ID_ABOUT = 32773,
        ID_SELECT_DEVICE = 32774,
        ID_SET_TIME = 32775,
        ID_PLAY = 32776,
        ID_DELETE_ALL = 32777,
        ID_PLAY_FROM_DISK = 32778,
        ID_ENTER_PIN = 32779,
        ID_SAVE_TO_DISK = 32780,
        ID_REFRESH = 32783,
        ID_CHANGE_PIN = 32786,
        ID_LANG_RUSSIAN = 32791,
        ID_LANG_ARABIC = 32795,
        ID_AUTHENTICATE = 32800,
        ID_PUBLIC_KEYS = 32801,
        ID_FROM_OLDEST = 32802,
        ID_FROM_NEWEST = 32803,
        ID_VOLUME_DOWN = 32805,
        ID_VOLUME_UP = 32806,
        ID_PLAY_PAUSE = 32807,
        ID_PLAYER_OPTIONS = 32817,
    };
    // Controls.
    enum Control
    {
        IDC_LIST = 1000,
        IDC_EDIT_CONNECT = 1001,
        IDC_EDIT_FREE = 1002,
        IDC_EDIT_MAX_DUR = 1003,
        IDC_EDIT_USED = 1004,
        IDC_EDIT_TIME = 1006,
        IDC_EDIT_ALL_MEMORY = 1008,
        IDC_CHK_RING = 1039,
        IDC_CHK_ARC = 1041,
        IDC_CHK_DENOISER = 1042,
        IDC_SL_PLAY = 1045,
        IDC_PLAY = 1046,
        IDC_STOP_PLAY = 1047,
        IDC_EDIT_CURRENT_PLAY_POSITION = 1048,
        IDC_EDIT_PLAY_DURATION = 1049,
        IDC_EDIT_SOUND_DATA_SIZE = 1050,
        IDC_EDIT_NAME = 1051,
        IDC_PLAYER_OPTIONS = 1053,
        IDC_EDIT_UIN = 1054,
        IDC_EDIT_TRACK_COUNT = 1058,
        IDC_EDIT_TRACK_SELECTED = 1059,
        IDC_EDIT_FORMAT = 1060,
        IDC_BEGIN = 1061,
        IDC_PAUSE = 1062,
        IDC_END = 1063,
        IDC_LOAD_FROM_DISK = 1064,
        IDC_SL_VOLUME = 1066,
        IDC_MINIMIZE = 1086,
        IDC_STATIC_CONNECT = 1093,
        IDC_STATIC_DISCONNECT = 1094,
        IDC_STATIC_CHARGING = 1096,
        IDC_INDICATOR_CHARGE_LEVEL = 1097,
        IDC_CHARGE_LEVEL = 1098,
        IDC_INDICATOR_MEMORY_STATUS = 1099,
        IDC_MEMORY_STATUS = 1100,
        IDC_STATIC_MENU = 1103,
        IDC_EDIT_RING_LENGTH = 1139,
        IDC_SPIN_RING_LENGTH = 1140,
        IDC_BATTERY_INDICATION = 1176,
    };
    static constexpr int kPlayerMessage = 33323;

    explicit CVarkDlg(CAppSettings& settings, QWidget* parent = nullptr);
    ~CVarkDlg() override;

    void OnCommand(int id) override;
    // The Exit command.
    void OnExit();
    // True once Exit has run its final pass: nothing more is started.
    bool Exited() const { return exited_; }

    // For tests and the screenshots: what the window shows and holds.
    bool Connected() const { return connected_; }
    int SelectedIndex() const { return selected_; }
    dialogs::CRecordsList* List() const { return list_; }
    QString FieldText(int id) const;
    bool ItemEnabled(int command) const;
    vark::CVarkDevice& Device() { return device_; }
    vark::PlayerControl& Player() { return control_; }
    int LoopLength() const { return loopLength_; }
    // Makes row `index` current (wrapping), as previous and next do.
    void ChooseRow(int index);

protected:
    bool event(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void reject() override {} // Escape does nothing

private:
    void InitControls();
    void CloseWhatIsOpen();
    void InitMenu();
    void EnableItem(int command, bool on);
    void SetText(int id, const QString& text);

    // The recorder.
    void OnStatusTick();
    void StartWatching();
    void OnDeviceEvents();
    bool Connect(const std::string& path);
    void OnEnterPin();
    void OnConnected();
    void Disconnect();
    void ShowDisconnectedStatus();
    void RefreshStatus();
    void LoadList();
    // After Copy to disk or the list loading, whose worker had the recorder: the window
    // follows what became of it meanwhile. True when the same connection goes on.
    bool AfterRecorderDialog();
    void ClearList();
    void UpdateSelection();
    void OnRefresh();
    void OnDeleteAll();
    void OnSetTime();
    void OnChangePin();
    void OnLanguage(int command);
    static uint32_t LanguageOfItem(int command);
    void OnSaveToDisk();
    void OnAuthenticate();
    void OnPublicKeys();
    // The serial signatures carry for the recorder when it answers, else 0.
    uint32_t AttachedSerial();
    // Stops a record that plays from the recorder; true when there was one.
    bool StopRecorderPlayback();

    // Playback.
    void OnPlayTick();
    void OnPlayerMessage(int code, intptr_t value, const QString& text);
    void PlayRecord();
    void PlayFirstSelected();
    void PlayFromDisk();
    void OnPlayButton();
    void OnPlayPause();
    void SetVolume(int volume);
    void OnLoopChanged();
    void ReadLoopLength();
    void OnProcessingBox(int id);
    void OnPlayerOptions();
    void ApplyPlayerOptions(int32_t level, int32_t mode, int32_t depth);
    void OnPositionSlider(int code, int position);

    CAppSettings& settings_;
    vark::CVarkDevice device_;
    bool connected_ = false;
    bool connecting_ = false;
    std::wstring pin_;
    platform::AutoSpan clockOffset_{0.0};
    uint32_t lastFree_ = 0;
    int ticks_ = 0;
    bool firstTick_ = true;
    bool dragging_ = false;
    bool playerActive_ = false;
    bool exited_ = false;
    bool busy_ = false;        // Delete all waits for the erase
    bool exitWaiting_ = false; // Exit waits for the player to stop
    int selected_ = -1;
    int loopLength_ = 5;
    int playTicks_ = 0;
    bool asking_ = false; // the memory question is open
    bool removedDuringDialog_ = false;

    std::unique_ptr<platform::devio::DeviceWatcher> watcher_;
    std::unique_ptr<QSocketNotifier> watcherNotifier_;
    QTimer statusTimer_, playTimer_;

    platform::HWND hwnd_;
    vark::SystemTickClock clock_;
    vark::CVarkDataFlow recordFlow_;
    vark::CFileDataFlow fileFlow_;
    vark::PlayerControl control_; // after the flows: it lets go of them before they go

    dialogs::CLoadRecordsListDlg* loadDialog_ = nullptr;
    dialogs::CExportDlg* exportDialog_ = nullptr;
    dialogs::CPlayerOptionsDlg* optionsDialog_ = nullptr;

    dialogs::CRecordsList* list_;
    skin::CSkinnedMenu* menuBar_;
    std::map<int, QAction*> actions_;
    std::vector<QMenu*> menus_;
    std::map<int, skin::CSkinnedStatic*> texts_;
    skin::CSkinnedCheck *ring_, *agc_, *denoiser_, *battery_;
    skin::CSkinnedSlider *position_, *volume_;
    skin::CSkinnedEdit* loopEdit_;
    skin::CSkinnedSpin* loopSpin_;
    skin::CSkinnedImage *connectedImage_, *disconnectedImage_, *chargingImage_;
    skin::CSkinnedIndicator *chargeIndicator_, *memoryIndicator_;
};
