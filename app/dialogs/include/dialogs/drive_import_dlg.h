// CDriveImportDlg: what the window does when this drive recorder is plugged in (File ->
// "Import new records..."): copy its new records to a folder, and optionally delete each one
// from the recorder once its copy is verified. The folder and the delete option are only
// used while copying is on; OK refuses an empty folder.
#pragma once

#include <string>

#include "settings/drive_import_settings.h"
#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"

namespace dialogs
{

class CDriveImportDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_DRIVE_IMPORT_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_DRIVE_IMPORT_DIALOG_CONTROLS);

    CDriveImportDlg(QWidget* parent, const std::string& recorderLabel,
                    const DriveImportSetting& setting);
    // The setting as OK took it: on or off, never unasked.
    const DriveImportSetting& Setting() const { return setting_; }
    void OnCommand(int id) override;

    skin::CSkinnedCheck* Copy() const { return copy_; }
    skin::CSkinnedEdit* Folder() const { return folder_; }
    skin::CSkinnedCheck* Delete() const { return delete_; }

private:
    void FollowCopy();

    DriveImportSetting setting_;
    skin::CSkinnedCheck *copy_, *delete_;
    skin::CSkinnedEdit* folder_;
    skin::CSkinnedButton* browse_;
};

} // namespace dialogs
