// CDriveSerialDlg: asks for the serial number the signature files of a drive recorder are to
// carry, since a drive has none of its own. It names the recorder by its label; OK takes what
// the signature dialog takes as a typed serial and refuses the rest with the wrong serial
// message.
#pragma once

#include <cstdint>
#include <string>

#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"

namespace dialogs
{

class CDriveSerialDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_DRIVE_SERIAL_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_DRIVE_SERIAL_DIALOG_CONTROLS);

    CDriveSerialDlg(QWidget* parent, const std::string& recorderLabel);
    // The number accepted by OK.
    uint32_t Serial() const { return serial_; }
    void OnCommand(int id) override;

    skin::CSkinnedEdit* Field() const { return edit_; }

private:
    skin::CSkinnedEdit* edit_;
    uint32_t serial_ = 0;
};

} // namespace dialogs
