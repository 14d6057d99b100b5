// Library-internal helpers. They are hidden, so a second copy of the library loaded into
// the same process uses its own (the settings file is found beside each copy).
#pragma once

#include <string>

#define ONDAKIT_INTERNAL __attribute__((visibility("hidden")))

namespace ondakit
{
// The debugger output of the system: here the process's standard error.
ONDAKIT_INTERNAL void DebugOutput(const std::string& text);
// A short alert tone through the default sound output when there is one.
ONDAKIT_INTERNAL void Beep(int hz, int ms);
// "<folder of libondakit.so>/libondakit.ini"
ONDAKIT_INTERNAL std::string LibraryIniPath();
} // namespace ondakit
