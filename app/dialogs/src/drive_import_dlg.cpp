#include "dialogs/drive_import_dlg.h"

#include "dialog_text.h"
#include "form_buttons.h"
#include "res/string_ids.h"
#include "skin/modal_questions.h"

namespace dialogs
{

CDriveImportDlg::CDriveImportDlg(QWidget* parent, const std::string& recorderLabel,
                                 const DriveImportSetting& setting)
    : SkinnedDialog(kName, kDialogId, parent), setting_(setting)
{
    skin::SkinManager* m = &Skin();
    auto* label = Bind(new skin::CSkinnedStatic(m), "IDC_STATIC_RECORDER");
    copy_ = Bind(new skin::CSkinnedCheck(m), "IDC_CHK_IMPORT");
    folder_ = Bind(new skin::CSkinnedEdit(m), "IDC_EDIT_DIR");
    browse_ = Bind(new skin::CSkinnedButton(m), "IDC_BUTTON_DIR");
    delete_ = Bind(new skin::CSkinnedCheck(m), "IDC_CHK_DELETE_VERIFIED");
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    label->setText(QString::fromStdString(recorderLabel));
    copy_->setChecked(setting.choice == DriveImportChoice::kOn);
    folder_->setText(QString::fromStdString(setting.folder));
    delete_->setChecked(setting.deleteVerified);
    connect(copy_, &QAbstractButton::toggled, this, [this] { FollowCopy(); });
    FollowCopy();
    copy_->setFocus();
}

void CDriveImportDlg::FollowCopy()
{
    for (QWidget* w : std::initializer_list<QWidget*>{folder_, browse_, delete_})
        w->setEnabled(copy_->isChecked());
}

void CDriveImportDlg::OnCommand(int id)
{
    if (id == IDC_BUTTON_DIR)
    {
        if (const auto chosen =
                skin::Questions().BrowseFolder(this, res::LoadString(res::ids::kSelectTargetFolder),
                                               folder_->text().toStdString()))
            folder_->setText(QString::fromStdString(*chosen));
        return;
    }
    if (id != skin::IDOK) return CBaseDlg::OnCommand(id);
    const std::string folder = folder_->text().trimmed().toStdString();
    if (copy_->isChecked() && folder.empty())
    {
        Message(res::ids::kEnterTargetFolder, res::ids::kDriveImportTitle, kStyleError);
        folder_->setFocus();
        return;
    }
    setting_.choice = copy_->isChecked() ? DriveImportChoice::kOn : DriveImportChoice::kOff;
    if (!folder.empty()) setting_.folder = folder;
    setting_.deleteVerified = delete_->isChecked();
    CBaseDlg::OnCommand(id);
}

} // namespace dialogs
