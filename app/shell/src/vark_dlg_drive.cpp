// The main window's recorders that appear as a drive: found on plug through DriveRecorders,
// shown while the protocol recorder is not connected (it comes first), their files listed,
// played, deleted; File -> "Open recorder folder..." and File -> "Recorders". Every read
// and delete runs on DriveRecorders' thread; the window only shows what comes back. Copy to
// disk goes through the export dialog, with the drive's records (SaveDriveRecords).
#include <QDir>
#include <QMenu>

#include "dialogs/export_dlg.h"
#include "dialogs/records_list.h"
#include "platform/text.h"
#include "platform/thread_locale.h"
#include "res/strings.h"
#include "settings/app_settings.h"
#include "shell/vark_dlg.h"
#include "skin/modal_questions.h"
#include "skin/skinned_menu.h"
#include "transfer/status_texts.h"

#include <algorithm>
#include <filesystem>

namespace
{
constexpr uint32_t kStyleYesNo = 0x04, kStyleError = 0x10, kStyleQuestion = 0x20;
} // namespace

void CVarkDlg::StartDrives()
{
    if (drives_ || exited_) return;
    drives_ = std::make_unique<drive::DriveRecorders>(
        [this](std::function<void()> step)
        { QMetaObject::invokeMethod(this, std::move(step), Qt::QueuedConnection); },
        [this](const std::vector<drive::AttachedDrive>& d) { OnDrivesAttached(d); });
    drives_->Start();
}

void CVarkDlg::OnDrivesAttached(const std::vector<drive::AttachedDrive>& drives)
{
    if (exited_) return;
    attachedDrives_ = drives;
    // a drive that went is offered its import again when it comes back
    std::erase_if(importOffered_,
                  [&](const std::string& root)
                  {
                      return std::none_of(drives.begin(), drives.end(),
                                          [&](const auto& d) { return d.root == root; });
                  });
    const auto listed = [&](const std::string& root)
    {
        const auto same = [&](const drive::AttachedDrive& d) { return d.root == root; };
        return std::any_of(drives.begin(), drives.end(), same) ||
               std::any_of(openedFolders_.begin(), openedFolders_.end(), same);
    };
    if (!drive_.root.empty() && !listed(drive_.root)) LetGoOfDrive();
    if (drive_.root.empty() && recorder_.GetState() == vark::RecorderControl::State::kNone &&
        !drives.empty())
        ShowDrive(drives.front());
}

void CVarkDlg::ShowDrive(const drive::AttachedDrive& d)
{
    if (d.root == drive_.root) return;
    ClearRecords();
    drive_ = {};
    drive_.root = d.root;
    drive_.identity = d.identity;
    ShowDriveStatus(std::nullopt);
    FollowRecorder();
    LoadDrive();
}

void CVarkDlg::LetGoOfDrive()
{
    if (drive_.root.empty()) return;
    ClearRecords();
    drive_ = {};
    StateChanged();
}

void CVarkDlg::LoadDrive()
{
    if (!drives_ || drive_.root.empty()) return;
    drive_.loading = true;
    const std::string root = drive_.root;
    drives_->Load(root,
                  [this, root](const drive::DriveContents& c)
                  {
                      if (root == drive_.root && !exited_) OnDriveLoaded(c);
                  });
}

void CVarkDlg::OnDriveLoaded(const drive::DriveContents& c)
{
    drive_.loading = false;
    if (!c.present)
    {
        // gone without an unmount (pulled), or a folder that was removed
        std::erase_if(openedFolders_, [&](const auto& d) { return d.root == c.root; });
        LetGoOfDrive();
        OnDrivesAttached(attachedDrives_);
        return;
    }
    ClearRecords();
    drive_.identity = c.identity;
    drive_.records = c.records;
    const bool newestFirst = settings_.LoadListOrder == 1;
    const int n = int(c.records.size());
    for (int i = 0; i < n; ++i)
        list_->InsertDriveRecord(newestFirst ? 0 : i, i, c.records[size_t(i)]);
    if (n > 0)
    {
        const int row = newestFirst ? 0 : n - 1;
        ChooseRow(row);
        list_->clearSelection();
        list_->topLevelItem(row)->setSelected(true);
        list_->setCurrentItem(list_->topLevelItem(row));
    }
    SetText(IDC_EDIT_TRACK_COUNT, QString::number(n));
    ShowDriveStatus(c.space);
    FollowRecorder();
    UpdateSelection();
    OfferImport();
}

