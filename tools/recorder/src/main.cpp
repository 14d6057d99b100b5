// vark-recorder: makes recorder images and plugs a virtual recorder into the device I/O
// layer, and makes folders that look like drive recorders. See Usage() for the commands.
#include "recorder/demo.h"
#include "recorder/drive_demo.h"
#include "recorder/faults.h"
#include "recorder/firmware.h"
#include "recorder/image.h"
#include "recorder/virtual_recorder.h"

#include "platform/version.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace recorder;

namespace
{

const char kUsage[] =
    "usage:\n"
    "  vark-recorder make-image DIR [--demo] [--serial N] [--firmware HEX] [--pin DIGITS]\n"
    "  vark-recorder import DIR FILE.wav [--start \"YYYY-MM-DD HH:MM:SS\"] [--rate 8000|16000]\n"
    "                [--stereo] [--mulaw] [--marks T,L,A] [--sources int,ext-left,ext-right,\n"
    "                line-left,line-right | N]\n"
    "  vark-recorder make-drive DIR [--demo]\n"
    "  vark-recorder plug [DIR | --demo] [--firmware HEX] [--serial N] [--pin DIGITS]\n"
    "                [--fault SPEC]... [--throttle BYTES_PER_S] [--latency MS]\n"
    "                [--erase-seconds S] [--not-ready-polls N] [--busy-empty N] [-v]\n"
    "fault SPECs: fail:W25[,skip=S][,times=T][,error=E]  empty:Q9|*[,times=T]\n"
    "  short-answer:Q7  short-read:BYTES  flip-data:SECTOR[,byte=B,bit=b,record=R]\n"
    "  flip-code:SECTOR[,byte=B,bit=b,record=R]  unplug-after:BYTES\n"
    "  vark-recorder --help | --version\n"
    "environment: VARK_DEVICE_DIR (the device folder, default $XDG_RUNTIME_DIR/vark/devices)\n";

int Usage(const std::string& why)
{
    if (!why.empty()) std::fprintf(stderr, "vark-recorder: %s\n", why.c_str());
    std::fputs(kUsage, stderr);
    return 2;
}

int Fail(const std::string& why)
{
    std::fprintf(stderr, "vark-recorder: %s\n", why.c_str());
    return 1;
}

bool Number(const std::string& text, int base, long long min, long long max, long long* v)
{
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long n = std::strtoll(text.c_str(), &end, base);
    if (errno || *end || n < min || n > max) return false;
    *v = n;
    return true;
}

// Options shared by make-image and plug that change the identity or the code.
struct IdentityOptions
{
    bool haveSerial = false, haveFirmware = false, havePin = false;
    int16_t serial = 0;
    uint16_t firmware = 0;
    uint32_t code = 0;

