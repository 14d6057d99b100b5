// Where the running program's installation keeps its other parts. Everything is found from
// the executable's own folder, so the build tree and an installation under any prefix both
// work without an environment variable, and two installations side by side never reach
// into each other.
#pragma once

#include <string>

namespace platform
{

// The run-time data folder (share/vark-p of the installation, or its copy in the build
// tree), canonical; empty when neither exists.
std::string ProgramDataFolder();
// The documentation folder of the installation (share/doc/vark-p); empty when missing.
std::string ProgramDocFolder();
// A helper program of the installation (libexec/NAME), or NAME beside the running program
// (the build tree, or a helper started from libexec); empty when neither can be run.
std::string HelperProgramPath(const std::string& name);

} // namespace platform
