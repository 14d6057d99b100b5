// Import on plug: when a drive recorder the user copies from is plugged in and shown, its new
// records are copied to its folder (and deleted after a verified copy, when chosen) by
// PluggedImport on its own thread, with a quiet progress at the records' row and the outcome
// left there. The first time a recorder is plugged in the user is asked once; File ->
// "Import new records..." changes the answer.
#include "dialogs/drive_import_dlg.h"
#include "plugged_import.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "settings/app_settings.h"
#include "settings/drive_import_settings.h"
#include "shell/vark_dlg.h"
#include "transfer/import_state.h"

#include <algorithm>
#include <filesystem>

namespace
{
constexpr uint32_t kStyleError = 0x10, kStyleWarning = 0x30, kStyleQuestionYesNo = 0x24;
constexpr int kProgressMs = 250;

// A name or path inside a sentence keeps its own left-to-right order in Arabic (its leading
// slash stays in front): a left-to-right isolate around it.
std::string Isolated(const std::string& text)
{
    return "\u2066" + text + "\u2069";
}
} // namespace

bool CVarkDlg::Attached(const std::string& root) const
{
    return std::any_of(attachedDrives_.begin(), attachedDrives_.end(),
                       [&](const drive::AttachedDrive& d) { return d.root == root; });
}

bool CVarkDlg::ImportingShownDrive() const
{
    return import_ && !drive_.root.empty() && import_->Root() == drive_.root;
}

void CVarkDlg::OfferImport()
{
    // once per plug, for a drive that was plugged in (not a folder opened by hand)
    const std::string& root = drive_.root;
    if (root.empty() || drive_.identity.id.empty() || import_ || importOffered_.count(root)) return;
    if (!Attached(root)) return;
    importOffered_.insert(root);
    DriveImportSetting setting = LoadDriveImportSetting(drive_.identity.id, DriveLabel());
    if (setting.choice == DriveImportChoice::kUnasked)
    {
        const int answer =
            Message(res::FormatWithStrings(res::ids::kImportOnPlugQuestion,
                                           {Isolated(DriveLabel()), Isolated(setting.folder)}),
                    kStyleQuestionYesNo);
        // No is for good; the File menu's dialog turns it on later
        setting.choice = answer == skin::IDYES ? DriveImportChoice::kOn : DriveImportChoice::kOff;
        if (!SaveDriveImportSetting(drive_.identity.id, setting))
            SLOG_ERR("The import setting of %s was not saved", drive_.identity.id.c_str());
        if (root != drive_.root) return; // the drive went while the question was open
    }
    if (setting.choice == DriveImportChoice::kOn) StartImport(setting);
}

void CVarkDlg::StartImport(const DriveImportSetting& setting)
{
    if (import_ || drive_.root.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(setting.folder, ec);
    if (!std::filesystem::is_directory(setting.folder, ec))
    {
        Message(res::FormatWithStrings(res::ids::kFolderNotCreated, {setting.folder}), kStyleError);
        return;
    }
    vark::DriveImportOptions options;
    options.to = vark::ImportTargetFolder(setting.folder);
    options.deleteVerified = setting.deleteVerified;
    options.stateFile = vark::ImportStatePath(vark::ImportStateFolder(), drive_.identity.id);
    import_ = std::make_unique<PluggedImport>(drive_.root, drive_.records, std::move(options));
    if (!import_->Start(ReapplyThreadLanguage))
    {
        SLOG_ERR("The import thread did not start");
        import_.reset();
        return;
    }
    SLOG("Importing %zu records of %s", drive_.records.size(), drive_.root.c_str());
    importTimer_.start(kProgressMs);
    FollowImport();
    FollowRecorder();
    UpdateSelection();
}

void CVarkDlg::FollowImport()
{
    if (!import_) return;
    if (import_->Running())
    {
        SetText(IDC_EDIT_ACTIVITY, QString::fromStdString(res::LoadString(import_->Stage())) +
                                       QStringLiteral(" %1%").arg(import_->Percent()));
        return;
    }
    importTimer_.stop();
    const std::unique_ptr<PluggedImport> ended = std::move(import_);
    const vark::ImportCounts counts = ended->Counts();
    const std::string failure = ended->Failure();
    const std::string root = ended->Root();
    SetText(IDC_EDIT_ACTIVITY, QString::fromStdString(vark::ImportOutcomeText(counts)));
    SLOG("Import of %s ended: %s", root.c_str(), vark::ImportOutcomeText(counts).c_str());
    FollowRecorder();
    UpdateSelection();
    if (root == drive_.root && counts.deleted > 0) LoadDrive();
    // a drive pulled mid-import is quiet: the next plug goes on from there
    std::error_code ec;
    const bool present = std::filesystem::is_directory(root, ec) && Attached(root);
    if (!failure.empty() && present)
        Message(res::FormatWithStrings(res::ids::kImportStopped,
                                       {std::filesystem::path(root).filename().string(), failure}),
                kStyleError);
    for (const std::string& kept : counts.notDeleted)
        Message(res::FormatWithStrings(res::ids::kImportNotDeleted, {kept}), kStyleWarning);
}

void CVarkDlg::OnDriveImportSettings()
{
    if (drive_.root.empty() || drive_.identity.id.empty()) return;
    const std::string id = drive_.identity.id, root = drive_.root;
    dialogs::CDriveImportDlg dlg(this, DriveLabel(), LoadDriveImportSetting(id, DriveLabel()));
    if (dlg.exec() != skin::IDOK) return;
    if (!SaveDriveImportSetting(id, dlg.Setting()))
        SLOG_ERR("The import setting of %s was not saved", id.c_str());
    // turned on: the records there now are copied at once, as on a plug
    if (dlg.Setting().choice == DriveImportChoice::kOn && root == drive_.root && !drive_.loading)
        StartImport(dlg.Setting());
}
