#include "transfer/waveform_worker.h"

#include "platform/event.h"
#include "platform/mediastream.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace vark
{

namespace
{
// How often the snapshot follows the analysis: often enough that the strip fills visibly.
constexpr auto kPublishEvery = std::chrono::milliseconds(100);
} // namespace

WaveformWorker::WaveformWorker(std::string path, int width, const PeaksCache* cache, int threshold)
    : path_(std::move(path)), width_(width), threshold_(threshold), cache_(cache)
{
    thread_ = std::thread([this] { Run(); });
}

WaveformWorker::~WaveformWorker()
{
    cancel_ = true;
    if (thread_.joinable()) thread_.join();
}

WaveformSnapshot WaveformWorker::Snapshot() const
{
    std::lock_guard lock(mutex_);
    return snapshot_;
}

void WaveformWorker::Run()
{
    const std::string identity = cache_ ? FilePeaksIdentity(path_) : std::string();
    if (auto kept = cache_ ? cache_->Load(identity, width_) : std::nullopt)
    {
        std::lock_guard lock(mutex_);
        snapshot_.peaks = std::move(*kept);
        snapshot_.columns = snapshot_.peaks.width;
        snapshot_.done = true;
        return;
    }
    int64_t read = Pass(0);
    int64_t stated = 0;
    {
        std::lock_guard lock(mutex_);
        stated = snapshot_.peaks.frames;
    }
    if (read > 0 && read != stated && !cancel_) read = Pass(read);
    numera::WaveformPeaks whole;
    {
        std::lock_guard lock(mutex_);
        snapshot_.done = true;
        if (read > 0 && !cancel_) whole = snapshot_.peaks;
    }
    // written outside the lock: the window's snapshots do not wait for the disk
    if (cache_ && whole.width > 0) cache_->Store(identity, whole);
}

int64_t WaveformWorker::Pass(int64_t frames)
{
    auto stream = platform::mediastream::AudioStream::Open(path_);
    if (!stream) return -1;
    const WAVEFORMATEX& f = stream->Format();
    const int channels = f.nChannels, rate = int(f.nSamplesPerSec);
    if (channels <= 0 || rate <= 0) return -1;
    if (frames <= 0) frames = stream->Duration() * rate / platform::mediastream::kUnitsPerSecond;
    numera::PeakAnalyser analyser(rate, channels, frames, width_, true, threshold_);
    std::vector<uint8_t> buffer(size_t(8192) * channels * 2);
    std::vector<int16_t> samples(size_t(8192) * channels);
    if (!stream->SetBuffer(buffer.data(), buffer.size())) return -1;
    platform::Event completed;
    auto published = std::chrono::steady_clock::now();
    const auto publish = [&]
    {
        std::lock_guard lock(mutex_);
        snapshot_.peaks = analyser.Result();
        snapshot_.columns = analyser.Columns();
    };
    while (!cancel_)
    {
        if (stream->Update(&completed) != platform::mediastream::UpdateStatus::ok) break;
        const size_t bytes = stream->ActualLength();
        const size_t count = bytes / (size_t(channels) * 2);
        for (size_t i = 0; i < count * size_t(channels); ++i)
            samples[i] = int16_t(uint16_t(buffer[2 * i]) | uint16_t(buffer[2 * i + 1]) << 8);
        analyser.Feed(samples.data(), count);
        if (std::chrono::steady_clock::now() - published >= kPublishEvery)
        {
            publish();
            published = std::chrono::steady_clock::now();
        }
    }
    analyser.Finish();
    publish();
    return analyser.FramesSeen();
}

} // namespace vark
