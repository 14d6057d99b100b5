// CDeviceDlg: the sound output devices in the wave-out stand-in's device order, shown by
// their descriptions, the stored `OutDeviceName` selected (else the first). OK with nothing
// selected asks to select one; otherwise it stores the selected output's name (its PCM name:
// several PCMs of one card share a description).
#pragma once

#include <vector>

#include "platform/waveout.h"
#include "skin/base_dlg.h"
#include "skin/skinned_more.h"

class CAppSettings;

namespace dialogs
{

class CDeviceDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_DEVICE_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_DEVICE_DIALOG_CONTROLS);

    // `devices` defaults to the wave-out stand-in's outputs.
    explicit CDeviceDlg(QWidget* parent, CAppSettings& settings);
    CDeviceDlg(QWidget* parent, CAppSettings& settings,
               const std::vector<platform::waveout::OutputDevice>& devices);
    void OnCommand(int id) override;

    skin::CSkinnedCombo* DeviceList() const { return list_; }

private:
    CAppSettings& settings_;
    skin::CSkinnedCombo* list_;
};

} // namespace dialogs
