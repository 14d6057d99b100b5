// The device proper: one thread per open device takes the submitted blocks in order, plays
// them through the sink (paced by a clock for the null and capture back ends) and hands each
// one back through the callback. The thread is also the one that returns blocks on a reset,
// so callbacks never come from the caller's thread.
#include "platform/waveout.h"

#include "scriba/scriba.h"
#include "sink.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace platform::waveout
{
namespace
{

using Clock = std::chrono::steady_clock;

struct Config
{
    enum class Kind
    {
        alsa,
        null,
        capture,
        invalid
    } kind = Kind::alsa;
    std::string argument; // the PCM name or the capture file
    uint32_t speed = 1;
};

Config ReadConfig()
{
    Config config;
    const char* audio = std::getenv("VARK_AUDIO");
    const std::string value = audio ? audio : "";
    if (value.empty() || value == "alsa")
        config.kind = Config::Kind::alsa;
    else if (value.rfind("alsa:", 0) == 0)
    {
        config.kind = Config::Kind::alsa;
        config.argument = value.substr(5);
    }
    else if (value == "null")
        config.kind = Config::Kind::null;
    else if (value.rfind("capture:", 0) == 0 && value.size() > 8)
    {
        config.kind = Config::Kind::capture;
        config.argument = value.substr(8);
    }
    else
        config.kind = Config::Kind::invalid;
    if (const char* speed = std::getenv("VARK_AUDIO_SPEED"))
    {
        char* end = nullptr;
        const long n = std::strtol(speed, &end, 10);
        if (end != speed && *end == '\0' && n >= 1 && n <= 100000)
            config.speed = static_cast<uint32_t>(n);
    }
    return config;
}

void SetError(std::string* error, const std::string& text)
{
    if (error) *error = text;
}

} // namespace

class WaveOut::Impl
{
public:
    Impl(std::unique_ptr<Sink> sink, uint32_t rate, uint32_t speed, DoneCallback done)
        : sink_(std::move(sink)), rate_(rate), speed_(speed), done_(std::move(done))
    {
        thread_ = std::thread([this] { Run(); });
    }

    ~Impl()
    {
        Reset();
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }

    bool Write(WaveHeader* header)
    {
        if (!header || !header->data || header->bufferLength == 0 ||
            header->bufferLength % 4 != 0 || !(header->flags & kHeaderPrepared) ||
            (header->flags & kHeaderInQueue))
            return false;
        {
            std::lock_guard lock(mutex_);
            header->flags = (header->flags & ~kHeaderDone) | kHeaderInQueue;
            queue_.push_back(header);
        }
        wake_.notify_all();
        return true;
    }

    void Reset()
    {
        std::unique_lock lock(mutex_);
        resetPending_ = true;
        wake_.notify_all();
        resetDone_.wait(lock, [this] { return !resetPending_; });
    }

    std::string Failure() const
    {
        std::lock_guard lock(mutex_);
        return failure_;
    }

    uint64_t Position() const
    {
        std::lock_guard lock(mutex_);
        if (!sink_->Paced()) return written_ - std::min<uint64_t>(written_, sink_->Delay());
        uint64_t position = played_;
        if (current_ && clockRunning_)
        {
            const double elapsed =
                std::chrono::duration<double>(Clock::now() - BlockStart()).count();
            const double frames = elapsed * rate_ * speed_;
            const uint64_t blockFrames = current_->bufferLength / 4;
            if (frames > 0)
                position += std::min<uint64_t>(blockFrames, static_cast<uint64_t>(frames));
        }
        return position;
    }

    std::unique_ptr<Sink> sink_;
    const uint32_t rate_;
    const uint32_t speed_;
    std::atomic<uint32_t> volume_{0xFFFFFFFFu}; // right in the high word, left in the low

private:
    Clock::time_point BlockStart() const
    {
        return clockStart_ +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                   static_cast<double>(clockFrames_) / (double(rate_) * speed_)));
    }

    void Complete(WaveHeader* header)
    {
        header->flags = (header->flags & ~kHeaderInQueue) | kHeaderDone;
        done_(header);
    }

    // Copies the block with the volume applied; full volume leaves every bit as it was.
    void Mix(const WaveHeader* header)
    {
        const size_t samples = header->bufferLength / 2;
        scratch_.resize(samples);
        const uint32_t volume = volume_.load();
        const uint32_t left = volume & 0xFFFF;
        const uint32_t right = volume >> 16;
        for (size_t i = 0; i < samples; ++i)
        {
            const uint8_t* p = header->data + 2 * i;
            const int32_t s = static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8)));
            const uint32_t level = (i % 2 == 0) ? left : right;
            scratch_[i] = static_cast<int16_t>(level == 0xFFFF ? s : s * int32_t(level) / 65535);
        }
    }

    void HandleReset(std::unique_lock<std::mutex>& lock)
    {
        std::vector<WaveHeader*> back;
        if (current_) back.push_back(current_);
        back.insert(back.end(), queue_.begin(), queue_.end());
        current_ = nullptr;
        queue_.clear();
        played_ = 0;
        written_ = 0;
        clockRunning_ = false;
        lock.unlock();
        sink_->Drop();
        for (WaveHeader* header : back)
            Complete(header);
        lock.lock();
        resetPending_ = false;
        resetDone_.notify_all();
    }

    void Run()
    {
        std::unique_lock lock(mutex_);
        for (;;)
        {
            wake_.wait(lock, [this] { return stop_ || resetPending_ || !queue_.empty(); });
            if (resetPending_)
            {
                HandleReset(lock);
                continue;
            }
            if (stop_) break;
            WaveHeader* header = queue_.front();
            queue_.pop_front();
            current_ = header;
            const size_t frames = header->bufferLength / 4;
            Mix(header);
            if (sink_->Paced())
            {
                if (!clockRunning_)
                {
                    clockRunning_ = true;
                    clockStart_ = Clock::now();
                    clockFrames_ = 0;
                }
                const auto deadline =
                    clockStart_ +
                    std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(
                        double(clockFrames_ + frames) / (double(rate_) * speed_)));
                if (wake_.wait_until(lock, deadline, [this] { return stop_ || resetPending_; }))
                    continue; // the reset hands the current block back
            }
            written_ += frames;
            std::string error;
            lock.unlock();
            const bool ok = sink_->Play(scratch_.data(), frames, &error);
            lock.lock();
            if (!ok && !failed_)
            {
                // A vanished device must not hold the blocks: they keep coming back, and the
                // error is logged once.
                failed_ = true;
                failure_ = error;
                SLOG_ERR("waveout: %s; blocks are returned unplayed", error.c_str());
            }
            if (current_ != header) continue; // a reset during Play already returned it
            current_ = nullptr;
            played_ += frames;
            clockFrames_ += frames;
            if (queue_.empty())
                clockRunning_ = false; // an underrun: the clock starts again with the next block
            lock.unlock();
            Complete(header);
            lock.lock();
        }
    }

    DoneCallback done_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable resetDone_;
    std::deque<WaveHeader*> queue_;
    WaveHeader* current_ = nullptr;
    bool stop_ = false;
    bool resetPending_ = false;
    bool failed_ = false;
    std::string failure_;
    bool clockRunning_ = false;
    Clock::time_point clockStart_;
    uint64_t clockFrames_ = 0; // frames played since clockStart_
    uint64_t played_ = 0;      // frames played since open or reset
    uint64_t written_ = 0;     // frames handed to the sink since open or reset
    std::vector<int16_t> scratch_;
    std::thread thread_;
};

