// Ondakit: a sound file as a stream of interleaved signed 16-bit PCM frames. Callers open
// every file through InputSoundFileStream::Open and then use only the virtual interface.
#pragma once

#include "platform/wave_format.h"

enum OpenModes
{
    OpenRiffOnly = 1,      // the RIFF reader only
    OpenMediaOnly = 2,     // the media reader only
    OpenRiffThenMedia = 3, // the RIFF reader first, then the media reader
};

class InputSoundFileStream
{
public:
    virtual ~InputSoundFileStream();
    // Frames delivered into `buffer` (interleaved, frames x channels samples).
    virtual int ReadData(short* buffer, int frames) = 0;
    virtual int GetChannelCount() const = 0;
    virtual int GetSampleRate() const = 0;
    // Length in frames.
    virtual int GetSampleCount() const = 0;
    virtual bool IsSeekSupported();
    // The position reached in seconds, -1 on failure.
    virtual double Seek(double seconds) = 0;
    // true only for the media reader.
    virtual bool UsesDX() = 0;
    // The base gives state -1 and text "?" and returns -1.
    virtual int GetErrorState(int* state, char* text, int size);

    // A new stream owned by the caller, or null. Nothing raised by a reader escapes.
    static InputSoundFileStream* Open(const wchar_t* path, OpenModes mode);
    // Mode 3 first reads the strategy from "libondakit.ini" beside the library, section
    // "SETTINGS", key "ODK_OpenStrategy" (default "ACM_DX"): "DX_only" uses the media reader
    // only, "ACM_only" the RIFF reader only (both compared without regard to case).
    static InputSoundFileStream* Open(const char* path, OpenModes mode);
    static InputSoundFileStream* Open(const char* path);
    // From the WAVE header when it can be read, else by asking a media reader; -1 if both
    // fail.
    static int GetWavFileChannelCount(const wchar_t* path);
};
