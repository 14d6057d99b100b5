// The media reader's alert. The waveform output stand-in does not exist yet, so the tone
// goes to ALSA directly; this one function is what switches to that stand-in later.
#include "debug_output.h"

#include <alsa/asoundlib.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace ondakit
{

void Beep(int hz, int ms)
{
    const char* env = std::getenv("VARK_AUDIO");
    const std::string backend = env ? env : "";
    if (!backend.empty() && backend.rfind("alsa", 0) != 0) return; // null, capture: silent
    std::string device = "default";
    if (backend.rfind("alsa:", 0) == 0 && backend.size() > 5) device = backend.substr(5);
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, device.c_str(), SND_PCM_STREAM_PLAYBACK, 0) < 0) return;
    constexpr unsigned rate = 48000;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, rate, 1,
                           200000) == 0)
    {
        std::vector<int16_t> tone(rate * static_cast<unsigned>(ms) / 1000);
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * hz * i / rate));
        if (snd_pcm_writei(pcm, tone.data(), tone.size()) >= 0) snd_pcm_drain(pcm);
    }
    snd_pcm_close(pcm);
}

} // namespace ondakit
