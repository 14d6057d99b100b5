// Building recorder images: the demo image and records imported from WAV files.
#pragma once

#include "recorder/audio.h"
#include "recorder/image.h"

#include <string>

namespace recorder
{

// About eight records: 8 and 16 kHz, mono and stereo, mu-law and PCM, the marks T, L and A,
// several source sets, and a run of "A" fragments a few seconds apart. Speech comes from
// espeak-ng when it is installed (`usedSpeech` tells), else from a synthetic voice.
RecorderImage MakeDemoImage(bool* usedSpeech = nullptr);

struct ImportOptions
{
    bool haveStart = false;
    uint32_t start = 0; // recorder time; default: the recorder's clock now
    bool rate16k = false;
    bool haveRate = false; // default: 16000 Hz for files at 16000 Hz or more
    bool stereo = false;
    bool mulaw = false;
    uint32_t marks = 0;                 // header mark bits
    uint32_t sources = kSourceInternal; // 5-bit source set
};

// "T,L,A" -> header mark bits; "int,ext-left,ext-right,line-left,line-right" or a number
// (0..31) -> source set. false for anything else.
bool ParseMarks(const std::string& text, uint32_t* bits);
bool ParseSources(const std::string& text, uint32_t* set);

// The record `audio` becomes under `options`.
StoredRecord MakeRecord(const PcmAudio& audio, const ImportOptions& options,
                        const RecorderImage& image);

} // namespace recorder
