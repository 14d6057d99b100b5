// The server's MOVRA_NOTIFY: every notification of the core becomes the event the wrapper
// subscribes to. All times, positions and sizes are milliseconds; OnState becomes OnPlay,
// OnPause or OnStop with the position.
//
// The core notifies with its lock held, on the thread that caused the notification. On the
// apartment thread (inside a command) the event goes out at once: the wrapper may call back
// (GetFileValue1 and friends) while the command still runs, and the apartment serves those
// calls re-entrantly under the core's recursive lock. From the core's worker thread the
// event is queued to the apartment and sent from there, so the worker never waits on the
// client while it holds the lock.
#pragma once

#include "movra/movra_notify.h"
#include "pl_state.h"

#include <functional>
#include <memory>
#include <thread>

namespace player
{

class CPlayerNotify final : public MOVRA_NOTIFY
{
public:
    // Must be made on the apartment's thread.
    explicit CPlayerNotify(CPlState* state);

    void OnOpenFile(const std::vector<std::wstring>& files) override;
    void OnCloseFile() override;
    void OnMonitor(bool open, long tag) override;
    void OnState(long state, long positionMs) override;
    void OnSetFileSize(long ms) override;
    void OnPositionChange(long ms) override;
    void OnLevelChanged(long left, long right) override;
    void OnRing(bool on, long fromMs, long toMs) override;
    void OnBegConf() override;
    void OnEndConf() override;
    void OnRingSize(long ms) override;
    void OnVolumeBalanceChange(long volume, long balance) override;
    void OnObject(long id, long on) override;
    void OnMixerChannelsCounter(long channels) override;
    void OnMixer(long channel, bool mute, bool solo, long left, long right) override;
    void OnMixerChannelsLevel(const std::vector<long>& levels) override;
    void OnAgc(long level) override;
    void OnSpeechSearch(long threshold) override;
    void OnStretcher(long step) override;
    void OnDenoiser(bool mode, long level) override;
    void OnHLFilter(double lowGain, double highGain) override;
    void OnEndOfFile() override;

private:
    // Runs `send` (which fires on the state object) now or from the apartment's queue.
    void Deliver(std::function<void(CPlState&)> send);
    void Simple(DISPID id, std::vector<long> values);

    ComPtr<CPlState> m_state;
    std::thread::id m_apartmentThread;
    std::shared_ptr<ApartmentQueue> m_queue;
};

} // namespace player
