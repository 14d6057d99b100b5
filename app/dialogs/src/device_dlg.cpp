#include "dialogs/device_dlg.h"

#include <algorithm>

#include "form_buttons.h"
#include "platform/waveout.h"
#include "res/string_ids.h"
#include "settings/app_settings.h"

namespace dialogs
{

CDeviceDlg::CDeviceDlg(QWidget* parent, CAppSettings& settings)
    : CDeviceDlg(parent, settings, platform::waveout::OutputDevices())
{
}

CDeviceDlg::CDeviceDlg(QWidget* parent, CAppSettings& settings,
                       const std::vector<platform::waveout::OutputDevice>& devices)
    : SkinnedDialog(kName, kDialogId, parent), settings_(settings)
{
    list_ = Bind(new skin::CSkinnedCombo(&Skin()), "IDC_CMB_DEVICE");
    for (const auto& device : devices)
    {
        // a description that several outputs share is told apart by the output's name
        const bool shared = std::count_if(devices.begin(), devices.end(),
                                          [&](const auto& other)
                                          { return other.description == device.description; }) > 1;
        const std::string text =
            shared ? device.description + " (" + device.name + ")" : device.description;
        list_->addItem(QString::fromStdString(text), QString::fromStdString(device.name));
    }
    if (list_->count() > 0)
        list_->setCurrentIndex(
            std::max(0, list_->findData(QString::fromStdWString(settings_.OutDeviceName))));
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
    settings_.OutDeviceName = list_->currentData().toString().toStdWString();
    CBaseDlg::OnCommand(id);
}

} // namespace dialogs
