// Conversion of coded WAVE data to 16-bit PCM for the player core's WAVE file classes, over
// the platform's audio compression stand-in.
#pragma once

#include "platform/wave_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace platform::acm
{
class ConversionStream;
}

class CODEC_CONVERTER
{
public:
    // `bufferSize`: the most source bytes one Convert call takes (whole blocks).
    explicit CODEC_CONVERTER(size_t bufferSize = 0);
    ~CODEC_CONVERTER();
    CODEC_CONVERTER(const CODEC_CONVERTER&) = delete;
    CODEC_CONVERTER& operator=(const CODEC_CONVERTER&) = delete;

    // From `source` (any format the stand-in decodes, extra bytes following the header) to
    // `target`, which must be 16-bit PCM of the same rate and channels: decoding is the
    // only direction there is. false when the pair cannot be converted.
    bool Initialize(const WAVEFORMATEX* source, const WAVEFORMATEX* target, size_t bufferSize);

    // Converts from `source`: `size` gives the bytes there and receives the bytes taken
    // (whole source blocks; a torn block stays with the caller unless `final` is set, which
    // also drains the codec). Returns the bytes produced, found at Buffer(). Output that did
    // not fit is handed out by the next call before more source is taken.
    size_t Convert(const uint8_t* source, size_t& size, bool final = false);
    const uint8_t* Buffer() const { return output_.data(); }
    size_t BufferSize() const { return output_.size(); }
    bool IsInitialized() const { return stream_ != nullptr; }
    // Forgets codec state (after the caller moved in the coded data).
    void Reset();

private:
    size_t bufferSize_;
    std::unique_ptr<platform::acm::ConversionStream> stream_;
    std::vector<uint8_t> output_;
};
