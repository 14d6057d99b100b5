#include "movra/speechsearch.h"

#include "movra/object_ids.h"
#include "numera/speech_detector.h"

#include "chain_refill.h"

#include <algorithm>

OBJ_SPEECHSEARCH::OBJ_SPEECHSEARCH()
    : HISTORY_OBJECT(movra_object::OBJ_ID_SPEECHSEARCH, 8000),
      detector_(std::make_unique<SPEECH_DETECTOR>())
{
    Reinit();
}

OBJ_SPEECHSEARCH::~OBJ_SPEECHSEARCH() = default;

void OBJ_SPEECHSEARCH::Reinit()
{
    ready_ = detector_->Reinit(static_cast<int>(Rate()));
    detector_->SetThreshold(static_cast<int>(threshold_));
}

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
    detector_->SetThreshold(static_cast<int>(threshold_));
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
    if (!ready_)
    {
        Disable(); // nothing to search with at this rate: let the sound be heard
        return TONEXT;
    }
    MonoMix(msg, mono_);
    if (detector_->Feed(mono_.data(), mono_.size()))
    {
        Disable();
        return TONEXT;
    }
    msg.length = RNUMBER64(0);
    msg.samples.clear();
    return TONEXT;
}
