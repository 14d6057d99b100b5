// CPassphraseDlg: the passphrase of the user's signing key for open signatures. When there
// is no key yet it is made here: the passphrase twice (they must agree), and an empty one
// only after the question about keeping the key unencrypted. Otherwise the passphrase opens
// the key; a wrong one is said and the dialog stays open.
#pragma once

#include <optional>

#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"
#include "transfer/open_signature.h"

namespace dialogs
{

class CPassphraseDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_PASSPHRASE_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_PASSPHRASE_DIALOG_CONTROLS);

    // `limits`: scrypt's cost for a key made here (tests make cheap ones).
    CPassphraseDlg(QWidget* parent, bool making,
                   vark::opensig::KdfLimits limits = vark::opensig::kDefaultLimits);
    // The key pair OK opened or made.
    const vark::opensig::KeyPair& Key() const { return key_; }
    void OnCommand(int id) override;

    skin::CSkinnedEdit* Field() const { return pass_; }
    skin::CSkinnedEdit* AgainField() const { return again_; }

    // The user's key pair: read at once when it is kept unencrypted, else through this
    // dialog; nothing when the user cancelled.
    static std::optional<vark::opensig::KeyPair> OwnKey(QWidget* parent);

private:
    const bool making_;
    const vark::opensig::KdfLimits limits_;
    skin::CSkinnedEdit *pass_, *again_;
    vark::opensig::KeyPair key_;
};

} // namespace dialogs
