// vark-audio play: a console host of the player core. Every notification is printed as one
// line ("OnState 1 0"); the program plays to the end of the file (or of the pushed stream)
// or until Ctrl-C, and exits 0. The processing objects are set with the chain options.
#include "chain_options.h"
#include "commands.h"

#include "faltor/exceptions.h"
#include "movra/movra.h"
#include "movra/notify_text.h"
#include "ondakit/input_sound_file_stream.h"
#include "platform/text.h"
#include "platform/waveout.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace varkaudio
{

namespace
{

volatile std::sig_atomic_t gInterrupted = 0;

void OnSignal(int)
{
    gInterrupted = 1;
}

// Prints every notification as one line; the worker and the main thread both report.
class ConsoleHost : public NOTIFY_TEXT
{
public:
    void OnEndOfFile() override
    {
        NOTIFY_TEXT::OnEndOfFile();
        ended = true;
    }

    std::atomic<bool> ended{false};

protected:
    void OnLine(const std::string& line) override
    {
        std::lock_guard lock(mutex_);
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    }

private:
    std::mutex mutex_;
};

struct Options
{
    std::vector<std::string> files;
    std::optional<long> offset, seek, gain, balance;
    std::optional<std::pair<long, long>> ring;
    ChainOptions chain;
    std::optional<std::string> monitor;
    int outputDevice = -1;
};

const std::string kUsage = std::string("usage: vark-audio play FILE... [--offset MS] [--seek MS] "
                                       "[--ring FROM-TO] [--gain N] [--balance B] ") +
                           kChainUsage + " [--monitor FILE] [--output-device NAME]";

// 0 when parsed; otherwise the exit status.
int Parse(const Args& args, Options& o)
{
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        if (a.rfind("--", 0) != 0)
        {
            o.files.push_back(a);
            continue;
        }
        if (i + 1 >= args.size())
        {
            Complain(a + " needs a value");
            return 2;
        }
        const std::string& v = args[++i];
        long n = 0;
        std::string x, y;
        if (const Taken taken = ParseChainOption(a, v, o.chain); taken != Taken::no)
        {
            if (taken == Taken::wrong) return 2;
        }
        else if (a == "--offset" || a == "--seek" || a == "--gain" || a == "--balance")
        {
            if (!ParseLong(v, n) || ((a == "--offset" || a == "--seek") && n < 0))
            {
                Complain("bad value for " + a + ": " + v);
                return 2;
            }
            (a == "--offset" ? o.offset
             : a == "--seek" ? o.seek
             : a == "--gain" ? o.gain
                             : o.balance) = n;
        }
        else if (a == "--ring")
        {
            long from = 0, to = 0;
            if (!Split(v, '-', x, y) || !ParseLong(x, from) || !ParseLong(y, to) || from < 0 ||
                to <= from)
            {
                Complain("bad value for --ring (FROM-TO in ms): " + v);
                return 2;
            }
            o.ring = {from, to};
        }
        else if (a == "--monitor")
            o.monitor = v;
        else if (a == "--output-device")
        {
            o.outputDevice = platform::waveout::DeviceNumber(v);
            if (o.outputDevice < 0)
            {
                Complain("there is no output device '" + v +
                         "' (the outputs: " + platform::waveout::DeviceNameList() + ")");
                return 2;
            }
        }
        else
        {
            Complain("unknown option " + a);
            return 2;
        }
    }
    if (o.files.empty() == !o.monitor)
    {
        Complain(o.monitor ? "--monitor plays one stream: give no FILE with it" : kUsage);
        return 2;
    }
    if (o.monitor && (o.offset || o.seek || o.ring))
    {
        Complain("--offset, --seek and --ring need a FILE, not a monitoring stream");
        return 2;
    }
    // The monitoring chain is mixer, denoiser and gain control only.
    if (o.monitor && (o.chain.speechSearch || o.chain.stretch || o.chain.filter))
    {
        Complain("--speech-search, --stretch and --filter work on a FILE, not on a monitoring "
                 "stream");
        return 2;
    }
    return 0;
}

// How much faster than real time the paced sound back ends run.
long DeviceSpeed()
{
    long speed = 1;
    if (const char* text = std::getenv("VARK_AUDIO_SPEED"))
        if (!ParseLong(text, speed) || speed < 1) speed = 1;
    return speed;
}

void SleepMs(double ms)
{
    std::this_thread::sleep_for(std::chrono::microseconds(static_cast<long long>(ms * 1000)));
}

// Pushes the file through the monitoring stream in 100 ms pieces, at the device's pace.
int PushMonitoring(MOVRA& core, const std::string& path)
{
    std::unique_ptr<InputSoundFileStream> stream(
        InputSoundFileStream::Open(path.c_str(), OpenRiffThenMedia));
    if (!stream)
    {
        Complain(path + ": not a sound file that can be read");
        return 1;
    }
    const int channels = stream->GetChannelCount();
    const int rate = stream->GetSampleRate();
    if (channels <= 0 || rate <= 0)
    {
        Complain(path + ": no usable sample rate or channel count");
        return 1;
    }
    const double speed = static_cast<double>(DeviceSpeed());
    const int frames = rate / 10;
    std::vector<short> samples(static_cast<size_t>(frames) * static_cast<size_t>(channels));
    std::vector<signed char> bytes;
    const auto start = std::chrono::steady_clock::now();
    // Device time passed since the start, in ms of sound.
    const auto played = [&]
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                   .count() *
               speed;
    };
    double pushedMs = 0;
    core.CMonitoringOpen(1);
    for (;;)
    {
        if (gInterrupted) return 0;
        // Like a live source, but a little ahead of the device, so that a late wake-up
        // never lets the stream run dry.
        while (pushedMs > played() + 2000 && !gInterrupted)
            SleepMs(5);
        const int got = stream->ReadData(samples.data(), frames);
        if (got <= 0) break;
        bytes.resize(static_cast<size_t>(got) * static_cast<size_t>(channels) * 2);
        for (size_t i = 0; i < bytes.size() / 2; ++i)
        {
            const auto u = static_cast<uint16_t>(samples[i]);
            bytes[2 * i] = static_cast<signed char>(u & 0xFF);
            bytes[2 * i + 1] = static_cast<signed char>(u >> 8);
        }
        core.CMonitoringPut(bytes, channels, rate);
        pushedMs += 1000.0 * got / rate;
    }
    // What is queued (the pre-buffer and what the card holds) plays out before the stream
    // closes.
    while (played() < pushedMs + 2500 && !gInterrupted)
        SleepMs(5);
    core.CMonitoringClose();
    return 0;
}

} // namespace

