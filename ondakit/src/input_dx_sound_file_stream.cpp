#include "ondakit/input_dx_sound_file_stream.h"

#include "debug_output.h"
#include "platform/event.h"
#include "platform/mediastream.h"
#include "platform/text.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <sys/stat.h>

using platform::mediastream::AudioStream;
using platform::mediastream::OpenError;
using platform::mediastream::UpdateStatus;

namespace
{

const char* const kErrorTexts[] = {
    "Success",
    "SampleUpdate Failed",
    "SampleUpdate EOF",
    "AMAudioData Failed",
    "ReadParamsDiff",
    "Wrong AudioFormat",
    "CoInitialize Failed",
    "AMMultiMediaStream Failed",
    "AMStreamInitialize Failed",
    "PrimaryAudio Failed",
    "AMStreamOpenFile Failed",
    "Duration Failed",
    "GetMediaStream Failed",
    "IAudioMediaStream Failed",
    "GetFormat Failed",
    "CreateEvent Failed",
    "SetBuffer Failed",
    "SetFormat Failed",
    "CreateSample Failed",
    "UnknownException",
    "SampleUpdateFailed_Abort",
    "SampleUpdateFailed_InvArg",
    "SampleUpdateFailed_Busy",
    "SampleUpdateFailed_TimeOut",
};

constexpr uint32_t kUpdateTimeoutMs = 1000;

} // namespace

const char* InputDXSoundFileStream::ErrorText(int code)
{
    if (code < 0 || code >= static_cast<int>(std::size(kErrorTexts))) return "?";
    return kErrorTexts[code];
}

InputDXSoundFileStream::~InputDXSoundFileStream()
{
    if (state_ != StateClosed) Close();
}

int InputDXSoundFileStream::GetChannelCount() const
{
    return format_.nChannels;
}
int InputDXSoundFileStream::GetSampleRate() const
{
    return static_cast<int>(format_.nSamplesPerSec);
}
int InputDXSoundFileStream::GetSampleCount() const
{
    return static_cast<int>(std::min<int64_t>(sampleCount_, INT32_MAX));
}
bool InputDXSoundFileStream::UsesDX()
{
    return true;
}

bool InputDXSoundFileStream::IsSeekSupported()
{
    return state_ == StateOpen && stream_ && stream_->SupportsSeek();
}

void InputDXSoundFileStream::Close()
{
    // The stand-in needs no COM initialisation, so there is none to undo.
    stream_.reset();
    event_.reset();
    bound_ = nullptr;
    if (state_ != StateFailed) state_ = StateClosed;
}

void InputDXSoundFileStream::RecordError(const char* function, int code)
{
    error_ = code;
    char text[512];
    std::snprintf(text, sizeof text, "Error in Function InputDXSoundFileStream::%s, %s (file %s)\n",
                  function, ErrorText(code), narrowPath_.c_str());
    message_ = text; // snprintf already cut it to 511 characters
    ondakit::DebugOutput(message_);
    state_ = StateFailed;
    Close();
}

void InputDXSoundFileStream::Create(const std::string& narrow, const std::wstring& wide)
{
    narrowPath_ = narrow;
    widePath_ = wide;
    try
    {
        OpenError why = OpenError::none;
        stream_ = AudioStream::Open(narrow, &why);
        if (!stream_) return RecordError("Create", why == OpenError::noAudioStream ? 9 : 10);
        const int64_t units = stream_->Duration();
        if (units <= 0) return RecordError("Create", 11);
        duration_ = static_cast<double>(units) / platform::mediastream::kUnitsPerSecond;
        format_ = stream_->Format();
        if (format_.wFormatTag != WAVE_FORMAT_PCM || format_.wBitsPerSample != 16)
            return RecordError("Create", 5);
        event_ = std::make_unique<platform::Event>(platform::Event::Reset::automatic);
        state_ = StateOpen;
        sampleCount_ = static_cast<int64_t>(duration_ * format_.nSamplesPerSec);
    }
    catch (...)
    {
        RecordError("Create", 19);
        ondakit::Beep(1500, 100);
    }
}

// One sample update into the bound buffer: frames filled, 0 at the end, -1 on error.
int InputDXSoundFileStream::Fill()
{
    switch (stream_->Update(event_.get()))
    {
    case UpdateStatus::ok:
        break;
    case UpdateStatus::endOfStream:
        return 0;
    case UpdateStatus::aborted:
        return RecordError("ReadData", 20), -1;
    case UpdateStatus::invalidArgument:
        return RecordError("ReadData", 21), -1;
    case UpdateStatus::busy:
        return RecordError("ReadData", 22), -1;
    case UpdateStatus::failed:
        return RecordError("ReadData", 1), -1;
    }
    if (!event_->Wait(kUpdateTimeoutMs)) return RecordError("ReadData", 23), -1;
    int64_t filled = static_cast<int64_t>(stream_->ActualLength() / format_.nBlockAlign);
    filled = std::min(filled, sampleCount_ - position_);
    filled = std::max<int64_t>(filled, 0);
    position_ += filled;
    return static_cast<int>(filled);
}

