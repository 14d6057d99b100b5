#include "numera/waveform_peaks.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace numera
{

namespace
{
constexpr double kFloorRiseDbPerSecond = 1.0;
constexpr double kFloorSeconds = 1.0;
constexpr double kSilentDb = 12;       // an RMS of four: nothing but dither and fades
constexpr int kBackgroundHops = 6;     // what is heard before the background counts
constexpr double kUnknownFloorDb = 35; // a quiet room, about -55 dBFS
// The level in decibels is smoothed over about this long first: the level of single half
// frames of noise scatters by several decibels, and a floor following their lowest would sit
// under most of it. Smoothed in decibels, not in power, the level falls from speech to a
// silent background in a fifth of a second instead of over a second or two.
constexpr double kLevelSeconds = 0.1;

// The first frame after column `c`: columns split the length as evenly as whole frames allow.
int64_t ColumnEnd(int c, int64_t frames, int width)
{
    return ((static_cast<int64_t>(c) + 1) * frames + width - 1) / width;
}
} // namespace

PeakAnalyser::PeakAnalyser(int rate, int channels, int64_t frames, int width, bool segments,
                           int threshold)
{
    peaks_.rate = rate;
    peaks_.channels = std::max(1, channels);
    peaks_.width = std::max(1, width);
    peaks_.frames = std::max<int64_t>(1, frames);
    const size_t cells = static_cast<size_t>(peaks_.width) * peaks_.channels;
    peaks_.min.assign(cells, std::numeric_limits<int16_t>::max());
    peaks_.max.assign(cells, std::numeric_limits<int16_t>::min());
    columnEnd_ = ColumnEnd(0, peaks_.frames, peaks_.width);
    segments_ = segments && detector_.Reinit(rate);
    if (segments_)
    {
        detector_.SetThreshold(threshold);
        const size_t hop = static_cast<size_t>(detector_.FrameSize() / 2);
        hop_.resize(hop);
        riseDbPerHop_ = kFloorRiseDbPerSecond * double(hop) / rate;
        levelKeep_ = std::exp(-double(hop) / rate / kLevelSeconds);
        hangHops_ = std::max(1, int(std::ceil(kSegmentHangSeconds * rate / double(hop))));
        startHops_ = std::max(1, int(std::ceil(kStartSeconds * rate / double(hop))));
        floorHops_ = std::max(1, int(std::ceil(kFloorSeconds * rate / double(hop))));
    }
}

void PeakAnalyser::Feed(const int16_t* samples, size_t count)
{
    if (segments_) Detect(samples, count);
    const int ch = peaks_.channels;
    while (count > 0)
    {
        const bool last = column_ >= peaks_.width - 1;
        const size_t n =
            last ? count
                 : static_cast<size_t>(std::min<int64_t>(int64_t(count), columnEnd_ - seen_));
        int16_t* lo = &peaks_.min[static_cast<size_t>(column_) * ch];
        int16_t* hi = &peaks_.max[static_cast<size_t>(column_) * ch];
        for (int c = 0; c < ch; ++c)
        {
            int16_t a = lo[c], b = hi[c];
            const int16_t* s = samples + c;
            for (size_t i = 0; i < n; ++i, s += ch)
            {
                a = std::min(a, *s);
                b = std::max(b, *s);
            }
            lo[c] = a;
            hi[c] = b;
        }
        seen_ += static_cast<int64_t>(n);
        samples += n * static_cast<size_t>(ch);
        count -= n;
        // a column no frame falls in (a strip wider than the record) is drawn as silence
        while (!last && seen_ >= columnEnd_ && column_ < peaks_.width - 1)
        {
            ++column_;
            columnEnd_ = ColumnEnd(column_, peaks_.frames, peaks_.width);
            if (columnEnd_ <= seen_)
                for (int c = 0; c < ch; ++c)
                {
                    peaks_.min[static_cast<size_t>(column_) * ch + c] = 0;
                    peaks_.max[static_cast<size_t>(column_) * ch + c] = 0;
                }
        }
    }
}

int PeakAnalyser::Columns() const
{
    return seen_ >= peaks_.frames ? peaks_.width : column_;
}

void PeakAnalyser::Detect(const int16_t* samples, size_t count)
{
    const int ch = peaks_.channels;
    for (size_t i = 0; i < count; ++i)
    {
        int sum = 0;
        for (int c = 0; c < ch; ++c)
            sum += samples[i * static_cast<size_t>(ch) + c];
        hop_[hopFill_++] = static_cast<int16_t>(sum / ch);
        if (hopFill_ == hop_.size())
        {
            AnalyseHop();
            hopFill_ = 0;
        }
    }
}

void PeakAnalyser::AnalyseHop()
{
    // half frames fed whole keep the detector's sample count in step with ours
    const bool found = detector_.Feed(hop_.data(), hop_.size());
    double power = 0;
    for (const int16_t s : hop_)
        power += double(s) * s;
    const double hopDb = 10 * std::log10(power / double(hop_.size()) + 1);
    const bool silent = hopDb < kSilentDb;
    // out of digital silence the level starts afresh, not from the silence's
    level_ = floorKnown_ && !wasSilent_ ? levelKeep_ * level_ + (1 - levelKeep_) * hopDb : hopDb;
    floorKnown_ = true;
    wasSilent_ = silent;
    const double db = level_;
    const double rate = peaks_.rate;
    // a level well over the background's, held: the start of its first half frame (before any
    // background was heard, over an assumed quiet room's)
    const bool loudHop =
        hopDb > (background_ < kBackgroundHops ? std::max(kUnknownFloorDb, floorDb_) : floorDb_) +
                    kStartAboveFloorDb;
    if (loudHop)
    {
        if (loudHops_++ == 0) loudFrom_ = hopStart_;
    }
    else
        loudHops_ = 0;
    // The background is the lowest level of the last second of what was neither speech, nor
    // loud, nor digital silence (an encoder's lead-in, a synthesiser's pauses: a room's noise
    // after it would look like speech starting). Outside speech the floor is that, so it follows
    // the background up too; in speech it rises slowly and falls at once.
    const int64_t hop = hopStart_ / int64_t(hop_.size());
    if (!silent && !loudHop && !inSegment_)
    {
        ++background_;
        while (!recent_.empty() && recent_.back().second >= db)
            recent_.pop_back();
        recent_.emplace_back(hop, db);
    }
    while (!recent_.empty() && recent_.front().first <= hop - floorHops_)
        recent_.pop_front();
    if (!inSegment_)
    {
        if (!recent_.empty())
            floorDb_ = recent_.front().second;
        else if (background_ == 0)
            floorDb_ = kSilentDb;
    }
    else
        floorDb_ = std::min(floorDb_ + riseDbPerHop_, std::max(db, kSilentDb));
    const bool loud = loudHops_ >= startHops_;
    if ((found || loud) && !inSegment_)
    {
        inSegment_ = true;
        quietHops_ = 0;
        const int64_t at =
            found ? std::min(detector_.FoundAt(), loud ? loudFrom_ : hopStart_) : loudFrom_;
        peaks_.segments.push_back({double(at) / rate, 0});
    }
    if (found) detector_.Rearm();
    if (inSegment_)
    {
        if (std::min(db, hopDb) < floorDb_ + kAboveFloorDb)
        {
            if (quietHops_++ == 0) quietFrom_ = hopStart_;
            if (quietHops_ >= hangHops_)
            {
                peaks_.segments.back().end = double(quietFrom_) / rate;
                inSegment_ = false;
            }
        }
        else
            quietHops_ = 0;
    }
    hopStart_ += static_cast<int64_t>(hop_.size());
}

void PeakAnalyser::Finish()
{
    if (!inSegment_) return;
    peaks_.segments.back().end = double(quietHops_ > 0 ? quietFrom_ : seen_) / peaks_.rate;
    inSegment_ = false;
}

} // namespace numera
