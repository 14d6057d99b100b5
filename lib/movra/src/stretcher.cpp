#include "movra/stretcher.h"

#include "movra/object_ids.h"
#include "movra/stretch_engine.h"

#include "chain_refill.h"

#include <algorithm>
#include <array>

OBJ_STRETCHER::OBJ_STRETCHER()
    : HISTORY_OBJECT(movra_object::OBJ_ID_STRETCHER, 10000),
      engine_(std::make_unique<STRETCH_ENGINE>())
{
    Reinit();
}

OBJ_STRETCHER::~OBJ_STRETCHER() = default;

void OBJ_STRETCHER::Reinit()
{
    ready_ = engine_->Reinit(static_cast<int>(Rate()));
    engine_->SetStep(static_cast<int>(step_));
}

// The engine holds the one pattern table.
const std::vector<int>& OBJ_STRETCHER::Pattern(long step)
{
    static const auto patterns = []
    {
        std::array<std::vector<int>, kMaxStep - kMinStep + 1> all;
        for (long s = kMinStep; s <= kMaxStep; ++s)
            all[static_cast<size_t>(s - kMinStep)] = STRETCH_ENGINE::PatternOf(static_cast<int>(s));
        return all;
    }();
    return patterns[static_cast<size_t>(std::clamp(step, kMinStep, kMaxStep) - kMinStep)];
}

double OBJ_STRETCHER::SpeedFactor(long step)
{
    return STRETCH_ENGINE::SpeedOf(static_cast<int>(std::clamp(step, kMinStep, kMaxStep)));
}

void OBJ_STRETCHER::NotifyState()
{
    Host().OnStretcher(step_);
}

void OBJ_STRETCHER::SetStep(long step)
{
    if (step == step_) return;
    step_ = std::clamp(step, kMinStep, kMaxStep);
    patternIndex_ = 0;
    engine_->SetStep(static_cast<int>(step_));
    if (step_ != 0)
        Enable();
    else
        Disable();
    NotifyState();
}

long OBJ_STRETCHER::Process(SMSG& msg)
{
    if (!IsEnabled()) return TONEXT;
    const bool end = msg.eof;
    if (end && msg.Frames() == 0)
    {
        msg.rate = Rate(); // an empty end mark carries what is held
        msg.channels = 2;
    }
    if (!end && PassesThrough(msg)) return TONEXT;
    if (!ready_ || msg.channels < 1 || (end && msg.rate != Rate()))
    {
        if (end) Reinit();
        return TONEXT;
    }
    MonoMix(msg, mono_);
    std::vector<int16_t> out;
    engine_->Process(mono_.data(), mono_.size(), out);
    if (end) engine_->Flush(out);
    if (out.empty() && !end) return REMOVE;
    produced_.assign(msg.channels, out);
    RefillMessage(msg, produced_, msg.start);
    if (end) Reinit();
    return TONEXT;
}