    // 1 = taken, 0 = not ours, -1 = bad value (message in *why)
    int Take(const std::vector<std::string>& args, size_t* i, std::string* why)
    {
        const std::string& a = args[*i];
        if (a != "--serial" && a != "--firmware" && a != "--pin") return 0;
        if (*i + 1 >= args.size())
        {
            *why = a + " needs a value";
            return -1;
        }
        const std::string& v = args[++*i];
        long long n = 0;
        if (a == "--serial")
        {
            if (!Number(v, 10, -32768, 65535, &n))
            {
                *why = "bad serial number '" + v + "'";
                return -1;
            }
            serial = static_cast<int16_t>(static_cast<uint16_t>(n));
            haveSerial = true;
        }
        else if (a == "--firmware")
        {
            if (!Number(v, 16, 0, 0xFFFF, &n))
            {
                *why = "bad firmware version '" + v + "' (hexadecimal, e.g. 2C10)";
                return -1;
            }
            firmware = static_cast<uint16_t>(n);
            haveFirmware = true;
        }
        else
        {
            if (!PinToAccessCode(v, &code))
            {
                *why = "bad PIN '" + v + "' (up to 8 digits)";
                return -1;
            }
            havePin = true;
        }
        return 1;
    }
    void Apply(RecorderImage* image) const
    {
        if (haveSerial) image->identity.serial = serial;
        if (haveFirmware) image->identity.firmware = firmware;
        if (havePin) image->settings.accessCode = code;
    }
};

bool Exists(const std::string& path)
{
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0;
}

int MakeImage(const std::vector<std::string>& args)
{
    std::string dir;
    bool demo = false;
    IdentityOptions id;
    for (size_t i = 0; i < args.size(); ++i)
    {
        std::string why;
        const int taken = id.Take(args, &i, &why);
        if (taken < 0) return Usage(why);
        if (taken) continue;
        if (args[i] == "--demo")
            demo = true;
        else if (args[i][0] == '-' || !dir.empty())
            return Usage("unexpected argument '" + args[i] + "'");
        else
            dir = args[i];
    }
    if (dir.empty()) return Usage("make-image needs a folder");
    if (Exists(dir + "/" + kStateFileName)) return Fail(dir + " already holds a recorder image");
    bool speech = false;
    RecorderImage image;
    if (demo)
        image = MakeDemoImage(&speech);
    else
        image.settings.clockOffset = LocalUtcOffsetSeconds();
    id.Apply(&image);
    std::string error;
    if (!SaveImage(dir, image, &error)) return Fail(error);
    std::printf("vark-recorder: image %s with %zu records%s\n", dir.c_str(), image.records.size(),
                demo ? (speech ? " (espeak-ng speech)" : " (synthetic voice)") : "");
    return 0;
}

int MakeDriveFolder(const std::vector<std::string>& args)
{
    std::string dir;
    bool demo = false;
    for (const std::string& a : args)
    {
        if (a == "--demo")
            demo = true;
        else if (a.empty() || a[0] == '-' || !dir.empty())
            return Usage("unexpected argument '" + a + "'");
        else
            dir = a;
    }
    if (dir.empty()) return Usage("make-drive needs a folder");
    std::string error;
    bool speech = false;
    const std::optional<std::vector<DriveFile>> made = MakeDrive(dir, demo, &error, &speech);
    if (!made) return Fail(error);
    for (const DriveFile& f : *made)
        std::printf("vark-recorder: %s (%s)\n", f.path.c_str(), f.what.c_str());
    if (demo)
        std::printf("vark-recorder: drive %s with %zu files%s\n", dir.c_str(), made->size(),
                    speech ? " (espeak-ng speech)" : " (synthetic voice)");
    else
        std::printf("vark-recorder: drive %s with empty folders RECORDER/FOLDER_A to FOLDER_E\n",
                    dir.c_str());
    return 0;
}

int Import(const std::vector<std::string>& args)
{
    std::vector<std::string> positional;
    ImportOptions o;
    for (size_t i = 0; i < args.size(); ++i)
    {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == "--stereo")
            o.stereo = true;
        else if (a == "--mulaw")
            o.mulaw = true;
        else if (a == "--start" || a == "--rate" || a == "--marks" || a == "--sources")
        {
            if (!hasValue) return Usage(a + " needs a value");
            const std::string& v = args[++i];
            if (a == "--start")
            {
                if (!ParseRecorderTime(v, &o.start))
                    return Usage("bad start '" + v + "' (YYYY-MM-DD HH:MM:SS)");
                o.haveStart = true;
            }
            else if (a == "--rate")
            {
                if (v != "8000" && v != "16000") return Usage("rate must be 8000 or 16000");
                o.haveRate = true;
                o.rate16k = v == "16000";
            }
            else if (a == "--marks")
            {
                if (!ParseMarks(v, &o.marks)) return Usage("bad marks '" + v + "' (T,L,A)");
            }
            else if (!ParseSources(v, &o.sources))
                return Usage("bad sources '" + v + "'");
        }
        else if (!a.empty() && a[0] == '-')
            return Usage("unknown option '" + a + "'");
        else
            positional.push_back(a);
    }
    if (positional.size() != 2) return Usage("import needs DIR and FILE.wav");
    RecorderImage image;
    std::string error;
    if (!LoadImage(positional[0], &image, &error)) return Fail(error);
    PcmAudio audio;
    if (!ReadWav(positional[1], &audio, &error)) return Fail(error);
    image.records.push_back(MakeRecord(audio, o, image));
    if (!SaveImage(positional[0], image, &error)) return Fail(error);
    const StoredRecord& r = image.records.back();
    std::printf("vark-recorder: record %zu, %s, header 0x%04X, %zu bytes\n", image.records.size(),
                FormatRecorderTime(r.start).c_str(), r.header, r.data.size());
    return 0;
}

