// The waveform strip of a sound file, worked out off the UI thread while the file plays: its
// own thread decodes the file through the media reader and feeds numera's PeakAnalyser, and
// the window takes a snapshot of what is known now (the columns read so far, the rest not
// yet). A file whose stated length was off is read once more over the length it had.
// Cancelled and joined when it goes. With a cache, a file whose strip is kept there is not
// read at all, and a strip read whole is kept for the next time.
#pragma once

#include "numera/waveform_peaks.h"
#include "transfer/peaks_cache.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

namespace vark
{

struct WaveformSnapshot
{
    numera::WaveformPeaks peaks;
    int columns = 0;   // known columns, from the left
    bool done = false; // the whole file was read (or could not be)
};

class WaveformWorker
{
public:
    // `path` is UTF-8; `width` the strip's columns. `cache`, when given, outlives the worker.
    WaveformWorker(std::string path, int width, const PeaksCache* cache = nullptr,
                   int threshold = 800);
    ~WaveformWorker();
    WaveformWorker(const WaveformWorker&) = delete;
    WaveformWorker& operator=(const WaveformWorker&) = delete;

    const std::string& Path() const { return path_; }
    WaveformSnapshot Snapshot() const;

private:
    void Run();
    // One pass over the file laid over `frames` (0: the length the file states); the frames
    // read, or -1 when the file cannot be read.
    int64_t Pass(int64_t frames);

    const std::string path_;
    const int width_, threshold_;
    const PeaksCache* const cache_;
    std::atomic<bool> cancel_{false};
    mutable std::mutex mutex_;
    WaveformSnapshot snapshot_;
    std::thread thread_; // last: started when the rest is ready
};

} // namespace vark
