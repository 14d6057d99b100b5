// Down-mix of any stream to one channel: each output sample is the sum of the frame's
// channels (not their mean), clamped to -32767 .. 32767.
#pragma once

#include "ondakit/input_sound_file_stream.h"

class MonoReader
{
public:
    // Does not own `stream`.
    explicit MonoReader(InputSoundFileStream* stream);
    // Frames of one channel into `buffer`.
    int ReadData(short* buffer, int frames);

private:
    InputSoundFileStream* stream_;
};
