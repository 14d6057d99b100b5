#include "movra/agc.h"

#include "faltor/debug_info.h"
#include "faltor/exceptions.h"
#include "movra/movra.h"

#include <algorithm>

OBJ_AGC::OBJ_AGC() : HISTORY_OBJECT(MOVRA::OBJ_ID_AGC, 8000) {}

void OBJ_AGC::NotifyState()
{
    Host().OnAgc(level_);
}

void OBJ_AGC::SetLevel(long level)
{
    if (level == level_) return;
    level_ = std::clamp(level, kMinLevel, kMaxLevel);
    NotifyState();
}

void OBJ_AGC::Reinit()
{
    if (Rate() < kMinRate || Rate() > kMaxRate)
        throw LOGIC_ERROR(DEBUG_INFO(Rate(), "OBJ_AGC: sample rate out of range"));
}

long OBJ_AGC::Process(SMSG& msg)
{
    PassesThrough(msg);
    return TONEXT;
}
