// The main window's wiring to the recorder controller: what it asks of the window, what the
// window shows of it, and the commands that go to it or to the recorder's dialogs.
#include <QApplication>
#include <QMessageBox>
#include <QSocketNotifier>

#include "dialogs/about_dlg.h"
#include "dialogs/change_pin_dlg.h"
#include "dialogs/device_dlg.h"
#include "dialogs/export_dlg.h"
#include "dialogs/key_dlg.h"
#include "dialogs/load_records_list_dlg.h"
#include "dialogs/params_dlg.h"
#include "dialogs/pin_dlg.h"
#include "dialogs/records_list.h"
#include "dialogs/sign_dlg.h"
#include "dialogs/time_dlg.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"

namespace
{
constexpr uint32_t kStyleYesNo = 0x04, kStyleError = 0x10, kStyleQuestion = 0x20,
                   kStyleInformation = 0x40;
} // namespace

std::optional<std::wstring> CVarkDlg::AskPin(uint16_t shownSerial)
{
    dialogs::CPINDlg dlg(this, shownSerial);
    if (dlg.exec() != skin::IDOK) return std::nullopt;
    return dlg.Pin();
}

void CVarkDlg::After(int ms, std::function<void()> step)
{
    QTimer::singleShot(ms, this, std::move(step));
}

void CVarkDlg::Watch(int fd)
{
    if (fd < 0)
    {
        QMessageBox::critical(
            this, QStringLiteral("Sound Manager Varke P"),
            QString::fromStdString(res::LoadString(res::ids::kDeviceWatchFailed)));
        return;
    }
    watch_ = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(watch_.get(), &QSocketNotifier::activated, this,
            [this] { recorder_.OnDeviceEvents(); });
}

void CVarkDlg::OnStatusTick()
{
    if (exited_) return;
    recorder_.Tick(panel_->Player().Kind() != vark::FlowKind::kRecord && !exitWaiting_);
    if (drive_.root.empty()) status_->ShowClock(recorder_);
}

void CVarkDlg::StateChanged()
{
    using State = vark::RecorderControl::State;
    // the protocol recorder comes first: when it connects, a drive shown gives way
    const bool appeared = recorder_.GetState() != State::kNone && protocolState_ == State::kNone;
    protocolState_ = recorder_.GetState();
    if (appeared && !drive_.root.empty()) LetGoOfDrive();
    if (drive_.root.empty())
    {
        status_->ShowState(recorder_);
        FollowRecorder();
        // gone: a drive attached meanwhile takes its place
        if (recorder_.GetState() == State::kNone && !attachedDrives_.empty())
            QTimer::singleShot(0, this, [this] { OnDrivesAttached(attachedDrives_); });
    }
    update();
}

void CVarkDlg::StatusRead()
{
    if (drive_.root.empty()) status_->ShowStatus(recorder_);
}

void CVarkDlg::RecordsCleared()
{
    // the protocol recorder's list is not on show while a drive is
    if (drive_.root.empty()) ClearRecords();
}

void CVarkDlg::ClearRecords()
{
    panel_->Drop();
    list_->Clear();
    SetText(IDC_EDIT_TRACK_COUNT, QStringLiteral("0"));
    SetText(IDC_EDIT_TRACK_SELECTED, QStringLiteral("0"));
    for (int id : {ID_DELETE, ID_DELETE_ALL, ID_PLAY, ID_SAVE_TO_DISK})
        menu_->Enable(id, false);
    selected_ = -1;
}

void CVarkDlg::LoadRecords(int count)
{
    if (!drive_.root.empty()) return; // loaded when the user switches back to it
    dialogs::CLoadRecordsListDlg dlg(this, *recorder_.ProtocolDevice(), count,
                                     int(settings_.LoadListOrder), *list_);
    loadDialog_ = &dlg;
    dlg.exec();
    loadDialog_ = nullptr;
}

void CVarkDlg::RecordsLoaded()
{
    if (!drive_.root.empty()) return;
    if (list_->RowCount() > 0)
    {
        const int row = settings_.LoadListOrder == 1 ? 0 : list_->RowCount() - 1;
        ChooseRow(row);
        list_->clearSelection();
        list_->topLevelItem(row)->setSelected(true);
        list_->setCurrentItem(list_->topLevelItem(row));
        SetText(IDC_EDIT_TRACK_COUNT, QString::number(list_->RowCount()));
        menu_->Enable(ID_DELETE_ALL, recorder_.Can().erase);
    }
    UpdateSelection();
}

