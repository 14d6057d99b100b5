// Stand-in for the waveform output device: 16-bit stereo PCM at one rate, played block by
// block. Submitted blocks come back through the completion callback ("block played") on a
// thread of the device, in the order they were submitted; a reset hands every submitted block
// back at once. The back end comes from VARK_AUDIO:
//   alsa[:<pcm>]        (default) an ALSA playback device, "default" unless named;
//   null                discards the sound, paced by a clock at the true rate;
//   capture:<file.wav>  paced like null, appends every played frame to a WAV file whose
//                       header is kept up to date as it grows (the tests' ears).
// VARK_AUDIO_SPEED=N runs the paced back ends N times faster than real time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::waveout
{

// Header flags, as the device reports them.
constexpr uint32_t kHeaderPrepared = 0x2;
constexpr uint32_t kHeaderInQueue = 0x10;
constexpr uint32_t kHeaderDone = 0x1;

// One block of interleaved stereo 16-bit samples. The caller owns it and its data; between
// Write and its callback the device reads it and the caller must leave it alone.
struct WaveHeader
{
    uint8_t* data = nullptr;
    uint32_t bufferLength = 0; // bytes, a multiple of 4 (whole frames)
    uint32_t flags = 0;
    uintptr_t user = 0; // free for the caller
};

// An output device as a user chooses it: `name` identifies it (the ALSA PCM name; several
// PCMs of one card share a description), `description` is what to show.
struct OutputDevice
{
    std::string name;
    std::string description;
};

// The output devices in device-number order: the ALSA playback devices, the default first
// (only for the alsa back end), then the null output (or the capture file).
std::vector<OutputDevice> OutputDevices();
// The descriptions of the same, in the same order.
std::vector<std::string> DeviceNames();
// The device number of the output named `name`, for Open; -1 (the back end's default) when
// the name is empty or names no output now.
int DeviceNumber(const std::string& name);
// The outputs' names, comma-separated, for a message that asks for one of them.
std::string DeviceNameList();

class WaveOut
{
public:
    using DoneCallback = std::function<void(WaveHeader*)>;

    // Opens device `device` (−1: the back end's default) at `rate` Hz. With the alsa back end
    // the default falls back to the null back end, with a log line, when ALSA cannot be
    // opened. null with the reason in `error` when the device does not exist or refuses.
    static std::unique_ptr<WaveOut> Open(int device, uint32_t rate, DoneCallback done,
                                         std::string* error = nullptr);
    // Closing resets first, so every block still submitted comes back before it returns.
    ~WaveOut();
    WaveOut(const WaveOut&) = delete;
    WaveOut& operator=(const WaveOut&) = delete;

    static bool Prepare(WaveHeader* header);
    // false while the block is still queued on the device.
    static bool Unprepare(WaveHeader* header);

    // Queues a prepared block; false when it is not prepared, already queued or malformed.
    bool Write(WaveHeader* header);
    // Stops playing and returns every submitted block through the callback before it
    // returns; the position starts again at 0. Never call it from the callback.
    void Reset();
    // Frames played since open or the last reset.
    uint64_t Position() const;
    // Levels 0..65535 of the left and right channel (65535: unchanged sound).
    void SetVolume(uint16_t left, uint16_t right);
    void GetVolume(uint16_t* left, uint16_t* right) const;

    uint32_t Rate() const;
    // Empty while the device plays; the first device error once it has failed (its blocks
    // then keep coming back unplayed).
    std::string DeviceError() const;
    // "alsa:<pcm>", "null" or "capture:<file>": what was actually opened.
    std::string BackEnd() const;

    class Impl;

private:
    explicit WaveOut(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace platform::waveout
