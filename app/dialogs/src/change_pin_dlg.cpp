#include "dialogs/change_pin_dlg.h"

#include "form_buttons.h"
#include "pin_field.h"
#include "res/string_ids.h"

namespace dialogs
{

CChangePINDlg::CChangePINDlg(QWidget* parent, std::wstring currentPin)
    : SkinnedDialog(kName, kDialogId, parent), currentPin_(std::move(currentPin))
{
    old_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_PIN_OLD");
    new1_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_PIN_NEW1");
    new2_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_PIN_NEW2");
    for (skin::CSkinnedEdit* e : {old_, new1_, new2_})
        MakePinField(e);
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    old_->setFocus();
}

void CChangePINDlg::OnCommand(int id)
{
    if (id != skin::IDOK) return CBaseDlg::OnCommand(id);
    const std::wstring oldPin = PinText(old_), first = PinText(new1_), second = PinText(new2_);
    skin::CSkinnedEdit* wrong = nullptr;
    if (oldPin != currentPin_)
    {
        Message(res::ids::kWrongPinCode, res::ids::kMessageTitle, kStyleWarning);
        wrong = old_;
    }
    else if (first != second)
    {
        Message(res::ids::kPinCodesDiffer, res::ids::kMessageTitle, kStyleWarning);
        wrong = new2_;
    }
    else if (first.size() > size_t(kMaxPinLength))
    {
        Message(res::ids::kPinCodeLength, res::ids::kMessageTitle, kStyleWarning);
        wrong = new1_;
    }
    if (wrong)
    {
        wrong->setFocus();
        wrong->selectAll();
        return;
    }
    newPin_ = first;
    CBaseDlg::OnCommand(id);
}

} // namespace dialogs
