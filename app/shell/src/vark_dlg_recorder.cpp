// The main window and the recorder: finding and connecting it, its status, the records list,
// erasing, the clock and the PIN.
#include <QApplication>
#include <QMessageBox>

#include "dialogs/change_pin_dlg.h"
#include "dialogs/load_records_list_dlg.h"
#include "dialogs/pin_dlg.h"
#include "dialogs/records_list.h"
#include "dialogs/time_dlg.h"
#include "platform/devio.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "transfer/status_texts.h"

namespace
{

constexpr uint32_t kStyleYesNo = 0x04, kStyleError = 0x10, kStyleQuestion = 0x20,
                   kStyleWarning = 0x30, kStyleInformation = 0x40;
constexpr int kYes = 6;

// Firmware the manager knows: beyond 44.55, 45.54 and 45.x it asks for a newer manager.
bool BeyondSupportedFirmware(uint16_t v)
{
    const int major = v >> 8, minor = v & 0xFF;
    return (major == 44 && minor >= 56) || (major == 45 && minor >= 55) || major >= 46;
}

} // namespace

void CVarkDlg::OnStatusTick()
{
    if (exited_) return;
    if (firstTick_)
    {
        firstTick_ = false;
        StartWatching();
        vark::FindRecorder([this](const std::string& path) { return Connect(path); });
    }
    if (++ticks_ > 5)
    {
        ticks_ = 0;
        if (connected_ && control_.Kind() != 1 && !loadDialog_ && !exportDialog_ && !busy_ &&
            !exitWaiting_ && !asking_)
        {
            const uint32_t before = lastFree_;
            RefreshStatus();
            if (before && lastFree_ && before != lastFree_)
            {
                // the ticks go on while the question is open; it is asked once
                asking_ = true;
                const bool refresh =
                    Message(res::ids::kMemoryChanged, res::ids::kMessageTitle, kStyleYesNo) == kYes;
                asking_ = false;
                if (refresh) OnRefresh();
            }
        }
    }
    // the recorder's clock runs on from the last reading without asking it
    SetText(IDC_EDIT_TIME,
            QString::fromStdString(
                (platform::AutoDate::Now() + clockOffset_).Format("%Y.%m.%d %H:%M:%S")));
}

void CVarkDlg::StartWatching()
{
    watcher_ =
        std::make_unique<platform::devio::DeviceWatcher>(platform::devio::kRecorderClassGuid);
    if (!watcher_->IsValid())
    {
        watcher_.reset();
        QMessageBox::critical(
            this, QStringLiteral("Sound Manager Varke P"),
            QString::fromStdString(res::LoadString(res::ids::kDeviceWatchFailed)));
        return;
    }
    watcherNotifier_ = std::make_unique<QSocketNotifier>(watcher_->Fd(), QSocketNotifier::Read);
    connect(watcherNotifier_.get(), &QSocketNotifier::activated, this,
            [this] { OnDeviceEvents(); });
}

void CVarkDlg::OnDeviceEvents()
{
    if (!watcher_) return;
    for (const platform::devio::DeviceEvent& e : watcher_->TakeEvents())
    {
        if (e.kind == platform::devio::DeviceEvent::Kind::Arrival)
            QTimer::singleShot(250, this,
                               [this]
                               {
                                   if (!connected_)
                                       vark::FindRecorder([this](const std::string& path)
                                                          { return Connect(path); });
                               });
        else
            QTimer::singleShot(250, this,
                               [this]
                               {
                                   if (!connected_) return;
                                   // the worker has the recorder: the dialog's end sees to it
                                   if (exportDialog_ || loadDialog_)
                                       removedDuringDialog_ = true;
                                   else
                                       Disconnect();
                               });
    }
}

