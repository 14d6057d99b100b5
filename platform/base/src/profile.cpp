#include "platform/profile.h"
#include "platform/whole_file.h"

#include "platform/text.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

constexpr std::string_view kBom = "\xEF\xBB\xBF";

std::string_view Trim(std::string_view s)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

// The section name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    line.remove_prefix(1);
    const auto close = line.find(']');
    return Trim(close == std::string_view::npos ? line : line.substr(0, close));
}

struct KeyValue
{
    std::string_view key;
    std::string_view value;
};

std::optional<KeyValue> SplitKeyValue(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '[') return std::nullopt;
    const auto eq = line.find('=');
    if (eq == std::string_view::npos) return std::nullopt;
    return KeyValue{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

bool HasLineBreak(std::string_view s)
{
    return s.find_first_of("\r\n") != std::string_view::npos;
}

bool ReadWholeFile(const std::string& path, std::string& out, int* errorCode)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
    {
        if (errorCode) *errorCode = errno;
        return false;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        if (errorCode) *errorCode = S_ISDIR(st.st_mode) ? EISDIR : errno;
        ::close(fd);
        return false;
    }
    out.clear();
    char buf[65536];
    for (;;)
    {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0)
        {
            if (errno == EINTR) continue;
            if (errorCode) *errorCode = errno;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        out.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteAll(int fd, std::string_view data)
{
    return WriteWhole(fd, data.data(), data.size());
}

} // namespace

ProfileDocument ProfileDocument::Parse(std::string_view bytes)
{
    ProfileDocument doc;
    if (bytes.substr(0, kBom.size()) == kBom)
    {
        doc.hadBom_ = true;
        bytes.remove_prefix(kBom.size());
    }
    doc.finalNewline_ = bytes.empty() || bytes.back() == '\n';
    size_t start = 0;
    while (start < bytes.size())
    {
        auto end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        doc.lines_.emplace_back(bytes.substr(start, end - start));
        start = end + 1;
    }
    return doc;
}

bool ProfileDocument::Load(const std::string& path, int* errorCode)
{
    std::string bytes;
    if (!ReadWholeFile(path, bytes, errorCode))
    {
        *this = ProfileDocument();
        return false;
    }
    *this = Parse(bytes);
    return true;
}

std::string ProfileDocument::Serialize() const
{
    std::string out;
    if (hadBom_) out += kBom;
    for (size_t i = 0; i < lines_.size(); ++i)
    {
        out += lines_[i];
        if (i + 1 < lines_.size() || finalNewline_) out += '\n';
    }
    return out;
}

bool ProfileDocument::Save(const std::string& path, int* errorCode) const
{
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    std::string tmp = dir + (dir.back() == '/' ? "" : "/") + "." + base + ".XXXXXX";
    const int fd = ::mkostemp(tmp.data(), O_CLOEXEC);
    if (fd < 0)
    {
        if (errorCode) *errorCode = errno;
        return false;
    }
    // Keep the mode of the file being replaced; a new file gets the usual 0644.
    struct stat st
    {
    };
    ::fchmod(fd, ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644);
    const bool ok = WriteAll(fd, Serialize()) && ::fsync(fd) == 0;
    const int writeErr = errno;
    if (::close(fd) != 0 || !ok)
    {
        if (errorCode) *errorCode = ok ? errno : writeErr;
        ::unlink(tmp.c_str());
        return false;
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0)
    {
        if (errorCode) *errorCode = errno;
        ::unlink(tmp.c_str());
        return false;
    }
    return true;
}

ProfileDocument::Found ProfileDocument::Find(std::string_view section, std::string_view key) const
{
    Found f;
    size_t i = 0;
    for (; i < lines_.size(); ++i)
    {
        const auto name = SectionName(lines_[i]);
        if (name && EqualsNoCaseUtf8(*name, Trim(section))) break;
    }
    if (i == lines_.size()) return f;
    f.sectionFound = true;
    f.sectionLine = i;
    size_t j = i + 1;
    for (; j < lines_.size(); ++j)
    {
        if (SectionName(lines_[j])) break;
        if (f.keyFound) continue;
        const auto kv = SplitKeyValue(lines_[j]);
        if (kv && EqualsNoCaseUtf8(kv->key, Trim(key)))
        {
            f.keyFound = true;
            f.keyLine = j;
        }
    }
    f.sectionEnd = j;
    return f;
}

std::string ProfileDocument::LineEnding() const
{
    // A CR LF file stays CR LF: new lines follow the file's first line.
    return !lines_.empty() && !lines_.front().empty() && lines_.front().back() == '\r' ? "\r" : "";
}

std::optional<std::string> ProfileDocument::Get(std::string_view section,
                                                std::string_view key) const
{
    const Found f = Find(section, key);
    if (!f.keyFound) return std::nullopt;
    std::string_view value = SplitKeyValue(lines_[f.keyLine])->value;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

bool ProfileDocument::Set(std::string_view section, std::string_view key, std::string_view value)
{
    if (HasLineBreak(section) || HasLineBreak(key) || HasLineBreak(value)) return false;
    section = Trim(section);
    key = Trim(key);
    // A key line starting with ';' or '[' would read back as a comment or a section.
    if (key.empty() || key.front() == ';' || key.front() == '[' ||
        key.find('=') != std::string_view::npos || section.find(']') != std::string_view::npos)
        return false;
    const std::string cr = LineEnding();
    std::string line = std::string(key) + "=" + std::string(value) + cr;
    const Found f = Find(section, key);
    if (f.keyFound)
    {
        lines_[f.keyLine] = std::move(line);
        return true;
    }
    if (f.sectionFound)
    {
        // After the section's last non-blank line, so blank separators stay where they are.
        size_t at = f.sectionEnd;
        while (at > f.sectionLine + 1 && Trim(lines_[at - 1]).empty())
            --at;
        lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), std::move(line));
        return true;
    }
    if (!finalNewline_) finalNewline_ = true; // the old last line must end before ours start
    lines_.push_back("[" + std::string(section) + "]" + cr);
    lines_.push_back(std::move(line));
    return true;
}

