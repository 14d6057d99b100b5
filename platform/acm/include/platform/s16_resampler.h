#pragma once

#include <cstdint>
#include <vector>

struct AVFrame;
struct SwrContext;

namespace platform
{

// Turns decoded frames of any sample format, rate and layout into interleaved 16-bit PCM of
// one rate and channel count. Decoders may change their output format mid-stream, so the
// conversion is set up again whenever the frames' format differs from the last one.
class S16Resampler
{
public:
    S16Resampler() = default;
    ~S16Resampler();
    S16Resampler(const S16Resampler&) = delete;
    S16Resampler& operator=(const S16Resampler&) = delete;

    // The output every later frame is converted to; forgets any conversion set up before.
    void SetOutput(int rate, int channels);

    // Appends the frame's samples to `out`; false when no conversion exists for the frame.
    bool Append(const AVFrame& frame, std::vector<uint8_t>& out);

    // Appends the samples the conversion still holds (its delay) and forgets it.
    void Drain(std::vector<uint8_t>& out);

    // Forgets the conversion and what it holds, as after a seek.
    void Reset();

    bool Active() const { return swr_ != nullptr; }

private:
    bool SetUp(const AVFrame& frame);
    void Convert(const uint8_t** in, int frames, std::vector<uint8_t>& out);

    SwrContext* swr_ = nullptr;
    int rate_ = 0;
    int channels_ = 0;
    // What the conversion is set up for.
    int inFormat_ = -1;
    int inRate_ = 0;
    int inChannels_ = 0;
};

} // namespace platform
