#include "basix/x_file.h"

#include "platform/text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

// Our own code for a refused share; errno values are all positive and far below it.
constexpr int kSharingViolation = -32;

// Every open X_FILE of the process, by file identity, for the share check.
struct OpenEntry
{
    const void* owner;
    uint32_t access;
    uint32_t share;
};

std::mutex& RegistryMutex()
{
    static std::mutex m;
    return m;
}

std::map<std::pair<uint64_t, uint64_t>, std::vector<OpenEntry>>& Registry()
{
    static std::map<std::pair<uint64_t, uint64_t>, std::vector<OpenEntry>> r;
    return r;
}

bool Compatible(uint32_t access, uint32_t share, const OpenEntry& other)
{
    if ((access & A_FILE::READ) && !(other.share & A_FILE::SHARE_READ)) return false;
    if ((access & A_FILE::WRITE) && !(other.share & A_FILE::SHARE_WRITE)) return false;
    if ((other.access & A_FILE::READ) && !(share & A_FILE::SHARE_READ)) return false;
    if ((other.access & A_FILE::WRITE) && !(share & A_FILE::SHARE_WRITE)) return false;
    return true;
}

} // namespace

A_FILE::~A_FILE() = default;

X_FILE::~X_FILE()
{
    Close();
}

bool X_FILE::Fail(const char* operation, int error)
{
    lastOperation_ = operation;
    lastError_ = error;
    return false;
}

bool X_FILE::NotOpen(const char* operation)
{
    return Fail(operation, EBADF);
}

bool X_FILE::Open(const std::wstring& name, uint32_t access, uint32_t share)
{
    return Open(platform::WideToUtf8(name), access, share);
}

bool X_FILE::Open(const std::string& utf8Name, uint32_t access, uint32_t share)
{
    Close();
    name_ = utf8Name;
    if (!(access & (READ | WRITE))) return Fail("open", EINVAL);
    int flags = O_CLOEXEC;
    flags |=
        (access & READ) && (access & WRITE) ? O_RDWR : ((access & WRITE) ? O_WRONLY : O_RDONLY);
    if (access & CREATE) flags |= O_CREAT;
    if ((access & CREATE) && (access & EXCLUSIVE)) flags |= O_EXCL;
    const int fd = ::open(utf8Name.c_str(), flags, 0666);
    if (fd < 0) return Fail("open", errno);

    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))
    {
        const int error = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return Fail("open", error);
    }
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        auto& entries = Registry()[{uint64_t(st.st_dev), uint64_t(st.st_ino)}];
        for (const auto& other : entries)
        {
            if (!Compatible(access, share, other))
            {
                ::close(fd);
                return Fail("open", kSharingViolation);
            }
        }
        entries.push_back({this, access, share});
    }
    registered_ = true;
    device_ = st.st_dev;
    inode_ = st.st_ino;
    fd_ = fd;
    access_ = access;
    share_ = share;
    if ((access & TRUNCATE) && (access & WRITE) && ::ftruncate(fd_, 0) != 0)
    {
        const int error = errno;
        Close();
        return Fail("truncate", error);
    }
    return true;
}

bool X_FILE::LinkTo(const std::wstring& name, int handle)
{
    Close();
    name_ = platform::WideToUtf8(name);
    const int fd = ::fcntl(handle, F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return Fail("link", errno);
    const int mode = ::fcntl(fd, F_GETFL);
    access_ = (mode & O_ACCMODE) == O_RDWR ? (READ | WRITE)
                                           : ((mode & O_ACCMODE) == O_WRONLY ? WRITE : READ);
    share_ = SHARE_READ | SHARE_WRITE; // the caller decided the sharing when it opened it
    fd_ = fd;
    return true;
}

bool X_FILE::Read(void* buffer, uint32_t count, uint32_t* done)
{
    if (done) *done = 0;
    if (fd_ < 0) return NotOpen("read");
    if (count && !buffer) return Fail("read", EFAULT);
    uint32_t total = 0;
    while (total < count)
    {
        const ssize_t n = ::read(fd_, static_cast<char*>(buffer) + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0)
        {
            if (done) *done = total;
            return Fail("read", errno);
        }
        if (n == 0) break;
        total += static_cast<uint32_t>(n);
    }
    if (done) *done = total;
    return true;
}

bool X_FILE::Write(const void* buffer, uint32_t count, uint32_t* done)
{
    if (done) *done = 0;
    if (fd_ < 0) return NotOpen("write");
    if (count && !buffer) return Fail("write", EFAULT);
    uint32_t total = 0;
    while (total < count)
    {
        const ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
        {
            if (done) *done = total;
            return Fail("write", n < 0 ? errno : ENOSPC);
        }
        total += static_cast<uint32_t>(n);
    }
    if (done) *done = total;
    return true;
}

int64_t X_FILE::Seek(int64_t offset, ORIGIN origin)
{
    if (fd_ < 0) return NotOpen("seek"), -1;
    const int whence =
        origin == FROM_BEGIN ? SEEK_SET : (origin == FROM_CURRENT ? SEEK_CUR : SEEK_END);
    if (origin != FROM_BEGIN && origin != FROM_CURRENT && origin != FROM_END)
        return Fail("seek", EINVAL), -1;
    const off_t pos = ::lseek(fd_, static_cast<off_t>(offset), whence);
    if (pos < 0) return Fail("seek", errno), -1;
    return pos;
}

int64_t X_FILE::GetSize()
{
    STAT st;
    return Stat(&st) ? st.size : -1;
}

bool X_FILE::Stat(STAT* out)
{
    if (fd_ < 0) return NotOpen("stat");
    struct stat st
    {
    };
    if (::fstat(fd_, &st) != 0) return Fail("stat", errno);
    if (out)
    {
        out->size = st.st_size;
        out->modifiedUnixSeconds = st.st_mtime;
        out->regular = S_ISREG(st.st_mode);
    }
    return true;
}

bool X_FILE::Flush()
{
    if (fd_ < 0) return NotOpen("flush");
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) return Fail("flush", errno);
    return true;
}

void X_FILE::Close()
{
    if (fd_ < 0) return;
    if (registered_)
    {
        std::lock_guard<std::mutex> lock(RegistryMutex());
        auto it = Registry().find({device_, inode_});
        if (it != Registry().end())
        {
            auto& entries = it->second;
            for (size_t i = 0; i < entries.size(); ++i)
                if (entries[i].owner == this)
                {
                    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(i));
                    break;
                }
            if (entries.empty()) Registry().erase(it);
        }
        registered_ = false;
    }
    ::close(fd_);
    fd_ = -1;
}

bool X_FILE::Remove()
{
    Close();
    if (name_.empty()) return Fail("remove", ENOENT);
    if (::unlink(name_.c_str()) != 0) return Fail("remove", errno);
    return true;
}

std::string X_FILE::GetLastErrorAsString() const
{
    if (lastError_ == 0) return std::string();
    std::string reason;
    if (lastError_ == kSharingViolation)
        reason = "sharing violation: the file is in use";
    else
    {
        char buf[256];
        reason = strerror_r(lastError_, buf, sizeof buf); // GNU form: returns the text
    }
    // A 2048-byte name would drown the reason: keep its end, which names the file.
    std::string shown = name_;
    if (shown.size() > 200) shown = "..." + shown.substr(shown.size() - 197);
    return lastOperation_ + " \"" + shown + "\": " + reason;
}