void CVarkDlg::ShowDriveStatus(const std::optional<drive::DriveSpace>& space)
{
    std::string timeLeft = "\u2014";
    if (space)
        if (const auto seconds = drive::SecondsLeft(space->freeBytes, drive_.records))
            timeLeft = vark::TimeLeftText(platform::AutoSpan(double(*seconds) / 86400.0));
    status_->ShowDrive(DriveLabel(), space, timeLeft);
}

std::string CVarkDlg::DriveLabel() const
{
    return drive_.identity.label.empty() ? std::filesystem::path(drive_.root).filename().string()
                                         : drive_.identity.label;
}

void CVarkDlg::FollowRecorder()
{
    if (drive_.root.empty())
    {
        menu_->Follow(recorder_.Can());
        menu_->Enable(ID_DELETE, false);
        menu_->Enable(ID_DRIVE_IMPORT, false);
        return;
    }
    // a drive has no parameters, clock, PIN or battery; its files can be deleted
    vark::RecorderControl::Capabilities can;
    can.refresh = true;
    menu_->Follow(can);
    // the import may be copying what would be deleted
    menu_->Enable(ID_DELETE_ALL, list_->RowCount() > 0 && !ImportingShownDrive());
    menu_->Enable(ID_DRIVE_IMPORT, !drive_.identity.id.empty());
    menu_->Enable(ID_SAVE_TO_DISK, !list_->SelectedRows().empty());
}

void CVarkDlg::SaveDriveRecords()
{
    dialogs::DriveExportSource source;
    source.identity = drive_.identity.id;
    source.label = DriveLabel();
    std::vector<dialogs::ExportEntry> selection;
    for (int row : list_->SelectedRows())
    {
        const int index = list_->RecordIndex(row);
        if (index < 0 || size_t(index) >= drive_.records.size()) continue;
        selection.push_back({row, uint16_t(index)});
        source.records.push_back(drive_.records[size_t(index)]);
    }
    if (selection.empty()) return;
    // the drive's files are read apart from the player's, so playback may go on
    dialogs::CExportDlg dlg(this, settings_, std::move(source), std::move(selection), *list_);
    exportDialog_ = &dlg;
    dlg.exec();
    exportDialog_ = nullptr;
}

void CVarkDlg::PlayDriveRecord(int row)
{
    const int index = list_->RecordIndex(row);
    if (index < 0 || size_t(index) >= drive_.records.size()) return;
    const drive::DriveRecord& r = drive_.records[size_t(index)];
    if (!r.readable)
    {
        Message(res::FormatWithStrings(res::ids::kDriveFileUnreadable, {r.name}), kStyleError);
        return;
    }
    panel_->PlayFile(r.path, PlaybackPanel::DateTimeOf(r.start));
}

void CVarkDlg::OnDeleteRecords(bool all)
{
    if (drive_.root.empty() || !drives_) return;
    std::vector<int> rows = list_->SelectedRows();
    if (all)
    {
        rows.clear();
        for (int r = 0; r < list_->RowCount(); ++r)
            rows.push_back(r);
    }
    std::vector<std::string> paths;
    for (int row : rows)
    {
        const int index = list_->RecordIndex(row);
        if (index >= 0 && size_t(index) < drive_.records.size())
            paths.push_back(drive_.records[size_t(index)].path);
    }
    if (paths.empty()) return;
    if (Message(res::FormatWithStrings(res::ids::kDeleteRecordsQuestion,
                                       {std::to_string(paths.size())}),
                kStyleYesNo | kStyleQuestion) != skin::IDYES)
        return;
    panel_->Drop(); // the file that plays may be among them
    const std::string root = drive_.root;
    drives_->Delete(
        paths,
        [this, root](const std::vector<std::string>& failed)
        {
            if (exited_ || root != drive_.root) return;
            if (!failed.empty())
                Message(res::FormatWithStrings(res::ids::kDriveFileNotDeleted, {failed.front()}),
                        kStyleError);
            LoadDrive();
        });
}

