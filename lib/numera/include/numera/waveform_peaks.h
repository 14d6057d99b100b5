// The record as a picture: the smallest and largest sample of each column of a strip `width`
// columns wide (per channel), and the spans of speech, found by the speech search's own
// detector (numera/speech_detector.h) with its threshold.
//
// A segment starts where the detector finds a start of speech, or where the level of the half
// frames stands kStartAboveFloorDb over the background's for kStartSeconds: the detector
// learns its background from the first second and finds no start in speech that follows a
// pause of a breath, which a clean dictation is full of. It ends where the level has stayed
// near the background's for kSegmentHangSeconds (a pause between sentences). The level of
// the mono mix is smoothed over a tenth of a second; the background is the lowest level of
// the last second outside speech (digital silence left out), and in speech a floor that
// rises slowly from there and falls with the level, so a long utterance does not lift it to
// its own level. A half frame whose own level is that low counts as quiet too, so the end is
// found where the sound stops, not where the smoothed level has caught up. The detector is
// armed again after each start, keeping what it learnt of the background.
//
// Samples are fed as they come (a whole file, or a record while it streams in); Columns
// reports how many columns are whole so far, the rest is not known yet.
#pragma once

#include "numera/speech_detector.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace numera
{

// The computation's version: raised whenever the columns or the segments of the same sound
// would come out differently, so that peaks kept from an older one are worked out again.
inline constexpr uint32_t kPeaksVersion = 1;

struct SpeechSegment
{
    double start = 0, end = 0; // seconds from the first sample
};

struct WaveformPeaks
{
    int rate = 0, channels = 0, width = 0;
    int64_t frames = 0; // the length the columns are laid over
    // column c, channel ch at [c * channels + ch]
    std::vector<int16_t> min, max;
    std::vector<SpeechSegment> segments;
};

class PeakAnalyser
{
public:
    static constexpr double kSegmentHangSeconds = 0.25;
    static constexpr double kAboveFloorDb = 6;
    static constexpr double kStartAboveFloorDb = 15;
    static constexpr double kStartSeconds = 0.05;

    // `frames` is the length the strip stands for (a shorter stream leaves the last columns
    // unknown, a longer one goes into the last column). Threshold as the speech search's
    // (300..2000); segments are not looked for when `segments` is false or the rate is 4000 Hz
    // or below.
    PeakAnalyser(int rate, int channels, int64_t frames, int width, bool segments = true,
                 int threshold = 800);

    // Interleaved samples, `count` frames.
    void Feed(const int16_t* samples, size_t count);
    // The end of the stream: a segment still open ends there.
    void Finish();

    // Columns whose samples have all been seen.
    int Columns() const;
    int64_t FramesSeen() const { return seen_; }
    const WaveformPeaks& Result() const { return peaks_; }

private:
    void Detect(const int16_t* samples, size_t count);
    void AnalyseHop();

    WaveformPeaks peaks_;
    int64_t seen_ = 0;
    int column_ = 0;
    int64_t columnEnd_ = 0; // the first frame of the next column

    // speech
    bool segments_;
    SPEECH_DETECTOR detector_;
    std::vector<int16_t> hop_; // the mono mix of the half frame being gathered
    size_t hopFill_ = 0;
    int64_t hopStart_ = 0;
    bool inSegment_ = false, floorKnown_ = false, wasSilent_ = false;
    double level_ = 0, levelKeep_ = 0; // the smoothed level of the half frames, dB
    double floorDb_ = 0, riseDbPerHop_ = 0;
    int quietHops_ = 0, hangHops_ = 0, loudHops_ = 0, startHops_ = 0, floorHops_ = 0;
    int64_t background_ = 0;                        // half frames heard as the background
    std::deque<std::pair<int64_t, double>> recent_; // rising levels of the last second, by hop
    int64_t quietFrom_ = 0, loudFrom_ = 0;
};

} // namespace numera