int Play(const Args& args)
{
    Options o;
    if (const int status = Parse(args, o)) return status;

    gInterrupted = 0;
    std::signal(SIGINT, OnSignal);
    std::signal(SIGTERM, OnSignal);
    ConsoleHost host;
    try
    {
        MOVRA core(o.outputDevice);
        core.CSetInterface(&host);
        if (o.gain) core.CSetGain(*o.gain);
        if (o.balance) core.CSetBalance(*o.balance);
        ApplyChainOptions(core, o.chain);
        if (o.monitor) return PushMonitoring(core, *o.monitor);

        std::vector<std::wstring> entries;
        for (const std::string& f : o.files)
            entries.push_back(
                platform::Utf8ToWide(o.offset ? f + "<>" + std::to_string(*o.offset) : f));
        if (!core.COpenFile(entries))
        {
            Complain("the files could not be opened");
            return 1;
        }
        if (o.seek && !core.CSetPos(*o.seek))
        {
            Complain("cannot seek to " + std::to_string(*o.seek) + " ms");
            return 1;
        }
        if (o.ring && !core.CRing(true, o.ring->first, o.ring->second))
        {
            Complain("the ring lies outside the file");
            return 1;
        }
        core.CPlay();
        while (!host.ended && !gInterrupted)
            SleepMs(20);
        core.CCloseFile();
    }
    catch (const EXCEPTION& e)
    {
        Complain(e.what());
        return 1;
    }
    return 0;
}

} // namespace varkaudio
