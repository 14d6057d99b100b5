#include "commands.h"

#include "ondakit/input_sound_file_stream.h"
#include "ondakit/mono_reader.h"
#include "ondakit/out_riff_file_stream.h"
#include "platform/finished_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <unistd.h>
#include <vector>

namespace varkaudio
{

int Decode(const Args& args)
{
    std::vector<std::string> paths;
    bool mono = false;
    for (const std::string& a : args)
    {
        if (a == "--mono")
            mono = true;
        else if (a.rfind("--", 0) == 0)
        {
            Complain("unknown option " + a);
            return 2;
        }
        else
            paths.push_back(a);
    }
    if (paths.size() != 2)
    {
        Complain("usage: vark-audio decode FILE OUT.wav [--mono]");
        return 2;
    }
    const std::string& in = paths[0];
    const std::string& out = paths[1];
    std::unique_ptr<InputSoundFileStream> stream(
        InputSoundFileStream::Open(in.c_str(), OpenRiffThenMedia));
    if (!stream)
    {
        Complain(in + ": not a sound file that can be read");
        return 1;
    }
    const int channels = stream->GetChannelCount();
    const int rate = stream->GetSampleRate();
    if (channels <= 0 || rate <= 0)
    {
        Complain(in + ": no usable sample rate or channel count");
        return 1;
    }
    constexpr int kFrames = 4096;
    std::vector<short> buffer(static_cast<size_t>(kFrames) * channels);
    MonoReader mixer(stream.get());
    long long total = 0;
    try
    {
        // under its part name until it is whole (platform/finished_file.h)
        OutRiffFileStream writer(platform::PartPathFor(out).c_str(), rate, mono ? 1 : channels);
        const int outChannels = mono ? 1 : channels;
        for (;;)
        {
            const int got = mono ? mixer.ReadData(buffer.data(), kFrames)
                                 : stream->ReadData(buffer.data(), kFrames);
            if (got <= 0) break;
            const int bytes = got * outChannels * 2;
            if (writer.WriteBytes(reinterpret_cast<const char*>(buffer.data()), bytes) != bytes)
                throw std::runtime_error("write failed");
            total += got;
        }
    }
    catch (const std::exception& e)
    {
        Complain(out + ": cannot write: " + e.what());
        platform::RemoveLeftoverPart(out);
        return 1;
    }
    char text[512] = {};
    if (stream->GetErrorState(nullptr, text, sizeof text) > 0)
    {
        Complain(in + ": decoding failed: " + text);
        platform::RemoveLeftoverPart(out);
        return 1;
    }
    if (!platform::CommitPart(out))
    {
        Complain(out + ": cannot write: " + std::strerror(errno));
        platform::RemoveLeftoverPart(out);
        return 1;
    }
    std::printf("%s: %lld frames, %d Hz, %d channel%s\n", out.c_str(), total, rate,
                mono ? 1 : channels, (mono || channels == 1) ? "" : "s");
    return 0;
}

} // namespace varkaudio
