#include "movra/odk_worker.h"

#include "basix/thread_class.h"
#include "faltor/journal.h"
#include "movra/open_strategy.h"
#include "ondakit/input_dx_sound_file_stream.h"
#include "ondakit/input_sound_file_stream.h"
#include "platform/event.h"
#include "platform/text.h"
#include "xw_file.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

// The second way of opening a file: the library's media reader, run on a thread of its own
// as the player has always done it. One command at a time: the caller waits for the answer.
class DX_OPEN_TASK : public THREAD_CLASS
{
public:
    DX_OPEN_TASK() : THREAD_CLASS("DX_WorkerThread_Task", "") { Start(); }
    ~DX_OPEN_TASK() override { Stop(); }

    InputSoundFileStream* Open(const std::wstring& name)
    {
        name_ = name;
        result_ = nullptr;
        command_.Set();
        done_.Wait(platform::kInfinite);
        return result_;
    }

protected:
    unsigned int MainThread() override
    {
        while (!GetTermFlag())
        {
            if (!command_.Wait(50)) continue;
            JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "DX_WorkerThread_Task: PerformCommand call");
            try
            {
                result_ = InputDXSoundFileStream::Open(name_.c_str());
            }
            catch (...)
            {
                // The caller waits without a time limit: it must always get an answer.
                result_ = nullptr;
            }
            done_.Set();
        }
        return 0;
    }

private:
    std::wstring name_;
    InputSoundFileStream* result_ = nullptr;
    platform::Event command_{platform::Event::Reset::automatic};
    platform::Event done_{platform::Event::Reset::automatic};
};

namespace
{

std::string Narrow(const std::wstring& name)
{
    return platform::WideToUtf8(name);
}

} // namespace

WAVE_FILE_READER_ODK::WAVE_FILE_READER_ODK(const std::wstring& name, unsigned offsetMs)
    : WAVE_FILE_READER_ODK(name, offsetMs, ReadOpenStrategy())
{
}

WAVE_FILE_READER_ODK::WAVE_FILE_READER_ODK(const std::wstring& name, unsigned offsetMs,
                                           int strategy)
    : name_(name)
{
    LOCK_GUARD guard(lock_);
    if (strategy != OPEN_STRATEGY_DX)
        stream_.reset(InputSoundFileStream::Open(name.c_str(), OpenRiffOnly));
    if (!stream_)
    {
        usedTask_ = true;
        task_ = std::make_unique<DX_OPEN_TASK>();
        stream_.reset(task_->Open(name));
    }
    if (!stream_)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "WAVE_FILE_READER_ODK:: no stream for %s",
                    Narrow(name).c_str());
        return;
    }
    samples_ = std::max(0, stream_->GetSampleCount());
    const int rate = stream_->GetSampleRate(), channels = stream_->GetChannelCount();
    if (rate <= 0 || channels <= 0)
    {
        stream_.reset();
        return;
    }
    rate_ = unsigned(rate);
    channels_ = unsigned(channels);
    length_ = RNUMBER64(samples_, rate);
    char text[128];
    std::snprintf(text, sizeof text, " %dHz, %s (%g sec)", rate, channels == 1 ? "Mono" : "Stereo",
                  length_.ToDouble());
    format_ = text;
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "WAVE_FILE_READER_ODK::Constructor format = %s\n",
                format_.c_str());
    RNUMBER64 reached;
    if (!SetPosition(RNUMBER64::FromMs(offsetMs), reached))
    {
        stream_.reset();
        length_ = RNUMBER64(0);
    }
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "WAVE_FILE_READER_ODK::Constructor %s %s %g\n",
                Narrow(name).c_str(), format_.c_str(), double(offsetMs) / 1000.0);
}

WAVE_FILE_READER_ODK::~WAVE_FILE_READER_ODK()
{
    LOCK_GUARD guard(lock_);
    stream_.reset();
    task_.reset();
}

