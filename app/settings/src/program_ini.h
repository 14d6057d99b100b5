// The file the settings kept by a recorder's identity go in.
#pragma once

#include <string>

// `iniPath`, or when it is empty the window's own settings file, so that the window and
// vark-cli remember the same things; empty when there is nowhere to keep them.
std::string ProgramIniFile(const std::wstring& iniPath);
