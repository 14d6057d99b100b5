#include "transfer/import_state.h"

#include "platform/finished_file.h"
#include "platform/paths.h"
#include "platform/whole_file.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <sstream>

namespace vark
{
namespace
{

// Tabs and line breaks would end a field: they, and '%', are written as %09, %0A, %0D, %25.
std::string Escaped(const std::string& text)
{
    std::string out;
    for (char c : text)
    {
        if (c == '%' || c == '\t' || c == '\n' || c == '\r')
        {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += '%';
            out += kHex[static_cast<uint8_t>(c) >> 4];
            out += kHex[static_cast<uint8_t>(c) & 15];
        }
        else
        {
            out += c;
        }
    }
    return out;
}

bool Unescaped(const std::string& text, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < text.size(); ++i)
    {
        if (text[i] != '%')
        {
            out += text[i];
            continue;
        }
        unsigned value = 0;
        if (i + 2 >= text.size()) return false;
        const auto r = std::from_chars(text.data() + i + 1, text.data() + i + 3, value, 16);
        if (r.ec != std::errc() || r.ptr != text.data() + i + 3) return false;
        out += static_cast<char>(value);
        i += 2;
    }
    return true;
}

template <class N> bool Number(const std::string& text, N& value)
{
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

std::vector<std::string> Fields(const std::string& line)
{
    std::vector<std::string> fields;
    size_t at = 0;
    for (;;)
    {
        const size_t tab = line.find('\t', at);
        fields.push_back(line.substr(at, tab == std::string::npos ? std::string::npos : tab - at));
        if (tab == std::string::npos) return fields;
        at = tab + 1;
    }
}

bool IsHash(const std::string& text)
{
    return text.size() == 64 &&
           std::all_of(text.begin(), text.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

} // namespace

ImportState ImportState::Load(const std::filesystem::path& file)
{
    ImportState state;
    state.file_ = file;
    const auto text = platform::ReadWholeFile(file);
    if (!text) return state;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line))
    {
        // sha256, size, modified, target, drive path
        const std::vector<std::string> f = Fields(line);
        ImportedFile entry;
        std::string target;
        if (f.size() != 5 || !IsHash(f[0]) || !Number(f[1], entry.size) ||
            !Number(f[2], entry.modified) || !Unescaped(f[3], target) ||
            !Unescaped(f[4], entry.drivePath) || target.empty() || entry.drivePath.empty())
            continue;
        entry.sha256 = f[0];
        entry.target = target;
        state.Put(std::move(entry));
    }
    return state;
}

const ImportedFile* ImportState::Find(const std::string& drivePath, uint64_t size,
                                      int64_t modified) const
{
    for (const ImportedFile& f : files_)
        if (f.drivePath == drivePath && f.size == size && f.modified == modified) return &f;
    return nullptr;
}

void ImportState::Put(ImportedFile file)
{
    for (ImportedFile& f : files_)
        if (f.drivePath == file.drivePath)
        {
            f = std::move(file);
            return;
        }
    files_.push_back(std::move(file));
}

bool ImportState::Save() const
{
    std::error_code ec;
    std::filesystem::create_directories(file_.parent_path(), ec);
    std::string text;
    for (const ImportedFile& f : files_)
        text += f.sha256 + "\t" + std::to_string(f.size) + "\t" + std::to_string(f.modified) +
                "\t" + Escaped(f.target.string()) + "\t" + Escaped(f.drivePath) + "\n";
    return platform::WriteFinishedFile(file_, text);
}

std::filesystem::path ImportStateFolder()
{
    const std::string data = platform::DataHomeFolder();
    if (data.empty()) return {};
    return std::filesystem::path(data) / "Mirvanta" / "Varke-P" / "drives";
}

std::filesystem::path ImportStatePath(const std::filesystem::path& folder,
                                      const std::string& identity)
{
    // the identity is "uuid:..." or "path:<hex>": anything but letters, digits, '-' and '.'
    // becomes '_', so it is one plain file name
    std::string name = identity;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') c = '_';
    return folder / (name + ".import");
}

} // namespace vark
