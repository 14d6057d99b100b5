// Test sound made at run time: speech (espeak-ng when installed, else a synthetic voice),
// white, pink, babble-like and band-limited noise, and mixtures at a chosen SNR.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace material
{

// About eight seconds of speech at 8000 or 16000 Hz (several sentences with pauses).
// `usedSpeech` tells whether espeak-ng made it; `variant` picks sentences and voice.
std::vector<int16_t> Speech(int rate, unsigned variant = 0, bool* usedSpeech = nullptr);

std::vector<double> WhiteNoise(size_t n, unsigned seed);
// -3 dB per octave (sum of octave-spaced random generators, smoothed).
std::vector<double> PinkNoise(size_t n, unsigned seed);
// Six talkers at once, as in a crowded room.
std::vector<double> BabbleNoise(int rate, size_t n, unsigned seed);
// Keeps lowHz..highHz (FFT mask in blocks with overlap; enough for test noise).
std::vector<double> BandLimit(const std::vector<double>& x, int rate, double lowHz, double highHz);

// clean + noise scaled to `snrDb` (power of the whole clean signal to the noise's), clipped
// to 16 bits. `noiseOut` receives the scaled noise as added.
std::vector<int16_t> MixAtSnr(const std::vector<int16_t>& clean, const std::vector<double>& noise,
                              double snrDb, std::vector<double>* noiseOut = nullptr);

// `x` scaled to an RMS of `rms`, rounded and clipped to 16 bits.
std::vector<int16_t> ScaledToRms(const std::vector<double>& x, double rms);

// Pitch of a voiced stretch (the middle quarter second after the first quarter of `x`): the
// shortest lag between rate/400 and rate/60 whose normalised autocorrelation is a local peak
// within 10 % of the highest (the highest alone may be a multiple of the period). 0 if none.
double PitchHz(const std::vector<int16_t>& x, int rate);

double Power(const std::vector<int16_t>& x, size_t from = 0, size_t to = SIZE_MAX);

// A sine of `hz` and peak `amplitude`.
std::vector<int16_t> Tone(int rate, double hz, double amplitude, size_t n);

} // namespace material
