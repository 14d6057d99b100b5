#include "dialogs/key_dlg.h"

#include "dialogs/passphrase_dlg.h"
#include "dialogs/serial_choice.h"
#include "form_buttons.h"
#include "platform/finished_file.h"
#include "res/string_ids.h"
#include "res/strings.h"
#include "skin/modal_questions.h"
#include "transfer/signing_key.h"

namespace dialogs
{

CKeyDlg::CKeyDlg(QWidget* parent, uint32_t attachedSerial)
    : SkinnedDialog(kName, kDialogId, parent),
      serial_(std::make_unique<SerialChoice>(*this, attachedSerial))
{
    key_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_KEY");
    key_->setReadOnly(true); // still selectable, so the key can be copied
    signingKey_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_SIGNING_KEY");
    signingKey_->setReadOnly(true);
    Bind(new skin::CSkinnedButton(&Skin()), "IDC_BUTTON_EXPORT_KEY");
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    serial_->Init();
    signingKey_->setPlaceholderText(
        QString::fromStdString(res::LoadString(res::ids::kNoSigningKeyYet)));
    ShowSigningKey();
}

void CKeyDlg::ShowSigningKey()
{
    const auto pub = vark::OwnPublicKey();
    if (!pub) return signingKey_->clear();
    const std::string file = vark::opensig::PublicKeyFile(*pub);
    signingKey_->setText(QString::fromStdString(file.substr(file.find('\n') + 1, 56)));
}

void CKeyDlg::ExportSigningKey()
{
    std::optional<vark::opensig::PublicKey> pub = vark::OwnPublicKey();
    if (!pub)
    {
        const auto made = CPassphraseDlg::OwnKey(this);
        if (!made) return;
        pub = made->pub;
        ShowSigningKey();
    }
    const std::optional<std::string> to = skin::Questions().SaveFile(
        this, res::LoadString(res::ids::kPublicKeysFilter), {}, "signing.pub");
    if (!to) return;
    if (!platform::WriteFinishedFile(*to, vark::opensig::PublicKeyFile(*pub)))
        Message(res::ids::kDiskWriteError, res::ids::kSerialKeyLabel, kStyleError);
}

CKeyDlg::~CKeyDlg() = default;

void CKeyDlg::OnCommand(int id)
{
    if (id == IDC_BUTTON_EXPORT_KEY) return ExportSigningKey();
    if (id != skin::IDOK) return CBaseDlg::OnCommand(id);
    const std::optional<uint32_t> serial = serial_->Chosen();
    if (!serial)
    {
        Message(res::ids::kWrongSerialNumber, res::ids::kCopyToDisk, kStyleError);
        serial_->Field()->setFocus();
        return;
    }
    key_->setText(QString::fromStdString(vark::SerialKeyText(vark::MakeSerialKey(*serial))));
    key_->selectAll();
}

} // namespace dialogs
