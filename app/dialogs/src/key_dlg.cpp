#include "dialogs/key_dlg.h"

#include "dialogs/serial_choice.h"
#include "form_buttons.h"
#include "res/string_ids.h"

namespace dialogs
{

namespace
{
}

CKeyDlg::CKeyDlg(QWidget* parent, uint32_t attachedSerial)
    : SkinnedDialog(kName, kDialogId, parent),
      serial_(std::make_unique<SerialChoice>(*this, attachedSerial))
{
    key_ = Bind(new skin::CSkinnedEdit(&Skin()), "IDC_EDIT_KEY");
    key_->setReadOnly(true); // still selectable, so the key can be copied
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    serial_->Init();
}

CKeyDlg::~CKeyDlg() = default;

void CKeyDlg::OnCommand(int id)
{
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
