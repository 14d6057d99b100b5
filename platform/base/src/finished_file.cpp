#include "platform/finished_file.h"
#include "platform/whole_file.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace platform
{
namespace
{

bool SyncPath(const std::filesystem::path& path, int flags)
{
    const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ::fsync(fd) == 0;
    return ::close(fd) == 0 && ok;
}

std::filesystem::path FolderOf(const std::filesystem::path& path)
{
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

} // namespace

std::filesystem::path PartPathFor(const std::filesystem::path& finalPath)
{
    return FolderOf(finalPath) / ("." + finalPath.filename().string() + ".part");
}

bool CommitPart(const std::filesystem::path& finalPath)
{
    const std::filesystem::path part = PartPathFor(finalPath);
    // The data reaches the disk before the name does, and the name before "done" is said.
    return SyncPath(part, O_RDONLY) && ::rename(part.c_str(), finalPath.c_str()) == 0 &&
           SyncPath(FolderOf(finalPath), O_RDONLY | O_DIRECTORY);
}

bool WriteFinishedFile(const std::filesystem::path& finalPath, std::string_view bytes)
{
    const std::filesystem::path part = PartPathFor(finalPath);
    const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    bool ok = WriteWhole(fd, bytes.data(), bytes.size());
    ok = ::close(fd) == 0 && ok;
    if (ok && CommitPart(finalPath)) return true;
    ::unlink(part.c_str());
    return false;
}

void RemoveLeftoverPart(const std::filesystem::path& finalPath)
{
    ::unlink(PartPathFor(finalPath).c_str());
}

} // namespace platform
