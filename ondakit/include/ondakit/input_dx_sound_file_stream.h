// The media reader: any file the media streaming stand-in can render, read as 16-bit PCM.
// It never raises; failures are recorded as an error code (GetErrorState) and answered
// with 0 frames or -1.
#pragma once

#include "ondakit/input_sound_file_stream.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform
{
class Event;
}
namespace platform::mediastream
{
class AudioStream;
}

class InputDXSoundFileStream : public InputSoundFileStream
{
public:
    enum State
    {
        StateNew = 0,
        StateOpen = 1,
        StateClosed = 2,
        StateFailed = 3,
    };
    static constexpr int kMaxPath = 2048;
    static constexpr int kInternalBufferBytes = 0x4000;

    ~InputDXSoundFileStream() override;
    int ReadData(short* buffer, int frames) override;
    int GetChannelCount() const override;
    int GetSampleRate() const override;
    int GetSampleCount() const override;
    bool IsSeekSupported() override;
    double Seek(double seconds) override;
    bool UsesDX() override;
    int GetErrorState(int* state, char* text, int size) override;

    // null for a path of 2048 characters or more, a missing file (narrow form) or any
    // error while opening.
    static InputDXSoundFileStream* Open(const wchar_t* path);
    static InputDXSoundFileStream* Open(const char* path);
    static const char* ErrorText(int code);

private:
    InputDXSoundFileStream() = default;
    void Create(const std::string& narrow, const std::wstring& wide);
    void RecordError(const char* function, int code);
    void Close();
    int Fill();

    std::string narrowPath_;
    std::wstring widePath_;
    int32_t error_ = 0;
    int64_t sampleCount_ = 0;
    int64_t position_ = 0;
    double duration_ = 0;
    WAVEFORMATEX format_{};
    std::unique_ptr<platform::Event> event_;
    uint8_t* bound_ = nullptr;
    int boundBytes_ = 0;
    bool started_ = false;
    bool internal_ = false;
    std::vector<uint8_t> buffer_; // the internal buffer
    int64_t bufferFirst_ = 0;
    int bufferFrames_ = 0;
    int bufferRead_ = 0;
    std::string message_;
    State state_ = StateNew;
    std::unique_ptr<platform::mediastream::AudioStream> stream_;
};
