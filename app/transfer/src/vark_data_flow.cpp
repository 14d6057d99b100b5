#include "transfer/vark_data_flow.h"

#include "device/vark_device.h"
#include "platform/little_endian.h"
#include "platform/text.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "transfer/g711.h"
#include "transfer/player_control.h"

#include <algorithm>

namespace vark
{

CVarkDataFlow::CVarkDataFlow(DateTimeFormatter date, DateTimeFormatter time)
    : date_(std::move(date)), time_(std::move(time))
{
}

// A flow that goes while it plays must not leave the record open on the recorder.
CVarkDataFlow::~CVarkDataFlow()
{
    Stop();
}

void CVarkDataFlow::SetRecord(CVarkDevice* device, uint16_t index)
{
    device_ = device;
    index_ = index;
}

int64_t CVarkDataFlow::Now() const
{
    return Controller() ? Controller()->Clock().NowMs() : 0;
}

bool CVarkDataFlow::Open()
{
    if (!device_ || !device_->GetRecordInfo(index_, info_)) return false;
    if (info_.dataSize > kMaxDataSize) info_.dataSize = kMaxDataSize;
    totalBytes_ = static_cast<int64_t>(info_.dataSize) * PcmPerRecordByte();
    bytesPerMs_ = 16 * (info_.rate16k ? 2 : 1) * (info_.stereo ? 2 : 1);
    totalMs_ = totalBytes_ / bytesPerMs_;
    Post(player_code::kDuration, static_cast<platform::LPARAM>(totalMs_));
    Post(player_code::kSize, static_cast<platform::LPARAM>(info_.dataSize >> 10));

    const std::string date = date_ ? platform::WideToUtf8(date_(info_.start)) : "";
    const std::string time = time_ ? platform::WideToUtf8(time_(info_.start)) : "";
    name_ = platform::Utf8ToWide(res::FormatString(
        res::ids::kRecordName, static_cast<int>(index_) + 1, date.c_str(), time.c_str()));
    Post(player_code::kName, reinterpret_cast<platform::LPARAM>(name_.c_str()));
    const std::string channels =
        res::LoadString(info_.stereo ? res::ids::kStereo : res::ids::kMono);
    const std::string coding = res::LoadString(info_.compressed ? res::ids::kMu : res::ids::kPcm);
    format_ = platform::Utf8ToWide(res::FormatString(
        res::ids::kSoundFormat, info_.rate16k ? 16000 : 8000, channels.c_str(), coding.c_str()));
    Post(player_code::kFormat, reinterpret_cast<platform::LPARAM>(format_.c_str()));

    fedBytes_ = 0;
    pausedAt_ = 0;
    failure_ = Failure::kNone;
    return true;
}

bool CVarkDataFlow::Seek()
{
    const auto at = static_cast<uint32_t>(fedBytes_ / PcmPerRecordByte());
    if (device_->SeekRecord(at, 0)) return true;
    SLOG_ERR("CVarkDataFlow: SeekRecord(%u) failed", at);
    return false;
}

bool CVarkDataFlow::RestartMonitoring()
{
    TrilCalls* player = Player();
    player->SetMonitoring(0);
    return player->SetMonitoring(1);
}

void CVarkDataFlow::Fail(Failure why)
{
    failure_ = why;
    PlayerControl* c = Controller();
    if (c && c->IsPlaying())
        c->Stop();
    else
        Stop();
}

bool CVarkDataFlow::Play()
{
    if (!device_ || !Player()) return false;
    if (!device_->OpenRecord(index_)) return false;
    failure_ = Failure::kNone;
    if (!Player()->SetMonitoring(1))
    {
        // A player that cannot take a stream would leave the record open for nothing.
        SLOG_ERR("CVarkDataFlow: the player refused monitoring");
        failure_ = Failure::kPlayer;
        device_->CloseRecord();
        return false;
    }
    if (!Seek())
    {
        failure_ = Failure::kRead;
        device_->CloseRecord();
        Player()->SetMonitoring(0);
        return false;
    }
    // Only a start that happened is announced: the controller takes the message as "playing".
    Post(player_code::kPlay, static_cast<platform::LPARAM>(pausedAt_));
    clockBase_ = Now() - pausedAt_;
    paused_ = false;
    playing_ = true;
    Feed();
    return playing_;
}

void CVarkDataFlow::Feed()
{
    if (!playing_ || paused_) return;
    const int64_t now = Now();
    const int64_t elapsed = now - clockBase_;
    const int64_t position = std::clamp<int64_t>(elapsed, 0, totalMs_);
    Post(player_code::kPosition, static_cast<platform::LPARAM>(position));
    int64_t limit = totalBytes_;
    if (loopLengthMs_ > 0)
    {
        if (position >= loopEndMs_)
        {
            fedBytes_ = Aligned(bytesPerMs_ * loopStartMs_);
            if (!RestartMonitoring()) return Fail(Failure::kPlayer);
            if (!Seek()) return Fail(Failure::kRead);
            clockBase_ = now - loopStartMs_;
        }
        limit = bytesPerMs_ * loopEndMs_;
    }
    else if (elapsed >= totalMs_ + kPlayOutMs)
    {
        // End of record, once what was fed has been heard.
        PlayerControl* c = Controller();
        if (c && c->IsPlaying())
            c->Stop();
        else
            Stop();
        return;
    }
    if (fedBytes_ < limit && position * bytesPerMs_ + kBlockBytes >= fedBytes_) FeedBlock();
}

bool CVarkDataFlow::FeedBlock()
{
    const int64_t from = fedBytes_ / PcmPerRecordByte(); // record bytes
    fedBytes_ += kBlockBytes;
    const uint32_t want = static_cast<uint32_t>(kBlockBytes / PcmPerRecordByte());
    // Page-format recorders deliver whole pages, padded past the end of the record: only
    // the record's own bytes are sound.
    const int64_t remaining = std::max<int64_t>(0, static_cast<int64_t>(info_.dataSize) - from);
    const auto expected = static_cast<uint32_t>(std::min<int64_t>(want, remaining));
    if (expected == 0) return true;
    record_.resize(want);
    const uint32_t got = device_->Read(record_.data(), want);
    if (got < expected)
    {
        SLOG_ERR("CVarkDataFlow: read %u of %u bytes at %lld", got, expected,
                 static_cast<long long>(from));
        Fail(Failure::kRead);
        return false;
    }

    const size_t channels = info_.stereo ? 2 : 1;
    const size_t samples = info_.compressed ? expected : expected / 2;
    const size_t frames = samples / channels; // a torn last frame is not sound
    pcm_.resize(frames * channels * 2);
    frames_.resize(frames * channels);
    for (size_t f = 0; f < frames; ++f)
        for (size_t c = 0; c < channels; ++c)
        {
            const size_t s = f * channels + c;
            const int16_t v = info_.compressed
                                  ? MuLawToLinear(record_[s])
                                  : static_cast<int16_t>(platform::LoadLE16(&record_[2 * s]));
            // Interleaved frames become one block per channel: all left, then all right.
            platform::StoreLE16(&pcm_[2 * (c * frames + f)], static_cast<uint16_t>(v));
            frames_[s] = v;
        }
    if (pcm_.empty()) return true;
    if (!Player()->SetSound(pcm_.data(), static_cast<int32_t>(pcm_.size()),
                            static_cast<int32_t>(channels), static_cast<int32_t>(info_.Rate())))
    {
        SLOG_ERR("CVarkDataFlow: the player refused %zu bytes", pcm_.size());
        Fail(Failure::kPlayer);
        return false;
    }
    if (soundFed)
        soundFed(from / static_cast<int64_t>(info_.BytesPerSample() * channels), frames_.data(),
                 frames);
    return true;
}

void CVarkDataFlow::Pause(bool on)
{
    if (!playing_) return;
    const int64_t now = Now();
    if (on)
    {
        Player()->SetMonitoring(0);
        pausedAt_ = std::clamp<int64_t>(now - clockBase_, 0, totalMs_);
        paused_ = true;
        return;
    }
    if (!Player()->SetMonitoring(1)) return Fail(Failure::kPlayer);
    fedBytes_ = Aligned(bytesPerMs_ * pausedAt_);
    if (!Seek()) return Fail(Failure::kRead);
    clockBase_ = now - pausedAt_;
    paused_ = false;
}

void CVarkDataFlow::SetPosition(int32_t ms)
{
    const int64_t at = std::clamp<int64_t>(ms, 0, totalMs_);
    pausedAt_ = at;
    fedBytes_ = Aligned(at * bytesPerMs_);
    Post(player_code::kPosition, static_cast<platform::LPARAM>(at));
    // paused, the resume starts from there; the player stays quiet until then
    if (!playing_ || paused_) return;
    if (!RestartMonitoring()) return Fail(Failure::kPlayer);
    if (!Seek()) return Fail(Failure::kRead);
    clockBase_ = Now() - at;
}

void CVarkDataFlow::SetRing(int32_t seconds)
{
    loopLengthMs_ = std::max<int64_t>(0, seconds) * 1000;
    if (loopLengthMs_ == 0)
    {
        loopStartMs_ = loopEndMs_ = 0;
        return;
    }
    loopEndMs_ =
        paused_ || !playing_ ? pausedAt_ : std::clamp<int64_t>(Now() - clockBase_, 0, totalMs_);
    loopStartMs_ = std::max<int64_t>(0, loopEndMs_ - loopLengthMs_);
    if (loopEndMs_ == loopStartMs_)
    {
        // Nothing played yet: an empty loop would restart the stream on every tick and
        // never be heard, so there is no loop.
        loopLengthMs_ = loopStartMs_ = loopEndMs_ = 0;
        return;
    }
    if (playing_) Feed();
}

void CVarkDataFlow::Stop()
{
    if (!playing_) return;
    playing_ = false;
    paused_ = false;
    device_->CloseRecord();
    if (TrilCalls* player = Player())
    {
        player->SetMonitoring(0);
        player->Play(0);
    }
    if (Controller()) Controller()->Clock().WaitMs(kStopWaitMs);
    Post(player_code::kPosition, 0);
    Post(player_code::kStop, 0);
    fedBytes_ = 0;
    loopLengthMs_ = loopStartMs_ = loopEndMs_ = 0;
    pausedAt_ = 0;
}

} // namespace vark
