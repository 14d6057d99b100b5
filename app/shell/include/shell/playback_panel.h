// The main window's player panel: owns the player controller and the two data flows, and
// wires the transport, the loop, the processing boxes, the volume, the position slider and
// the waveform strip over it that the window has laid out. The player's notifications
// (kPlayerMessage) arrive here as posted QEvents carrying code, value and a copy of any text; code
// 12 is sent (handled at once). The 200 ms timer feeds the flow and notices a player server that
// stopped answering.
#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <functional>

#include "platform/autodate.h"
#include "platform/winmsg.h"
#include "skin/skinned_fwd.h"
#include "transfer/file_data_flow.h"
#include "transfer/flow_clock.h"
#include "transfer/peaks_cache.h"
#include "transfer/player_control.h"
#include "transfer/record_waveform.h"
#include "transfer/vark_data_flow.h"
#include "transfer/waveform_worker.h"

#include <memory>
#include <optional>

class CAppSettings;
class PedalInput;
class WaveformStrip;

namespace dialogs
{
class CPlayerOptionsDlg;
struct PlayerOptions;
} // namespace dialogs
namespace vark
{
class CVarkDevice;
}

class PlaybackPanel : public QObject
{
public:
    // The panel's controls, bound by the window.
    struct Controls
    {
        skin::CSkinnedCheck *loop, *agc, *denoiser;
        skin::CSkinnedSlider *position, *volume;
        skin::CSkinnedEdit* loopLength;
        skin::CSkinnedSpin* loopSpin;
        skin::CSkinnedStatic *name, *at, *duration, *size, *format;
        WaveformStrip* waveform;
    };

    // `window` asks the panel's questions and owns the options dialog.
    PlaybackPanel(skin::CBaseDlg& window, CAppSettings& settings, const Controls& controls);
    ~PlaybackPanel() override;

    // Play the current record (the window knows which); used when nothing else can play.
    std::function<void()> playCurrentRecord;
    // The previous (-1) or next (1) record, for the foot pedal's second layer.
    std::function<void(int)> stepRecord;

    void PlayRecord(vark::CVarkDevice* device, uint16_t index);
    void PlayFromDisk();
    // Plays a sound file (a drive recorder's record) through the file flow; false, with the
    // program's message, when the player cannot. `start`: when it was recorded, for the
    // strip's hover text.
    bool PlayFile(const std::string& path, std::optional<QDateTime> start = std::nullopt);
    // When a record's start is known: as the strip's hover and the time stamps show it.
    static std::optional<QDateTime> DateTimeOf(const platform::AutoDate& date);

    void OnPlayButton();
    void OnPlayPause();
    void OnPause();
    void Stop() { control_.Stop(); }
    void Drop() { control_.Drop(); }
    // Stops a record that plays from the recorder; true when there was one.
    bool StopRecorderPlayback();
    void VolumeStep(int delta);
    // Ctrl+Right, Ctrl+Left: to the next start of speech on the strip, or back to the start
    // of this one (the previous one within its first second).
    void JumpToSpeech(int direction);
    // Alt+Right, Alt+Left: the skip step (the player options) forward or back.
    void Skip(int direction);
    // Ctrl+T: the position onto the clipboard as "[hh:mm:ss]", or the time of day there when
    // the options say so and the record's start is known.
    void CopyTimeStamp();
    // The text CopyTimeStamp puts on the clipboard; empty with nothing to play.
    QString TimeStamp() const;
    void OnLoopBox();
    void OnProcessingBox(bool agc);
    void OpenOptions();
    // The loop length field as a number, forced to 3..30.
    void ReadLoopLength();
    int LoopLength() const { return loopLength_; }

    // True once the player has sent anything (Exit then waits for its last words).
    bool Active() const { return playerActive_; }
    void ClearActive() { playerActive_ = false; }
    // Exit: the timer stops, the player is let go of and its wrapper cleared.
    void End();
    void CloseOptions();

    vark::PlayerControl& Player() { return control_; }

protected:
    bool event(QEvent* e) override;

private:
    void OnPlayTick();
    void OnPlayerMessage(int code, intptr_t value, const QString& text);
    void ApplyOptions(const dialogs::PlayerOptions& o);
    // Out of a pause, the rewind on resume (the player options) back first.
    void Resume();
    // What a pedal asks for (a PedalMapping::Kind, and the step's milliseconds).
    void OnPedal(int kind, int ms);
    // The pedal in use and what is held, into the options dialog when it is open.
    void ShowPedal();
    void OnPositionSlider(int code, int position);
    void SetVolume(int volume);
    // The strip of the file that plays: worked out beside it, shown as it comes.
    void StartWaveform(const std::string& path);
    // Moves what plays to `ms`, the slider and the strip with it.
    void SeekTo(int ms);
    void FollowWaveform();

    skin::CBaseDlg& window_;
    CAppSettings& settings_;
    const Controls c_;
    bool dragging_ = false;
    bool playerActive_ = false;
    int loopLength_ = 5;
    int playTicks_ = 0;
    QTimer playTimer_;
    dialogs::CPlayerOptionsDlg* optionsDialog_ = nullptr;

    platform::HWND hwnd_;
    vark::SystemTickClock clock_;
    vark::CVarkDataFlow recordFlow_;
    vark::CFileDataFlow fileFlow_;
    vark::PlayerControl control_; // after the flows: it lets go of them before they go
    vark::PeaksCache peaksCache_;
    std::unique_ptr<vark::WaveformWorker> waveform_;
    std::unique_ptr<vark::RecordWaveform> recordWaveform_;
    std::unique_ptr<PedalInput> pedals_;
    bool waveformShown_ = false; // the strip holds the worker's whole result
    std::optional<QDateTime> fileStart_;
};