bool WAVE_FILE_READER_ODK::IsOpen() const
{
    LOCK_GUARD guard(lock_);
    return stream_ != nullptr;
}

bool WAVE_FILE_READER_ODK::SetPosition(const RNUMBER64& target, RNUMBER64& reached)
{
    if (!stream_) return false;
    const RNUMBER64 t = std::clamp(target, RNUMBER64(0), length_);
    const double at = stream_->Seek(t.ToDouble());
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "WAVE_FILE_READER_ODK::SetPosition %s %g %g\n",
                Narrow(name_).c_str(), t.ToDouble(), at);
    if (at < 0) return false;
    position_ = std::min<int64_t>(samples_, std::llround(at * rate_));
    reached = RNUMBER64(position_, rate_);
    eof_ = false;
    return true;
}

bool WAVE_FILE_READER_ODK::Seek(const RNUMBER64& target, RNUMBER64& reached)
{
    LOCK_GUARD guard(lock_);
    return SetPosition(target, reached);
}

bool WAVE_FILE_READER_ODK::Read(RNUMBER64& position, RNUMBER64& wanted, RNUMBER64& read)
{
    LOCK_GUARD guard(lock_);
    read = RNUMBER64(0);
    if (!stream_) return false;
    position = RNUMBER64(position_, rate_);
    const int64_t frames = std::min<int64_t>(FramesOf(wanted, rate_), 1 << 22);
    wanted = RNUMBER64(frames, rate_);
    if (eof_ || frames == 0) return true;
    buffer_.assign(size_t(frames) * channels_, 0);
    const int got = std::clamp(stream_->ReadData(buffer_.data(), int(frames)), 0, int(frames));
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE,
                "WAVE_FILE_READER_ODK::ReadSound %s m_readBufSize %d bytesToRead %d samplesRead "
                "%d\n",
                Narrow(name_).c_str(), int(buffer_.size() * 2), int(frames * channels_ * 2), got);
    if (got == 0)
    {
        eof_ = true;
        return true;
    }
    position_ += got;
    read = RNUMBER64(got, rate_);
    return true;
}

unsigned WAVE_FILE_READER_ODK::GetChannelsCount() const
{
    return channels_;
}

unsigned WAVE_FILE_READER_ODK::GetSampleRate() const
{
    return rate_;
}

bool WAVE_FILE_READER_ODK::IsSeekSupported()
{
    LOCK_GUARD guard(lock_);
    return stream_ && stream_->IsSeekSupported();
}

const short* WAVE_FILE_READER_ODK::GetBuffer() const
{
    return buffer_.data();
}

void WAVE_FILE_READER_ODK::GetName(std::wstring& name) const
{
    name = name_;
}

void WAVE_FILE_READER_ODK::ClearEOF()
{
    LOCK_GUARD guard(lock_);
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "WAVE_FILE_READER_ODK::Clear_EOF call\n");
    eof_ = false;
}

bool WAVE_FILE_READER_ODK::IsEOF() const
{
    LOCK_GUARD guard(lock_);
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "WAVE_FILE_READER_ODK::Is_EOF  %d\n", int(eof_));
    return eof_;
}

bool WAVE_FILE_READER_ODK::Size(RNUMBER64& length)
{
    LOCK_GUARD guard(lock_);
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "WAVE_FILE_READER_ODK::GetSize call\n");
    length = length_;
    return stream_ != nullptr;
}

bool WAVE_FILE_READER_ODK::Tell(RNUMBER64& position) const
{
    LOCK_GUARD guard(lock_);
    position = RNUMBER64(position_, std::max(1u, rate_));
    JOURNAL_LOG(JOURNAL::LEVEL_TRACE, "WAVE_FILE_READER_ODK::TellPosition %lg\n",
                position.ToDouble());
    return stream_ != nullptr;
}

void WAVE_FILE_READER_ODK::GetFormat(std::string& format) const
{
    format = format_;
}