int Plug(const std::vector<std::string>& args)
{
    std::string dir;
    bool demo = false, verbose = false;
    IdentityOptions id;
    FirmwareConfig config;
    std::vector<Fault> faults;
    for (size_t i = 0; i < args.size(); ++i)
    {
        std::string why;
        const int taken = id.Take(args, &i, &why);
        if (taken < 0) return Usage(why);
        if (taken) continue;
        const std::string& a = args[i];
        long long n = 0;
        const auto value = [&]() -> const std::string*
        { return i + 1 < args.size() ? &args[++i] : nullptr; };
        if (a == "--demo")
            demo = true;
        else if (a == "-v")
            verbose = true;
        else if (a == "--fault")
        {
            const std::string* v = value();
            if (!v) return Usage("--fault needs a SPEC");
            const std::optional<Fault> f = ParseFault(*v, &why);
            if (!f) return Usage(why);
            faults.push_back(*f);
        }
        else if (a == "--throttle" || a == "--latency" || a == "--not-ready-polls" ||
                 a == "--busy-empty")
        {
            const std::string* v = value();
            if (!v || !Number(*v, 10, 0, 1ll << 40, &n))
                return Usage(a + " needs a non-negative number");
            if (a == "--throttle") config.throttleBytesPerSecond = static_cast<uint64_t>(n);
            if (a == "--latency") config.latencyMs = static_cast<unsigned>(std::min(n, 60000ll));
            if (a == "--not-ready-polls")
                config.notReadyPolls = static_cast<unsigned>(std::min(n, 100000ll));
            if (a == "--busy-empty")
                config.busyEmptyAnswers = static_cast<unsigned>(std::min(n, 100000ll));
        }
        else if (a == "--erase-seconds")
        {
            const std::string* v = value();
            char* end = nullptr;
            const double s = v ? std::strtod(v->c_str(), &end) : -1;
            if (!v || *end || !(s >= 0 && s <= 3600)) return Usage("bad --erase-seconds");
            config.eraseSeconds = s;
        }
        else if (!a.empty() && a[0] == '-')
            return Usage("unknown option '" + a + "'");
        else if (!dir.empty())
            return Usage("unexpected argument '" + a + "'");
        else
            dir = a;
    }
    if (demo == !dir.empty()) return Usage("plug needs either DIR or --demo");

    RecorderImage image;
    std::string error;
    if (demo)
        image = MakeDemoImage();
    else if (!LoadImage(dir, &image, &error))
        return Fail(error);
    const RecorderIdentity stored = image.identity;
    id.Apply(&image);

    auto firmware = std::make_shared<RecorderFirmware>(image, config);
    if (!demo) firmware->SetImageFolder(dir, stored);
    for (const Fault& f : faults)
        firmware->AddFault(f);
    if (verbose)
        firmware->SetLogSink(
            [](const RequestLogEntry& e)
            {
                std::printf("%s\n", FormatLogEntry(e).c_str());
                std::fflush(stdout);
            });

    // Signals are taken synchronously so the unplug runs on this thread.
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);

    VirtualRecorder device(firmware);
    if (!device.Plug())
        return Fail("cannot publish the recorder (is one with serial " +
                    std::to_string(image.identity.serial) + " already plugged in?)");
    std::printf("vark-recorder: plugged in %s\n", device.DevicePath().c_str());
    std::fflush(stdout);
    for (;;)
    {
        const timespec tick{0, 100 * 1000 * 1000};
        const int sig = sigtimedwait(&set, nullptr, &tick);
        if (sig == SIGINT || sig == SIGTERM) break;
        if (!device.IsPlugged())
        {
            std::printf("vark-recorder: unplugged by fault\n");
            break;
        }
    }
    device.Unplug();
    std::printf("vark-recorder: unplugged\n");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) return Usage("");
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "make-image") return MakeImage(args);
    if (command == "make-drive") return MakeDriveFolder(args);
    if (command == "import") return Import(args);
    if (command == "plug") return Plug(args);
    if (command == "--version")
    {
        std::printf("vark-recorder %s\n", platform::kProgramVersion);
        return 0;
    }
    if (command == "help" || command == "--help" || command == "-h")
    {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return Usage("unknown command '" + command + "'");
}
