#include "faltor/journal.h"

#include "faltor/thread_id.h"
#include "platform/text.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <cwchar>
#include <fcntl.h>
#include <locale.h>
#include <unistd.h>
#include <vector>

JOURNAL* JOURNAL::Journal = nullptr;

namespace
{

std::mutex& CreationMutex()
{
    static std::mutex m;
    return m;
}

// Formatting runs in a UTF-8 character locale whatever the process has set: %ls in narrow
// formats and %s in wide ones convert through the character locale, and the host's own
// locale (a decimal comma, say) has no business in journal lines.
class FormatLocale
{
public:
    FormatLocale() : previous_(utf8_ ? ::uselocale(utf8_) : nullptr) {}
    ~FormatLocale()
    {
        if (previous_) ::uselocale(previous_);
    }
    FormatLocale(const FormatLocale&) = delete;
    FormatLocale& operator=(const FormatLocale&) = delete;

private:
    static inline const locale_t utf8_ = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
    const locale_t previous_;
};

std::string LevelMark(uint32_t level)
{
    switch (level)
    {
    case JOURNAL::LEVEL_TRACE:
        return "T";
    case JOURNAL::LEVEL_DEBUG:
        return "D";
    case JOURNAL::LEVEL_ERROR:
        return "E";
    default:
        return "L" + std::to_string(level);
    }
}

std::string Timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  static_cast<int>(ms));
    return buf;
}

} // namespace

bool JOURNAL::Create(const std::string& path, std::string* error)
{
    std::lock_guard<std::mutex> lock(CreationMutex());
    if (Journal)
    {
        if (error) *error = "a journal already exists (" + Journal->path_ + ")";
        return false;
    }
    // O_APPEND makes every line one atomic append, also towards other writers of the file.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
    {
        if (error) *error = "cannot open journal \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    Journal = new JOURNAL(fd, path);
    return true;
}

void JOURNAL::Destroy()
{
    std::lock_guard<std::mutex> lock(CreationMutex());
    delete Journal;
    Journal = nullptr;
}

JOURNAL::JOURNAL(int fd, std::string path) : fd_(fd), path_(std::move(path)) {}

JOURNAL::~JOURNAL()
{
    ::close(fd_);
}

void JOURNAL::Log(uint32_t level, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    LogV(level, format, args);
    va_end(args);
}

void JOURNAL::LogW(uint32_t level, const wchar_t* format, ...)
{
    va_list args;
    va_start(args, format);
    LogWV(level, format, args);
    va_end(args);
}

void JOURNAL::LogV(uint32_t level, const char* format, va_list args)
{
    if (!Accepts(level) || !format) return;
    FormatLocale utf8;
    va_list probe;
    va_copy(probe, args);
    const int needed = std::vsnprintf(nullptr, 0, format, probe);
    va_end(probe);
    if (needed < 0)
    {
        // A format the C library refuses still leaves a trace of what was meant.
        WriteLine(level, std::string("(unformattable) ") + format);
        return;
    }
    std::string text(static_cast<size_t>(needed) + 1, '\0');
    std::vsnprintf(text.data(), text.size(), format, args);
    text.resize(static_cast<size_t>(needed));
    WriteLine(level, text);
}

void JOURNAL::LogWV(uint32_t level, const wchar_t* format, va_list args)
{
    if (!Accepts(level) || !format) return;
    FormatLocale utf8;
    // vswprintf cannot report the size it needs: grow until the text fits. It also fails on
    // an encoding error, so the growth is capped.
    std::vector<wchar_t> buf(256);
    for (;;)
    {
        va_list attempt;
        va_copy(attempt, args);
        const int n = std::vswprintf(buf.data(), buf.size(), format, attempt);
        va_end(attempt);
        if (n >= 0)
        {
            WriteLine(level, platform::WideToUtf8(std::wstring_view(buf.data(), n)));
            return;
        }
        if (buf.size() >= (1u << 20))
        {
            WriteLine(level, "(unformattable) " + platform::WideToUtf8(format));
            return;
        }
        buf.resize(buf.size() * 4);
    }
}

void JOURNAL::WriteLine(uint32_t level, const std::string& text)
{
    std::string line = Timestamp();
    line += ' ';
    line += LevelMark(level);
    line += ' ';
    line += std::to_string(GetThreadId());
    line += ' ';
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == '\r'))
        --end;
    for (size_t i = 0; i < end; ++i)
        line += (text[i] == '\n' || text[i] == '\r') ? ' ' : text[i];
    line += '\n';

    std::lock_guard<std::mutex> lock(mutex_);
    const char* p = line.data();
    size_t left = line.size();
    while (left > 0)
    {
        const ssize_t n = ::write(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return; // a full disk must not take the player down with it
        p += n;
        left -= static_cast<size_t>(n);
    }
}