void CVarkDlg::OnOpenRecorderFolder()
{
    const auto chosen = skin::Questions().BrowseFolder(
        this,
        QString::fromStdString(res::LoadString(res::ids::kMenuOpenRecorderFolder))
            .section('\t', 0, 0)
            .remove(QStringLiteral("..."))
            .toStdString(),
        drive_.root.empty() ? QDir::homePath().toStdString() : drive_.root);
    if (chosen) OpenRecorderFolder(*chosen);
}

void CVarkDlg::OpenRecorderFolder(const std::string& folder)
{
    std::error_code ec;
    if (folder.empty() || !std::filesystem::is_directory(folder, ec))
    {
        Message(res::FormatWithStrings(res::ids::kNotARecorderFolder, {folder}), kStyleError);
        return;
    }
    std::string root = std::filesystem::absolute(folder, ec).lexically_normal().string();
    if (root.size() > 1 && root.back() == '/') root.pop_back();
    drive::AttachedDrive d{root, {"", std::filesystem::path(root).filename().string()}};
    if (std::none_of(openedFolders_.begin(), openedFolders_.end(),
                     [&](const auto& o) { return o.root == root; }))
        openedFolders_.push_back(d);
    StartDrives();
    ShowDrive(d);
}

void CVarkDlg::FillRecordersMenu(QMenu& menu)
{
    menu.clear();
    const auto add = [&](const QString& text, bool current, std::function<void()> choose)
    {
        QAction* a = menu.addAction(text);
        a->setCheckable(true);
        a->setChecked(current);
        connect(a, &QAction::triggered, this, std::move(choose));
    };
    if (recorder_.GetState() != vark::RecorderControl::State::kNone)
        add(QString::fromStdString(res::FormatWithStrings(
                res::ids::kProtocolRecorderItem, {std::to_string(recorder_.SerialNumber())})),
            drive_.root.empty(),
            [this]
            {
                if (drive_.root.empty()) return;
                LetGoOfDrive();
                recorder_.Refresh();
            });
    std::vector<drive::AttachedDrive> all = attachedDrives_;
    for (const auto& o : openedFolders_)
        if (std::none_of(all.begin(), all.end(), [&](const auto& d) { return d.root == o.root; }))
            all.push_back(o);
    for (const drive::AttachedDrive& d : all)
        add(QString::fromStdString(d.identity.label + "  (" + d.root + ")"), d.root == drive_.root,
            [this, d] { ShowDrive(d); });
    if (menu.isEmpty())
        menu.addAction(QString::fromStdString(res::LoadString(res::ids::kNoConnection)))
            ->setEnabled(false);
}

void CVarkDlg::OnRecordersList()
{
    if (!recordersMenu_) recordersMenu_ = new QMenu(this);
    FillRecordersMenu(*recordersMenu_);
    // the skinned popup of the bar's menus, where File's own opens
    auto* popup = new skin::CSkinnedPopupMenu(recordersMenu_, this);
    popup->setAttribute(Qt::WA_DeleteOnClose);
    // in Arabic File is the bar's rightmost title, as MainMenu lays it out
    const bool rtl = platform::PrimaryLanguage(platform::GetThreadLocale()) == kLangArabic;
    popup->Popup(menuBar_->mapToGlobal(QPoint(
        rtl ? menuBar_->width() - popup->sizeHint().width() - 2 : 2, menuBar_->height() + 2)));
    popup->HighlightFirst();
}
