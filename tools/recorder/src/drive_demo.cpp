#include "recorder/drive_demo.h"

#include "recorder/audio.h"
#include "recorder/mp3_file.h"
#include "recorder/wave_file.h"

#include "platform/bext.h"
#include "platform/finished_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

namespace recorder
{

namespace
{

namespace fs = std::filesystem;

enum class Kind
{
    kBroadcastWav,
    kPlainWav,
    kCutShort, // the first bytes of a WAV, as a recorder leaves when its battery dies
    kMp3,
    kText,
};

struct DemoFile
{
    const char* path;
    Kind kind;
    const char* start; // local time; the modification time is start + seconds
    int seconds = 0;
    unsigned rate = 0, channels = 1;
    int bitRate = 0;                   // MP3
    const char* description = nullptr; // bext
    const char* reference = nullptr;   // bext
    const char* title = nullptr;       // ID3
    bool dateTag = false;              // ID3
    const char* voice = nullptr;
    const char* text = nullptr;
    const char* rightVoice = nullptr; // stereo: the second speaker, after the first
    const char* rightText = nullptr;
};

const DemoFile kDemo[] = {
    {.path = "RECORDER/FOLDER_A/260314_0926.WAV",
     .kind = Kind::kBroadcastWav,
     .start = "2026-03-14 09:26:53",
     .seconds = 7,
     .rate = 16000,
     .description = "Dictation",
     .reference = "PR-0001",
     .voice = "en-gb",
     .text = "Dictation, fourteenth of March. Please book the small meeting room for Tuesday "
             "morning."},
    {.path = "RECORDER/FOLDER_A/REC0002.WAV",
     .kind = Kind::kBroadcastWav,
     .start = "2026-03-15 14:02:10",
     .seconds = 7,
     .rate = 44100,
     .channels = 2,
     .description = "Interview",
     .reference = "PR-0002",
     .voice = "en-gb-scotland",
     .text = "Where were you on Friday evening?",
     .rightVoice = "en+f3",
     .rightText = "At home, watching the news with my sister."},
    {.path = "RECORDER/FOLDER_A/REC0003.WAV",
     .kind = Kind::kCutShort,
     .start = "2026-03-15 14:30:00",
     .rate = 16000},
    {.path = "RECORDER/FOLDER_B/20260316_101500.WAV",
     .kind = Kind::kPlainWav,
     .start = "2026-03-16 10:15:00",
     .seconds = 6,
     .rate = 8000,
     .voice = "en-us",
     .text = "Note for the file. The parcel arrived at ten fifteen, the box was damaged."},
    {.path = "RECORDER/FOLDER_B/MEMO0005.WAV",
     .kind = Kind::kPlainWav,
     .start = "2026-03-17 08:00:00",
     .seconds = 4,
     .rate = 16000,
     .voice = "en",
     .text = "Memo. Buy printer paper and new batteries."},
    {.path = "RECORDER/FOLDER_C/VOICE006.MP3",
     .kind = Kind::kMp3,
     .start = "2026-03-18 11:30:00",
     .seconds = 7,
     .rate = 44100,
     .bitRate = 64000,
     .title = "Lecture notes",
     .dateTag = true,
     .voice = "en-gb-x-rp",
     .text = "Lecture notes. Today we cover the causes of the first industrial revolution."},
    {.path = "RECORDER/FOLDER_C/2026-03-19 16-45-00.mp3",
     .kind = Kind::kMp3,
     .start = "2026-03-19 16:45:00",
     .seconds = 5,
     .rate = 22050,
     .bitRate = 32000,
     .voice = "en-us",
     .text = "Call back the garage about the brakes before five o'clock."},
    {.path = "RECORDER/FOLDER_C/NOTES.TXT", .kind = Kind::kText, .start = "2026-03-19 17:00:00"},
};

constexpr const char* kFolders[] = {"FOLDER_A", "FOLDER_B", "FOLDER_C", "FOLDER_D", "FOLDER_E"};
constexpr size_t kCutShortBytes = 30;
constexpr double kLeadIn = 0.3;   // seconds of room before the first word
constexpr double kTurn = 0.4;     // between the speakers of a stereo file
constexpr double kFadeOut = 0.02; // where speech is cut at the end of its file

const char kNotes[] = "Notes for the demo recorder\r\n"
                      "FOLDER_A: dictation and interviews\r\n"
                      "FOLDER_B: memos\r\n"
                      "FOLDER_C: lectures and calls\r\n";

// Adds mono `speech` to `channel` of `out` from frame `at`, cut (and faded) where `out` ends.
// Returns the frame after its end.
size_t Place(PcmAudio* out, const PcmAudio& speech, size_t at, unsigned channel)
{
    const size_t frames = out->samples.size() / out->channels;
    const size_t n = std::min(speech.samples.size(), frames > at ? frames - at : 0);
    const size_t fade = n < speech.samples.size() ? static_cast<size_t>(kFadeOut * out->rate) : 0;
    for (size_t i = 0; i < n; ++i)
    {
        double v = speech.samples[i];
        if (n - i <= fade) v *= static_cast<double>(n - i) / static_cast<double>(fade + 1);
        out->samples[(at + i) * out->channels + channel] = static_cast<int16_t>(v);
    }
    return at + speech.samples.size();
}

PcmAudio Sound(const DemoFile& f, unsigned seed, bool* usedSpeech)
{
    PcmAudio out;
    out.rate = f.rate;
    out.channels = f.channels;
    out.samples.assign(static_cast<size_t>(std::max(f.seconds, 1)) * f.rate * f.channels, 0);
    if (!f.text) return out;
    const PcmAudio first = Resampled(Speech(f.text, f.voice, seed, usedSpeech), f.rate);
    const size_t at = static_cast<size_t>(kLeadIn * f.rate);
    const size_t end = Place(&out, first, at, 0);
    if (f.channels < 2) return out;
    if (!f.rightText)
        Place(&out, first, at, 1);
    else
        Place(&out, Resampled(Speech(f.rightText, f.rightVoice, seed + 1, usedSpeech), f.rate),
              end + static_cast<size_t>(kTurn * f.rate), 1);
    return out;
}

platform::bext::Bext BextOf(const DemoFile& f)
{
    platform::bext::Bext b;
    b.description = f.description;
    b.originator = "Pocket recorder";
    b.originatorReference = f.reference;
    b.originationDate = std::string(f.start, 10);
    b.originationTime = std::string(f.start + 11, 8);
    const int h = std::atoi(f.start + 11), m = std::atoi(f.start + 14), s = std::atoi(f.start + 17);
    b.timeReference = static_cast<uint64_t>(h * 3600 + m * 60 + s) * f.rate;
    b.version = 1;
    b.codingHistory = "A=PCM,F=" + std::to_string(f.rate) +
                      ",W=16,M=" + (f.channels == 2 ? "stereo" : "mono") + ",T=demo\r\n";
    return b;
}

bool Contents(const DemoFile& f, unsigned seed, bool* usedSpeech, std::string* bytes,
              std::string* why)
{
    std::vector<uint8_t> b;
    switch (f.kind)
    {
    case Kind::kText:
        *bytes = kNotes;
        return true;
    case Kind::kBroadcastWav:
    {
        const platform::bext::Bext bext = BextOf(f);
        b = WaveFileBytes(Sound(f, seed, usedSpeech), &bext);
        break;
    }
    case Kind::kPlainWav:
        b = WaveFileBytes(Sound(f, seed, usedSpeech));
        break;
    case Kind::kCutShort:
        b = WaveFileBytes(Sound(f, seed, usedSpeech));
        b.resize(kCutShortBytes);
        break;
    case Kind::kMp3:
    {
        Mp3Tags tags;
        if (f.dateTag) tags.emplace_back("date", std::string(f.start, 10) + "T" + (f.start + 11));
        if (f.title) tags.emplace_back("title", f.title);
        if (!Mp3FileBytes(Sound(f, seed, usedSpeech), f.bitRate, tags, &b, why)) return false;
        break;
    }
    }
    bytes->assign(b.begin(), b.end());
    return true;
}

std::string What(const DemoFile& f)
{
    static const char* const kNames[] = {"Broadcast WAV", "WAV", "WAV cut short", "MP3", "text"};
    std::string what = kNames[static_cast<int>(f.kind)];
    if (f.kind == Kind::kText || f.kind == Kind::kCutShort) return what + ", " + f.start;
    what += ", " + std::to_string(f.rate) + " Hz " + (f.channels == 2 ? "stereo" : "mono");
    if (f.kind == Kind::kMp3) what += " " + std::to_string(f.bitRate / 1000) + " kb/s";
    return what + ", " + std::to_string(f.seconds) + " s from " + f.start;
}

// The file's start plus its length, read as local time.
bool SetTime(const fs::path& path, const DemoFile& f)
{
    std::tm tm{};
    if (std::sscanf(f.start, "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour,
                    &tm.tm_min, &tm.tm_sec) != 6)
        return false;
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    const std::time_t start = std::mktime(&tm);
    if (start == static_cast<std::time_t>(-1)) return false;
    const timespec end{start + f.seconds, 0};
    const timespec times[2] = {end, end};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

// `dir` made, or found empty.
bool EmptyFolder(const fs::path& dir, std::string* error)
{
    std::error_code ec;
    if (fs::exists(fs::symlink_status(dir, ec)))
    {
        if (!fs::is_directory(dir, ec))
        {
            *error = dir.string() + " exists and is not a folder";
            return false;
        }
        if (!fs::is_empty(dir, ec) || ec)
        {
            *error = dir.string() + (ec ? ": " + ec.message() : std::string(" is not empty"));
            return false;
        }
        return true;
    }
    if (!fs::create_directories(dir, ec))
    {
        *error = "cannot make " + dir.string() + ": " + ec.message();
        return false;
    }
    return true;
}

} // namespace

std::optional<std::vector<DriveFile>> MakeDrive(const std::string& dir, bool demo,
                                                std::string* error, bool* usedSpeech)
{
    if (usedSpeech) *usedSpeech = true;
    if (!EmptyFolder(dir, error)) return std::nullopt;
    const fs::path root = fs::path(dir) / "RECORDER";
    for (const char* folder : kFolders)
    {
        std::error_code ec;
        fs::create_directories(root / folder, ec);
        if (ec)
        {
            *error = "cannot make " + (root / folder).string() + ": " + ec.message();
            return std::nullopt;
        }
    }
    std::vector<DriveFile> made;
    if (!demo) return made;
    for (size_t i = 0; i < std::size(kDemo); ++i)
    {
        const DemoFile& f = kDemo[i];
        const fs::path path = fs::path(dir) / f.path;
        std::string bytes, why;
        if (!Contents(f, static_cast<unsigned>(2 * i + 1), usedSpeech, &bytes, &why))
        {
            *error = path.string() + ": " + why;
            return std::nullopt;
        }
        if (!platform::WriteFinishedFile(path, bytes) || !SetTime(path, f))
        {
            *error = "cannot write " + path.string() + ": " + std::strerror(errno);
            return std::nullopt;
        }
        made.push_back({path.string(), What(f)});
    }
    return made;
}

} // namespace recorder
