// CPlayerOptionsDlg: the player's gain-control level, noise-reduction mode and depth, the
// transcription keys' skip step, rewind on resume and kind of time stamp, and the foot
// pedal's mapping, with the pedal found and its three pedals as they are held (ShowPedal). Modeless
// and one at a time: the owner opens it through Open, which restores the one already open. Apply
// and OK hand the values to the owner's apply function; a mode other than 0 and 1 hands depth 0.
// The window opens where it was last closed, kept reachable on the screen, and writes its place
// back into the settings when it goes.
#pragma once

#include <QCloseEvent>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <array>
#include <cstdint>
#include <functional>

#include "skin/base_dlg.h"
#include "skin/skinned_controls.h"
#include "skin/skinned_more.h"

class CAppSettings;

namespace dialogs
{

struct PlayerOptions
{
    int32_t agcLevel = 30;
    int32_t ncMode = 1;
    int32_t ncDepth = 20000;
    int skipStep = 5;     // seconds, 1..30
    int resumeRewind = 0; // seconds, 0..10
    bool stampTimeOfDay = false;
    bool pedalHoldToPlay = true;
    int pedalSpeed = 4; // 2..10
    bool operator==(const PlayerOptions&) const = default;
};

class CPlayerOptionsDlg : public skin::SkinnedDialog<skin::CBaseDlg>
{
public:
    VARK_DIALOG_IDENTITY(VARK_PLAYER_OPTIONS_DIALOG_IDENTITY);
    VARK_CONTROL_ENUM(VARK_PLAYER_OPTIONS_DIALOG_CONTROLS);
    using ApplyOptions = std::function<void(const PlayerOptions&)>;

    // Shows the dialog held in `slot`, or creates it there. The dialog deletes itself when
    // closed and then clears `slot`, which must outlive it.
    static CPlayerOptionsDlg* Open(QWidget* owner, CPlayerOptionsDlg*& slot, CAppSettings& settings,
                                   const PlayerOptions& current, ApplyOptions apply);
    ~CPlayerOptionsDlg() override;

    void OnCommand(int id) override;
    // The values the lists show now.
    PlayerOptions Read() const;
    // The pedal in use (empty: none) and which of its pedals are held.
    void ShowPedal(const QString& name, const std::array<bool, 3>& down);

    skin::CSkinnedCombo* LevelList() const { return level_; }
    skin::CSkinnedCombo* ModeList() const { return mode_; }
    skin::CSkinnedCombo* DepthList() const { return depth_; }
    skin::CSkinnedCombo* SkipList() const { return skip_; }
    skin::CSkinnedCombo* RewindList() const { return rewind_; }
    skin::CSkinnedCombo* StampList() const { return stamp_; }
    skin::CSkinnedCombo* PedalModeList() const { return pedalMode_; }
    skin::CSkinnedCombo* PedalSpeedList() const { return pedalSpeed_; }
    QString PedalText() const;
    std::array<bool, 3> PedalsShown() const;

    // Where a window of `size` stored at `stored` opens on a screen of `screen`, so that at
    // least 40 pixels of it stay reachable.
    static QPoint KeepReachable(int64_t x, int64_t y, QSize size, QRect screen);

protected:
    // Closing (Escape, Cancel, OK, the window manager) ends the window for good.
    void reject() override { close(); }
    void closeEvent(QCloseEvent* e) override { e->accept(); }

private:
    CPlayerOptionsDlg(QWidget* owner, CPlayerOptionsDlg*& slot, CAppSettings& settings,
                      const PlayerOptions& current, ApplyOptions apply);
    void Show(const PlayerOptions& options);
    void PlaceFromSettings();

    CPlayerOptionsDlg*& slot_;
    CAppSettings& settings_;
    ApplyOptions apply_;
    PlayerOptions shown_;
    skin::CSkinnedCombo *level_, *mode_, *depth_, *skip_, *rewind_, *stamp_, *pedalMode_,
        *pedalSpeed_;
    skin::CSkinnedStatic* pedal_;
    std::array<skin::CSkinnedCheck*, 3> pedals_{};
};

} // namespace dialogs
