// The recorder controller: owns the one attached recorder for the window. It watches the
// recorder interface class, connects (the empty PIN first, then the PIN the host asks for),
// runs the status cycle, starts the list loading, erases, sets the clock, changes the PIN,
// switches battery indication and disconnects. It reports what the window shows (state,
// serial, status figures) and what the recorder can do; the window enables its menu from
// those capabilities and never talks to the recorder itself.
//
// Contract with the host (the window):
// - Everything runs on the host's thread; `Host::After` runs a step on that thread's loop
//   later. Device notifications arrive through `OnDeviceEvents` when the fd given to
//   `Host::Watch` becomes readable; arrival and removal are handled 250 ms later.
// - `Start` starts watching and looks for a recorder once, as soon as the host can show it
//   (the first `Tick` does, when the host has not). `Tick` is called every second: every
//   sixth call after connecting re-reads the status while `mayPoll` (the host is not playing from
//   the recorder nor ending) and no worker, erase or question holds the recorder, and asks whether
//   to refresh the list when the free memory changed between two polls.
// - A worker that takes the recorder (the list loading, Copy to disk) runs inside
//   `LendToWorker`; a removal meanwhile is put off until it returns, and the controller then
//   follows what became of the recorder (gone, back again, or only one failed read).
// - The order of the recorder requests is the system's; the recorder's request log in the
//   tests holds it.
//
// The protocol recorder (CVarkDevice) is the first kind. Dialogs that only the protocol
// recorder has (parameters, list loading, Copy to disk) get its device from ProtocolDevice().
#pragma once

#include "device/vark_device.h"
#include "platform/autodate.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform::devio
{
class DeviceWatcher;
}

namespace vark
{

class RecorderControl
{
public:
    enum class State
    {
        kNone,      // nothing connected
        kLocked,    // opened, the PIN not (yet) accepted
        kConnected, // unlocked and answering
    };

    // What the recorder can do, for the menu and the controls.
    struct Capabilities
    {
        bool refresh = false, parameters = false, clock = false, changePin = false;
        bool enterPin = false, erase = false;
        bool batteryIndication = false; // the flag can be switched
    };

    // The figures of the last status read.
    struct Status
    {
        bool memoryKnown = false;
        uint32_t totalKb = 0, freeKb = 0, percentFree = 0;
        std::string timeLeft = "00:00:00";
        uint8_t battery = 0;
        bool charging = false;
        bool batteryPercentShown = false; // older firmware tells only whether it charges
        std::optional<platform::AutoDate> clock;
    };

    class Host
    {
    public:
        virtual ~Host() = default;
        // The program's message box (text and title string numbers, the system's style
        // bits); returns the button.
        virtual int Message(uint32_t textId, uint32_t titleId, uint32_t style) = 0;
        // The PIN dialog for the recorder of that serial, as the dialog shows it; nothing
        // when cancelled.
        virtual std::optional<std::wstring> AskPin(uint16_t shownSerial) = 0;
        // Runs `step` on the host's loop `ms` from now.
        virtual void After(int ms, std::function<void()> step) = 0;
        // The device notifications' fd, to be watched; -1 when watching failed (the host
        // tells the user).
        virtual void Watch(int fd) = 0;
        // State, serial or capabilities changed.
        virtual void StateChanged() = 0;
        // A status read ended.
        virtual void StatusRead() = 0;
        // The records are gone (before loading, on disconnect): empty the list, let go of
        // playback.
        virtual void RecordsCleared() = 0;
        // Load `count` records into the list; runs inside LendToWorker.
        virtual void LoadRecords(int count) = 0;
        // The list loading has ended and the recorder is still the same.
        virtual void RecordsLoaded() = 0;
        // Stop what plays (before a refresh).
        virtual void StopPlayback() = 0;
        // Let go of playback (before erasing).
        virtual void DropPlayback() = 0;
        // Erasing started (true) or ended: the host waits meanwhile.
        virtual void Erasing(bool on) = 0;
    };

    explicit RecorderControl(Host& host);
    ~RecorderControl();
    RecorderControl(const RecorderControl&) = delete;
    RecorderControl& operator=(const RecorderControl&) = delete;

    void Start();
    void Tick(bool mayPoll);
    void OnDeviceEvents();
    // After this nothing is started again and the watch ends (the program's Exit).
    void End();

    State GetState() const { return state_; }
    bool Connected() const { return state_ == State::kConnected; }
    Capabilities Can() const;
    const Status& LastStatus() const { return status_; }
    int16_t SerialNumber() const { return device_.SerialNumber(); }
    uint16_t FirmwareVersion() const { return device_.FirmwareVersion(); }
    // The recorder's clock minus the computer's at the last reading: the clock runs on from it.
    platform::AutoSpan ClockOffset() const { return clockOffset_; }
    bool BatteryIndicationOn() const { return batteryIndication_; }
    uint32_t FreeKilobytes() const { return lastFree_; }
    // The serial signatures carry for the recorder when it answers, else 0.
    uint32_t AttachedSerial();
    bool IsErasing() const { return erasing_; }
    bool WorkerHasRecorder() const { return lent_; }
    // The protocol recorder's device object, for its own dialogs; null for other kinds.
    CVarkDevice* ProtocolDevice() { return &device_; }

    // The user's commands.
    void EnterPin();
    void Refresh();
    void LoadList();
    void RefreshStatus();
    // After the host's two questions: erase, polled every 250 ms until it ends.
    void Erase();
    // False for an invalid date or a refused write (the host says so, then RefreshStatus).
    bool SetClock(const platform::AutoDate& date);
    const std::wstring& Pin() const { return pin_; }
    bool ChangePin(const std::wstring& newPin);
    void SetBatteryIndication(bool on);

    // Runs `work` while a worker has the recorder (see the contract). False when the same
    // connection does not go on afterwards.
    bool LendToWorker(const std::function<void()>& work);

private:
    void StartWatching();
    void FindAndConnect();
    bool Connect(const std::string& path);
    void OnConnected();
    void Disconnect();
    bool AfterWorker();
    void PollErase();

    Host& host_;
    CVarkDevice device_;
    std::unique_ptr<platform::devio::DeviceWatcher> watcher_;
    State state_ = State::kNone;
    Status status_;
    bool connecting_ = false, ended_ = false, started_ = false, asking_ = false;
    bool erasing_ = false, lent_ = false, removedWhileLent_ = false;
    bool batteryIndication_ = false;
    int ticks_ = 0;
    std::wstring pin_;
    platform::AutoSpan clockOffset_{0.0};
    uint32_t lastFree_ = 0;
};

} // namespace vark