bool ProfileDocument::Remove(std::string_view section, std::string_view key)
{
    const Found f = Find(section, key);
    if (!f.keyFound) return false;
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(f.keyLine));
    return true;
}

std::optional<std::string> ProfileReadString(const std::string& path, std::string_view section,
                                             std::string_view key)
{
    ProfileDocument doc;
    if (!doc.Load(path)) return std::nullopt;
    return doc.Get(section, key);
}

int ProfileReadInt(const std::string& path, std::string_view section, std::string_view key,
                   int defaultValue)
{
    const auto text = ProfileReadString(path, section, key);
    if (!text) return defaultValue;
    std::string_view s = *text;
    bool negative = false;
    if (!s.empty() && (s.front() == '-' || s.front() == '+'))
    {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    if (s.empty() || s.front() < '0' || s.front() > '9') return defaultValue;
    uint32_t v = 0;
    for (char c : s)
    {
        if (c < '0' || c > '9') break;
        v = v * 10 + static_cast<uint32_t>(c - '0'); // wraps like the Windows call
    }
    return static_cast<int>(negative ? 0u - v : v);
}

namespace
{
template <typename Change> bool ChangeFile(const std::string& path, int* errorCode, Change change)
{
    ProfileDocument doc;
    int err = 0;
    if (!doc.Load(path, &err) && err != ENOENT)
    {
        if (errorCode) *errorCode = err;
        return false;
    }
    if (!change(doc))
    {
        if (errorCode) *errorCode = EINVAL;
        return false;
    }
    return doc.Save(path, errorCode);
}
} // namespace

bool ProfileWriteString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, int* errorCode)
{
    return ChangeFile(path, errorCode,
                      [&](ProfileDocument& doc) { return doc.Set(section, key, value); });
}

bool ProfileDeleteKey(const std::string& path, std::string_view section, std::string_view key,
                      int* errorCode)
{
    return ChangeFile(path, errorCode,
                      [&](ProfileDocument& doc)
                      {
                          doc.Remove(section, key);
                          return true;
                      });
}

std::string EncodeProfileStruct(const void* data, size_t size)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    const auto* bytes = static_cast<const uint8_t*>(data);
    std::string out;
    out.reserve(size * 2 + 2);
    uint8_t sum = 0;
    for (size_t i = 0; i < size; ++i)
    {
        out.push_back(kHex[bytes[i] >> 4]);
        out.push_back(kHex[bytes[i] & 15]);
        sum = static_cast<uint8_t>(sum + bytes[i]);
    }
    out.push_back(kHex[sum >> 4]);
    out.push_back(kHex[sum & 15]);
    return out;
}

bool ProfileWriteStruct(const std::string& path, std::string_view section, std::string_view key,
                        const void* data, size_t size, int* errorCode)
{
    return ProfileWriteString(path, section, key, EncodeProfileStruct(data, size), errorCode);
}

} // namespace platform
