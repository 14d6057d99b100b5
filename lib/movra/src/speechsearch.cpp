#include "movra/speechsearch.h"

#include "movra/movra.h"

#include <algorithm>

OBJ_SPEECHSEARCH::OBJ_SPEECHSEARCH() : HISTORY_OBJECT(MOVRA::OBJ_ID_SPEECHSEARCH, 8000) {}

void OBJ_SPEECHSEARCH::NotifyState()
{
    Host().OnSpeechSearch(threshold_);
}

void OBJ_SPEECHSEARCH::Disable()
{
    Host().OnObject(Id(), 0);
    BASEOBJECT::Disable();
}

void OBJ_SPEECHSEARCH::SetThreshold(long threshold)
{
    if (threshold == threshold_) return;
    threshold_ = std::clamp(threshold, kMinThreshold, kMaxThreshold);
    NotifyState();
}

long OBJ_SPEECHSEARCH::Process(SMSG& msg)
{
    if (!IsEnabled()) return TONEXT;
    // The end mark is looked at before emptiness: an empty last message must still reach
    // the core, or the file would never end.
    if (msg.eof)
    {
        PassesThrough(msg);
        Disable();
        return TONEXT;
    }
    if (msg.IsEmpty()) return REMOVE;
    PassesThrough(msg);
    return TONEXT;
}
