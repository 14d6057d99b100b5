// CParamsDlg (IDD_PARAMS_DIALOG): the recording parameters dialog. It edits its own values,
// made from the device's parameters record, shows how long the recorder can record with
// them, checks them, and on OK writes them to the recorder; exec() returns IDOK only after
// a successful write. It also saves and loads parameter files (.vrp) and restores the
// defaults. Cancel leaves the device's record untouched.
#pragma once

#include "dialogs/params_rules.h"
#include "skin/base_dlg.h"
#include "skin/skinned_fwd.h"

#include <QTimer>
#include <cstdint>
#include <functional>
#include <optional>

class CAppSettings;
class QButtonGroup;

namespace vark
{
class CVarkDevice;
}

namespace dialogs
{

class CParamsDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_PARAMS_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_PARAMS_DIALOG_CONTROLS);
    static constexpr int kLevelPollMs = 250;
    // A record from the recorder that was playing gets this long to close before the write.
    static constexpr int kPlaybackStopMs = 250;

    // `freeKilobytes`: the recorder's free memory; asked from the recorder when not given.
    // `settings` keeps the folder the parameter files were saved to and loaded from.
    CParamsDlg(QWidget* parent, CAppSettings& settings, vark::CVarkDevice* device,
               std::optional<uint32_t> freeKilobytes = std::nullopt);
    ~CParamsDlg() override;

    // Called before the write: stops a record that plays from the recorder and returns true
    // when it did (the write then waits kPlaybackStopMs). The main window sets it.
    std::function<bool()> stopRecorderPlayback;

    // The values the controls hold now.
    ParamsEntries Entries() const;

    void OnCommand(int id) override;
    // Escape: as Cancel, but not while a write waits for playback to stop.
    void reject() override;

private:
    CAppSettings& settings_;
    void BindControls();
    void FillLists();
    void Show(const ParamsEntries& e);
    void UpdateEnables();
    void UpdateMaxRecordTime();
    void UpdateLevelTexts();
    void PollLevel();
    void OnRingFieldEdited(skin::CSkinnedEdit* field, int maximum);
    // Steps 1 to 6 of confirming; the record to write or save, or nothing after a refusal.
    std::optional<vark::VarkParams> CheckedRecord();
    void Confirm();
    void Write(const vark::VarkParams& params);
    void Save();
    void Load();
    // A message of the dialog (title res::ids::kMessageTitle); returns the pressed button.
    int Tell(uint32_t textId, uint32_t style, int a = 0, int b = 0);

    vark::CVarkDevice* device_;
    uint32_t freeKilobytes_ = 0;
    QTimer levelTimer_;
    bool writing_ = false; // a write waits for playback to stop

    skin::CSkinnedCombo *sourceLeft_, *sourceRight_, *rate_, *buttonMode_;
    skin::CSkinnedCheck *compression_, *accu_, *ring_, *recordButton_;
    skin::CSkinnedCheck* timerOn_[vark::kTimerCount];
    skin::CSkinnedDateTime *timerDate_[vark::kTimerCount], *timerTime_[vark::kTimerCount],
        *timerDuration_[vark::kTimerCount];
    skin::CSkinnedRadio *mono_, *stereo_, *agcOn_, *agcOff_;
    QButtonGroup *formatGroup_, *agcGroup_;
    skin::CSkinnedSlider *inputLevel_, *accuThreshold_;
    skin::CSkinnedStatic *inputLevelText_, *accuText_, *maxRecordTime_;
    skin::CSkinnedProgress* level_;
    skin::CSkinnedImage* levelAbove_;
    skin::CSkinnedEdit *ringHours_, *ringMinutes_;
    skin::CSkinnedSpin *ringHoursSpin_, *ringMinutesSpin_;
};

} // namespace dialogs
