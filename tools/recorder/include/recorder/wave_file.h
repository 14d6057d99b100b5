// 16-bit PCM WAV files as drive recorders write them: plain, or Broadcast WAV with a "bext"
// chunk between the format and the sound.
#pragma once

#include "recorder/audio.h"

#include "platform/bext.h"

#include <cstdint>
#include <vector>

namespace recorder
{

// The whole file; with `bext` its chunk comes before "data".
std::vector<uint8_t> WaveFileBytes(const PcmAudio& audio,
                                   const platform::bext::Bext* bext = nullptr);

} // namespace recorder
