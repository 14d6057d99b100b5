// Push decoding of coded sound held in memory: the receiver gets 16-bit PCM of the
// format's rate and channel count.
#pragma once

#include "platform/wave_format.h"

#include <memory>

class AcmDecoder;

class DecSndReceiver
{
public:
    virtual ~DecSndReceiver() = default;
    virtual void SetChannelCount(int channels) { channels_ = channels; }
    virtual void SetSampleRate(int rate) { rate_ = rate; }
    // Interleaved 16-bit samples; the base ignores them.
    virtual void SetWavData(unsigned char* data, int bytes);
    int ChannelCount() const { return channels_; }
    int SampleRate() const { return rate_; }

private:
    int channels_ = 0;
    int rate_ = 0;
};

class SoundDecoder
{
public:
    // Raises std::runtime_error("Can't open conversion stream") for a format the codec
    // stand-in cannot decode.
    SoundDecoder(DecSndReceiver* receiver, const WAVEFORMATEX* format);
    ~SoundDecoder();
    // Decodes whole blocks and hands them on; a torn last block waits for the next call.
    void Process(unsigned char* data, int size);
    int GetChannelCount() const;
    int GetSampleRate() const;

private:
    DecSndReceiver* receiver_;
    WAVEFORMATEX destination_{};
    std::unique_ptr<AcmDecoder> decoder_;
};
