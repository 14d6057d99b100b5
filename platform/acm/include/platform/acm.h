// Stand-in for the audio compression manager: conversion of any WAVE format block this
// platform can decode to 16-bit PCM of the same rate and channel count, over libavcodec,
// driven by its callers like a conversion stream (size query, block-aligned conversion,
// final flush, end indication), plus the tag and format names used in descriptions.
#pragma once

#include "platform/wave_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace platform::acm
{

// "PCM", "Microsoft ADPCM", "CCITT A-Law", ...; nullopt for a tag no codec here handles.
std::optional<std::string> FormatTagName(uint16_t tag);
// The description of one exact format, e.g. "8.000 kHz, 4 Bit, Mono" or
// "128 kBit/s, 44.100 kHz, Stereo"; nullopt when the tag is unknown.
std::optional<std::string> FormatName(const WAVEFORMATEX& format);

class ConversionStream
{
public:
    // Opens a conversion from `source` (a whole block: its `cbSize` extra bytes follow the
    // header in memory) to `destination`, which must be 16-bit PCM with the source's rate
    // and channel count. null, with the reason in `error`, when the format is unknown or
    // inconsistent (no channels, rate 0, a block align the codec cannot use, ...).
    static std::unique_ptr<ConversionStream>
    Open(const WAVEFORMATEX* source, const WAVEFORMATEX& destination, std::string* error = nullptr);
    ~ConversionStream();
    ConversionStream(const ConversionStream&) = delete;
    ConversionStream& operator=(const ConversionStream&) = delete;

    // Output bytes needed to convert `sourceBytes` bytes in one call (an upper bound,
    // rounded up to whole source blocks).
    size_t OutputSize(size_t sourceBytes) const;
    size_t SourceBlockAlign() const;

    struct Result
    {
        size_t sourceUsed = 0;
        size_t outputUsed = 0;
    };
    // Converts into `output`. With `blockAlign` only whole source blocks are taken and the
    // rest is left to the caller; without it everything is taken and the codec is drained
    // (the final conversion of a stream). Output that did not fit is held and given out
    // first by the next call. Blocks the codec rejects are skipped, never fatal.
    Result Convert(const uint8_t* source, size_t sourceSize, uint8_t* output, size_t outputCapacity,
                   bool blockAlign);
    // true after a final conversion that left nothing held: the stream has given out all
    // it will for the input so far. Any later conversion starts a fresh run.
    bool AtEnd() const;
    bool HasHeldOutput() const;
    // Forgets all codec state and held output (for a seek).
    void Reset();

private:
    struct Impl;
    explicit ConversionStream(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace platform::acm
