// The GUI tests that need a real X server: their main starts a private Xvfb display with a
// window manager (openbox) and runs Qt on it through xcb; they drive it with xdotool, whose
// clicks and keys pass through the X server as a user's do (grabs, focus, popups).
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

namespace x11
{

// Why there is no X session (empty when there is one); the tests skip with it.
const std::string& Problem();

// Runs xdotool with these arguments while the Qt loop goes on; false when it failed.
bool Xdo(const QStringList& arguments);
// The same, with what it printed; nullopt when it failed.
std::optional<QString> XdoOutput(const QStringList& arguments);

} // namespace x11

#define REQUIRE_X_SESSION()                                                                        \
    do                                                                                             \
    {                                                                                              \
        if (!x11::Problem().empty()) GTEST_SKIP() << "no X session: " << x11::Problem();           \
    } while (0)
