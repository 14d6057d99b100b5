// CKeyDlg, "Public keys": the serial key of the attached recorder or of a typed serial
// number, shown as five hexadecimal words in a read-only field the user can copy from. OK
// shows the key and the dialog stays open; a typed serial that is empty, 0 or not a number
// gives "Wrong serial number".
//
// Below, the user's public signing key for open signatures, to copy or to export as a key
// file (made first, through the passphrase dialog, when there is none yet).
#pragma once

#include <cstdint>
#include <memory>

#include "skin/base_dlg.h"
#include "skin/skinned_fwd.h"

namespace dialogs
{

class SerialChoice;

class CKeyDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_KEY_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_KEY_DIALOG_CONTROLS);

    // `attachedSerial`: the serial signatures carry for the attached recorder, 0 when none.
    CKeyDlg(QWidget* parent, uint32_t attachedSerial);
    ~CKeyDlg() override;
    void OnCommand(int id) override;

    const SerialChoice& Serial() const { return *serial_; }
    skin::CSkinnedEdit* KeyField() const { return key_; }
    skin::CSkinnedEdit* SigningKeyField() const { return signingKey_; }

private:
    void ShowSigningKey();
    void ExportSigningKey();

    std::unique_ptr<SerialChoice> serial_;
    skin::CSkinnedEdit *key_, *signingKey_;
};

} // namespace dialogs
