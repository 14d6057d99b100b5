// play: a sound file or a record of the recorder through the player controller, the data
// flows and the player server, printing what the player and the flow report, one event per
// line, until playback ends (or Ctrl+C stops it).
#include "cli.h"
#include "entries.h"

#include "platform/com/com.h"
#include "platform/install_layout.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/waveout.h"
#include "platform/winmsg.h"
#include "res/string_ids.h"
#include "transfer/file_data_flow.h"
#include "transfer/player_control.h"
#include "transfer/vark_data_flow.h"
#include "trillo/player_case.h"
#include "trillo/trillo.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>

namespace cli
{

namespace
{

constexpr int kTickMs = 200;

int g_stopPipe[2] = {-1, -1};

void OnInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(g_stopPipe[1], &byte, 1);
}

struct Message
{
    platform::WPARAM code;
    platform::LPARAM value;
    std::wstring text; // codes 1, 10 and 11: copied at once, the buffers are not ours
};

bool CarriesText(platform::WPARAM code)
{
    return code == player_code::kOpenFile || code == player_code::kName ||
           code == player_code::kFormat;
}

// The window of this command: posted messages wait in a queue for the loop.
class MessageLoop
{
public:
    MessageLoop()
        : hwnd_(platform::RegisterWindowHandle(
              [this](platform::UINT message, platform::WPARAM w, platform::LPARAM l)
              {
                  if (message != kPlayerMessage) return;
                  Message m{w, l, {}};
                  if (CarriesText(w) && l) m.text = reinterpret_cast<const wchar_t*>(l);
                  std::lock_guard lock(mutex_);
                  queue_.push_back(std::move(m));
              }))
    {
    }
    ~MessageLoop() { platform::UnregisterWindowHandle(hwnd_); }
    platform::HWND Handle() const { return hwnd_; }
    std::deque<Message> Take()
    {
        std::lock_guard lock(mutex_);
        return std::exchange(queue_, {});
    }

private:
    platform::HWND hwnd_;
    std::mutex mutex_;
    std::deque<Message> queue_;
};

void Print(const Message& m, bool json)
{
    static const char* kNames[] = {"monitor", "open",   "close",   "duration", "position",
                                   "stretch", "play",   "pause",   "stop",     "size",
                                   "name",    "format", "replaced"};
    if (m.code > player_code::kReplaced) return;
    const std::string name = kNames[m.code];
    if (json)
    {
        Json j;
        j.Str("event", name);
        if (CarriesText(m.code))
            j.Str(m.code == player_code::kOpenFile ? "title" : "text", Narrow(m.text));
        else if (m.code != player_code::kCloseFile && m.code != player_code::kReplaced)
            j.Int("value", m.value);
        std::printf("%s\n", j.Text().c_str());
    }
    else if (CarriesText(m.code))
    {
        std::printf("%s %s\n", name.c_str(), Narrow(m.text).c_str());
    }
    else if (m.code == player_code::kCloseFile || m.code == player_code::kReplaced)
    {
        std::printf("%s\n", name.c_str());
    }
    else
    {
        std::printf("%s %ld\n", name.c_str(), static_cast<long>(m.value));
    }
    std::fflush(stdout);
}

void PrintRing(int32_t seconds, bool json)
{
    if (json)
        std::printf("%s\n", Json().Str("event", "ring").Int("value", seconds).Text().c_str());
    else
        std::printf("ring %d\n", seconds);
    std::fflush(stdout);
}

// The apartment, the player and the interrupt handler of one play command.
class PlaySession
{
public:
    PlaySession()
    {
        com::CoInitialize();
        if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) == 0)
        {
            struct sigaction sa
            {
            };
            sa.sa_handler = OnInterrupt;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            for (int sig : {SIGINT, SIGTERM})
                ::sigaction(sig, &sa, nullptr);
        }
    }
    ~PlaySession()
    {
        TRIL_Clear();
        com::CoUninitialize();
        for (int sig : {SIGINT, SIGTERM})
            std::signal(sig, SIG_DFL);
        for (int& fd : g_stopPipe)
        {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }
};

