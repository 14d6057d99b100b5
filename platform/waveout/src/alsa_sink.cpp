// The ALSA back end: blocking interleaved writes to a playback PCM, with a buffer of about
// 100 ms so that a block counts as played shortly before it is heard.
#include "sink.h"

#include <algorithm>
#include <alsa/asoundlib.h>

#include <cstdlib>
#include <cstring>

namespace platform::waveout
{
namespace
{

// ALSA prints its own complaints to stderr; ours go to the log instead.
void QuietAlsa(const char*, int, const char*, int, const char*, ...) {}

void SilenceAlsa()
{
    static const bool done = []
    {
        snd_lib_error_set_handler(QuietAlsa);
        return true;
    }();
    (void)done;
}

class AlsaSink final : public Sink
{
public:
    AlsaSink(snd_pcm_t* pcm, std::string name) : pcm_(pcm), name_(std::move(name)) {}
    ~AlsaSink() override
    {
        snd_pcm_drop(pcm_);
        snd_pcm_close(pcm_);
    }

    bool Paced() const override { return false; }

    bool Play(const int16_t* samples, size_t frames, std::string* error) override
    {
        while (frames > 0)
        {
            snd_pcm_sframes_t n = snd_pcm_writei(pcm_, samples, frames);
            if (n < 0) n = snd_pcm_recover(pcm_, static_cast<int>(n), 1);
            if (n < 0)
            {
                if (error) *error = "alsa " + name_ + ": " + snd_strerror(static_cast<int>(n));
                return false;
            }
            samples += 2 * n;
            frames -= static_cast<size_t>(n);
        }
        return true;
    }

    uint64_t Delay() override
    {
        snd_pcm_sframes_t delay = 0;
        if (snd_pcm_delay(pcm_, &delay) < 0 || delay < 0) return 0;
        return static_cast<uint64_t>(delay);
    }

    void Drop() override
    {
        snd_pcm_drop(pcm_);
        snd_pcm_prepare(pcm_);
    }

    std::string Name() const override { return "alsa:" + name_; }

private:
    snd_pcm_t* pcm_;
    std::string name_;
};

} // namespace

std::unique_ptr<Sink> OpenAlsaSink(const std::string& name, uint32_t rate, std::string* error)
{
    SilenceAlsa();
    snd_pcm_t* pcm = nullptr;
    int rc = snd_pcm_open(&pcm, name.c_str(), SND_PCM_STREAM_PLAYBACK, 0);
    if (rc == 0)
    {
        rc = snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 2, rate,
                                1, 100000);
        if (rc != 0) snd_pcm_close(pcm);
    }
    if (rc != 0)
    {
        if (error) *error = "alsa " + name + ": " + snd_strerror(rc);
        return nullptr;
    }
    return std::make_unique<AlsaSink>(pcm, name);
}

std::vector<AlsaDevice> AlsaPlaybackDevices()
{
    SilenceAlsa();
    std::vector<AlsaDevice> devices;
    void** hints = nullptr;
    if (snd_device_name_hint(-1, "pcm", &hints) != 0) return devices;
    for (void** hint = hints; *hint; ++hint)
    {
        char* name = snd_device_name_get_hint(*hint, "NAME");
        char* desc = snd_device_name_get_hint(*hint, "DESC");
        char* ioid = snd_device_name_get_hint(*hint, "IOID");
        // No IOID means both directions; "null" is ALSA's own discard device.
        if (name && (!ioid || std::strcmp(ioid, "Output") == 0) && std::strcmp(name, "null") != 0)
        {
            std::string text = desc ? desc : name;
            const auto eol = text.find('\n');
            devices.push_back({name, eol == std::string::npos ? text : text.substr(0, eol)});
        }
        std::free(name);
        std::free(desc);
        std::free(ioid);
    }
    snd_device_name_free_hint(hints);
    // the default first, where a user looks for it
    std::stable_partition(devices.begin(), devices.end(),
                          [](const AlsaDevice& d) { return d.pcm == "default"; });
    return devices;
}

} // namespace platform::waveout
