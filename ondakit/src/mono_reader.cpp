#include "ondakit/mono_reader.h"

#include <algorithm>
#include <vector>

namespace
{
constexpr int kPassFrames = 4096;
}

MonoReader::MonoReader(InputSoundFileStream* stream) : stream_(stream) {}

int MonoReader::ReadData(short* buffer, int frames)
{
    if (!stream_ || !buffer || frames <= 0) return 0;
    const int channels = stream_->GetChannelCount();
    if (channels <= 0) return 0;
    // Each thread has its own work buffer, so readers on several threads never share one.
    thread_local std::vector<short> work;
    work.resize(static_cast<size_t>(kPassFrames) * channels);
    int total = 0;
    while (total < frames)
    {
        const int want = std::min(kPassFrames, frames - total);
        const int got = std::min(stream_->ReadData(work.data(), want), want);
        if (got <= 0) break;
        for (int i = 0; i < got; ++i)
        {
            int sum = 0;
            for (int c = 0; c < channels; ++c)
                sum += work[static_cast<size_t>(i) * channels + c];
            buffer[total + i] = static_cast<short>(std::clamp(sum, -32767, 32767));
        }
        total += got;
    }
    return total;
}
