// A host that writes every notification down as one line ("OnState 1 0"), so tests can
// check what was reported and in which order. Notifications come from the caller's thread
// and the worker, so the record has its own lock.
#pragma once

#include "movra/notify_text.h"

#include <algorithm>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class RecordingHost : public NOTIFY_TEXT
{
public:
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

protected:
    void OnLine(const std::string& line) override
    {
        {
            std::lock_guard lock(mutex_);
            lines_.push_back(line);
        }
        if (onLine) onLine(line);
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};
