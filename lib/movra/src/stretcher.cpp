#include "movra/stretcher.h"

#include "movra/movra.h"
#include "movra/stretch_engine.h"

#include "chain_refill.h"

#include <algorithm>
#include <array>

namespace
{

const std::array<std::vector<int>, 14>& Patterns()
{
    static const std::array<std::vector<int>, 14> patterns = {{
        {3},                       // -7
        {3, 2},                    // -6
        {2},                       // -5
        {2, 2, 2, 1},              // -4
        {2, 1},                    // -3
        {2, 1, 1, 1},              // -2
        {2, 1, 1, 1, 1, 1, 1, 1},  // -1
        {1},                       // 0
        {-1, 1, 1, 1, 1, 1, 1, 1}, // 1
        {-1, 1, 1, 1, 1},          // 2
        {-1, 1, 1},                // 3
        {-1, 1},                   // 4
        {-1, 1, -1, -1, 1},        // 5
        {-1, -1, 1},               // 6
    }};
    return patterns;
}

std::array<double, 14> ComputeSpeeds()
{
    std::array<double, 14> speeds{};
    for (size_t i = 0; i < speeds.size(); ++i)
    {
        const std::vector<int>& p = Patterns()[i];
        int played = 0;
        for (int k : p)
            if (k > 0) played += k;
        speeds[i] = static_cast<double>(p.size()) / played;
    }
    return speeds;
}

size_t Index(long step)
{
    return static_cast<size_t>(std::clamp(step, OBJ_STRETCHER::kMinStep, OBJ_STRETCHER::kMaxStep) -
                               OBJ_STRETCHER::kMinStep);
}

} // namespace

OBJ_STRETCHER::OBJ_STRETCHER()
    : HISTORY_OBJECT(MOVRA::OBJ_ID_STRETCHER, 10000), engine_(std::make_unique<STRETCH_ENGINE>())
{
    Reinit();
}

OBJ_STRETCHER::~OBJ_STRETCHER() = default;

void OBJ_STRETCHER::Reinit()
{
    ready_ = engine_->Reinit(static_cast<int>(Rate()));
    engine_->SetStep(static_cast<int>(step_));
}

const std::vector<int>& OBJ_STRETCHER::Pattern(long step)
{
    return Patterns()[Index(step)];
}

double OBJ_STRETCHER::SpeedFactor(long step)
{
    static const std::array<double, 14> speeds = ComputeSpeeds();
    return speeds[Index(step)];
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
