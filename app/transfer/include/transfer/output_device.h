// The output device the player is initialised with, from the stored `OutDeviceName` (an
// output's PCM name, as the device dialog stores it).
#pragma once

#include <string>

namespace vark
{

// The output's place in the sound stand-in's list of outputs, for TRIL_Init. -1 (the
// default) when the name is empty, when VARK_AUDIO chooses the output, or when no output has
// that name now (a headset unplugged since; logged).
int OutputDeviceNumber(const std::wstring& name);

} // namespace vark
