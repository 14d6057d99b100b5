// The strips of records already seen, so that a second play shows the whole strip at once.
// One small file per record and strip width in $XDG_CACHE_HOME/Mirvanta/Varke-P/peaks/, named
// by a hash of the record's identity and the width. The file repeats the identity and carries
// numera's kPeaksVersion: a better computation, another record under the same hash or a
// damaged file all read as not kept, and the strip is worked out again. Files are written
// whole (finished files); past kMaxEntries the least recently written go.
#pragma once

#include "device/record_info.h"
#include "numera/waveform_peaks.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace vark
{

// $XDG_CACHE_HOME/Mirvanta/Varke-P/peaks; empty when there is no home.
std::filesystem::path PeaksCacheFolder();

// A record on a cable recorder: its serial number, start, length and coding.
std::string RecordPeaksIdentity(const RecordInfo& info);
// A sound file (a drive recorder's record, a file from disk): its real path, size and
// modification time; empty when the file cannot be looked at.
std::string FilePeaksIdentity(const std::string& path);

// The cache file's bytes, and back; nullopt when `bytes` is not the strip of `identity` at
// `width` from this computation.
std::string EncodePeaks(std::string_view identity, const numera::WaveformPeaks& peaks);
std::optional<numera::WaveformPeaks> DecodePeaks(std::string_view bytes, std::string_view identity,
                                                 int width);

class PeaksCache
{
public:
    static constexpr size_t kMaxEntries = 2000;

    // An empty folder keeps nothing.
    explicit PeaksCache(std::filesystem::path folder = PeaksCacheFolder());

    std::optional<numera::WaveformPeaks> Load(const std::string& identity, int width) const;
    // False when it could not be written; the strip is then worked out again next time.
    bool Store(const std::string& identity, const numera::WaveformPeaks& peaks) const;

    std::filesystem::path FileOf(const std::string& identity, int width) const;

private:
    void Prune() const;

    std::filesystem::path folder_;
};

} // namespace vark
