// Where the device's played frames go. Paced sinks are timed by the device's clock; an ALSA
// sink is timed by the sound card (its Play blocks while the card's buffer is full).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform::waveout
{

class Sink
{
public:
    virtual ~Sink() = default;
    virtual bool Paced() const = 0;
    // Plays `frames` interleaved stereo frames; false (reason in `error`) on a device error.
    virtual bool Play(const int16_t* samples, size_t frames, std::string* error) = 0;
    // Frames handed to Play but not yet heard.
    virtual uint64_t Delay() { return 0; }
    // Drops what is waiting in the card.
    virtual void Drop() {}
    virtual std::string Name() const = 0;
};

std::unique_ptr<Sink> OpenNullSink();
std::unique_ptr<Sink> OpenCaptureSink(const std::string& path, uint32_t rate, std::string* error);
std::unique_ptr<Sink> OpenAlsaSink(const std::string& pcm, uint32_t rate, std::string* error);

struct AlsaDevice
{
    std::string pcm;
    std::string description;
};
std::vector<AlsaDevice> AlsaPlaybackDevices();

} // namespace platform::waveout
