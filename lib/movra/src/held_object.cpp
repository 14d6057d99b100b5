#include "movra/held_object.h"

#include "chain_refill.h"

#include <algorithm>

void HELD_OBJECT::Restart(size_t delay0, size_t delay1)
{
    skip_[0] = delay0;
    skip_[1] = delay1;
    started_ = false;
}

bool HELD_OBJECT::Admit(SMSG& msg)
{
    if (!IsEnabled()) return false;
    const bool end = msg.eof;
    if (end && msg.Frames() == 0)
    {
        if (!started_)
        {
            Reinit();
            return false;
        }
        msg.rate = Rate(); // an empty end mark carries what is held
        msg.channels = channels_;
    }
    if (!end && PassesThrough(msg)) return false;
    if (!Ready() || msg.channels < 1 || msg.channels > 2 || (end && msg.rate != Rate()))
    {
        if (end) Reinit();
        return false;
    }
    if (started_ && msg.channels != channels_) Reinit(); // both states must hold the same
    channels_ = msg.channels;
    if (!started_)
    {
        next_ = msg.start;
        started_ = true;
    }
    produced_.resize(msg.channels);
    return true;
}

long HELD_OBJECT::Deliver(SMSG& msg)
{
    for (unsigned long c = 0; c < msg.channels; ++c)
    {
        std::vector<int16_t>& out = produced_[c];
        const size_t drop = std::min(skip_[c], out.size());
        out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(drop));
        skip_[c] -= drop;
    }
    const RNUMBER64 start = next_;
    const size_t frames = produced_[0].size();
    next_ += RNUMBER64(static_cast<int64_t>(frames), Rate());
    long result = TONEXT;
    if (frames > 0 || msg.eof)
        RefillMessage(msg, produced_, start);
    else
        result = REMOVE;
    produced_.resize(2);
    if (msg.eof) Reinit();
    return result;
}