bool CVarkDlg::Connect(const std::string& path)
{
    if (exited_) return false;
    if (connecting_) return false;
    connecting_ = true;
    struct Clear
    {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{connecting_};
    if (!device_.Open(path)) return false;
    SetText(IDC_EDIT_CONNECT, QString::fromStdString(res::LoadString(res::ids::kNoPinCode)));
    // signed, as signatures, the keys and vark-cli carry it (the PIN dialog shows it unsigned)
    SetText(IDC_EDIT_UIN, QString::number(device_.SerialNumber()));
    EnableItem(ID_ENTER_PIN, true);
    pin_.clear();
    if (device_.PresentAccessCode(pin_))
        OnConnected();
    else
        OnEnterPin();
    return true;
}

void CVarkDlg::OnEnterPin()
{
    dialogs::CPINDlg dlg(this, uint16_t(device_.SerialNumber()));
    if (dlg.exec() != skin::IDOK) return;
    if (device_.PresentAccessCode(dlg.Pin()))
    {
        OnConnected();
        pin_ = dlg.Pin();
    }
    else
        Message(res::ids::kWrongPinCode, res::ids::kMessageTitle, kStyleError);
}

void CVarkDlg::OnConnected()
{
    if (exited_) return;
    const uint16_t fw = device_.FirmwareVersion();
    if (fw != 0)
    {
        if (fw <= 1024 && (fw & 0xFF) < 17)
            Message(res::ids::kObsoleteFirmware, res::ids::kFirmware, kStyleWarning);
        if (BeyondSupportedFirmware(fw) && device_.GetCapabilityLevel() > 1)
            Message(res::ids::kUpgradeManager, res::ids::kMessageTitle, kStyleWarning);
    }
    platform::AutoDate clock;
    if (!device_.GetClock(clock)) return;
    connected_ = true;
    SetText(IDC_EDIT_CONNECT, QString::fromStdString(res::LoadString(res::ids::kConnected)));
    for (int id : {ID_REFRESH, ID_RECORD_SETTINGS, ID_SET_TIME, ID_CHANGE_PIN})
        EnableItem(id, true);
    EnableItem(ID_ENTER_PIN, false);
    connectedImage_->show();
    disconnectedImage_->hide();
    device_.ReadParameters();
    RefreshStatus();
    if (fw > vark::kFirmwareBatteryIndication)
    {
        battery_->setEnabled(true);
        battery_->setChecked(device_.GetBatteryIndication() != 0);
    }
    update();
    ticks_ = 0;
    LoadList();
}

void CVarkDlg::Disconnect()
{
    connected_ = false;
    device_.Close();
    ClearList();
    ShowDisconnectedStatus();
    for (int id : {ID_REFRESH, ID_RECORD_SETTINGS, ID_SET_TIME, ID_CHANGE_PIN, ID_ENTER_PIN})
        EnableItem(id, false);
    battery_->setChecked(false);
    battery_->setEnabled(false);
    update();
}

void CVarkDlg::ShowDisconnectedStatus()
{
    SetText(IDC_EDIT_CONNECT, QString::fromStdString(res::LoadString(res::ids::kNoConnection)));
    for (int id : {IDC_EDIT_UIN, IDC_EDIT_ALL_MEMORY, IDC_EDIT_FREE, IDC_EDIT_USED,
                   IDC_MEMORY_STATUS, IDC_EDIT_MAX_DUR, IDC_CHARGE_LEVEL})
        SetText(id, {});
    chargeIndicator_->SetValue(0);
    memoryIndicator_->SetValue(0);
    chargingImage_->hide();
    connectedImage_->hide();
    disconnectedImage_->show();
}

void CVarkDlg::RefreshStatus()
{
    if (!connected_) return;
    const uint16_t fw = device_.FirmwareVersion();
    uint32_t total = 0, free = 0;
    const bool haveMemory = device_.GetMemory(total, free);
    const uint32_t totalKb = haveMemory ? vark::MemoryKilobytes(total, fw) : 0;
    const uint32_t freeKb = haveMemory ? vark::MemoryKilobytes(free, fw) : 0;
    const uint32_t percent = totalKb ? uint32_t(uint64_t(freeKb) * 100 / totalKb) : 0;
    lastFree_ = freeKb;
    SetText(IDC_EDIT_ALL_MEMORY, QString::fromStdString(vark::KilobyteText(totalKb)));
    SetText(IDC_EDIT_FREE, QString::fromStdString(vark::KilobyteText(freeKb)));
    SetText(IDC_EDIT_USED,
            QString::fromStdString(vark::KilobyteText(totalKb >= freeKb ? totalKb - freeKb : 0)));
    SetText(IDC_EDIT_MAX_DUR,
            QString::fromStdString(
                haveMemory ? vark::TimeLeftText(vark::RecordingTimeLeft(freeKb, device_.Params()))
                           : std::string("00:00:00")));
    memoryIndicator_->SetValue(int(percent));
    SetText(IDC_MEMORY_STATUS, QStringLiteral("%1%").arg(percent));
    bool charging = false;
    const uint8_t level = device_.GetBattery(charging);
    if (fw < vark::kFirmwareSectorUnits)
        chargeIndicator_->SetValue(charging ? 0 : 100);
    else
    {
        chargeIndicator_->SetValue(level);
        SetText(IDC_CHARGE_LEVEL, QStringLiteral("%1%").arg(level));
    }
    chargingImage_->setVisible(charging);
    platform::AutoDate clock;
    if (device_.GetClock(clock))
    {
        SetText(IDC_EDIT_TIME, QString::fromStdString(clock.Format("%Y.%m.%d %H:%M:%S")));
        clockOffset_ = clock - platform::AutoDate::Now();
    }
    else
        SetText(IDC_EDIT_TIME, {});
}

void CVarkDlg::ClearList()
{
    control_.Drop();
    list_->Clear();
    SetText(IDC_EDIT_TRACK_COUNT, QStringLiteral("0"));
    SetText(IDC_EDIT_TRACK_SELECTED, QStringLiteral("0"));
    for (int id : {ID_DELETE_ALL, ID_PLAY, ID_SAVE_TO_DISK})
        EnableItem(id, false);
    selected_ = -1;
}

void CVarkDlg::LoadList()
{
    if (exited_) return;
    ClearList();
    const int count = device_.GetRecordCount();
    if (count > 0)
    {
        dialogs::CLoadRecordsListDlg dlg(this, device_, count, int(settings_.LoadListOrder),
                                         *list_);
        loadDialog_ = &dlg;
        dlg.exec();
        loadDialog_ = nullptr;
        if (!AfterRecorderDialog()) return;
    }
    if (list_->RowCount() > 0)
    {
        const int row = settings_.LoadListOrder == 1 ? 0 : list_->RowCount() - 1;
        ChooseRow(row);
        list_->clearSelection();
        list_->topLevelItem(row)->setSelected(true);
        list_->setCurrentItem(list_->topLevelItem(row));
        SetText(IDC_EDIT_TRACK_COUNT, QString::number(list_->RowCount()));
        EnableItem(ID_DELETE_ALL, true);
    }
    UpdateSelection();
}

bool CVarkDlg::AfterRecorderDialog()
{
    // A removal while the worker had the recorder was left until now, and an arrival meanwhile
    // was not taken, since the window still counted itself connected: the recorder may have
    // come back (its old connection is dead then) or be gone.
    const bool removed = std::exchange(removedDuringDialog_, false);
    if (!connected_ || exited_) return false;
    platform::AutoDate clock;
    // Without a removal, one failed read is not a recorder gone (without a watcher, nothing
    // else would tell).
    if ((!removed && watcher_) || device_.GetClock(clock)) return true;
    Disconnect();
    vark::FindRecorder([this](const std::string& path) { return Connect(path); });
    return false;
}

void CVarkDlg::UpdateSelection()
{
    const int n = int(list_->SelectedRows().size());
    SetText(IDC_EDIT_TRACK_SELECTED, QString::number(n));
    EnableItem(ID_PLAY, n > 0);
    EnableItem(ID_SAVE_TO_DISK, n > 0);
}

void CVarkDlg::ChooseRow(int index)
{
    const int n = list_->RowCount();
    if (n == 0) return;
    if (index >= n) index = 0;
    if (index < 0) index = n - 1;
    if (selected_ >= 0) list_->SetCurrentMarker(selected_, false);
    list_->SetCurrentMarker(index, true);
    list_->scrollToItem(list_->topLevelItem(index));
    selected_ = index;
}

void CVarkDlg::OnRefresh()
{
    if (exited_) return;
    if (!connected_) return;
    control_.Stop();
    update();
    LoadList();
    RefreshStatus();
}

void CVarkDlg::OnDeleteAll()
{
    if (Message(res::ids::kDeleteAllQuestion, res::ids::kMessageTitle,
                kStyleYesNo | kStyleQuestion) != kYes ||
        Message(res::ids::kDeleteAllTakesTime, res::ids::kMessageTitle,
                kStyleYesNo | kStyleInformation) != kYes)
        return;
    control_.Drop();
    if (!device_.StartEraseAll()) SLOG_ERR("The recorder did not start erasing");
    busy_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    setEnabled(false);
    // polled every 250 ms from the loop, so the window keeps painting meanwhile
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this,
            [this, poll]
            {
                platform::AutoDate clock;
                const bool answering = device_.GetClock(clock);
                if (answering && device_.IsErasing()) return;
                poll->deleteLater();
                busy_ = false;
                setEnabled(!exitWaiting_);
                QApplication::restoreOverrideCursor();
                if (answering)
                {
                    LoadList();
                    RefreshStatus();
                }
            });
    poll->start(250);
}

void CVarkDlg::OnSetTime()
{
    dialogs::CTimeDlg dlg(this);
    if (dlg.exec() != skin::IDOK) return;
    if (!dlg.Result().IsValid() || !device_.SetClock(dlg.Result()))
        Message(res::ids::kCantSaveParameters, res::ids::kMessageTitle, 0);
    RefreshStatus();
}

void CVarkDlg::OnChangePin()
{
    dialogs::CChangePINDlg dlg(this, pin_);
    if (dlg.exec() != skin::IDOK) return;
    if (device_.ChangeAccessCode(dlg.NewPin()))
        pin_ = dlg.NewPin();
    else
        Message(res::ids::kCantSetPinCode, res::ids::kMessageTitle, kStyleError);
}
