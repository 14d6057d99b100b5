// CChangePINDlg: the current PIN, the new one and its repetition. OK checks, in this order,
// that the current PIN matches the one the caller remembers, that the two new texts agree and
// that the new PIN is at most 8 digits; the first failed check is reported and the dialog
// stays open. An empty new PIN (access code 0) passes.
#pragma once

#include <string>

#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"

namespace dialogs
{

class CChangePINDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_CHANGE_PIN_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_CHANGE_PIN_DIALOG_CONTROLS);

    CChangePINDlg(QWidget* parent, std::wstring currentPin);
    const std::wstring& NewPin() const { return newPin_; }
    void OnCommand(int id) override;

    skin::CSkinnedEdit* OldField() const { return old_; }
    skin::CSkinnedEdit* NewField() const { return new1_; }
    skin::CSkinnedEdit* RepeatField() const { return new2_; }

private:
    std::wstring currentPin_, newPin_;
    skin::CSkinnedEdit *old_, *new1_, *new2_;
};

} // namespace dialogs
