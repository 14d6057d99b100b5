// Stand-in for the multimedia streaming reader: opens any file libavformat can demux and
// hands its primary audio out as 16-bit PCM at the file's own rate and channel count,
// through updates that fill a bound buffer, with the duration in 100-ns units and seeking.
#pragma once

#include "platform/event.h"
#include "platform/wave_format.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform::mediastream
{

// The stream time unit: 100 ns.
inline constexpr int64_t kUnitsPerSecond = 10000000;

enum class OpenError
{
    none,
    noAudioStream, // the file has no stream that decodes to sound
    cannotOpen,    // missing, unreadable, or not a format the demuxers know
};

enum class UpdateStatus
{
    ok,
    endOfStream,
    aborted,
    invalidArgument, // no buffer bound
    busy,
    failed,
};

class AudioStream
{
public:
    // `path` is UTF-8. null with the reason in `error` when the file cannot be rendered.
    static std::unique_ptr<AudioStream> Open(const std::string& path, OpenError* error = nullptr);
    ~AudioStream();
    AudioStream(const AudioStream&) = delete;
    AudioStream& operator=(const AudioStream&) = delete;

    // 0 when the container does not know it.
    int64_t Duration() const;
    bool SupportsSeek() const;
    // 16-bit PCM at the file's rate and channel count.
    const WAVEFORMATEX& Format() const;
    // What the file holds, e.g. "mp3, 44100 Hz, 2 channels".
    std::string Description() const;

    // Binds the buffer the following updates fill; its size is used in whole frames.
    // false for a null buffer or one smaller than a frame.
    bool SetBuffer(uint8_t* buffer, size_t size);
    // Fills the bound buffer with as many whole frames as it holds or the stream has left,
    // then sets `completed` (the update completes before this returns). endOfStream when
    // nothing was left.
    UpdateStatus Update(Event* completed);
    // Bytes the last update delivered.
    size_t ActualLength() const;
    // Moves to `time` (100-ns units); the next update starts there, to the sample where the
    // container gives time stamps.
    bool Seek(int64_t time);

private:
    struct Impl;
    explicit AudioStream(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace platform::mediastream
