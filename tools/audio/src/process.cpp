// vark-audio process: a file through the player core's file chain into a WAV file, as fast as
// the CPU allows and without a sound device (the core's CRender). For offline cleaning and for
// measuring the chain. The output is 16-bit stereo at the file's rate, as the card would get
// it. Exit status: 0 done, 1 failed, 2 wrong use, 130 interrupted. The output is written under
// its part name and appears under its own only when done or interrupted (then complete as far
// as it goes); a failure leaves none.
#include "chain_options.h"
#include "commands.h"

#include "faltor/exceptions.h"
#include "movra/movra.h"
#include "movra/notify_text.h"
#include "ondakit/out_riff_file_stream.h"
#include "platform/finished_file.h"
#include "platform/little_endian.h"
#include "platform/text.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sys/stat.h>

namespace varkaudio
{

namespace
{

volatile std::sig_atomic_t gInterrupted = 0;

void OnSignal(int)
{
    gInterrupted = 1;
}

using Clock = std::chrono::steady_clock;

// Nothing is played, so the notifications have no audience.
class QuietHost final : public NOTIFY_TEXT
{
protected:
    void OnLine(const std::string&) override {}
};

struct Options
{
    std::string in, out;
    std::optional<long> seek;
    ChainOptions chain;
};

const std::string kUsage =
    std::string("usage: vark-audio process IN OUT.wav [--seek MS] ") + kChainUsage;

int Parse(const Args& args, Options& o)
{
    std::vector<std::string> paths;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0)
        {
            paths.push_back(a);
            continue;
        }
        if (a == "--gain" || a == "--balance" || a == "--ring" || a == "--monitor" ||
            a == "--offset")
        {
            Complain(a + " is for play: process writes the chain's output of one whole file");
            return 2;
        }
        if (i + 1 >= args.size())
        {
            Complain(a + " needs a value");
            return 2;
        }
        const std::string& v = args[++i];
        long n = 0;
        if (const Taken taken = ParseChainOption(a, v, o.chain); taken != Taken::no)
        {
            if (taken == Taken::wrong) return 2;
        }
        else if (a == "--seek")
        {
            if (!ParseLong(v, n) || n < 0)
            {
                Complain("bad value for --seek (ms from the start): " + v);
                return 2;
            }
            o.seek = n;
        }
        else
        {
            Complain("unknown option " + a);
            return 2;
        }
    }
    if (paths.size() != 2)
    {
        Complain(kUsage);
        return 2;
    }
    o.in = paths[0];
    o.out = paths[1];
    // Writing the output would destroy the input before it is read.
    struct stat a
    {
    }, b{};
    if (stat(o.in.c_str(), &a) == 0 && stat(o.out.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
        a.st_ino == b.st_ino)
    {
        Complain("OUT.wav must not be the input file");
        return 2;
    }
    return 0;
}

// The writer's error texts span several lines and braces; one line of words is enough here.
std::string OneLine(const std::string& text)
{
    std::string line;
    for (char c : text)
    {
        if (c == '{' || c == '}') continue;
        if (c == '\n' || c == '\r') c = ' ';
        if (c == ' ' && (line.empty() || line.back() == ' ')) continue;
        line += c;
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    return line;
}

// Writes the messages as interleaved stereo and reports progress on stderr about once a second.
class WavSink final : public RENDER_SINK
{
public:
    WavSink(OutRiffFileStream& writer, long rate, double totalSeconds)
        : writer_(writer), rate_(rate), total_(totalSeconds), lastReport_(Clock::now())
    {
    }

    bool Take(const SMSG& msg) override
    {
        if (gInterrupted) return false;
        const size_t frames = msg.Frames();
        if (frames > 0)
        {
            if (msg.rate != rate_ || msg.channels < 2)
            {
                error = "the chain's output changed its format";
                return false;
            }
            if (!firstHeard) firstHeard = msg.start.ToMs() / 1000.0;
            bytes_.resize(frames * 4);
            const int16_t* left = msg.Channel(0);
            const int16_t* right = msg.Channel(1);
            for (size_t i = 0; i < frames; ++i)
            {
                platform::StoreLE16(bytes_.data() + 4 * i, static_cast<uint16_t>(left[i]));
                platform::StoreLE16(bytes_.data() + 4 * i + 2, static_cast<uint16_t>(right[i]));
            }
            const int count = static_cast<int>(bytes_.size());
            if (writer_.WriteBytes(reinterpret_cast<const char*>(bytes_.data()), count) != count)
            {
                error = "cannot write the output file";
                return false;
            }
            written += frames;
        }
        Report((msg.start + msg.length).ToMs() / 1000.0);
        return true;
    }

    std::string error;
    uint64_t written = 0;
    std::optional<double> firstHeard; // input time of the first sample written, seconds

private:
    void Report(double at)
    {
        const auto now = Clock::now();
        if (now - lastReport_ < std::chrono::seconds(1)) return;
        lastReport_ = now;
        std::fprintf(stderr, "vark-audio: %.1f of %.1f s (%.0f %%)\n", at, total_,
                     total_ > 0 ? 100 * std::min(1.0, at / total_) : 100.0);
    }

    OutRiffFileStream& writer_;
    const long rate_;
    const double total_;
    Clock::time_point lastReport_;
    std::vector<uint8_t> bytes_;
};

} // namespace

int Process(const Args& args)
{
    Options o;
    if (const int status = Parse(args, o)) return status;

    // The core opens its card even though nothing is played: keep every sound device out.
    setenv("VARK_AUDIO", "null", 1);
    gInterrupted = 0;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    QuietHost host;
    try
    {
        MOVRA core(-1);
        core.CSetInterface(&host);
        ApplyChainOptions(core, o.chain);
        if (!core.COpenFile({platform::Utf8ToWide(o.in)}))
        {
            Complain(o.in + ": cannot be opened");
            return 1;
        }
        long rate = 0, sizeMs = 0;
        if (!core.CGetFileSampleRate(rate) || rate <= 0 || !core.CGetSize(sizeMs))
        {
            Complain(o.in + ": no usable sample rate");
            return 1;
        }
        if (o.seek && !core.CSetPos(*o.seek))
        {
            Complain("cannot seek to " + std::to_string(*o.seek) + " ms");
            return 1;
        }
        std::optional<OutRiffFileStream> writer;
        try
        {
            // under its part name until it is whole (platform/finished_file.h)
            writer.emplace(platform::PartPathFor(o.out).c_str(), static_cast<int>(rate), 2);
        }
        catch (const std::exception& e)
        {
            Complain(o.out + ": cannot be created: " + OneLine(e.what()));
            return 1;
        }
        WavSink sink(*writer, rate, sizeMs / 1000.0);
        const auto begun = Clock::now();
        bool done = false;
        std::string failure;
        try
        {
            done = core.CRender(sink);
        }
        catch (const std::exception& e)
        {
            failure = e.what();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - begun).count();
        writer.reset(); // the header is final from here on
        core.CCloseFile();
        const double heard = static_cast<double>(sink.written) / static_cast<double>(rate);
        const bool failed = !failure.empty() || !sink.error.empty() || !done;
        // An interrupted run keeps what it wrote, complete as far as it goes; a failed one
        // leaves nothing (the input is still there).
        const bool kept = (!failed || gInterrupted) && platform::CommitPart(o.out);
        if (!kept) platform::RemoveLeftoverPart(o.out);
        if (!kept && (!failed || gInterrupted))
        {
            Complain(o.out + ": cannot be written");
            return 1;
        }
        if (gInterrupted)
        {
            Complain("interrupted: " + o.out + " holds the first " + std::to_string(heard) +
                     " s of the output");
            return 130;
        }
        if (failed)
        {
            Complain(o.in + ": processing failed: " +
                     (!failure.empty()      ? failure
                      : !sink.error.empty() ? sink.error
                                            : std::string("the core refused to run the file")));
            return 1;
        }
        std::printf("%s: %llu frames, %ld Hz, 2 channels, %.3f s from %.3f s of input in %.2f s "
                    "(%.0fx real time)\n",
                    o.out.c_str(), static_cast<unsigned long long>(sink.written), rate, heard,
                    sizeMs / 1000.0 - (o.seek ? *o.seek / 1000.0 : 0.0), seconds,
                    seconds > 0 ? (sizeMs / 1000.0) / seconds : 0.0);
        if (o.chain.speechSearch)
        {
            if (sink.firstHeard)
                std::printf("speech from %.3f s\n", *sink.firstHeard);
            else
                std::printf("no speech found\n");
        }
    }
    catch (const std::exception& e)
    {
        Complain(e.what());
        return 1;
    }
    return 0;
}

} // namespace varkaudio
