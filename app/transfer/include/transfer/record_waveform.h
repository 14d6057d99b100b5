// The strip of a record that streams from the recorder, worked out from the sound the record
// flow hands the player, on the window's thread as it comes (a second of sound costs well
// under a millisecond). It is fed in order from the start: sound after a jump past what is
// known is not seen, and the strip stays unknown from there until playback gets back to it.
// A record heard to its end is kept in the cache, and one kept there is whole at once.
#pragma once

#include "device/record_info.h"
#include "numera/waveform_peaks.h"
#include "transfer/peaks_cache.h"
#include "transfer/waveform_worker.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vark
{

class RecordWaveform
{
public:
    // `cache`, when given, outlives this.
    RecordWaveform(const RecordInfo& info, int width, const PeaksCache* cache = nullptr,
                   int threshold = 800);

    // Interleaved frames from the record's frame `first` on.
    void Feed(int64_t first, const int16_t* frames, size_t count);
    WaveformSnapshot Snapshot() const;
    const std::string& Identity() const { return identity_; }

private:
    const PeaksCache* cache_;
    const std::string identity_;
    numera::PeakAnalyser analyser_;
    const int64_t frames_;
    int channels_;
    std::optional<numera::WaveformPeaks> kept_; // from the cache
    bool done_ = false;
};

} // namespace vark
