// Sound for the virtual recorder's records: a small WAV reader, conversion to the recorder's
// sample formats, espeak-ng speech when it is installed and a voice-like signal otherwise.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace recorder
{

struct PcmAudio
{
    unsigned rate = 0;
    unsigned channels = 0;
    std::vector<int16_t> samples; // interleaved
};

// Reads PCM (8, 16, 24, 32 bit), 32-bit float and extensible WAV files. On failure returns
// false with a message naming the file.
bool ReadWav(const std::string& path, PcmAudio* audio, std::string* error);
bool ParseWav(const std::vector<uint8_t>& bytes, PcmAudio* audio, std::string* why);

// Converts to 8000 or 16000 Hz, mono or interleaved stereo, 16-bit little-endian PCM or
// mu-law bytes: the data of a record as the recorder stores it.
std::vector<uint8_t> ToRecordData(const PcmAudio& audio, bool rate16k, bool stereo, bool mulaw);
// The same sound at another rate, each channel band-limited.
PcmAudio Resampled(const PcmAudio& audio, unsigned rate);

// Speech for `text` from espeak-ng with `voice`; false when espeak-ng is missing or fails.
bool SpeakWithEspeak(const std::string& text, const std::string& voice, PcmAudio* audio);
// A voice-like signal (voiced pulses through moving formants, syllables and pauses).
PcmAudio SyntheticVoice(double seconds, unsigned rate, unsigned seed);
// `text` spoken by espeak-ng, else a synthetic voice about as long as saying it would take
// (and *usedSpeech set to false).
PcmAudio Speech(const std::string& text, const std::string& voice, unsigned seed, bool* usedSpeech);

} // namespace recorder
