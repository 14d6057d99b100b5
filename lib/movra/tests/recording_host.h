// A host that writes every notification down as one line ("OnState 1 0"), so tests can
// check what was reported and in which order. Notifications come from the caller's thread
// and the worker, so the record has its own lock.
#pragma once

#include "movra/movra_notify.h"
#include "platform/text.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class RecordingHost : public MOVRA_NOTIFY
{
public:
    void OnOpenFile(const std::vector<std::wstring>& files) override
    {
        std::string line = "OnOpenFile";
        for (const auto& f : files)
            line += " " + platform::WideToUtf8(f);
        Add(line);
    }
    void OnCloseFile() override { Add("OnCloseFile"); }
    void OnMonitor(bool open, long tag) override { Add(Line("OnMonitor", open, tag)); }
    void OnState(long state, long ms) override { Add(Line("OnState", state, ms)); }
    void OnSetFileSize(long ms) override { Add(Line("OnSetFileSize", ms)); }
    void OnPositionChange(long ms) override { Add(Line("OnPositionChange", ms)); }
    void OnLevelChanged(long l, long r) override { Add(Line("OnLevelChanged", l, r)); }
    void OnRing(bool on, long from, long to) override { Add(Line("OnRing", on, from, to)); }
    void OnBegConf() override { Add("OnBegConf"); }
    void OnEndConf() override { Add("OnEndConf"); }
    void OnRingSize(long ms) override { Add(Line("OnRingSize", ms)); }
    void OnVolumeBalanceChange(long v, long b) override
    {
        Add(Line("OnVolumeBalanceChange", v, b));
    }
    void OnObject(long id, long on) override { Add(Line("OnObject", id, on)); }
    void OnMixerChannelsCounter(long n) override { Add(Line("OnMixerChannelsCounter", n)); }
    void OnMixer(long ch, bool mute, bool solo, long l, long r) override
    {
        Add(Line("OnMixer", ch, mute, solo, l, r));
    }
    void OnMixerChannelsLevel(const std::vector<long>& levels) override
    {
        std::string line = "OnMixerChannelsLevel";
        for (long v : levels)
            line += " " + std::to_string(v);
        Add(line);
    }
    void OnAgc(long level) override { Add(Line("OnAgc", level)); }
    void OnSpeechSearch(long t) override { Add(Line("OnSpeechSearch", t)); }
    void OnStretcher(long step) override { Add(Line("OnStretcher", step)); }
    void OnDenoiser(bool mode, long level) override { Add(Line("OnDenoiser", mode, level)); }
    void OnHLFilter(double low, double high) override
    {
        Add("OnHLFilter " + Num(low) + " " + Num(high));
    }
    void OnEndOfFile() override { Add("OnEndOfFile"); }

    std::vector<std::string> Lines() const
    {
        std::lock_guard lock(mutex_);
        return lines_;
    }
    void Clear()
    {
        std::lock_guard lock(mutex_);
        lines_.clear();
    }
    bool Has(const std::string& line) const
    {
        std::lock_guard lock(mutex_);
        return std::find(lines_.begin(), lines_.end(), line) != lines_.end();
    }
    // Lines that start with `prefix`.
    std::vector<std::string> Starting(const std::string& prefix) const
    {
        std::lock_guard lock(mutex_);
        std::vector<std::string> out;
        for (const auto& l : lines_)
            if (l.rfind(prefix, 0) == 0) out.push_back(l);
        return out;
    }

    // Runs after every recorded line, on the notifying thread (for re-entrant hosts).
    std::function<void(const std::string&)> onLine;

private:
    static std::string Num(double v)
    {
        char text[32];
        std::snprintf(text, sizeof text, "%g", v);
        return text;
    }
    template <typename... A> static std::string Line(const char* name, A... args)
    {
        std::string line = name;
        ((line += " " + std::to_string(static_cast<long>(args))), ...);
        return line;
    }
    void Add(const std::string& line)
    {
        {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        }
        if (onLine) onLine(line);
    }

    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};
