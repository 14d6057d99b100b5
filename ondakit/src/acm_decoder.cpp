#include "acm_decoder.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

namespace
{
// An MPEG header claiming a tiny byte rate would ask for gigabytes; what does not fit is
// held by the conversion stream and given out by the next conversion.
constexpr size_t kMaxOutputBytes = 8u << 20;
} // namespace

AcmDecoder::AcmDecoder(const WAVEFORMATEX* source, const WAVEFORMATEX& destination)
    : stream_(platform::acm::ConversionStream::Open(source, destination)),
      destination_(destination), input_(kInputBytes)
{
    if (!stream_) throw std::runtime_error("Can't open conversion stream");
    outputBytes_ = std::min(stream_->OutputSize(kInputBytes), kMaxOutputBytes);
    outputBytes_ -= outputBytes_ % destination_.nBlockAlign;
    output_.resize(outputBytes_ / 2);
}

AcmDecoder::~AcmDecoder() = default;

size_t AcmDecoder::ConvertOnce(bool blockAlign)
{
    const size_t frameBytes = destination_.nBlockAlign;
    if (outFront_ == outEnd_) outFront_ = outEnd_ = 0;
    auto* out = reinterpret_cast<uint8_t*>(output_.data()) + outEnd_ * frameBytes;
    const auto r = stream_->Convert(input_.data(), static_cast<size_t>(inputHeld_), out,
                                    outputBytes_ - outEnd_ * frameBytes, blockAlign);
    // The input not yet consumed moves to the front.
    std::memmove(input_.data(), input_.data() + r.sourceUsed, inputHeld_ - r.sourceUsed);
    inputHeld_ -= static_cast<int>(r.sourceUsed);
    outEnd_ += r.outputUsed / frameBytes;
    return r.outputUsed;
}

AcmDecoder::Result AcmDecoder::Convert()
{
    if (ConvertOnce(true) > 0) return More;
    ConvertOnce(false);
    return stream_->AtEnd() ? End : More;
}

bool AcmDecoder::ConvertAligned()
{
    return ConvertOnce(true) > 0;
}

void AcmDecoder::GetInput(uint8_t** space, int* freeBytes)
{
    *space = input_.data() + inputHeld_;
    *freeBytes = kInputBytes - inputHeld_;
}

void AcmDecoder::AddInput(int bytes)
{
    inputHeld_ = std::clamp(inputHeld_ + bytes, 0, kInputBytes);
}

void AcmDecoder::GetOutput(short** frames, int* count)
{
    *frames = output_.data() + outFront_ * destination_.nChannels;
    *count = static_cast<int>(outEnd_ - outFront_);
}

void AcmDecoder::ConsumeOutput(int frames)
{
    outFront_ = std::min(outEnd_, outFront_ + static_cast<size_t>(std::max(frames, 0)));
}

void AcmDecoder::GetBufferSizes(int* input, int* output)
{
    *input = kInputBytes;
    *output = static_cast<int>(outputBytes_);
}

void AcmDecoder::Reset()
{
    stream_->Reset();
    inputHeld_ = 0;
    outFront_ = outEnd_ = 0;
}
