// The main window's Copy to disk, Authenticate and Public keys.
#include "dialogs/export_dlg.h"
#include "dialogs/key_dlg.h"
#include "dialogs/records_list.h"
#include "dialogs/sign_dlg.h"
#include "shell/vark_dlg.h"
#include "transfer/signature.h"

bool CVarkDlg::StopRecorderPlayback()
{
    if (control_.Kind() != 1) return false;
    control_.Stop();
    return true;
}

uint32_t CVarkDlg::AttachedSerial()
{
    platform::AutoDate clock;
    return device_.GetClock(clock) ? vark::SignatureSerial(device_.SerialNumber()) : 0;
}

void CVarkDlg::OnSaveToDisk()
{
    if (!connected_) return;
    std::vector<dialogs::ExportEntry> selection;
    for (int row : list_->SelectedRows())
        selection.push_back({row, uint16_t(list_->RecordIndex(row))});
    if (selection.empty()) return;
    {
        dialogs::CExportDlg dlg(this, device_, std::move(selection), *list_);
        dlg.stopRecorderPlayback = [this] { return StopRecorderPlayback(); };
        exportDialog_ = &dlg;
        dlg.exec();
        exportDialog_ = nullptr;
    }
    AfterRecorderDialog();
}

void CVarkDlg::OnAuthenticate()
{
    dialogs::CSignDlg dlg(this, AttachedSerial());
    dlg.exec();
}

void CVarkDlg::OnPublicKeys()
{
    dialogs::CKeyDlg dlg(this, AttachedSerial());
    dlg.exec();
}