int InputDXSoundFileStream::ReadData(short* buffer, int frames)
{
    if (state_ != StateOpen || !buffer || frames <= 0) return 0;
    if (position_ >= sampleCount_ && bufferRead_ >= bufferFrames_) return 0;
    const int blockAlign = format_.nBlockAlign;
    const int64_t bytes = static_cast<int64_t>(frames) * blockAlign;
    if (!started_)
    {
        started_ = true;
        if (bytes < kInternalBufferBytes)
        {
            internal_ = true;
            buffer_.assign(kInternalBufferBytes, 0);
            bound_ = buffer_.data();
            boundBytes_ = kInternalBufferBytes - kInternalBufferBytes % blockAlign;
        }
        else
        {
            bound_ = reinterpret_cast<uint8_t*>(buffer);
            boundBytes_ = static_cast<int>(std::min<int64_t>(bytes, INT32_MAX - blockAlign));
        }
        if (!stream_->SetBuffer(bound_, static_cast<size_t>(boundBytes_)))
            return RecordError("ReadData", 16), 0;
    }
    else if (!internal_)
    {
        const bool atEnd = frames >= sampleCount_ - position_;
        if (reinterpret_cast<uint8_t*>(buffer) != bound_ || (bytes < boundBytes_ && !atEnd))
            return RecordError("ReadData", 4), 0;
        if (bytes < boundBytes_)
        {
            // The last, shorter read: the update must not write past the caller's buffer.
            boundBytes_ = static_cast<int>(bytes);
            if (!stream_->SetBuffer(bound_, static_cast<size_t>(boundBytes_)))
                return RecordError("ReadData", 16), 0;
        }
    }
    if (!internal_) return std::max(Fill(), 0);

    const int channels = format_.nChannels;
    const auto copy = [&](int done)
    {
        const int n = std::min(bufferFrames_ - bufferRead_, frames - done);
        if (n <= 0) return 0;
        std::memcpy(buffer + static_cast<size_t>(done) * channels,
                    buffer_.data() + static_cast<size_t>(bufferRead_) * blockAlign,
                    static_cast<size_t>(n) * blockAlign);
        bufferRead_ += n;
        return n;
    };
    const int copied = copy(0);
    if (copied == frames || position_ >= sampleCount_) return copied;
    const int64_t first = position_;
    const int filled = Fill();
    if (filled < 0) return 0;
    bufferFirst_ = first;
    bufferFrames_ = filled;
    bufferRead_ = 0;
    return copied + copy(copied);
}

double InputDXSoundFileStream::Seek(double seconds)
{
    if (!IsSeekSupported()) return -1;
    const double target = std::clamp(std::isnan(seconds) ? 0.0 : seconds, 0.0, duration_);
    const int64_t frame = static_cast<int64_t>(target * format_.nSamplesPerSec);
    if (internal_ && frame >= bufferFirst_ && frame < bufferFirst_ + bufferFrames_)
    {
        bufferRead_ = static_cast<int>(frame - bufferFirst_);
        return target;
    }
    const auto units =
        static_cast<int64_t>(std::llround(target * platform::mediastream::kUnitsPerSecond));
    if (!stream_->Seek(units)) return -1;
    position_ = std::min(frame, sampleCount_);
    bufferFirst_ = position_;
    bufferFrames_ = bufferRead_ = 0;
    return target;
}

int InputDXSoundFileStream::GetErrorState(int* state, char* text, int size)
{
    if (state) *state = state_;
    if (text && size > 0)
    {
        const std::string& what = error_ == 0 ? std::string("Success") : message_;
        const size_t n = std::min(what.size(), static_cast<size_t>(size - 1));
        std::memcpy(text, what.data(), n);
        text[n] = '\0';
    }
    return error_;
}

InputDXSoundFileStream* InputDXSoundFileStream::Open(const wchar_t* path)
{
    if (!path) return nullptr;
    const std::string narrow = platform::WideToUtf8(path);
    if (std::wcslen(path) >= kMaxPath)
    {
        ondakit::DebugOutput(
            "Error in Function InputDXSoundFileStream::Open, too long name: " + narrow + "\n");
        return nullptr;
    }
    auto* s = new InputDXSoundFileStream;
    s->Create(narrow, path);
    if (s->error_ != 0)
    {
        delete s;
        return nullptr;
    }
    return s;
}

InputDXSoundFileStream* InputDXSoundFileStream::Open(const char* path)
{
    if (!path) return nullptr;
    if (std::strlen(path) >= kMaxPath)
    {
        ondakit::DebugOutput(std::string("Error in Function InputDXSoundFileStream::Open, too "
                                         "long name: ") +
                             path + "\n");
        return nullptr;
    }
    struct stat st
    {
    };
    if (stat(path, &st) != 0)
    {
        ondakit::DebugOutput(std::string("Error in Function InputDXSoundFileStream::Open, file "
                                         "not found: ") +
                             path + "\n");
        return nullptr;
    }
    auto* s = new InputDXSoundFileStream;
    s->Create(path, platform::Utf8ToWide(path));
    if (s->error_ != 0)
    {
        delete s;
        return nullptr;
    }
    return s;
}