std::vector<OutputDevice> OutputDevices()
{
    const Config config = ReadConfig();
    std::vector<OutputDevice> devices;
    if (config.kind == Config::Kind::alsa)
        for (const AlsaDevice& device : AlsaPlaybackDevices())
            devices.push_back({device.pcm, device.description});
    if (config.kind == Config::Kind::capture)
        devices.push_back({"capture", "Capture output"});
    else
        devices.push_back({"null", "Null output"});
    return devices;
}

std::vector<std::string> DeviceNames()
{
    std::vector<std::string> names;
    for (const OutputDevice& device : OutputDevices())
        names.push_back(device.description);
    return names;
}

int DeviceNumber(const std::string& name)
{
    if (name.empty()) return -1;
    const std::vector<OutputDevice> devices = OutputDevices();
    for (size_t i = 0; i < devices.size(); ++i)
        if (devices[i].name == name) return static_cast<int>(i);
    return -1;
}

std::string DeviceNameList()
{
    std::string list;
    for (const OutputDevice& device : OutputDevices())
        list += (list.empty() ? "" : ", ") + device.name;
    return list;
}

std::unique_ptr<WaveOut> WaveOut::Open(int device, uint32_t rate, DoneCallback done,
                                       std::string* error)
{
    if (rate < 1000 || rate > 384000 || !done)
    {
        SetError(error, "unsupported format");
        return nullptr;
    }
    const Config config = ReadConfig();
    std::unique_ptr<Sink> sink;
    switch (config.kind)
    {
    case Config::Kind::invalid:
        SetError(error, "VARK_AUDIO must be alsa[:<pcm>], null or capture:<file.wav>");
        return nullptr;
    case Config::Kind::null:
    case Config::Kind::capture:
        if (device != -1 && device != 0)
        {
            SetError(error, "no such device");
            return nullptr;
        }
        sink = config.kind == Config::Kind::null ? OpenNullSink()
                                                 : OpenCaptureSink(config.argument, rate, error);
        break;
    case Config::Kind::alsa:
    {
        const std::vector<AlsaDevice> devices = AlsaPlaybackDevices();
        std::string why;
        if (device == -1)
        {
            const std::string pcm = config.argument.empty() ? "default" : config.argument;
            sink = OpenAlsaSink(pcm, rate, &why);
            if (!sink)
            {
                SLOG_ERR("waveout: %s; the default device falls back to the null output",
                         why.c_str());
                sink = OpenNullSink();
            }
        }
        else if (device >= 0 && static_cast<size_t>(device) < devices.size())
        {
            sink = OpenAlsaSink(devices[static_cast<size_t>(device)].pcm, rate, error);
        }
        else if (device >= 0 && static_cast<size_t>(device) == devices.size())
            sink = OpenNullSink();
        else
            SetError(error, "no such device");
        break;
    }
    }
    if (!sink) return nullptr;
    return std::unique_ptr<WaveOut>(
        new WaveOut(std::make_unique<Impl>(std::move(sink), rate, config.speed, std::move(done))));
}

