#include "drive/drive_record.h"

#include "drive/name_dates.h"
#include "drive/recorder_layout.h"
#include "platform/bext.h"
#include "platform/media_probe.h"
#include "platform/paths.h"
#include "platform/riff.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace drive
{

namespace
{

platform::AutoDate LocalDate(time_t t)
{
    tm local{};
    if (!localtime_r(&t, &local)) return platform::AutoDate::Invalid();
    return platform::AutoDate::FromParts(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                         local.tm_hour, local.tm_min, local.tm_sec);
}

// The origination moment of the file's bext chunk.
platform::AutoDate BextStart(const std::string& path, uint64_t size)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return platform::AutoDate::Invalid();
    const platform::riff::ReadAt read = [fd](uint64_t at, void* buffer, size_t n)
    { return ::pread(fd, buffer, n, static_cast<off_t>(at)) == static_cast<ssize_t>(n); };
    platform::AutoDate start = platform::AutoDate::Invalid();
    platform::riff::WalkChunks(
        read, size,
        [&](const platform::riff::Chunk& chunk)
        {
            if (!chunk.Is("bext")) return !chunk.Is("data"); // the bext chunk comes first
            std::vector<uint8_t> body(chunk.held);
            if (!read(chunk.body, body.data(), body.size())) return false;
            if (const auto bext = platform::bext::Parse(body.data(), body.size()))
                if (const auto when = platform::bext::Origination(*bext))
                    start = platform::AutoDate::FromParts(when->year, when->month, when->day,
                                                          when->hour, when->minute, when->second);
            return false;
        },
        platform::riff::Pad::kWhenZero);
    ::close(fd);
    return start;
}

platform::AutoDate TagStart(const platform::mediastream::MediaInfo& info)
{
    for (const char* key : {"date", "creation_time", "date_recorded"})
    {
        const platform::AutoDate d = DateInTag(info.Tag(key));
        if (d.IsValid()) return d;
    }
    return platform::AutoDate::Invalid();
}

bool Digits(const std::string& s, size_t at, size_t n, int* value)
{
    if (at + n > s.size()) return false;
    int v = 0;
    for (size_t i = at; i < at + n; ++i)
    {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
    }
    *value = v;
    return true;
}

} // namespace

platform::AutoDate DateInTag(const std::string& text)
{
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    if (!Digits(text, 0, 4, &y) || text.size() < 16 || text[4] != '-' || !Digits(text, 5, 2, &mo) ||
        text[7] != '-' || !Digits(text, 8, 2, &d) || (text[10] != 'T' && text[10] != ' ') ||
        !Digits(text, 11, 2, &h) || text[13] != ':' || !Digits(text, 14, 2, &mi))
        return platform::AutoDate::Invalid();
    size_t at = 16;
    if (at < text.size() && text[at] == ':')
    {
        if (!Digits(text, at + 1, 2, &s)) return platform::AutoDate::Invalid();
        at += 3;
    }
    if (at < text.size() && text[at] == '.')
        while (++at < text.size() && text[at] >= '0' && text[at] <= '9')
        {
        }
    const platform::AutoDate wall = platform::AutoDate::FromParts(y, mo, d, h, mi, s);
    if (!wall.IsValid() || at == text.size()) return wall;
    int offsetMinutes = 0;
    if (text[at] == '+' || text[at] == '-')
    {
        int oh = 0, om = 0;
        const size_t mAt = at + 3 < text.size() && text[at + 3] == ':' ? at + 4 : at + 3;
        if (!Digits(text, at + 1, 2, &oh) || !Digits(text, mAt, 2, &om) || mAt + 2 != text.size())
            return platform::AutoDate::Invalid();
        offsetMinutes = (oh * 60 + om) * (text[at] == '-' ? -1 : 1);
    }
    else if (text[at] != 'Z' || at + 1 != text.size())
        return platform::AutoDate::Invalid();
    tm utc{};
    utc.tm_year = y - 1900, utc.tm_mon = mo - 1, utc.tm_mday = d;
    utc.tm_hour = h, utc.tm_min = mi, utc.tm_sec = s;
    return LocalDate(timegm(&utc) - offsetMinutes * 60);
}

DriveRecord ReadRecord(const std::string& root, const std::string& path)
{
    DriveRecord r;
    r.path = path;
    const size_t slash = path.rfind('/');
    r.name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash);
    r.folder = folder.size() > root.size() && folder.compare(0, root.size(), root) == 0
                   ? folder.substr(root.size() + 1)
                   : std::string();
    struct stat st
    {
    };
    if (::stat(path.c_str(), &st) == 0)
    {
        r.bytes = static_cast<uint64_t>(st.st_size);
        r.modified = st.st_mtime;
    }
    r.start = LocalDate(r.modified);
    r.startFrom = StartFrom::kModified;

    const auto info = platform::mediastream::Probe(path);
    if (info)
    {
        r.readable = true;
        r.container = info->container;
        r.codec = info->codec;
        r.rate = info->sampleRate;
        r.channels = info->channels;
        r.duration = platform::AutoSpan(static_cast<double>(info->duration) /
                                        platform::mediastream::kUnitsPerSecond / 86400.0);
        platform::AutoDate from =
            r.IsWave() ? BextStart(path, r.bytes) : platform::AutoDate::Invalid();
        if (from.IsValid()) return r.start = from, r.startFrom = StartFrom::kBext, r;
        from = TagStart(*info);
        if (from.IsValid()) return r.start = from, r.startFrom = StartFrom::kTags, r;
        // A recorder writes its file until the recording ends: the modification time is the
        // end, the start lies a length earlier.
        r.start =
            LocalDate(r.modified - static_cast<time_t>(std::llround(r.duration.TotalSeconds())));
    }
    if (const auto n = DateInName(r.name))
    {
        const auto d =
            platform::AutoDate::FromParts(n->year, n->month, n->day, n->hour, n->minute, n->second);
        if (d.IsValid()) r.start = d, r.startFrom = StartFrom::kName;
    }
    return r;
}

std::vector<DriveRecord> ListRecords(const std::string& root, const std::function<bool()>& stop)
{
    std::vector<std::string> folders = RecordFolders(root);
    if (folders.empty()) folders.push_back(root);
    std::vector<DriveRecord> records;
    for (const std::string& folder : folders)
        for (const platform::FolderEntry& entry : platform::ListFolder(folder))
        {
            if (!entry.file || entry.name.front() == '.') continue;
            if (stop && stop()) return records;
            DriveRecord r = ReadRecord(root, folder + "/" + entry.name);
            if (r.readable || HasSoundExtension(entry.name)) records.push_back(std::move(r));
        }
    std::stable_sort(records.begin(), records.end(),
                     [](const DriveRecord& a, const DriveRecord& b) { return a.start < b.start; });
    return records;
}

} // namespace drive
