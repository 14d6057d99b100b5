// What a media file is, from its headers only: container, codec, rate, channels, length and
// its tags, without decoding the sound. Listing a drive of a thousand recordings asks this
// of every file, so it reads as little as the demuxer allows.
#pragma once

#include "platform/mediastream.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace platform::mediastream
{

struct MediaInfo
{
    std::string container; // the demuxer's name, e.g. "wav", "mp3", "ogg"
    std::string codec;     // e.g. "pcm_s16le", "mp3", "opus"
    uint32_t sampleRate = 0;
    uint16_t channels = 0;
    int64_t duration = 0; // 100-ns units; 0 when the headers do not say
    // The container's tags, then the audio stream's, as the demuxer names them (an ID3
    // TDRC is "date", an MP4 creation time "creation_time", a bext date "origination_date").
    std::vector<std::pair<std::string, std::string>> tags;

    // The first tag of that name, compared without case; empty when there is none.
    std::string Tag(std::string_view key) const;
};

// `path` is UTF-8. Nothing, with the reason in `error`, when the file is not sound that the
// reader could play.
std::optional<MediaInfo> Probe(const std::string& path, OpenError* error = nullptr);

} // namespace platform::mediastream
