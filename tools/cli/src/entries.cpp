#include "entries.h"

#include "platform/text.h"
#include "res/strings.h"
#include "transfer/audio_file_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <set>

namespace cli
{
namespace
{

std::optional<int> RecordNumber(const std::string& text)
{
    if (text.empty() || text.size() > 5) return std::nullopt;
    int n = 0;
    for (char c : text)
    {
        if (c < '0' || c > '9') return std::nullopt;
        n = n * 10 + (c - '0');
    }
    if (n < 1 || n > 65535) return std::nullopt;
    return n;
}

// Case folding for the answers the five languages give: ASCII, Latin-1 and Cyrillic.
wchar_t Fold(wchar_t c)
{
    if (c >= L'A' && c <= L'Z') return c + 32;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

std::wstring Folded(const std::string& text)
{
    std::wstring w = platform::Utf8ToWide(text);
    const auto space = [](wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r'; };
    while (!w.empty() && space(w.back()))
        w.pop_back();
    size_t start = 0;
    while (start < w.size() && space(w[start]))
        ++start;
    w.erase(0, start);
    for (wchar_t& c : w)
        c = Fold(c);
    return w;
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

} // namespace

PlayRequest ParsePlayRequest(const Args& args)
{
    PlayRequest r;
    if (const auto record = args.Get("--record"))
    {
        if (!args.positional.empty()) throw UsageError{"play takes a FILE or --record N, not both"};
        const auto n = RecordNumber(*record);
        if (!n) throw UsageError{"--record needs a record number from 1 to 65535"};
        r.record = *n;
        if (args.Has("--from")) r.from = IntOption(args, "--from", 0, 2147483647);
    }
    else
    {
        if (args.positional.size() != 1) throw UsageError{"play needs one FILE or --record N"};
        if (args.Has("--from")) throw UsageError{"--from goes with --record"};
        r.file = args.positional[0];
    }
    if (args.Has("--gain")) r.gain = IntOption(args, "--gain", 0, 100);
    if (args.Has("--ring")) r.ring = IntOption(args, "--ring", 1, 3600);
    if (args.Has("--agc")) r.agc = IntOption(args, "--agc", 0, 100000);
    if (args.Has("--stretch")) r.stretch = IntOption(args, "--stretch", -100, 100);
    if (const auto device = args.Get("--output-device"))
    {
        if (device->empty()) throw UsageError{"--output-device needs an output's name"};
        r.outputDevice = *device;
    }
    if (const auto d = args.Get("--denoiser"))
    {
        const auto comma = d->find(',');
        if (comma == std::string::npos) throw UsageError{"--denoiser needs MODE,DEPTH"};
        Args parts;
        parts.options["--denoiser MODE"] = d->substr(0, comma);
        parts.options["--denoiser DEPTH"] = d->substr(comma + 1);
        r.ncMode = IntOption(parts, "--denoiser MODE", 0, 1);
        r.ncDepth = IntOption(parts, "--denoiser DEPTH", 0, 1000000);
    }
    return r;
}

std::optional<std::vector<int>> ParseRecordList(const std::string& text)
{
    if (text.empty()) return std::nullopt;
    std::set<int> numbers;
    size_t at = 0;
    for (;;)
    {
        const size_t comma = text.find(',', at);
        const std::string item = text.substr(at, comma == std::string::npos ? comma : comma - at);
        const size_t dash = item.find('-');
        const auto first = RecordNumber(item.substr(0, dash));
        if (!first) return std::nullopt;
        int last = *first;
        if (dash != std::string::npos)
        {
            const auto end = RecordNumber(item.substr(dash + 1));
            if (!end || *end < *first) return std::nullopt;
            last = *end;
        }
        for (int n = *first; n <= last; ++n)
            numbers.insert(n);
        if (comma == std::string::npos) break;
        at = comma + 1;
    }
    return std::vector<int>(numbers.begin(), numbers.end());
}

ExportRequest ParseExportRequest(const Args& args)
{
    static const std::set<std::string> kKnown = {
        "--out",        "--all",           "--records",   "--pause",
        "--real-pause", "--sign",          "--overwrite", "--skip-existing",
        "--yes",        "--device",        "--pin",       "--drive",
        "--serial",     "--keep-original", "--minisig",   "--passphrase-file",
        "--bwf",        "--format"};
    for (const auto& [name, value] : args.options)
        if (!kKnown.count(name)) throw UsageError{"unknown option for export: " + name};
    if (!args.positional.empty())
        throw UsageError{"unexpected argument: " + args.positional.front()};

    ExportRequest r;
    r.out = args.Get("--out").value_or("");
    if (r.out.empty()) throw UsageError{res::LoadString(res::ids::kEnterTargetFolder)};

    r.all = args.Has("--all");
    const auto records = args.Get("--records");
    if (r.all == records.has_value()) throw UsageError{"give either --all or --records LIST"};
    if (records)
    {
        const auto list = ParseRecordList(*records);
        if (!list) throw UsageError{"bad record list '" + *records + "' (e.g. 1,3-5)"};
        r.records = *list;
    }

    const auto pause = args.Get("--pause");
    if (pause && args.Has("--real-pause"))
        throw UsageError{"--pause and --real-pause exclude each other"};
    if (args.Has("--real-pause"))
    {
        r.pauseMode = vark::PauseMode::kReal;
        r.pauseSeconds = 0;
    }
    else if (pause)
    {
        // Read as the pause edit is read: anything but a number counts as 0.
        r.pauseSeconds = vark::ParsePauseText(platform::Utf8ToWide(*pause));
        if (!vark::PauseAccepted(vark::PauseMode::kFixed, r.pauseSeconds))
            throw UsageError{res::LoadString(res::ids::kPauseOutOfRange)};
    }

    if (args.Has("--overwrite") && args.Has("--skip-existing"))
        throw UsageError{"--overwrite and --skip-existing exclude each other"};
    if (args.Has("--overwrite")) r.existing = Existing::kOverwrite;
    if (args.Has("--skip-existing")) r.existing = Existing::kSkip;
    r.sign = args.Has("--sign");
    r.yes = args.Has("--yes");
    // A drive recorder has no serial: its signatures carry the one given here.
    const bool drive = args.Has("--drive");
    if ((args.Has("--serial") || args.Has("--keep-original")) && !drive)
        throw UsageError{"--serial and --keep-original go with --drive"};
    if (drive && (pause || args.Has("--real-pause")))
        throw UsageError{"a drive recorder's records are never joined: no --pause"};
    if (const auto serial = args.Get("--serial"))
    {
        r.serial = ParseSerial(*serial);
        if (!r.serial) throw UsageError{res::LoadString(res::ids::kWrongSerialNumber)};
    }
    r.keepOriginal = args.Has("--keep-original");
    r.minisig = args.Has("--minisig");
    // a drive's WAV files copied as they are never get one: only decoded files do
    r.bwf = args.Has("--bwf");
    if (const auto format = args.Get("--format");
        format && !vark::ParseExportFormat(*format, r.format))
        throw UsageError{"unknown --format '" + *format + "' (wav or flac)"};
    return r;
}

bool IsYesAnswer(const std::string& answer, const std::string& yesText, const std::string& noText)
{
    const std::wstring a = Folded(answer), yes = Folded(yesText), no = Folded(noText);
    if (a.empty()) return false;
    if (a == L"y" || a == L"yes" || a == yes) return true;
    return a.size() == 1 && !yes.empty() && a[0] == yes[0] && (no.empty() || no[0] != yes[0]);
}

} // namespace cli
