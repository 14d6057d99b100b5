// How the file source opens a file, from the host program's own settings file: the
// executable's path with its extension replaced by "ini" (".ini" appended when it has none),
// section "SETTINGS", key "OpenStrategy":
//   "NZ_MMIO_DX" (default, and anything unknown) 1: the native reader, then the library's;
//   "MMIO_DX"  2: the library's RIFF reader, then its open task;
//   "DX"       3: the library's open task only.
#pragma once

#include <string>

constexpr int OPEN_STRATEGY_NATIVE = 1;
constexpr int OPEN_STRATEGY_MMIO = 2;
constexpr int OPEN_STRATEGY_DX = 3;

// "<folder>/prog.exe" -> "<folder>/prog.ini", "<folder>/prog" -> "<folder>/prog.ini".
std::string HostSettingsPath(const std::string& executable);
// The strategy from the host's settings file (read at every call: the file may change).
int ReadOpenStrategy();
int ParseOpenStrategy(const std::string& value);
