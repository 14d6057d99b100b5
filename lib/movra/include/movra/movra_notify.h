// MOVRA_NOTIFY: what the player core tells its host. The host implements it and owns it.
// Calls come with the core's lock held, on the thread that caused them: the caller's thread
// for commands, the worker thread for periodic reports and the end of file. A handler may
// call back into the same MOVRA on that thread (the lock is recursive); it must not wait on
// another thread for a command of the same MOVRA, since that command waits for the lock.
#pragma once

#include <string>
#include <vector>

class MOVRA_NOTIFY
{
public:
    virtual void OnOpenFile(const std::vector<std::wstring>& files) = 0;
    virtual void OnCloseFile() = 0;
    virtual void OnMonitor(bool open, long tag) = 0;
    virtual void OnState(long state, long positionMs) = 0; // 0 stopped, 1 playing, 2 paused
    virtual void OnSetFileSize(long ms) = 0;
    virtual void OnPositionChange(long ms) = 0;
    virtual void OnLevelChanged(long left, long right) = 0;
    virtual void OnRing(bool on, long fromMs, long toMs) = 0;
    virtual void OnBegConf() = 0; // a full state report begins
    virtual void OnEndConf() = 0;
    virtual void OnRingSize(long ms) = 0;
    virtual void OnVolumeBalanceChange(long volume, long balance) = 0;
    virtual void OnObject(long id, long on) = 0;
    virtual void OnMixerChannelsCounter(long channels) = 0;
    virtual void OnMixer(long channel, bool mute, bool solo, long left, long right) = 0;
    virtual void OnMixerChannelsLevel(const std::vector<long>& levels) = 0;
    virtual void OnAgc(long level) = 0;
    virtual void OnSpeechSearch(long threshold) = 0;
    virtual void OnStretcher(long step) = 0;
    virtual void OnDenoiser(bool mode, long level) = 0;
    virtual void OnHLFilter(double lowGain, double highGain) = 0;
    virtual void OnEndOfFile() = 0;

protected:
    // The core never deletes its host.
    ~MOVRA_NOTIFY() = default;
};
