// SMSG: one stretch of sound as it travels from a data source through the processing chain
// to the output card. Samples are planar: all of channel 0, then all of channel 1, and so
// on, each run `Frames()` long. A message of length 0 is empty; copying copies the samples.
#pragma once

#include "templates/r_number.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct SMSG
{
    long rate = 0;              // Hz
    unsigned long channels = 0; // number of planar runs in `samples`
    bool eof = false;           // the last message of its source
    RNUMBER64 start;            // time of the first sample from the start of the source
    RNUMBER64 length;           // duration; samples per channel = length * rate
    std::vector<int16_t> samples;

    // Samples per channel, from the stored run length (length * rate may carry a fraction
    // only for hand-made messages; the stored samples are what counts).
    size_t Frames() const { return channels ? samples.size() / channels : 0; }
    bool IsEmpty() const { return length == RNUMBER64(0); }

    int16_t* Channel(unsigned long c) { return samples.data() + c * Frames(); }
    const int16_t* Channel(unsigned long c) const { return samples.data() + c * Frames(); }

    // Makes the message `channels` x `frames` of silence at `rate`, starting at `start`.
    void Assign(long sampleRate, unsigned long channelCount, size_t frames,
                const RNUMBER64& startTime = RNUMBER64(0))
    {
        rate = sampleRate;
        channels = channelCount;
        eof = false;
        start = startTime;
        length =
            sampleRate > 0 ? RNUMBER64(static_cast<int64_t>(frames), sampleRate) : RNUMBER64(0);
        samples.assign(channelCount * frames, 0);
    }

    // Empty, no end mark; rate and channels are kept.
    void Clear()
    {
        eof = false;
        start = RNUMBER64(0);
        length = RNUMBER64(0);
        samples.clear();
    }
};
