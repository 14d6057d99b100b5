// The window message that carries the player's notifications: its number, which the program
// and its tools pass to TRIL_Init, and the codes in its WPARAM. The player wrapper posts
// codes 0 to 8; the program's data flows post the same codes for the same events and add
// 9 to 12 of their own.
#pragma once

#include "platform/winmsg.h"

inline constexpr platform::UINT kPlayerMessage = 33323;

namespace player_code
{
enum : int
{
    kMonitor = 0,   // LPARAM: mode
    kOpenFile = 1,  // LPARAM: address of the title buffer (const wchar_t[64])
    kCloseFile = 2, // LPARAM: 0
    kDuration = 3,  // LPARAM: ms
    kPosition = 4,  // LPARAM: ms (0 after a stop of a flow)
    kStretch = 5,   // LPARAM: speed
    kPlay = 6,      // LPARAM: ms at which playing (or a flow's streaming) (re)starts
    kPause = 7,     // LPARAM: position; a file flow paused
    kStop = 8,      // LPARAM: position
    // the data flows' own
    kSize = 9,      // KiB
    kName = 10,     // const wchar_t*, valid while the flow lives
    kFormat = 11,   // const wchar_t*, valid while the flow lives
    kReplaced = 12, // sent, not posted: the current flow is being replaced
};
} // namespace player_code
