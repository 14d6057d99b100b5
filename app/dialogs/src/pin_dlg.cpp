#include "dialogs/pin_dlg.h"

#include "form_buttons.h"
#include "pin_field.h"
#include "res/string_ids.h"

namespace dialogs
{

CPINDlg::CPINDlg(QWidget* parent, uint32_t serialNumber) : SkinnedDialog(kName, kDialogId, parent)
{
    serial_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_UIN");
    serial_->setReadOnly(true);
    serial_->setFocusPolicy(Qt::NoFocus);
    serial_->setText(QString::number(serialNumber));
    edit_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_PIN");
    MakePinField(edit_);
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    edit_->setFocus();
}

void CPINDlg::OnCommand(int id)
{
    if (id != skin::IDOK) return CBaseDlg::OnCommand(id);
    if (edit_->text().size() > kMaxPinLength)
    {
        Message(res::ids::kPinCodeLength, res::ids::kMessageTitle, kStyleWarning);
        edit_->setFocus();
        return;
    }
    pin_ = PinText(edit_);
    CBaseDlg::OnCommand(id);
}

} // namespace dialogs