std::wstring DateText(const platform::AutoDate& d)
{
    return platform::Utf8ToWide(d.Format("%Y-%m-%d"));
}
std::wstring TimeText(const platform::AutoDate& d)
{
    return platform::Utf8ToWide(d.Format("%H:%M:%S"));
}

} // namespace

int CmdPlay(Context& ctx)
{
    PlayRequest req = ParsePlayRequest(ctx.args);
    // A drive recorder's record is a file on it, played as files are.
    std::optional<int32_t> driveFrom;
    std::string driveRecord;
    if (ctx.args.Has("--drive") && req.record > 0)
    {
        DriveSession d;
        if (!OpenDrive(ctx, d)) return kExitFailure;
        if (req.record > static_cast<int>(d.records.size()))
        {
            Fail("vark-cli: there is no record " + std::to_string(req.record) +
                 " (the recorder holds " + std::to_string(d.records.size()) + ")");
            return kExitFailure;
        }
        const drive::DriveRecord& r = d.records[static_cast<size_t>(req.record - 1)];
        if (!r.readable)
        {
            Fail("vark-cli: record " + std::to_string(req.record) + " cannot be read");
            return kExitFailure;
        }
        driveRecord = "record " + std::to_string(req.record);
        driveFrom = req.from;
        if (driveFrom && *driveFrom > r.duration.TotalSeconds() * 1000.0)
            throw UsageError{
                "--from is beyond the end of " + driveRecord + " (" +
                std::to_string(static_cast<int64_t>(r.duration.TotalSeconds() * 1000)) + " ms)"};
        req.file = r.path;
        req.record = 0;
        req.from.reset();
    }
    const bool record = req.record > 0;
    if (!record && ::access(req.file.c_str(), R_OK) != 0)
    {
        Fail("vark-cli: cannot read " + req.file);
        return kExitFailure;
    }
    Session s;
    if (record)
    {
        if (!ctx.Connect(s)) return kExitFailure;
        const auto recordCount = RecordCount(s);
        if (!recordCount) return kExitFailure;
        const int count = *recordCount;
        if (req.record > count)
        {
            Fail("vark-cli: there is no record " + std::to_string(req.record) +
                 " (the recorder holds " + std::to_string(count) + ")");
            return kExitFailure;
        }
    }

    int outputDevice = -1;
    if (req.outputDevice)
    {
        outputDevice = platform::waveout::DeviceNumber(*req.outputDevice);
        if (outputDevice < 0)
            throw UsageError{"there is no output device '" + *req.outputDevice +
                             "' (the outputs: " + platform::waveout::DeviceNameList() + ")"};
    }

    // The player server of this program's own installation; registered if nothing usable is.
    const std::string server = platform::HelperProgramPath("vark-player");
    if (!trillo::UsePlayerServer(server))
    {
        Fail("vark-cli: the player server is not registered and vark-player is missing beside " +
             platform::ExecutableFolder());
        return kExitFailure;
    }
    PlaySession session;
    MessageLoop loop;
    vark::SystemTickClock clock;
    vark::CVarkDataFlow recordFlow(DateText, TimeText);
    vark::CFileDataFlow fileFlow;
    // After the flows: it lets go of them before they go.
    vark::PlayerControl control(loop.Handle(), clock);
    control.initArgument = outputDevice;
    vark::CDataFlow* flow = &fileFlow;
    const std::string what = record                 ? "record " + std::to_string(req.record)
                             : !driveRecord.empty() ? driveRecord
                                                    : req.file;
    if (record)
    {
        recordFlow.SetRecord(&s.device, static_cast<uint16_t>(req.record - 1));
        flow = &recordFlow;
    }
    else
    {
        fileFlow.SetPath(platform::Utf8ToWide(req.file));
    }
    if (!control.Adopt(flow))
    {
        Fail(TRIL_IsReady() ? "vark-cli: the player cannot open " + what
                            : std::string("vark-cli: the player cannot be started"));
        return kExitFailure;
    }
    const auto refused = [](const char* option)
    {
        Fail(std::string("vark-cli: the player refused ") + option);
        return kExitFailure;
    };
    if (req.gain && !control.SetGain(*req.gain)) return refused("--gain");
    if (req.agc)
    {
        control.agcLevel = *req.agc;
        if (!control.SetAgc(true)) return refused("--agc");
    }
    if (req.ncMode)
    {
        control.ncMode = *req.ncMode;
        control.ncDepth = *req.ncDepth;
        if (!control.SetDenoiser(true)) return refused("--denoiser");
    }
    if (req.stretch)
    {
        if (record) Fail("vark-cli: --stretch does not apply to records");
        flow->SetStretch(*req.stretch);
    }
    if (req.from)
    {
        if (*req.from > recordFlow.TotalMs())
            throw UsageError{"--from is beyond the end of " + what + " (" +
                             std::to_string(recordFlow.TotalMs()) + " ms)"};
        flow->SetPosition(*req.from);
    }
    if (driveFrom) flow->SetPosition(*driveFrom);

    bool playing = false, done = false, ringing = false, started = false;
    const auto drain = [&]
    {
        for (const Message& m : loop.Take())
        {
            Print(m, ctx.json);
            if (m.code == player_code::kPlay) playing = true;
            // The loop takes the last stretch before the position, so it can only start
            // once that much has been played.
            if (req.ring && !ringing && playing && m.code == player_code::kPosition &&
                m.value >= static_cast<platform::LPARAM>(*req.ring) * 1000)
            {
                ringing = true;
                flow->SetRing(*req.ring);
                PrintRing(*req.ring, ctx.json);
            }
            // A file ends when the player stops after playing (the stop of opening comes
            // before play); a record ends when its flow has told the controller to stop.
            if (!record && m.code == player_code::kStop && playing) done = true;
        }
        if (record && started && !control.IsPlaying()) done = true;
    };
    drain();
    if (!control.Play())
    {
        drain();
        Fail(record && recordFlow.LastFailure() == vark::CVarkDataFlow::Failure::kRead
                 ? "vark-cli: record " + std::to_string(req.record) + " cannot be read"
                 : "vark-cli: the player cannot play " + what);
        return kExitFailure;
    }
    started = true;
    using Clock = std::chrono::steady_clock;
    auto nextTick = Clock::now() + std::chrono::milliseconds(kTickMs);
    auto lastCheck = Clock::now();
    while (!done)
    {
        drain();
        if (done) break;
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(nextTick - Clock::now());
        pollfd fds[2] = {{com::ApartmentFd(), POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
        ::poll(fds, 2, static_cast<int>(std::max<int64_t>(0, wait.count())));
        if (fds[1].revents & POLLIN)
        {
            control.Stop(); // closes the record and switches monitoring off
            com::PumpApartment();
            drain();
            break;
        }
        com::PumpApartment();
        if (Clock::now() >= nextTick)
        {
            control.Tick();
            nextTick += std::chrono::milliseconds(kTickMs);
            if (nextTick < Clock::now())
                nextTick = Clock::now() + std::chrono::milliseconds(kTickMs);
        }
        // A player that went away sends nothing more: notice it instead of waiting for ever.
        if (Clock::now() - lastCheck > std::chrono::seconds(1))
        {
            lastCheck = Clock::now();
            if (!control.PlayerAnswers())
            {
                control.Stop();
                Fail("vark-cli: the player stopped answering");
                return kExitFailure;
            }
        }
    }
    drain();
    if (record)
    {
        switch (recordFlow.LastFailure())
        {
        case vark::CVarkDataFlow::Failure::kNone:
            break;
        case vark::CVarkDataFlow::Failure::kRead:
            Fail("vark-cli: reading record " + std::to_string(req.record) +
                 " failed; playback stopped");
            return kExitFailure;
        case vark::CVarkDataFlow::Failure::kPlayer:
            Fail("vark-cli: the player stopped answering");
            return kExitFailure;
        }
    }
    control.Stop();
    return kExitOk;
}

} // namespace cli
