#include "basix/codec_converter.h"

#include "platform/acm.h"

#include <algorithm>

CODEC_CONVERTER::CODEC_CONVERTER(size_t bufferSize) : bufferSize_(bufferSize) {}

CODEC_CONVERTER::~CODEC_CONVERTER() = default;

bool CODEC_CONVERTER::Initialize(const WAVEFORMATEX* source, const WAVEFORMATEX* target,
                                 size_t bufferSize)
{
    stream_.reset();
    output_.clear();
    if (!source || !target) return false;
    if (bufferSize) bufferSize_ = bufferSize;
    stream_ = platform::acm::ConversionStream::Open(source, *target);
    if (!stream_) return false;
    bufferSize_ = std::max(bufferSize_, stream_->SourceBlockAlign());
    output_.resize(stream_->OutputSize(bufferSize_));
    return true;
}

size_t CODEC_CONVERTER::Convert(const uint8_t* source, size_t& size, bool final)
{
    if (!stream_)
    {
        size = 0;
        return 0;
    }
    const size_t offered = std::min(size, bufferSize_);
    // Only the last piece of the stream is converted without block alignment.
    const bool whole = final && offered == size;
    const auto r = stream_->Convert(source, offered, output_.data(), output_.size(), !whole);
    size = r.sourceUsed;
    return r.outputUsed;
}

void CODEC_CONVERTER::Reset()
{
    if (stream_) stream_->Reset();
}
