#include "transfer/record_waveform.h"

#include <algorithm>

namespace vark
{

namespace
{
int64_t FramesOf(const RecordInfo& info)
{
    return int64_t(info.dataSize) / int64_t(info.BytesPerSample() * info.Channels());
}
} // namespace

RecordWaveform::RecordWaveform(const RecordInfo& info, int width, const PeaksCache* cache,
                               int threshold)
    : cache_(cache), identity_(RecordPeaksIdentity(info)),
      analyser_(int(info.Rate()), int(info.Channels()), FramesOf(info), width, true, threshold),
      frames_(FramesOf(info)), channels_(int(info.Channels()))
{
    if (cache_) kept_ = cache_->Load(identity_, width);
    if (kept_ || frames_ <= 0)
    {
        analyser_.Finish();
        done_ = true;
    }
}

void RecordWaveform::Feed(int64_t first, const int16_t* frames, size_t count)
{
    const int64_t seen = analyser_.FramesSeen();
    if (done_ || first > seen || first + int64_t(count) <= seen) return;
    const size_t skip = size_t(seen - first);
    const size_t take = size_t(std::min<int64_t>(int64_t(count - skip), frames_ - seen));
    analyser_.Feed(frames + skip * size_t(channels_), take);
    if (analyser_.FramesSeen() < frames_) return;
    analyser_.Finish();
    done_ = true;
    if (cache_) cache_->Store(identity_, analyser_.Result());
}

WaveformSnapshot RecordWaveform::Snapshot() const
{
    if (kept_) return {*kept_, kept_->width, true};
    return {analyser_.Result(), analyser_.Columns(), done_};
}

} // namespace vark
