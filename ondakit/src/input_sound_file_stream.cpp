#include "ondakit/input_sound_file_stream.h"

#include "debug_output.h"
#include "ondakit/input_acm_sound_file_stream.h"
#include "ondakit/input_dx_sound_file_stream.h"
#include "platform/profile.h"
#include "platform/text.h"

InputSoundFileStream::~InputSoundFileStream() = default;

bool InputSoundFileStream::IsSeekSupported()
{
    return false;
}

int InputSoundFileStream::GetErrorState(int* state, char* text, int size)
{
    if (state) *state = -1;
    if (text && size > 0)
    {
        text[0] = size > 1 ? '?' : '\0';
        if (size > 1) text[1] = '\0';
    }
    return -1;
}

namespace
{

template <typename Char> InputSoundFileStream* OpenWith(const Char* path, int mode)
{
    if (!path || mode < OpenRiffOnly || mode > OpenRiffThenMedia) return nullptr;
    try
    {
        InputSoundFileStream* stream = nullptr;
        if (mode == OpenRiffOnly || mode == OpenRiffThenMedia)
            stream = InputACMSoundFileStream::Open(path);
        if (!stream && (mode == OpenMediaOnly || mode == OpenRiffThenMedia))
            stream = InputDXSoundFileStream::Open(path);
        return stream;
    }
    catch (...)
    {
        return nullptr;
    }
}

// The open strategy of narrow-path opens, from the settings file beside the library.
int StrategyMode()
{
    try
    {
        std::string strategy =
            platform::ProfileReadString(ondakit::LibraryIniPath(), "SETTINGS", "ODK_OpenStrategy")
                .value_or("ACM_DX");
        strategy = strategy.substr(0, 15);
        if (platform::EqualsNoCaseUtf8(strategy, "DX_only")) return OpenMediaOnly;
        if (platform::EqualsNoCaseUtf8(strategy, "ACM_only")) return OpenRiffOnly;
    }
    catch (...)
    {
    }
    return OpenRiffThenMedia;
}

} // namespace

InputSoundFileStream* InputSoundFileStream::Open(const wchar_t* path, OpenModes mode)
{
    return OpenWith(path, mode);
}

InputSoundFileStream* InputSoundFileStream::Open(const char* path, OpenModes mode)
{
    return OpenWith(path, mode == OpenRiffThenMedia ? StrategyMode() : mode);
}

InputSoundFileStream* InputSoundFileStream::Open(const char* path)
{
    return Open(path, OpenRiffThenMedia);
}

int InputSoundFileStream::GetWavFileChannelCount(const wchar_t* path)
{
    const int fromHeader = InputACMSoundFileStream::GetWavFileChannelCount(path);
    if (fromHeader > 0) return fromHeader;
    InputDXSoundFileStream* media = InputDXSoundFileStream::Open(path);
    if (!media) return -1;
    const int channels = media->GetChannelCount();
    delete media;
    return channels;
}
