#include "faltor/debug_info.h"

#include <cstring>

namespace
{

// Only the file's own name: build folders say nothing to whoever reads the message.
const char* BaseName(const char* path)
{
    if (!path) return "?";
    const char* slash = std::strrchr(path, '/');
    return slash ? slash + 1 : path;
}

DEBUG_TEXT Compose(const int64_t* numbers, int count, const char* text, const char* file,
                   const char* date, const char* time, int line, uint32_t threadId)
{
    std::string out;
    if (count > 0)
    {
        out += '[';
        for (int i = 0; i < count; ++i)
        {
            if (i) out += ", ";
            out += std::to_string(numbers[i]);
        }
        out += "] ";
    }
    out += text ? text : "";
    out += " (";
    out += BaseName(file);
    out += ':';
    out += std::to_string(line);
    out += ", built ";
    out += date ? date : "?";
    out += ' ';
    out += time ? time : "?";
    out += ", thread ";
    out += std::to_string(threadId);
    out += ')';
    return DEBUG_TEXT(std::move(out));
}

} // namespace

DEBUG_TEXT DebugInfo(const char* text, const char* file, const char* date, const char* time,
                     int line, uint32_t threadId)
{
    return Compose(nullptr, 0, text, file, date, time, line, threadId);
}

DEBUG_TEXT DebugInfo(int64_t n1, const char* text, const char* file, const char* date,
                     const char* time, int line, uint32_t threadId)
{
    const int64_t n[] = {n1};
    return Compose(n, 1, text, file, date, time, line, threadId);
}

DEBUG_TEXT DebugInfo(int64_t n1, int64_t n2, const char* text, const char* file, const char* date,
                     const char* time, int line, uint32_t threadId)
{
    const int64_t n[] = {n1, n2};
    return Compose(n, 2, text, file, date, time, line, threadId);
}

DEBUG_TEXT DebugInfo(int64_t n1, int64_t n2, int64_t n3, const char* text, const char* file,
                     const char* date, const char* time, int line, uint32_t threadId)
{
    const int64_t n[] = {n1, n2, n3};
    return Compose(n, 3, text, file, date, time, line, threadId);
}
