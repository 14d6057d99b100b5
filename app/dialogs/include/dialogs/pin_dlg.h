// CPINDlg: asks for the PIN of a locked recorder, showing its serial number. OK takes a PIN
// of at most 8 digits (the empty one included: access code 0); a longer one is refused with
// the length message and the dialog stays open.
#pragma once

#include <cstdint>
#include <string>

#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"

namespace dialogs
{

class CPINDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_PIN_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_PIN_DIALOG_CONTROLS);

    CPINDlg(QWidget* parent, uint32_t serialNumber);
    // The PIN text accepted by OK.
    const std::wstring& Pin() const { return pin_; }
    void OnCommand(int id) override;

    skin::CSkinnedEdit* SerialField() const { return serial_; }
    skin::CSkinnedEdit* PinField() const { return edit_; }

private:
    skin::CSkinnedEdit *serial_, *edit_;
    std::wstring pin_;
};

} // namespace dialogs
