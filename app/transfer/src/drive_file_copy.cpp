#include "drive_file_copy.h"

#include "platform/whole_file.h"
#include "res/string_ids.h"
#include "transfer/export_run.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace vark
{
namespace
{

struct Fd
{
    int fd;
    explicit Fd(int f) : fd(f) {}
    ~Fd()
    {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
};

} // namespace

void CopyDriveFile(const drive::DriveRecord& record, const std::filesystem::path& to,
                   const std::function<void(const uint8_t*, size_t)>& each)
{
    const RunFailure unreadable{res::ids::kDriveFileUnreadable, record.name},
        unwritable{res::ids::kDiskWriteError, {}};
    Fd in(::open(record.path.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.fd < 0) throw unreadable;
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (out.fd < 0) throw unwritable;
    std::vector<uint8_t> piece(65536);
    uint64_t done = 0;
    for (;;)
    {
        const ssize_t n = ::read(in.fd, piece.data(), piece.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) throw unreadable;
        if (n == 0) break;
        if (!platform::WriteWhole(out.fd, piece.data(), static_cast<size_t>(n))) throw unwritable;
        done += static_cast<uint64_t>(n);
        each(piece.data(), static_cast<size_t>(n));
    }
    // a file cut short while it was read (pulled, changed) is not a copy
    if (done != record.bytes) throw unreadable;
    const int fd = out.fd;
    out.fd = -1;
    if (::close(fd) != 0) throw unwritable; // a full disk found late
}

std::string FileExtension(const std::string& name)
{
    const size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : name.substr(dot);
}

} // namespace vark
