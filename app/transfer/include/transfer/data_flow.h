// Data flows: where the sound of a playback comes from, behind one interface. A record on the
// recorder is streamed into the player's monitoring input (CVarkDataFlow); a file on disk is
// opened by the player itself (CFileDataFlow). The player controller owns the current flow
// and drives it; every operation runs on the thread of the window the controller posts to.
#pragma once

#include "platform/winmsg.h"

#include <cstdint>

namespace vark
{

class PlayerControl;
class TrilCalls;

// The private message the controller and the flows post to their window, and the codes of
// its first parameter (the player wrapper uses the same message and codes 0 to 8).
inline constexpr platform::UINT kPlayerMessage = 33323;
namespace flow_code
{
inline constexpr int kDuration = 3; // ms
inline constexpr int kPosition = 4; // ms, 0 after a stop
inline constexpr int kStart = 6;    // ms at which streaming (re)starts
inline constexpr int kPaused = 7;   // ms; from the player only (a file flow paused)
inline constexpr int kStopped = 8;
inline constexpr int kSize = 9;      // KiB
inline constexpr int kName = 10;     // const wchar_t*, valid while the flow lives
inline constexpr int kFormat = 11;   // const wchar_t*, valid while the flow lives
inline constexpr int kReplaced = 12; // sent, not posted: the current flow is being replaced
} // namespace flow_code

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
    virtual int Kind() const { return 0; }

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
