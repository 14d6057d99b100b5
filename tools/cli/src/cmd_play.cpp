// play: a sound file through the player wrapper and the player server, printing what the
// player reports, one event per line, until playback stops (or Ctrl+C stops it).
#include "cli.h"

#include "platform/com/com.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "platform/winmsg.h"
#include "trillo/player_case.h"
#include "trillo/trillo.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <poll.h>
#include <unistd.h>

namespace cli {

namespace {

constexpr platform::UINT kPlayerMessage = 33323;

int g_stopPipe[2] = {-1, -1};

void OnInterrupt(int)
{
    const char byte = 1;
    [[maybe_unused]] auto n = ::write(g_stopPipe[1], &byte, 1);
}

int32_t IntOption(const Args& args, const std::string& name, int32_t low, int32_t high)
{
    const std::string text = *args.Get(name);
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text.c_str(), &end, 10);
    if (text.empty() || *end || errno || v < low || v > high)
        throw UsageError{name + " needs a number from " + std::to_string(low) + " to " +
                         std::to_string(high)};
    return static_cast<int32_t>(v);
}

struct Message {
    platform::WPARAM code;
    platform::LPARAM value;
    std::wstring title; // code 1: copied at once, the buffer is the wrapper's
};

// The window of this command: posted messages wait in a queue for the loop.
class MessageLoop {
public:
    MessageLoop()
        : hwnd_(platform::RegisterWindowHandle(
              [this](platform::UINT message, platform::WPARAM w, platform::LPARAM l) {
                  if (message != kPlayerMessage) return;
                  Message m{w, l, {}};
                  if (w == kTrilOpenFile && l) m.title = reinterpret_cast<const wchar_t*>(l);
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
    static const char* kNames[] = {"monitor", "open", "close", "duration", "position",
                                   "stretch", "play", "pause", "stop"};
    if (m.code > kTrilStop) return;
    const std::string name = kNames[m.code];
    if (json) {
        Json j;
        j.Str("event", name);
        if (m.code == kTrilOpenFile)
            j.Str("title", Narrow(m.title));
        else if (m.code != kTrilCloseFile)
            j.Int("value", m.value);
        std::printf("%s\n", j.Text().c_str());
    } else if (m.code == kTrilOpenFile) {
        std::printf("open %s\n", Narrow(m.title).c_str());
    } else if (m.code == kTrilCloseFile) {
        std::printf("close\n");
    } else {
        std::printf("%s %ld\n", name.c_str(), static_cast<long>(m.value));
    }
    std::fflush(stdout);
}

// The apartment, the player and the interrupt handler of one play command.
class PlaySession {
public:
    PlaySession()
    {
        com::CoInitialize();
        if (::pipe2(g_stopPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
            struct sigaction sa {};
            sa.sa_handler = OnInterrupt;
            sigemptyset(&sa.sa_mask);
            sa.sa_flags = SA_RESTART;
            for (int sig : {SIGINT, SIGTERM}) ::sigaction(sig, &sa, nullptr);
        }
    }
    ~PlaySession()
    {
        TRIL_Clear();
        com::CoUninitialize();
        for (int sig : {SIGINT, SIGTERM}) std::signal(sig, SIG_DFL);
        for (int& fd : g_stopPipe) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }
};

} // namespace

int CmdPlay(Context& ctx)
{
    if (ctx.args.positional.size() != 1) throw UsageError{"play needs one FILE"};
    const std::string file = ctx.args.positional[0];
    std::optional<int32_t> gain, agc, stretch, mode, depth, ring;
    if (ctx.args.Has("--gain")) gain = IntOption(ctx.args, "--gain", 0, 100);
    if (ctx.args.Has("--ring")) ring = IntOption(ctx.args, "--ring", 1, 3600);
    if (ctx.args.Has("--agc")) agc = IntOption(ctx.args, "--agc", 0, 100000);
    if (ctx.args.Has("--stretch")) stretch = IntOption(ctx.args, "--stretch", -100, 100);
    if (const auto d = ctx.args.Get("--denoiser")) {
        const auto comma = d->find(',');
        if (comma == std::string::npos) throw UsageError{"--denoiser needs MODE,DEPTH"};
        Args parts;
        parts.options["--denoiser MODE"] = d->substr(0, comma);
        parts.options["--denoiser DEPTH"] = d->substr(comma + 1);
        mode = IntOption(parts, "--denoiser MODE", 0, 1);
        depth = IntOption(parts, "--denoiser DEPTH", 0, 1000000);
    }
    if (::access(file.c_str(), R_OK) != 0) {
        Fail("vark-cli: cannot read " + file);
        return kExitFailure;
    }

    // The player server sits next to this program; register it if nothing usable is.
    const std::string server = platform::JoinPath(platform::ExecutableFolder(), "vark-player");
    if (!trillo::RegisterPlayerServerIfMissing(server)) {
        Fail("vark-cli: the player server is not registered and " + server + " is missing");
        return kExitFailure;
    }
    PlaySession session;
    MessageLoop loop;
    if (!TRIL_Init(-1, loop.Handle(), static_cast<int>(kPlayerMessage), false, 200)) {
        Fail("vark-cli: the player cannot be started");
        return kExitFailure;
    }
    const auto refused = [](const char* what) {
        Fail(std::string("vark-cli: the player refused ") + what);
        return kExitFailure;
    };
    if (!TRIL_OpenFile(platform::Utf8ToWide(file).c_str())) {
        Fail("vark-cli: the player cannot open " + file);
        return kExitFailure;
    }
    if (gain && !TRIL_SetGain(*gain)) return refused("--gain");
    if (agc && !TRIL_SetAgc(*agc, 1)) return refused("--agc");
    if (mode && !TRIL_SetDenoiser(*mode, *depth, 1)) return refused("--denoiser");
    if (stretch && !TRIL_SetStretch(*stretch)) return refused("--stretch");

    bool playing = false, done = false, ringing = false;
    const auto drain = [&] {
        for (const Message& m : loop.Take()) {
            Print(m, ctx.json);
            if (m.code == kTrilPlay) playing = true;
            // The player loops the last stretch before the position, so the loop can only
            // start once that much has been played.
            if (ring && !ringing && playing && m.code == kTrilPosition &&
                m.value >= static_cast<platform::LPARAM>(*ring) * 1000) {
                ringing = true;
                if (ctx.json) {
                    Json j;
                    j.Str("event", "ring");
                    j.Int("value", TRIL_SetRing(*ring, 1) ? *ring : 0);
                    std::printf("%s\n", j.Text().c_str());
                } else {
                    std::printf(TRIL_SetRing(*ring, 1) ? "ring %d\n" : "ring refused\n", *ring);
                }
                std::fflush(stdout);
            }
            // The stop of opening comes before play; only a stop while playing ends.
            if (m.code == kTrilStop && playing) done = true;
        }
    };
    drain();
    if (!TRIL_Play(1)) {
        Fail("vark-cli: the player cannot play " + file);
        return kExitFailure;
    }
    auto lastCheck = std::chrono::steady_clock::now();
    while (!done) {
        drain();
        if (done) break;
        pollfd fds[2] = {{com::ApartmentFd(), POLLIN, 0}, {g_stopPipe[0], POLLIN, 0}};
        ::poll(fds, 2, 200);
        if (fds[1].revents & POLLIN) {
            TRIL_Play(0);
            drain();
            break;
        }
        com::PumpApartment();
        // A player that went away sends nothing more: notice it instead of waiting for ever.
        if (std::chrono::steady_clock::now() - lastCheck > std::chrono::seconds(1)) {
            lastCheck = std::chrono::steady_clock::now();
            if (TRIL_GetGain() < 0) {
                Fail("vark-cli: the player stopped answering");
                return kExitFailure;
            }
        }
    }
    return kExitOk;
}

} // namespace cli
