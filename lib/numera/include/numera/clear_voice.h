// The broadband noise suppressor: one state per channel of sound.
//
// Life of a state: init_clear_voice_struct (rate, channels) sets it up with its defaults; the
// caller may then change suppression_depth and option_flag; clear_voice_start allocates the
// working memory; clear_voice_process is called as often as sound arrives; clear_voice_finish
// releases it (and may hand out the sound still held). finish is safe on a state that was never
// started, so a rebuild can always begin with it.
//
// The suppressor is a short-time spectral gain: windows of about 64 ms (two `frame`s; 32 ms
// moved by 16 ms with the line option) under a square-root Hann window with half overlap, a
// noise-power tracker driven by the probability of speech presence, an a-priori SNR from the
// decision-directed estimate and a cepstrally smoothed one, and a Wiener gain, refined by a
// second step on this frame's own estimate while the noise is steady, floored at
// -suppression_depth dB. Noise is taken to be smooth over frequency, so steady narrow-band
// sound (tones, sustained harmonics) is kept.
#pragma once

#include <cstdint>
#include <memory>

namespace numera
{

struct ClearVoiceEngine; // the working memory, made by clear_voice_start

enum ClearVoiceResult
{
    CLEAR_VOICE_OK = 0,
    CLEAR_VOICE_BAD_ARGUMENT = -1, // null pointer where sound is due, rate or channels refused
    CLEAR_VOICE_NOT_STARTED = -2,  // process before start, or start before init
};

struct Broadband_noise
{
    Broadband_noise();
    ~Broadband_noise();
    Broadband_noise(const Broadband_noise&) = delete;
    Broadband_noise& operator=(const Broadband_noise&) = delete;

    // Set by the caller between init and start, read on every frame (the window length follows
    // option_flag as it stands at start).
    int suppression_depth = 20; // dB of the deepest cut, taken within 0..60
    int option_flag = 0; // 1: telephone line (250-3500 Hz kept, faster tracking); 0: microphone

    // Set by init_clear_voice_struct.
    int rate = 0;     // Hz, 1000..192000
    int channels = 0; // always 1: one state per channel
    int frame = 0;    // samples that complete one frame, and the samples one frame produces

    std::unique_ptr<ClearVoiceEngine> engine;
};

// Sets the state up for `rate` Hz and `channels` (which must be 1), with depth 20 dB and the
// microphone option; any earlier working memory is released.
int init_clear_voice_struct(Broadband_noise* state, int rate, int channels);

// Allocates the working memory. `primer` (may be null) holds primerCount samples of noise
// alone to start the noise estimate from; without it the first frames are taken as noise.
// `latency` (may be null) receives the delay of the output in samples: one frame, half of one
// with the line option (option_flag as it stands at start).
int clear_voice_start(Broadband_noise* state, const int16_t* primer, int primerCount, int* latency);

// Takes up to `count` samples from `input`, only as many as complete the frame being filled
// (*consumed tells how many). When a frame completes, writes its `frame` output samples to
// `output`, which must have room for them (*produced = frame); otherwise *produced = 0. Call
// again with the rest of the input until everything is consumed.
int clear_voice_process(Broadband_noise* state, const int16_t* input, int count, int* consumed,
                        int16_t* output, int* produced);

// Releases the working memory. With `output` not null, first writes the sound still held (the
// partly filled frame and the latency: at most 2 * frame samples) and sets *produced.
int clear_voice_finish(Broadband_noise* state, int16_t* output, int* produced);

} // namespace numera
