#include "movra/agc.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "movra/movra.h"

#include "agc_engine.h"
#include "chain_refill.h"

#include <algorithm>

OBJ_AGC::OBJ_AGC() : HISTORY_OBJECT(MOVRA::OBJ_ID_AGC, 8000), produced_(2)
{
    for (auto& e : engines_)
        e = std::make_unique<AGC_ENGINE>();
    Reinit();
}

OBJ_AGC::~OBJ_AGC() = default;

void OBJ_AGC::NotifyState()
{
    Host().OnAgc(level_);
}

void OBJ_AGC::SetLevel(long level)
{
    if (level == level_) return;
    level_ = std::clamp(level, kMinLevel, kMaxLevel);
    for (auto& e : engines_)
        e->SetLevel(static_cast<int>(level_));
    NotifyState();
}

void OBJ_AGC::Reinit()
{
    if (Rate() < kMinRate || Rate() > kMaxRate)
        throw LOGIC_ERROR(DEBUG_INFO(Rate(), "OBJ_AGC: sample rate out of range"));
    for (size_t c = 0; c < 2; ++c)
    {
        engines_[c]->Reinit(static_cast<int>(Rate()));
        engines_[c]->SetLevel(static_cast<int>(level_));
        skip_[c] = engines_[c]->Latency();
    }
    started_ = false;
}

long OBJ_AGC::Process(SMSG& msg)
{
    if (!IsEnabled()) return TONEXT;
    // The end mark takes out what is held before the history goes; two states serve two
    // channels (the mixer always makes two), anything else passes as it is.
    const bool end = msg.eof;
    if (end && msg.Frames() == 0)
    {
        if (!started_)
        {
            Reinit();
            return TONEXT;
        }
        msg.rate = Rate(); // an empty end mark carries what is held
        msg.channels = channels_;
    }
    if (!end && PassesThrough(msg)) return TONEXT;
    if (msg.channels < 1 || msg.channels > 2 || (end && msg.rate != Rate()))
    {
        if (end) Reinit();
        return TONEXT;
    }
    if (started_ && msg.channels != channels_) Reinit(); // both states must hold the same
    channels_ = msg.channels;
    if (!started_)
    {
        next_ = msg.start;
        started_ = true;
    }
    for (unsigned long c = 0; c < msg.channels; ++c)
    {
        std::vector<int16_t>& out = produced_[c];
        out.clear();
        engines_[c]->Process(msg.Channel(c), msg.Frames(), out);
        if (end) engines_[c]->Flush(out);
        const size_t drop = std::min(skip_[c], out.size());
        out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(drop));
        skip_[c] -= drop;
    }
    produced_.resize(msg.channels);
    const RNUMBER64 start = next_;
    const size_t frames = produced_[0].size();
    next_ += RNUMBER64(static_cast<int64_t>(frames), Rate());
    if (end)
    {
        RefillMessage(msg, produced_, start);
        produced_.resize(2);
        Reinit();
        return TONEXT;
    }
    if (frames == 0)
    {
        produced_.resize(2);
        return REMOVE;
    }
    RefillMessage(msg, produced_, start);
    produced_.resize(2);
    return TONEXT;
}
