// The serial number choice the signature and key dialogs share: the attached recorder's
// serial or a typed one. With a recorder attached its radio button is chosen; without one
// that button is disabled. The typed field is enabled only with the "typed" button.
#pragma once

#include <QString>
#include <cstdint>
#include <optional>

#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"
#include "transfer/signature.h"

namespace dialogs
{

class SerialChoice
{
public:
    VARK_CONTROL_ENUM(VARK_SERIAL_CHOICE_CONTROLS);

    template <class D> SerialChoice(D& dlg, uint32_t attachedSerial) : attached_(attachedSerial)
    {
        typed_ = dlg.Bind(new skin::CSkinnedRadio(&dlg.Skin()), "IDC_RADIO_DIC0");
        recorder_ = dlg.Bind(new skin::CSkinnedRadio(&dlg.Skin()), "IDC_RADIO_DIC1");
        edit_ = dlg.Bind(new skin::CSkinnedEdit(&dlg.Skin()), "IDC_EDIT_UIN");
        QObject::connect(typed_, &QRadioButton::toggled, edit_,
                         [this](bool on) { edit_->setEnabled(on); });
    }

    // After the skin is applied: the starting state. The attached serial stands in the
    // field as a starting point for a typed one.
    void Init()
    {
        if (attached_ != 0) edit_->setText(QString::number(int32_t(attached_)));
        (attached_ != 0 ? recorder_ : typed_)->setChecked(true);
        UpdateEnables();
    }
    void UpdateEnables()
    {
        recorder_->setEnabled(attached_ != 0);
        edit_->setEnabled(typed_->isChecked());
    }

    // The chosen serial; nothing for a typed entry that is empty, 0 or not a number.
    std::optional<uint32_t> Chosen() const
    {
        if (recorder_->isChecked()) return attached_;
        return vark::ParseSerial(edit_->text().trimmed().toStdString());
    }

    skin::CSkinnedEdit* Field() const { return edit_; }
    skin::CSkinnedRadio* TypedButton() const { return typed_; }
    skin::CSkinnedRadio* RecorderButton() const { return recorder_; }

private:
    const uint32_t attached_;
    skin::CSkinnedRadio *typed_, *recorder_;
    skin::CSkinnedEdit* edit_;
};

} // namespace dialogs
