#include "movra/datasrc_monitoring.h"

#include "faltor/journal.h"
#include "movra/a_output_drv.h"

#include <algorithm>

DATASRC_MONITORING::DATASRC_MONITORING(const RNUMBER64& readBlock)
    : readBlock_(readBlock), positionTimer_(kPositionPeriodMs)
{
}

DATASRC_MONITORING::~DATASRC_MONITORING() = default;

void DATASRC_MONITORING::Empty()
{
    pending_.clear();
    pendingRate_ = 0;
    ready_.clear();
    current_.reset();
    currentOffset_ = 0;
}

bool DATASRC_MONITORING::Open()
{
    if (open_) return false;
    Empty();
    open_ = true;
    return true;
}

bool DATASRC_MONITORING::Close()
{
    if (!open_) return true;
    Empty();
    open_ = false;
    return true;
}

int64_t DATASRC_MONITORING::BlockFrames(long rate) const
{
    const int64_t frames = readBlock_.Num() * rate / readBlock_.Den();
    return std::max<int64_t>(frames, 1);
}

RNUMBER64 DATASRC_MONITORING::Backlog() const
{
    RNUMBER64 total;
    if (pendingRate_ > 0 && !pending_.empty())
        total += RNUMBER64(static_cast<int64_t>(pending_[0].size()), pendingRate_);
    for (const auto& block : ready_)
        total += block->length;
    if (current_ && current_->rate > 0)
        total +=
            RNUMBER64(static_cast<int64_t>(current_->Frames() - currentOffset_), current_->rate);
    return total;
}

void DATASRC_MONITORING::CutBlocks(bool all)
{
    if (pending_.empty() || pendingRate_ <= 0) return;
    const size_t per = static_cast<size_t>(BlockFrames(pendingRate_));
    const size_t channels = pending_.size();
    size_t done = 0;
    const size_t have = pending_[0].size();
    while (have - done >= per || (all && have > done))
    {
        const size_t n = std::min(per, have - done);
        auto block = std::make_unique<SMSG>();
        block->Assign(pendingRate_, static_cast<unsigned long>(channels), n);
        for (size_t c = 0; c < channels; ++c)
            std::copy_n(pending_[c].begin() + static_cast<std::ptrdiff_t>(done), n,
                        block->Channel(static_cast<unsigned long>(c)));
        ready_.push_back(std::move(block));
        done += n;
    }
    for (auto& run : pending_)
        run.erase(run.begin(), run.begin() + static_cast<std::ptrdiff_t>(done));
}

bool DATASRC_MONITORING::Put(const SMSG& msg)
{
    if (!open_)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "LOGICAL_ERROR");
        return false;
    }
    const size_t frames = msg.Frames();
    if (msg.IsEmpty() || frames == 0 || msg.rate <= 0) return true;
    const RNUMBER64 backlog = Backlog();
    const RNUMBER64 limit = RNUMBER64::FromMs(kMaxBacklogMs);
    if (backlog >= limit)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "OVERFLOW %lli", static_cast<long long>(backlog.ToMs()));
        return true;
    }
    // Only what fits under the limit is kept, so one huge put cannot grow the backlog
    // without bound either.
    const RNUMBER64 room = limit - backlog;
    const int64_t roomFrames = room.Num() * msg.rate / room.Den();
    size_t keep = frames;
    if (static_cast<int64_t>(frames) > roomFrames)
    {
        keep = static_cast<size_t>(roomFrames);
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "OVERFLOW %lli", static_cast<long long>(backlog.ToMs()));
    }
    if (pendingRate_ != msg.rate || pending_.size() != msg.channels)
    {
        // Sound of the old format goes out as it is before the new format starts.
        CutBlocks(true);
        pending_.assign(msg.channels, {});
        pendingRate_ = msg.rate;
    }
    for (unsigned long c = 0; c < msg.channels; ++c)
        pending_[c].insert(pending_[c].end(), msg.Channel(c), msg.Channel(c) + keep);
    CutBlocks(false);
    return true;
}

void DATASRC_MONITORING::MeasureDevice()
{
    if (!card_ || positionDead_) return;
    if (positionKnown_ && positionTimer_.PeekTimeMs() < kPositionPeriodMs) return;
    positionTimer_.Restart();
    DEVICE_POSITION position{-1, -1};
    if (!card_->GetDevicePosition(&position) || position.samples < 0)
    {
        positionDead_ = true;
        return;
    }
    if (positionKnown_ && position.samples >= lastPosition_)
        devicePlayed_ += position.samples - lastPosition_;
    lastPosition_ = position.samples;
    positionKnown_ = true;
}

bool DATASRC_MONITORING::Read(SMSG& msg, const RNUMBER64& wanted)
{
    if (!open_)
    {
        JOURNAL_LOG(JOURNAL::LEVEL_ERROR, "LOGICAL_ERROR");
        return false;
    }
    MeasureDevice();
    msg.Clear();
    // Sound short of a whole block is handed out once nothing else waits: the host may have
    // sent the last of its stream, and holding it back would lose the stream's end.
    if (!current_ && ready_.empty()) CutBlocks(true);
    if (!current_ && !ready_.empty())
    {
        current_ = std::move(ready_.front());
        ready_.pop_front();
        currentOffset_ = 0;
    }
    if (!current_) return true;

    const long rate = current_->rate;
    const unsigned long channels = current_->channels;
    const int64_t want = std::max<int64_t>(wanted.Num() * rate / wanted.Den(), 1);
    // Gather frames of one format from the current block and those after it.
    std::vector<std::vector<int16_t>> runs(channels);
    int64_t got = 0;
    while (current_ && got < want && current_->rate == rate && current_->channels == channels)
    {
        const size_t left = current_->Frames() - currentOffset_;
        const size_t n =
            static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(left), want - got));
        for (unsigned long c = 0; c < channels; ++c)
        {
            const int16_t* from = current_->Channel(c) + currentOffset_;
            runs[c].insert(runs[c].end(), from, from + n);
        }
        got += static_cast<int64_t>(n);
        currentOffset_ += n;
        if (currentOffset_ >= current_->Frames())
        {
            current_.reset();
            currentOffset_ = 0;
            if (!ready_.empty())
            {
                current_ = std::move(ready_.front());
                ready_.pop_front();
            }
        }
    }
    msg.Assign(rate, channels, static_cast<size_t>(got));
    for (unsigned long c = 0; c < channels; ++c)
        std::copy(runs[c].begin(), runs[c].end(), msg.Channel(c));
    return true;
}

void DATASRC_MONITORING::Attach(A_OUTPUT_DRV* card)
{
    card_ = card;
    positionKnown_ = false;
    positionDead_ = false;
    lastPosition_ = 0;
    devicePlayed_ = 0;
}

void DATASRC_MONITORING::Detach()
{
    card_ = nullptr;
}

void DATASRC_MONITORING::SetRate(long rate)
{
    rate_ = rate;
    sampleMs_ = rate > 0 ? 1000.0 / rate : 0.0;
}
