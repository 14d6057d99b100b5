#include "settings/settings.h"

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

class ProfileDocumentHolder
{
public:
    platform::ProfileDocument doc;
};

namespace
{

constexpr size_t kMaxStringChars = 32767;
constexpr size_t kMaxUIntChars = 23;
constexpr size_t kMaxBinaryBytes = 0x20000000;

std::wstring ErrorText(int code)
{
    return platform::Utf8ToWide(std::strerror(code));
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1; // lower case is refused on purpose: the writer never produces it
}

bool DecodeHexValue(std::string_view value, std::vector<uint8_t>& out)
{
    if (value.size() < 4 || value.size() % 2 != 0) return false;
    std::vector<uint8_t> bytes;
    bytes.reserve(value.size() / 2);
    for (size_t i = 0; i < value.size(); i += 2)
    {
        const int hi = HexDigit(value[i]), lo = HexDigit(value[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes.push_back(static_cast<uint8_t>(hi * 16 + lo));
    }
    uint8_t sum = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        sum = static_cast<uint8_t>(sum + bytes[i]);
    if (sum != bytes.back()) return false;
    bytes.pop_back();
    out = std::move(bytes);
    return true;
}

std::string_view TrimBlanks(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

// ---- CSettings --------------------------------------------------------------------------

bool CSettings::Load()
{
    ClearError();
    results_.clear();
    Exchange(false);
    Validate(false);
    return true;
}

bool CSettings::Save()
{
    ClearError();
    Validate(true);
    results_.clear();
    Exchange(true);
    return true;
}

void CSettings::Validate(bool) {}
void CSettings::Exchange(bool) {}

bool CSettings::ExchangeFixedBinary(bool saving, const wchar_t* key, void* buffer, size_t size)
{
    std::vector<uint8_t> block;
    if (saving)
    {
        const auto* bytes = static_cast<const uint8_t*>(buffer);
        block.assign(bytes, bytes + size);
    }
    const bool ok = ExchangeBinary(saving, key, block);
    results_.erase(&block); // the result belongs to the caller's buffer, not our copy
    if (saving) return Record(buffer, ok);
    if (!ok || block.size() != size) return Record(buffer, false);
    std::memcpy(buffer, block.data(), size);
    return Record(buffer, true);
}

bool CSettings::ExchangeSucceeded(const void* address) const
{
    const auto it = results_.find(address);
    return it != results_.end() && it->second;
}

void CSettings::SetError(uint32_t code, std::wstring text)
{
    lastError_ = code;
    lastErrorText_ = std::move(text);
}

void CSettings::ClearError()
{
    lastError_ = 0;
    lastErrorText_.clear();
}

bool CSettings::Record(const void* address, bool ok)
{
    results_[address] = ok;
    return ok;
}

// ---- helpers ----------------------------------------------------------------------------

bool ParseUInt32Base0(const std::wstring& text, uint32_t& value)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == L' ' || text[i] == L'\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
    unsigned base = 10;
    if (i < text.size() && text[i] == L'0')
    {
        base = 8;
        const auto isHex = [](wchar_t c) {
            return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
        };
        if (i + 2 < text.size() && (text[i + 1] == L'x' || text[i + 1] == L'X') &&
            isHex(text[i + 2]))
        {
            base = 16;
            i += 2;
        }
    }
    const size_t start = i;
    uint64_t magnitude = 0;
    for (; i < text.size(); ++i)
    {
        const wchar_t c = text[i];
        unsigned d;
        if (c >= L'0' && c <= L'9')
            d = static_cast<unsigned>(c - L'0');
        else if (c >= L'a' && c <= L'f')
            d = static_cast<unsigned>(c - L'a' + 10);
        else if (c >= L'A' && c <= L'F')
            d = static_cast<unsigned>(c - L'A' + 10);
        else
            break;
        if (d >= base) break;
        magnitude = magnitude * base + d;
        if (magnitude > 0xFFFFFFFFull) return false; // out of range
    }
    if (i == start || i != text.size()) return false; // no digits, or something after them
    value = negative ? static_cast<uint32_t>(0u - static_cast<uint32_t>(magnitude))
                     : static_cast<uint32_t>(magnitude);
    return true;
}

bool ReadProfileBinary(const std::string& fileBytes, const std::wstring& section,
                       const std::wstring& key, std::vector<uint8_t>& block)
{
    if (fileBytes.size() >= kMaxBinaryBytes) return false;
    const std::string wantedSection = platform::WideToUtf8(section);
    const std::string wantedKey = platform::WideToUtf8(key);
    bool inSection = false, found = false;
    std::string_view rest = fileBytes;
    while (!rest.empty())
    {
        const size_t end = rest.find_first_of("\r\n");
        const std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (!line.empty() && line.front() == '[')
        {
            if (inSection) break; // the wanted section has ended
            const size_t close = line.find(']');
            const std::string_view name = line.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1);
            inSection = platform::EqualsNoCaseUtf8(name, wantedSection);
            continue;
        }
        if (!inSection) continue;
        const size_t eq = line.find('=');
        if (eq == std::string_view::npos ||
            !platform::EqualsNoCaseUtf8(TrimBlanks(line.substr(0, eq)), wantedKey))
            continue;
        const std::string_view value = TrimBlanks(line.substr(eq + 1));
        if (value.empty())
        {
            block.clear();
            found = true;
            continue;
        }
        std::vector<uint8_t> decoded;
        if (DecodeHexValue(value, decoded))
        {
            block = std::move(decoded);
            return true;
        }
    }
    return found;
}

// ---- CIniFileSettings -------------------------------------------------------------------

CIniFileSettings::CIniFileSettings(std::wstring path, std::wstring section)
    : path_(std::move(path)), section_(std::move(section))
{
    const std::wstring folder = platform::Utf8ToWide(platform::RoamingAppDataFolder());
    if (path_.empty())
    {
        path_ = folder + L"/Varke.ini";
    }
    else if (path_.front() != L'/')
    {
        const auto slash = path_.find_last_of(L"/\\");
        path_ = folder + L"/" + (slash == std::wstring::npos ? path_ : path_.substr(slash + 1));
    }
    if (section_.empty()) section_ = L"Varke";
}

CIniFileSettings::~CIniFileSettings() = default;

bool CIniFileSettings::Load()
{
    const std::string path = platform::WideToUtf8(path_);
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st
    {
    };
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
    {
        const int err = fd < 0 ? errno : (S_ISDIR(st.st_mode) ? EISDIR : errno);
        if (fd >= 0) ::close(fd);
        ClearError();
        results_.clear();
        SetError(static_cast<uint32_t>(err), ErrorText(err));
        return false;
    }
    rawFile_.clear();
    char buf[65536];
    bool readOk = true;
    for (;;)
    {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) readOk = false;
        if (n <= 0) break;
        rawFile_.append(buf, static_cast<size_t>(n));
        if (rawFile_.size() > kMaxBinaryBytes) break; // absurd for a settings file
    }
    const int err = errno;
    ::close(fd);
    if (!readOk)
    {
        SetError(static_cast<uint32_t>(err), ErrorText(err));
        rawFile_.clear();
        return false;
    }
    ProfileDocumentHolder holder{platform::ProfileDocument::Parse(rawFile_)};
    doc_ = &holder;
    CSettings::Load();
    doc_ = nullptr;
    rawFile_.clear();
    rawFile_.shrink_to_fit();
    return true;
}

bool CIniFileSettings::Save()
{
    const std::string path = platform::WideToUtf8(path_);
    ProfileDocumentHolder holder;
    int err = 0;
    if (!holder.doc.Load(path, &err) && err != ENOENT)
    {
        ClearError();
        SetError(static_cast<uint32_t>(err), ErrorText(err));
        return false;
    }
    doc_ = &holder;
    CSettings::Save();
    doc_ = nullptr;
    if (!holder.doc.Save(path, &err))
    {
        SetError(static_cast<uint32_t>(err), ErrorText(err));
        return false;
    }
    return true;
}

bool CIniFileSettings::ExchangeString(bool saving, const wchar_t* key, std::wstring& value)
{
    if (!doc_) return Record(&value, false);
    const std::string section = platform::WideToUtf8(section_);
    const std::string name = platform::WideToUtf8(key);
    if (saving)
    {
        if (value.size() > kMaxStringChars || value.find_first_of(L"\r\n\t") != std::wstring::npos)
            return Record(&value, false);
        return Record(&value, doc_->doc.Set(section, name, platform::WideToUtf8(value)));
    }
    const auto text = doc_->doc.Get(section, name);
    if (!text)
    {
        value.clear(); // a missing key reads as the empty string
        return Record(&value, true);
    }
    bool valid = false;
    std::wstring wide = platform::Utf8ToWide(*text, &valid);
    if (!valid) return Record(&value, false); // not UTF-8: keep what we have
    if (wide.size() > kMaxStringChars) wide.resize(kMaxStringChars);
    value = std::move(wide);
    return Record(&value, true);
}

bool CIniFileSettings::ExchangeUInt(bool saving, const wchar_t* key, uint32_t& value)
{
    if (!doc_) return Record(&value, false);
    const std::string section = platform::WideToUtf8(section_);
    const std::string name = platform::WideToUtf8(key);
    if (saving) return Record(&value, doc_->doc.Set(section, name, std::to_string(value)));
    const auto text = doc_->doc.Get(section, name);
    if (!text) return Record(&value, false);
    std::wstring wide = platform::Utf8ToWide(*text);
    if (wide.size() > kMaxUIntChars) wide.resize(kMaxUIntChars);
    uint32_t parsed = 0;
    if (!ParseUInt32Base0(wide, parsed)) return Record(&value, false);
    value = parsed;
    return Record(&value, true);
}

bool CIniFileSettings::ExchangeBinary(bool saving, const wchar_t* key, std::vector<uint8_t>& block)
{
    if (!doc_) return Record(&block, false);
    const std::string section = platform::WideToUtf8(section_);
    const std::string name = platform::WideToUtf8(key);
    if (saving)
    {
        if (block.size() > kMaxBinaryBytes) return Record(&block, false);
        doc_->doc.Remove(section, name);
        if (block.empty()) return Record(&block, true);
        return Record(&block,
                      doc_->doc.Set(section, name,
                                    platform::EncodeProfileStruct(block.data(), block.size())));
    }
    return Record(&block, ReadProfileBinary(rawFile_, section_, key, block));
}
