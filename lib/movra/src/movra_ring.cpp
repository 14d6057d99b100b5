// MOVRA's ring: looping a stretch of the open file, and the size CRing() loops.
#include "movra/movra.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "faltor/journal.h"
#include "movra/datasrc_file.h"
#include "movra_ms.h"

void MOVRA::RestartInPlace()
{
    const long state = playState_.Get();
    if (state != STATE_STOPPED && state != STATE_PLAYING && state != STATE_PAUSED)
        throw LOGIC_ERROR(DEBUG_INFO(state, "MOVRA::ARing: unknown play state"));
    AStop(false, false);
    if (state == STATE_PLAYING)
        APlay(false);
    else if (state == STATE_PAUSED)
        // Nothing is queued after the stop; play on collects from the new place.
        playState_.Set(STATE_PAUSED);
}

bool MOVRA::ARing(bool on, long fromMs, long toMs)
{
    if (!FileOpen())
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "MOVRA::ARing(): no file open");
        return false;
    }
    RNUMBER64 from, to;
    if (!on)
    {
        if (!fileSource_->IsRing()) return true;
        RestartInPlace();
        if (!fileSource_->RingOff()) return false;
        Host().OnRing(fileSource_->IsRing(), 0, 0);
        return true;
    }
    if (fromMs < 0 || fromMs >= toMs)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "ARing(): head=%i tail=%i", static_cast<int>(fromMs),
                    static_cast<int>(toMs));
        return false;
    }
    RNUMBER64 size;
    if (!fileSource_->Size(size)) throw RUNTIME_ERROR(DEBUG_INFO("MOVRA::ARing: no file size"));
    if (size < RNUMBER64::FromMs(fromMs) || size < RNUMBER64::FromMs(toMs))
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "ARing(): size=%i head=%i tail=%i",
                    static_cast<int>(Ms(size)), static_cast<int>(fromMs), static_cast<int>(toMs));
        return false;
    }
    if (fileSource_->IsRing()) return false;
    RestartInPlace();
    if (!fileSource_->RingOn(RNUMBER64::FromMs(fromMs), RNUMBER64::FromMs(toMs))) return false;
    if (fileSource_->GetRing(from, to))
        Host().OnRing(fileSource_->IsRing(), Ms(from), Ms(to));
    else
        Host().OnRing(fileSource_->IsRing(), 0, 0);
    return true;
}

bool MOVRA::ARingHere()
{
    const long position = Ms(position_.Get());
    const long size = Ms(ringSize_.Get());
    if (position < size) return false;
    return ARing(true, position - size, position);
}

bool MOVRA::ASetRingSize(long ms)
{
    // A non-positive size would make CRing() loop backwards.
    if (ms <= 0) return false;
    ringSize_.Set(RNUMBER64::FromMs(ms));
    Host().OnRingSize(ms);
    return true;
}

bool MOVRA::AGetRingSize(long& ms) const
{
    ms = Ms(ringSize_.Get());
    return true;
}
