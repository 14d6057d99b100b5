#include "drive/drive_space.h"

#include <sys/statvfs.h>

namespace drive
{

std::optional<DriveSpace> SpaceOf(const std::string& root)
{
    struct statvfs fs
    {
    };
    if (::statvfs(root.c_str(), &fs) != 0) return std::nullopt;
    DriveSpace s;
    s.totalBytes = static_cast<uint64_t>(fs.f_blocks) * fs.f_frsize;
    s.freeBytes = static_cast<uint64_t>(fs.f_bavail) * fs.f_frsize;
    return s;
}

std::optional<uint64_t> SecondsLeft(uint64_t freeBytes, const std::vector<DriveRecord>& records)
{
    const DriveRecord* newest = nullptr;
    for (const DriveRecord& r : records)
        if (r.readable && r.duration.TotalSeconds() >= 1.0 && r.bytes > 0 &&
            (!newest || newest->start < r.start))
            newest = &r;
    if (!newest) return std::nullopt;
    const double bytesPerSecond =
        static_cast<double>(newest->bytes) / newest->duration.TotalSeconds();
    return static_cast<uint64_t>(static_cast<double>(freeBytes) / bytesPerSecond);
}

} // namespace drive
