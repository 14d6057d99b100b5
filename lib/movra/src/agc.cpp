#include "movra/agc.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "movra/agc_engine.h"
#include "movra/object_ids.h"

#include <algorithm>

OBJ_AGC::OBJ_AGC() : HELD_OBJECT(movra_object::OBJ_ID_AGC, 8000)
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
    for (auto& e : engines_)
    {
        e->Reinit(static_cast<int>(Rate()));
        e->SetLevel(static_cast<int>(level_));
    }
    Restart(engines_[0]->Latency(), engines_[1]->Latency());
}

long OBJ_AGC::Process(SMSG& msg)
{
    if (!Admit(msg)) return TONEXT;
    for (unsigned long c = 0; c < msg.channels; ++c)
    {
        produced_[c].clear();
        engines_[c]->Process(msg.Channel(c), msg.Frames(), produced_[c]);
        if (msg.eof) engines_[c]->Flush(produced_[c]);
    }
    return Deliver(msg);
}
