// The player controller: owns the current data flow, initialises the player wrapper, and
// drives the flow from user commands and the window's 200 ms timer. Plain C++; the window it
// posts to is a window-message handle. Not thread-safe: everything runs on the window's
// thread.
#pragma once

#include "transfer/data_flow.h"
#include "transfer/flow_clock.h"
#include "transfer/tril_calls.h"

#include <cstdint>
#include <functional>

namespace vark
{

class PlayerControl
{
public:
    // Delivers a message at once (code 12 is sent, not posted). Without one, it is posted.
    using SendFunction = std::function<void(platform::UINT, platform::WPARAM, platform::LPARAM)>;

    PlayerControl(platform::HWND window, FlowClock& clock, TrilCalls& tril = RealTril(),
                  SendFunction send = {});
    // Drops the current flow (stopped and closed).
    ~PlayerControl();
    PlayerControl(const PlayerControl&) = delete;
    PlayerControl& operator=(const PlayerControl&) = delete;

    // Replaces the current flow (code 12 sent; the old one stopped, closed and detached),
    // initialises the player when it is not ready and opens the new flow. false leaves the
    // controller without a flow.
    bool Adopt(CDataFlow* flow);
    // Lets go of the current flow as Adopt does, without taking a new one.
    void Drop();

    bool Play();
    void Stop();
    void TogglePause();
    // The window's timer: feeds the flow while playing and not paused.
    void Tick();
    // The flow's kind while playing, else 0.
    FlowKind Kind() const;
    // A notification the window received: 6 means playing and not paused, 7 paused (while
    // playing), 8 neither. A file ends inside the player, which only these report, so without
    // them the controller would go on believing it plays.
    void Notified(int code);

    // Straight to the player wrapper; each only with a flow attached.
    bool SetGain(int32_t value);
    bool SetAgc(bool on);
    bool SetDenoiser(bool on);

    // False once the player server has gone; the window and vark-cli ask about once a
    // second, since a gone server sends nothing more.
    bool PlayerAnswers() const { return tril_.Answers(); }

    CDataFlow* Flow() const { return flow_; }
    bool IsPlaying() const { return playing_; }
    bool IsPaused() const { return paused_; }

    // The player options.
    int32_t agcLevel = 30;
    int32_t ncMode = 1;
    int32_t ncDepth = 20000;
    // The first argument of TRIL_Init.
    int initArgument = -1;

    // For the flows.
    FlowClock& Clock() const { return clock_; }
    TrilCalls& Tril() const { return tril_; }
    platform::HWND Window() const { return window_; }
    void Post(int code, platform::LPARAM value) const;
    // A flow that is being destroyed while adopted.
    void Forget(CDataFlow* flow);

private:
    void Detach();

    platform::HWND window_;
    FlowClock& clock_;
    TrilCalls& tril_;
    SendFunction send_;
    CDataFlow* flow_ = nullptr;
    bool playing_ = false;
    bool paused_ = false;
};

} // namespace vark
