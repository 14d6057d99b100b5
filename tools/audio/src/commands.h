// The subcommands of vark-audio; each gets the arguments after its name and returns the
// exit status (0 done, 1 failed, 2 wrong use; process also 130, interrupted).
#pragma once

#include <string>
#include <vector>

namespace varkaudio
{

using Args = std::vector<std::string>;

int Info(const Args& args);
int Decode(const Args& args);
int Play(const Args& args);
int Process(const Args& args);
int Devices(const Args& args);
int Peaks(const Args& args);

// "vark-audio: <text>" on standard error.
void Complain(const std::string& text);

} // namespace varkaudio
