// The decoder behind the RIFF reader and the push decoder: a conversion stream with one
// 0x20000-byte input buffer and an output buffer sized for converting a full input buffer.
#pragma once

#include "platform/acm.h"

#include <cstdint>
#include <memory>
#include <vector>

class AcmDecoder
{
public:
    static constexpr int kInputBytes = 0x20000;
    enum Result
    {
        More,
        End,
    };

    // Raises std::runtime_error("Can't open conversion stream").
    AcmDecoder(const WAVEFORMATEX* source, const WAVEFORMATEX& destination);
    virtual ~AcmDecoder();
    AcmDecoder(const AcmDecoder&) = delete;
    AcmDecoder& operator=(const AcmDecoder&) = delete;

    // Block-aligned conversion of the held input; when that produces nothing, the final
    // conversion, which reports the end once the codec has given out everything.
    virtual Result Convert();
    virtual void GetInput(uint8_t** space, int* freeBytes);
    virtual void AddInput(int bytes);
    virtual void GetOutput(short** frames, int* count);
    virtual void ConsumeOutput(int frames);
    virtual void GetBufferSizes(int* input, int* output);

    // Block-aligned only: a torn block stays for the next input (push decoding).
    bool ConvertAligned();
    bool HasHeldOutput() const { return stream_->HasHeldOutput(); }
    // The codec's output size for `sourceBytes` (uncapped; the seek ratio uses it).
    size_t OutputSizeFor(size_t sourceBytes) const { return stream_->OutputSize(sourceBytes); }
    // Drops all buffered input and output and the codec's state (for a seek).
    void Reset();

private:
    size_t ConvertOnce(bool blockAlign);

    std::unique_ptr<platform::acm::ConversionStream> stream_;
    WAVEFORMATEX destination_;
    std::vector<uint8_t> input_;
    int inputHeld_ = 0;
    std::vector<int16_t> output_;
    size_t outputBytes_ = 0;
    size_t outFront_ = 0, outEnd_ = 0; // in frames
};
