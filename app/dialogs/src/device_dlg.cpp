#include "dialogs/device_dlg.h"

#include "form_buttons.h"
#include "platform/waveout.h"
#include "res/string_ids.h"
#include "settings/app_settings.h"

namespace dialogs
{

CDeviceDlg::CDeviceDlg(QWidget* parent, CAppSettings& settings)
    : CDeviceDlg(parent, settings, platform::waveout::DeviceNames())
{
}

CDeviceDlg::CDeviceDlg(QWidget* parent, CAppSettings& settings,
                       const std::vector<std::string>& devices)
    : SkinnedDialog("IDD_DEVICE_DIALOG", kDialogId, parent), settings_(settings)
{
    list_ = Bind(new skin::CSkinnedCombo(&Skin()), IDC_CMB_DEVICE, "IDC_CMB_DEVICE");
    for (const std::string& name : devices)
        list_->addItem(QString::fromStdString(name));
    if (list_->count() > 0)
        list_->setCurrentIndex(
            std::max(0, list_->findText(QString::fromStdWString(settings_.OutDeviceName))));
    BindFormButtons(*this);
    InitSkin(kBitmap, kDescription);
    list_->setFocus();
}

void CDeviceDlg::OnCommand(int id)
{
    if (id != skin::IDOK) return CBaseDlg::OnCommand(id);
    if (list_->currentIndex() < 0)
    {
        Message(res::ids::kSelectPlaybackDevice, res::ids::kMessageTitle, kStyleOk);
        return;
    }
    settings_.OutDeviceName = list_->currentText().toStdWString();
    CBaseDlg::OnCommand(id);
}

} // namespace dialogs
