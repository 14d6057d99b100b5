#include "scriba/scriba.h"

#include "platform/text.h"

#include <cerrno>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace
{

struct LogState
{
    std::mutex mutex;
    int fd = -1;
    std::string path;
    uint32_t flags = 0;
    uint64_t rotateBytes = 0;
    uint32_t keepFiles = 0;
    uint64_t size = 0;
    int level = 9;
};

LogState& State()
{
    static LogState* state = new LogState; // never destroyed: lines may come during exit
    return *state;
}

int OpenFile(const std::string& path, bool append)
{
    return ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (append ? O_APPEND : O_TRUNC),
                  0644);
}

// Called with the lock held.
void Rotate(LogState& s)
{
    ::close(s.fd);
    s.fd = -1;
    if (s.keepFiles == 0)
    {
        ::unlink(s.path.c_str());
    }
    else
    {
        ::unlink((s.path + "." + std::to_string(s.keepFiles)).c_str());
        for (uint32_t i = s.keepFiles; i > 1; --i)
            ::rename((s.path + "." + std::to_string(i - 1)).c_str(),
                     (s.path + "." + std::to_string(i)).c_str());
        ::rename(s.path.c_str(), (s.path + ".1").c_str());
    }
    s.fd = OpenFile(s.path, false);
    s.size = 0;
}

void WriteLine(char mark, int level, const char* format, va_list args)
{
    LogState& s = State();
    // Cheap early exit without formatting; the lock below decides for real.
    {
        std::lock_guard lock(s.mutex);
        if (s.fd < 0 || (mark == 'I' && level > s.level)) return;
    }
    const platform::ScopedUtf8Locale utf8; // %S arguments come out as UTF-8
    char text[2048];
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(text, sizeof text, format, copy);
    va_end(copy);
    std::string body;
    if (needed < 0)
    {
        body = "(unprintable log line)";
    }
    else if (static_cast<size_t>(needed) < sizeof text)
    {
        body.assign(text, static_cast<size_t>(needed));
    }
    else
    {
        body.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(body.data(), body.size(), format, args);
        body.resize(static_cast<size_t>(needed));
    }
    // One line per call: embedded line ends would split a line for readers of the log.
    for (char& c : body)
        if (c == '\n' || c == '\r') c = ' ';
    while (!body.empty() && body.back() == ' ')
        body.pop_back();

    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t t = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&t, &local);
    const int ms =
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    char head[96];
    const int headLen =
        std::snprintf(head, sizeof head, "%04d-%02d-%02d %02d:%02d:%02d.%03d [%6ld] %c%s ",
                      local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                      local.tm_min, local.tm_sec, ms, static_cast<long>(::syscall(SYS_gettid)),
                      mark, mark == 'I' ? std::to_string(level).c_str() : " ");
    std::string line(head, static_cast<size_t>(headLen));
    line += body;
    line += '\n';

    std::lock_guard lock(s.mutex);
    if (s.fd < 0) return;
    if (s.rotateBytes && s.size > 0 && s.size + line.size() > s.rotateBytes) Rotate(s);
    if (s.fd < 0) return;
    size_t done = 0;
    while (done < line.size())
    {
        const ssize_t n = ::write(s.fd, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    s.size += done;
    if (s.flags & kLogEcho) [[maybe_unused]]
        auto n = ::write(2, line.data(), line.size());
}

} // namespace

bool OpenLog(const wchar_t* path, uint32_t flags, uint32_t rotateBytes, uint32_t keepFiles)
{
    if (!path) return false;
    LogState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.fd >= 0) ::close(s.fd);
    s.path = platform::WideToUtf8(path);
    s.flags = flags;
    s.rotateBytes = rotateBytes;
    s.keepFiles = keepFiles;
    s.fd = OpenFile(s.path, flags & kLogAppend);
    struct stat st
    {
    };
    s.size = s.fd >= 0 && ::fstat(s.fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
    return s.fd >= 0;
}

void CloseLog()
{
    LogState& s = State();
    std::lock_guard lock(s.mutex);
    if (s.fd >= 0) ::close(s.fd);
    s.fd = -1;
}

void SetLogLevel(int level)
{
    LogState& s = State();
    std::lock_guard lock(s.mutex);
    s.level = level;
}

void SLOG(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine('I', 0, format, args);
    va_end(args);
}

void SLOG(int level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine('I', level, format, args);
    va_end(args);
}

void SLOG_ERR(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    WriteLine('E', 0, format, args);
    va_end(args);
}
