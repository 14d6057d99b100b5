#include "transfer/recorder_control.h"

#include "platform/devio.h"
#include "platform/devio_watcher.h"
#include "res/string_ids.h"
#include "scriba/scriba.h"
#include "transfer/signature.h"
#include "transfer/status_texts.h"

#include <utility>

namespace vark
{
namespace
{

constexpr uint32_t kStyleYesNo = 0x04, kStyleError = 0x10, kStyleWarning = 0x30;
constexpr int kYes = 6;
// Device notifications are handled this long after they arrive.
constexpr int kNotificationDelayMs = 250;
constexpr int kErasePollMs = 250;
// The status is read again on every sixth tick.
constexpr int kTicksPerPoll = 5;

// Firmware the manager knows: beyond 44.55, 45.54 and 45.x it asks for a newer manager.
bool BeyondSupportedFirmware(uint16_t v)
{
    const int major = v >> 8, minor = v & 0xFF;
    return (major == 44 && minor >= 56) || (major == 45 && minor >= 55) || major >= 46;
}

} // namespace

RecorderControl::RecorderControl(Host& host) : host_(host) {}

RecorderControl::~RecorderControl() = default;

RecorderControl::Capabilities RecorderControl::Can() const
{
    Capabilities c;
    const bool on = Connected();
    c.refresh = c.parameters = c.clock = c.changePin = c.erase = on;
    c.enterPin = state_ == State::kLocked;
    c.batteryIndication = on && device_.FirmwareVersion() > kFirmwareBatteryIndication;
    return c;
}

void RecorderControl::Start()
{
    if (ended_ || started_) return;
    started_ = true;
    StartWatching();
    FindAndConnect();
}

void RecorderControl::Tick(bool mayPoll)
{
    if (ended_) return;
    Start();
    if (++ticks_ <= kTicksPerPoll) return;
    ticks_ = 0;
    if (!Connected() || !mayPoll || lent_ || erasing_ || asking_) return;
    const uint32_t before = lastFree_;
    RefreshStatus();
    if (before && lastFree_ && before != lastFree_)
    {
        // the ticks go on while the question is open; it is asked once
        asking_ = true;
        const bool refresh =
            host_.Message(res::ids::kMemoryChanged, res::ids::kMessageTitle, kStyleYesNo) == kYes;
        asking_ = false;
        if (refresh) Refresh();
    }
}

void RecorderControl::StartWatching()
{
    watcher_ =
        std::make_unique<platform::devio::DeviceWatcher>(platform::devio::kRecorderClassGuid);
    if (!watcher_->IsValid()) watcher_.reset();
    host_.Watch(watcher_ ? watcher_->Fd() : -1);
}

void RecorderControl::End()
{
    ended_ = true;
    watcher_.reset();
}

void RecorderControl::FindAndConnect()
{
    FindRecorder([this](const std::string& path) { return Connect(path); });
}

void RecorderControl::OnDeviceEvents()
{
    if (!watcher_) return;
    for (const platform::devio::DeviceEvent& e : watcher_->TakeEvents())
    {
        if (e.kind == platform::devio::DeviceEvent::Kind::Arrival)
            host_.After(kNotificationDelayMs,
                        [this]
                        {
                            if (!Connected()) FindAndConnect();
                        });
        else
            host_.After(kNotificationDelayMs,
                        [this]
                        {
                            if (!Connected()) return;
                            // the worker has the recorder: its end sees to it
                            if (lent_)
                                removedWhileLent_ = true;
                            else
                                Disconnect();
                        });
    }
}

bool RecorderControl::Connect(const std::string& path)
{
    if (ended_ || connecting_) return false;
    connecting_ = true;
    struct Clear
    {
        bool& flag;
        ~Clear() { flag = false; }
    } clear{connecting_};
    if (!device_.Open(path)) return false;
    state_ = State::kLocked;
    host_.StateChanged();
    pin_.clear();
    if (device_.PresentAccessCode(pin_))
        OnConnected();
    else
        EnterPin();
    return true;
}

void RecorderControl::EnterPin()
{
    const std::optional<std::wstring> pin = host_.AskPin(uint16_t(device_.SerialNumber()));
    if (!pin) return;
    if (device_.PresentAccessCode(*pin))
    {
        OnConnected();
        pin_ = *pin;
    }
    else
        host_.Message(res::ids::kWrongPinCode, res::ids::kMessageTitle, kStyleError);
}

void RecorderControl::OnConnected()
{
    if (ended_) return;
    const uint16_t fw = device_.FirmwareVersion();
    if (fw != 0)
    {
        if (fw <= 1024 && (fw & 0xFF) < 17)
            host_.Message(res::ids::kObsoleteFirmware, res::ids::kFirmware, kStyleWarning);
        if (BeyondSupportedFirmware(fw) && device_.GetCapabilityLevel() > 1)
            host_.Message(res::ids::kUpgradeManager, res::ids::kMessageTitle, kStyleWarning);
    }
    platform::AutoDate clock;
    if (!device_.GetClock(clock)) return;
    state_ = State::kConnected;
    device_.ReadParameters();
    RefreshStatus();
    batteryIndication_ = Can().batteryIndication && device_.GetBatteryIndication() != 0;
    host_.StateChanged();
    ticks_ = 0;
    LoadList();
}

void RecorderControl::Disconnect()
{
    state_ = State::kNone;
    device_.Close();
    host_.RecordsCleared();
    status_ = Status{};
    batteryIndication_ = false;
    host_.StateChanged();
}

void RecorderControl::RefreshStatus()
{
    if (!Connected()) return;
    const uint16_t fw = device_.FirmwareVersion();
    Status s;
    uint32_t total = 0, free = 0;
    s.memoryKnown = device_.GetMemory(total, free);
    s.totalKb = s.memoryKnown ? MemoryKilobytes(total, fw) : 0;
    s.freeKb = s.memoryKnown ? MemoryKilobytes(free, fw) : 0;
    s.percentFree = s.totalKb ? uint32_t(uint64_t(s.freeKb) * 100 / s.totalKb) : 0;
    lastFree_ = s.freeKb;
    if (s.memoryKnown) s.timeLeft = TimeLeftText(RecordingTimeLeft(s.freeKb, device_.Params()));
    s.battery = device_.GetBattery(s.charging);
    s.batteryPercentShown = fw >= kFirmwareSectorUnits;
    platform::AutoDate clock;
    if (device_.GetClock(clock))
    {
        s.clock = clock;
        clockOffset_ = clock - platform::AutoDate::Now();
    }
    status_ = s;
    host_.StatusRead();
}

void RecorderControl::LoadList()
{
    if (ended_) return;
    host_.RecordsCleared();
    const int count = device_.GetRecordCount();
    if (count > 0 && !LendToWorker([&] { host_.LoadRecords(count); })) return;
    host_.RecordsLoaded();
}

void RecorderControl::Refresh()
{
    if (ended_ || !Connected()) return;
    host_.StopPlayback();
    LoadList();
    RefreshStatus();
}

bool RecorderControl::LendToWorker(const std::function<void()>& work)
{
    lent_ = true;
    work();
    lent_ = false;
    return AfterWorker();
}

bool RecorderControl::AfterWorker()
{
    // A removal while the worker had the recorder was left until now, and an arrival meanwhile
    // was not taken, since the recorder still counted as connected: it may have come back (its
    // old connection is dead then) or be gone.
    const bool removed = std::exchange(removedWhileLent_, false);
    if (!Connected() || ended_) return false;
    platform::AutoDate clock;
    // Without a removal, one failed read is not a recorder gone (without a watcher, nothing
    // else would tell).
    if ((!removed && watcher_) || device_.GetClock(clock)) return true;
    Disconnect();
    FindAndConnect();
    return false;
}

void RecorderControl::Erase()
{
    host_.DropPlayback();
    if (!device_.StartEraseAll()) SLOG_ERR("The recorder did not start erasing");
    erasing_ = true;
    host_.Erasing(true);
    host_.After(kErasePollMs, [this] { PollErase(); });
}

void RecorderControl::PollErase()
{
    platform::AutoDate clock;
    const bool answering = device_.GetClock(clock);
    if (answering && device_.IsErasing())
    {
        host_.After(kErasePollMs, [this] { PollErase(); });
        return;
    }
    erasing_ = false;
    host_.Erasing(false);
    if (!answering) return;
    LoadList();
    RefreshStatus();
}

bool RecorderControl::SetClock(const platform::AutoDate& date)
{
    return date.IsValid() && device_.SetClock(date);
}

bool RecorderControl::ChangePin(const std::wstring& newPin)
{
    if (!device_.ChangeAccessCode(newPin)) return false;
    pin_ = newPin;
    return true;
}

void RecorderControl::SetBatteryIndication(bool on)
{
    batteryIndication_ = on;
    // only firmware that has the flag; failures are not reported
    if (Can().batteryIndication && device_.SetBatteryIndication(on)) device_.Commit();
}

uint32_t RecorderControl::AttachedSerial()
{
    platform::AutoDate clock;
    return device_.GetClock(clock) ? SignatureSerial(device_.SerialNumber()) : 0;
}

} // namespace vark
