// The debugger output of the system: here the process's standard error.
#pragma once

#include <string>

namespace ondakit
{
void DebugOutput(const std::string& text);
// A 1500 Hz / 100 ms style alert through the default sound output when there is one.
void Beep(int hz, int ms);
// "<folder of libondakit.so>/libondakit.ini"
std::string LibraryIniPath();
} // namespace ondakit
