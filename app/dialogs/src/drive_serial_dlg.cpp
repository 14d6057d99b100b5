#include "dialogs/drive_serial_dlg.h"

#include "form_buttons.h"
#include "res/string_ids.h"
#include "transfer/signature.h"

namespace dialogs
{

CDriveSerialDlg::CDriveSerialDlg(QWidget* parent, const std::string& recorderLabel)
    : SkinnedDialog(kName, kDialogId, parent)
{
    auto* label = Bind(new skin::CSkinnedStatic(&Skin()), "IDC_STATIC_RECORDER");
    edit_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_UIN");
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    label->setText(QString::fromStdString(recorderLabel));
    edit_->setFocus();
}

void CDriveSerialDlg::OnCommand(int id)
{
    if (id != skin::IDOK) return CBaseDlg::OnCommand(id);
    const std::optional<uint32_t> serial = vark::ParseSerial(edit_->text().trimmed().toStdString());
    if (!serial || *serial == 0)
    {
        Message(res::ids::kWrongSerialNumber, res::ids::kCopyToDisk, kStyleError);
        edit_->setFocus();
        return;
    }
    serial_ = *serial;
    CBaseDlg::OnCommand(id);
}

} // namespace dialogs
