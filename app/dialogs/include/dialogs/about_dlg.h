// CAboutDlg: the build text, the firmware version of the unlocked recorder ("%02d.%02d", empty
// for 0), and a link that opens the program's own user guide. There is no maker's site: the
// link opens the guide shipped with the program, in the program's language where a
// translation exists, else the English one.
#pragma once

#include <QString>
#include <cstdint>

#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"

namespace dialogs
{

class CAboutDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_ABOUT_BOX_IDENTITY);
    VARK_CONTROL_ENUM(VARK_ABOUT_BOX_CONTROLS);
    static constexpr int kBuildNumber = 176;

    CAboutDlg(QWidget* parent, uint16_t firmwareVersion);
    void OnCommand(int id) override;

    static QString BuildText() { return QStringLiteral("1.01.%1").arg(kBuildNumber); }
    static QString FirmwareText(uint16_t version);
    // The user guide to open: beside an installed program under share/doc, else in the
    // source tree the program was built from; empty when there is none.
    static QString FindGuide(const QString& languageFile);

    skin::CSkinnedStatic* Build() const { return build_; }
    skin::CSkinnedStatic* Firmware() const { return firmware_; }
    skin::CSkinnedButtonEx* Link() const { return link_; }

private:
    skin::CSkinnedStatic *build_, *firmware_;
    skin::CSkinnedButtonEx* link_;
};

} // namespace dialogs
