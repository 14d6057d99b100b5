#include "ondakit/sound_decoder.h"

#include "acm_decoder.h"

#include <algorithm>
#include <cstring>

void DecSndReceiver::SetWavData(unsigned char*, int) {}

SoundDecoder::SoundDecoder(DecSndReceiver* receiver, const WAVEFORMATEX* format)
    : receiver_(receiver)
{
    if (!format) throw std::runtime_error("Can't open conversion stream");
    destination_ = platform::MakePcmFormat(format->nSamplesPerSec, format->nChannels);
    decoder_ = std::make_unique<AcmDecoder>(format, destination_);
    if (receiver_)
    {
        receiver_->SetChannelCount(destination_.nChannels);
        receiver_->SetSampleRate(static_cast<int>(destination_.nSamplesPerSec));
    }
}

SoundDecoder::~SoundDecoder() = default;

int SoundDecoder::GetChannelCount() const
{
    return destination_.nChannels;
}
int SoundDecoder::GetSampleRate() const
{
    return static_cast<int>(destination_.nSamplesPerSec);
}

void SoundDecoder::Process(unsigned char* data, int size)
{
    if (!data) size = 0;
    const auto deliver = [&]
    {
        short* out = nullptr;
        int frames = 0;
        decoder_->GetOutput(&out, &frames);
        if (frames > 0 && receiver_)
            receiver_->SetWavData(reinterpret_cast<unsigned char*>(out),
                                  frames * destination_.nBlockAlign);
        decoder_->ConsumeOutput(frames);
    };
    while (size > 0)
    {
        uint8_t* space = nullptr;
        int free = 0;
        decoder_->GetInput(&space, &free);
        const int n = std::min(free, size);
        std::memcpy(space, data, static_cast<size_t>(n));
        decoder_->AddInput(n);
        data += n;
        size -= n;
        decoder_->ConvertAligned();
        deliver();
    }
    // Output that did not fit into one conversion is handed on now, not with the next call.
    while (decoder_->HasHeldOutput())
    {
        decoder_->ConvertAligned();
        deliver();
    }
}
