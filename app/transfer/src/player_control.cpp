#include "transfer/player_control.h"

namespace vark
{

PlayerControl::PlayerControl(platform::HWND window, FlowClock& clock, TrilCalls& tril,
                             SendFunction send)
    : window_(window), clock_(clock), tril_(tril), send_(std::move(send))
{
}

PlayerControl::~PlayerControl()
{
    Drop();
}

void PlayerControl::Post(int code, platform::LPARAM value) const
{
    if (window_)
        platform::PostMessageW(window_, kPlayerMessage, static_cast<platform::WPARAM>(code), value);
}

void PlayerControl::Detach()
{
    if (flow_) flow_->AttachController(nullptr);
    flow_ = nullptr;
    playing_ = false;
    paused_ = false;
}

void PlayerControl::Forget(CDataFlow* flow)
{
    if (flow_ == flow) Detach();
}

void PlayerControl::Drop()
{
    if (!flow_) return;
    // The window empties its player texts before the flow goes.
    if (send_)
        send_(kPlayerMessage, player_code::kReplaced, 0);
    else
        Post(player_code::kReplaced, 0);
    flow_->Stop();
    flow_->Close();
    Detach();
}

bool PlayerControl::Adopt(CDataFlow* flow)
{
    Drop();
    if (!flow) return false;
    flow_ = flow;
    flow_->AttachController(this);
    if (!tril_.IsReady() &&
        !tril_.Init(initArgument, window_, static_cast<int>(kPlayerMessage), false, 200))
    {
        Detach();
        return false;
    }
    if (!flow_->Open())
    {
        Detach();
        return false;
    }
    return true;
}

bool PlayerControl::Play()
{
    paused_ = false;
    if (!flow_) return false;
    if (!playing_)
    {
        if (!flow_->Play()) return false;
        playing_ = true;
    }
    return true;
}

void PlayerControl::Stop()
{
    paused_ = false;
    if (!playing_ || !flow_) return;
    // Cleared first: a flow that ends itself calls back here from inside its own operations.
    playing_ = false;
    flow_->Stop();
}

void PlayerControl::TogglePause()
{
    if (!playing_ || !flow_) return;
    paused_ = !paused_;
    flow_->Pause(paused_);
}

void PlayerControl::Tick()
{
    if (playing_ && !paused_ && flow_) flow_->Feed();
}

void PlayerControl::Notified(int code)
{
    if (!flow_) return;
    if (code == player_code::kPlay)
    {
        playing_ = true;
        paused_ = false;
    }
    else if (code == player_code::kPause && playing_)
        paused_ = true;
    else if (code == player_code::kStop)
        playing_ = paused_ = false;
}

FlowKind PlayerControl::Kind() const
{
    return playing_ && flow_ ? flow_->Kind() : FlowKind::kNone;
}

bool PlayerControl::SetGain(int32_t value)
{
    return flow_ && tril_.SetGain(value);
}

bool PlayerControl::SetAgc(bool on)
{
    if (!flow_) return false;
    return on ? tril_.SetAgc(agcLevel, 1) : tril_.SetAgc(0, 0);
}

bool PlayerControl::SetDenoiser(bool on)
{
    if (!flow_) return false;
    return on ? tril_.SetDenoiser(ncMode, ncDepth, 1) : tril_.SetDenoiser(0, 0, 0);
}

} // namespace vark
