// NOTIFY_TEXT: a MOVRA_NOTIFY that turns every notification into one line of text, its name
// and its values ("OnState 1 0", "OnHLFilter 6 -3"), for hosts that print or log them.
#pragma once

#include "movra/movra_notify.h"
#include "platform/text.h"

#include <cstdio>
#include <string>
#include <vector>

class NOTIFY_TEXT : public MOVRA_NOTIFY
{
public:
    void OnOpenFile(const std::vector<std::wstring>& files) override
    {
        std::string line = "OnOpenFile";
        for (const auto& f : files)
            line += " " + platform::WideToUtf8(f);
        OnLine(line);
    }
    void OnCloseFile() override { OnLine("OnCloseFile"); }
    void OnMonitor(bool open, long tag) override { OnLine(Line("OnMonitor", open, tag)); }
    void OnState(long state, long ms) override { OnLine(Line("OnState", state, ms)); }
    void OnSetFileSize(long ms) override { OnLine(Line("OnSetFileSize", ms)); }
    void OnPositionChange(long ms) override { OnLine(Line("OnPositionChange", ms)); }
    void OnLevelChanged(long l, long r) override { OnLine(Line("OnLevelChanged", l, r)); }
    void OnRing(bool on, long from, long to) override { OnLine(Line("OnRing", on, from, to)); }
    void OnBegConf() override { OnLine("OnBegConf"); }
    void OnEndConf() override { OnLine("OnEndConf"); }
    void OnRingSize(long ms) override { OnLine(Line("OnRingSize", ms)); }
    void OnVolumeBalanceChange(long v, long b) override
    {
        OnLine(Line("OnVolumeBalanceChange", v, b));
    }
    void OnObject(long id, long on) override { OnLine(Line("OnObject", id, on)); }
    void OnMixerChannelsCounter(long n) override { OnLine(Line("OnMixerChannelsCounter", n)); }
    void OnMixer(long ch, bool mute, bool solo, long l, long r) override
    {
        OnLine(Line("OnMixer", ch, mute, solo, l, r));
    }
    void OnMixerChannelsLevel(const std::vector<long>& levels) override
    {
        std::string line = "OnMixerChannelsLevel";
        for (long v : levels)
            line += " " + std::to_string(v);
        OnLine(line);
    }
    void OnAgc(long level) override { OnLine(Line("OnAgc", level)); }
    void OnSpeechSearch(long t) override { OnLine(Line("OnSpeechSearch", t)); }
    void OnStretcher(long step) override { OnLine(Line("OnStretcher", step)); }
    void OnDenoiser(bool mode, long level) override { OnLine(Line("OnDenoiser", mode, level)); }
    void OnHLFilter(double low, double high) override
    {
        char text[96];
        std::snprintf(text, sizeof text, "OnHLFilter %g %g", low, high);
        OnLine(text);
    }
    void OnEndOfFile() override { OnLine("OnEndOfFile"); }

protected:
    ~NOTIFY_TEXT() = default;
    // Every notification, as one line without a line break.
    virtual void OnLine(const std::string& line) = 0;

private:
    template <typename... A> static std::string Line(const char* name, A... args)
    {
        std::string line = name;
        ((line += " " + std::to_string(static_cast<long>(args))), ...);
        return line;
    }
};
