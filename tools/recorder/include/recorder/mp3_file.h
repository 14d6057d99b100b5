// MP3 files as drive recorders write them, encoded and muxed by FFmpeg's libraries (LAME
// through libavcodec), with an ID3v2.4 tag.
#pragma once

#include "recorder/audio.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace recorder
{

// Tags by libavformat's names ("date", "title"); empty for none.
using Mp3Tags = std::vector<std::pair<std::string, std::string>>;

// The whole file of mono or stereo `audio` at `bitRate` bits per second. False with the
// reason in *why when the encoder is missing or refuses.
bool Mp3FileBytes(const PcmAudio& audio, int bitRate, const Mp3Tags& tags,
                  std::vector<uint8_t>* out, std::string* why);

} // namespace recorder
