// Variable-length wave format blocks (18 + cbSize bytes) made and freed by the library.
#pragma once

#include "platform/wave_format.h"

namespace WaveFormat
{

// A new block of 18 + cbSize bytes with cbSize set, the rest zero for the caller to fill;
// null for a cbSize outside 0 .. 65535.
WAVEFORMATEX* CreateFormat(int cbSize);
// A copy of the 18 + cbSize bytes of `format`.
WAVEFORMATEX* CreateFormat(const WAVEFORMATEX* format);
void FreeFormat(WAVEFORMATEX* format);

} // namespace WaveFormat
