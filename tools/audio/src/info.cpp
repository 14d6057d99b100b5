#include "commands.h"

#include "ondakit/input_acm_sound_file_stream.h"
#include "ondakit/input_sound_file_stream.h"
#include "platform/acm.h"
#include "platform/mediastream.h"
#include "platform/text.h"

#include <cstdio>
#include <memory>

namespace varkaudio
{

namespace
{

// The description a RIFF file gets: float is described by us, the rest by the codecs.
std::string RiffFormatText(const WAVEFORMATEX& f)
{
    if (f.wFormatTag == WAVE_FORMAT_IEEE_FLOAT)
        return "Float 32bit " + std::to_string(f.nSamplesPerSec) + "Hz " +
               (f.nChannels == 1 ? "Mono" : "Stereo");
    std::string text = platform::acm::FormatTagName(f.wFormatTag).value_or("");
    const std::string name = platform::acm::FormatName(f).value_or("");
    if (!text.empty() && !name.empty()) text += ", ";
    return text + name;
}

} // namespace

int Info(const Args& args)
{
    if (args.size() != 1)
    {
        Complain("usage: vark-audio info FILE");
        return 2;
    }
    const std::string& path = args[0];
    std::unique_ptr<InputSoundFileStream> stream(
        InputSoundFileStream::Open(path.c_str(), OpenRiffThenMedia));
    if (!stream)
    {
        Complain(path + ": not a sound file that can be read");
        return 1;
    }
    std::string format;
    if (!stream->UsesDX())
    {
        WAVEFORMATEX f{};
        if (InputACMSoundFileStream::GetWavFileParameters(platform::Utf8ToWide(path).c_str(), f) ==
            0)
            format = RiffFormatText(f);
    }
    else if (auto media = platform::mediastream::AudioStream::Open(path))
    {
        format = media->Description();
    }
    const int rate = stream->GetSampleRate();
    const int frames = stream->GetSampleCount();
    std::printf("file: %s\n", path.c_str());
    std::printf("reader: %s\n", stream->UsesDX() ? "media" : "RIFF");
    std::printf("rate: %d Hz\n", rate);
    std::printf("channels: %d\n", stream->GetChannelCount());
    std::printf("frames: %d\n", frames);
    std::printf("length: %.3f s\n", rate > 0 ? static_cast<double>(frames) / rate : 0.0);
    std::printf("format: %s\n", format.c_str());
    return 0;
}

} // namespace varkaudio
