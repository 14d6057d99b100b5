// peaks: the waveform strip of a file as numbers, each column's smallest and largest sample
// per channel, and the spans of speech the player's speech search would find.
#include "commands.h"

#include "numera/waveform_peaks.h"
#include "ondakit/input_sound_file_stream.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace varkaudio
{

namespace
{

bool ParseInt(const std::string& text, int low, int high, int& out)
{
    char* end = nullptr;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || v < low || v > high) return false;
    out = int(v);
    return true;
}

void Print(const numera::WaveformPeaks& p, int columns, bool json)
{
    const int ch = p.channels;
    if (json)
    {
        std::printf("{\"rate\":%d,\"channels\":%d,\"frames\":%lld,\"width\":%d,\"peaks\":[", p.rate,
                    ch, static_cast<long long>(p.frames), columns);
        for (int c = 0; c < columns; ++c)
        {
            std::printf("%s[", c ? "," : "");
            for (int k = 0; k < ch; ++k)
                std::printf("%s%d,%d", k ? "," : "", p.min[size_t(c) * ch + k],
                            p.max[size_t(c) * ch + k]);
            std::printf("]");
        }
        std::printf("],\"segments\":[");
        for (size_t i = 0; i < p.segments.size(); ++i)
            std::printf("%s{\"start\":%.3f,\"end\":%.3f}", i ? "," : "", p.segments[i].start,
                        p.segments[i].end);
        std::printf("]}\n");
        return;
    }
    for (int c = 0; c < columns; ++c)
    {
        for (int k = 0; k < ch; ++k)
            std::printf("%s%d %d", k ? " " : "", p.min[size_t(c) * ch + k],
                        p.max[size_t(c) * ch + k]);
        std::printf("\n");
    }
    for (const numera::SpeechSegment& s : p.segments)
        std::printf("speech %.3f %.3f\n", s.start, s.end);
}

} // namespace

int Peaks(const Args& args)
{
    std::string path;
    int width = 600, threshold = 800;
    bool json = false;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        if (a == "--json")
            json = true;
        else if ((a == "--width" || a == "--threshold") && i + 1 < args.size())
        {
            const bool ok = a == "--width" ? ParseInt(args[++i], 1, 100000, width)
                                           : ParseInt(args[++i], 300, 2000, threshold);
            if (!ok)
            {
                Complain(a + " " + args[i] + ": out of range (width 1-100000, threshold " +
                         "300-2000)");
                return 2;
            }
        }
        else if (a.rfind("--", 0) == 0 || !path.empty())
        {
            Complain("usage: vark-audio peaks FILE [--width N] [--threshold N] [--json]");
            return 2;
        }
        else
            path = a;
    }
    if (path.empty())
    {
        Complain("usage: vark-audio peaks FILE [--width N] [--threshold N] [--json]");
        return 2;
    }
    int64_t frames = -1;
    // The columns are laid over the length the file states. A compressed file may state a
    // length it does not quite have (or none): it is read again over the length it had.
    for (int pass = 0; pass < 2; ++pass)
    {
        std::unique_ptr<InputSoundFileStream> stream(
            InputSoundFileStream::Open(path.c_str(), OpenRiffThenMedia));
        const int channels = stream ? stream->GetChannelCount() : 0;
        const int rate = stream ? stream->GetSampleRate() : 0;
        if (!stream || channels <= 0 || rate <= 0)
        {
            Complain(path + ": not a sound file that can be read");
            return 1;
        }
        if (pass == 0) frames = std::max(1, stream->GetSampleCount());
        constexpr int kFrames = 8192;
        std::vector<short> buffer(size_t(kFrames) * channels);
        numera::PeakAnalyser analyser(rate, channels, frames, width, true, threshold);
        for (int got; (got = stream->ReadData(buffer.data(), kFrames)) > 0;)
            analyser.Feed(buffer.data(), size_t(got));
        analyser.Finish();
        if (pass == 0 && analyser.FramesSeen() != frames && analyser.FramesSeen() > 0)
        {
            frames = analyser.FramesSeen();
            continue;
        }
        Print(analyser.Result(), analyser.Columns(), json);
        return 0;
    }
    return 1;
}

} // namespace varkaudio