void CVarkDlg::UpdateSelection()
{
    const int n = int(list_->SelectedRows().size());
    SetText(IDC_EDIT_TRACK_SELECTED, QString::number(n));
    menu_->Enable(ID_PLAY, n > 0);
    menu_->Enable(ID_SAVE_TO_DISK, n > 0);
    menu_->Enable(ID_DELETE, n > 0 && !drive_.root.empty() && !ImportingShownDrive());
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

void CVarkDlg::PlayRecord()
{
    if (selected_ >= 0 && !drive_.root.empty()) return PlayDriveRecord(selected_);
    if (selected_ < 0 || !recorder_.Connected() || !recorder_.ProtocolDevice()) return;
    panel_->PlayRecord(recorder_.ProtocolDevice(), uint16_t(list_->RecordIndex(selected_)));
}

void CVarkDlg::PlayFirstSelected()
{
    const std::vector<int> rows = list_->SelectedRows();
    if (rows.empty()) return;
    ChooseRow(rows.front());
    PlayRecord();
}

void CVarkDlg::OnStep(int delta)
{
    if (list_->RowCount() == 0) return;
    ChooseRow(selected_ + delta);
    PlayRecord();
}

void CVarkDlg::OnRecordOrder(bool newestFirst)
{
    settings_.LoadListOrder = newestFirst ? 1 : 0;
    menu_->CheckOrder(newestFirst);
    if (!drive_.root.empty()) return LoadDrive();
    recorder_.Refresh();
}

void CVarkDlg::OnDeleteAll()
{
    if (!drive_.root.empty()) return OnDeleteRecords(true);
    if (Message(res::ids::kDeleteAllQuestion, res::ids::kMessageTitle,
                kStyleYesNo | kStyleQuestion) != skin::IDYES ||
        Message(res::ids::kDeleteAllTakesTime, res::ids::kMessageTitle,
                kStyleYesNo | kStyleInformation) != skin::IDYES)
        return;
    recorder_.Erase();
}

void CVarkDlg::Erasing(bool on)
{
    // the controller polls from the loop, so the window keeps painting meanwhile
    if (on)
    {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        setEnabled(false);
        return;
    }
    setEnabled(!exitWaiting_);
    QApplication::restoreOverrideCursor();
}

void CVarkDlg::OnSetTime()
{
    dialogs::CTimeDlg dlg(this);
    if (dlg.exec() != skin::IDOK) return;
    if (!recorder_.SetClock(dlg.Result()))
        Message(res::ids::kCantSaveParameters, res::ids::kMessageTitle, 0);
    recorder_.RefreshStatus();
}

void CVarkDlg::OnChangePin()
{
    dialogs::CChangePINDlg dlg(this, recorder_.Pin());
    if (dlg.exec() == skin::IDOK && !recorder_.ChangePin(dlg.NewPin()))
        Message(res::ids::kCantSetPinCode, res::ids::kMessageTitle, kStyleError);
}

void CVarkDlg::OnRecordSettings()
{
    if (!recorder_.Can().parameters || !recorder_.ProtocolDevice()) return;
    dialogs::CParamsDlg params(this, settings_, recorder_.ProtocolDevice(),
                               recorder_.FreeKilobytes());
    params.stopRecorderPlayback = [this] { return panel_->StopRecorderPlayback(); };
    // the time left depends on the parameters
    if (params.exec() == skin::IDOK) recorder_.RefreshStatus();
}

void CVarkDlg::OnSaveToDisk()
{
    if (!drive_.root.empty()) return SaveDriveRecords();
    if (!recorder_.Connected() || !recorder_.ProtocolDevice()) return;
    std::vector<dialogs::ExportEntry> selection;
    for (int row : list_->SelectedRows())
        selection.push_back({row, uint16_t(list_->RecordIndex(row))});
    if (selection.empty()) return;
    recorder_.LendToWorker(
        [&]
        {
            dialogs::CExportDlg dlg(this, settings_, *recorder_.ProtocolDevice(),
                                    std::move(selection), *list_);
            dlg.stopRecorderPlayback = [this] { return panel_->StopRecorderPlayback(); };
            exportDialog_ = &dlg;
            dlg.exec();
            exportDialog_ = nullptr;
        });
}

void CVarkDlg::OnAuthenticate()
{
    dialogs::CSignDlg dlg(this, settings_, recorder_.AttachedSerial());
    dlg.exec();
}

void CVarkDlg::OnPublicKeys()
{
    dialogs::CKeyDlg dlg(this, recorder_.AttachedSerial());
    dlg.exec();
}

void CVarkDlg::OnSelectDevice()
{
    // the player opens its device once, when it starts
    dialogs::CDeviceDlg dlg(this, settings_);
    if (dlg.exec() == skin::IDOK) Message(res::ids::kRestartSoftware, res::ids::kMessageTitle, 0);
}

void CVarkDlg::OnAbout()
{
    dialogs::CAboutDlg about(this, recorder_.FirmwareVersion());
    about.exec();
}
