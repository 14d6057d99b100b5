#include "movra/denoiser.h"

#include "movra/movra.h"

#include <algorithm>

OBJ_DENOISER::OBJ_DENOISER() : HISTORY_OBJECT(MOVRA::OBJ_ID_DENOISER, 8000) {}

void OBJ_DENOISER::NotifyState()
{
    Host().OnDenoiser(mode_, level_);
}

void OBJ_DENOISER::Set(long mode, long level)
{
    if ((mode == 1) == mode_ && level == level_) return;
    mode_ = mode == 1;
    level_ = std::clamp(level, kMinLevel, kMaxLevel);
    Reinit();
    NotifyState();
}

long OBJ_DENOISER::Process(SMSG& msg)
{
    PassesThrough(msg);
    return TONEXT;
}
