// Window messages across the system's boundaries. A window handle is an opaque value; the
// host that owns a window (the program's main window posting a QEvent, a command-line loop)
// registers it with a thread-safe post function, and PostMessageW from any thread delivers
// through that function.
#pragma once

#include <cstdint>
#include <functional>

namespace platform
{

using HWND = struct HWND__*;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using UINT = uint32_t;
using BOOL = int;

using PostFunction = std::function<void(UINT message, WPARAM wparam, LPARAM lparam)>;

// A new handle, never null and never given out twice in a process. `post` must be safe to
// call from any thread and must not block for long.
HWND RegisterWindowHandle(PostFunction post);
// After this returns no post of the handle is running or will start.
void UnregisterWindowHandle(HWND hwnd);
// TRUE when delivered; FALSE for a null, unknown or unregistered handle.
BOOL PostMessageW(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

} // namespace platform
