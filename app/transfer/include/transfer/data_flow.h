// Data flows: where the sound of a playback comes from, behind one interface. A record on the
// recorder is streamed into the player's monitoring input (CVarkDataFlow); a file on disk is
// opened by the player itself (CFileDataFlow). The player controller owns the current flow
// and drives it; every operation runs on the thread of the window the controller posts to.
// The controller and the flows post kPlayerMessage with the codes of player_code to it.
#pragma once

#include "platform/winmsg.h"
#include "trillo/player_message.h"

#include <cstdint>

namespace vark
{

class PlayerControl;
class TrilCalls;

// What a flow plays. The window leaves the recorder alone while a record streams from it.
enum class FlowKind : int
{
    kNone = 0,
    kRecord = 1,
    kFile = 2,
};

// The base does nothing and reports failure. The virtual operations keep their order.
class CDataFlow
{
public:
    CDataFlow() = default;
    virtual ~CDataFlow();
    CDataFlow(const CDataFlow&) = delete;
    CDataFlow& operator=(const CDataFlow&) = delete;

    virtual bool Play() { return false; }
    virtual void Stop() {}
    virtual void Pause(bool /*on*/) {}
    virtual void SetRing(int32_t /*seconds*/) {}
    virtual void SetPosition(int32_t /*ms*/) {}
    virtual void Feed() {}
    virtual bool Open() { return false; }
    virtual void Close() {}
    virtual void Unused9() {}
    virtual void Unused10() {}
    virtual void SetStretch(int32_t /*value*/) {}
    virtual FlowKind Kind() const { return FlowKind::kNone; }

    // Set by the controller when it adopts the flow, cleared when it lets go.
    void AttachController(PlayerControl* controller) { controller_ = controller; }
    PlayerControl* Controller() const { return controller_; }

protected:
    // To the controller's window; nothing without a controller.
    void Post(int code, platform::LPARAM value) const;
    // The controller's player wrapper; null without a controller.
    TrilCalls* Player() const;

private:
    PlayerControl* controller_ = nullptr;
};

} // namespace vark