WaveOut::WaveOut(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
WaveOut::~WaveOut() = default;

bool WaveOut::Prepare(WaveHeader* header)
{
    if (!header || !header->data || (header->flags & kHeaderInQueue)) return false;
    header->flags |= kHeaderPrepared;
    return true;
}

bool WaveOut::Unprepare(WaveHeader* header)
{
    if (!header || (header->flags & kHeaderInQueue)) return false;
    header->flags &= ~kHeaderPrepared;
    return true;
}

bool WaveOut::Write(WaveHeader* header)
{
    return impl_->Write(header);
}

void WaveOut::Reset()
{
    impl_->Reset();
}

uint64_t WaveOut::Position() const
{
    return impl_->Position();
}

void WaveOut::SetVolume(uint16_t left, uint16_t right)
{
    impl_->volume_.store(static_cast<uint32_t>(right) << 16 | left);
}

void WaveOut::GetVolume(uint16_t* left, uint16_t* right) const
{
    const uint32_t volume = impl_->volume_.load();
    if (left) *left = static_cast<uint16_t>(volume & 0xFFFF);
    if (right) *right = static_cast<uint16_t>(volume >> 16);
}

uint32_t WaveOut::Rate() const
{
    return impl_->rate_;
}

std::string WaveOut::DeviceError() const
{
    return impl_->Failure();
}

std::string WaveOut::BackEnd() const
{
    return impl_->sink_->Name();
}

} // namespace platform::waveout
