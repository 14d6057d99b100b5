#include "transfer/sha256_manifest.h"

#include "platform/whole_file.h"

#include "platform/finished_file.h"

#include <sodium.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <sstream>

namespace vark
{
namespace
{

bool IsHash(const std::string& s)
{
    return s.size() == 64 &&
           std::all_of(s.begin(), s.end(),
                       [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::vector<std::string> RawLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

} // namespace

std::optional<ManifestLine> ParseManifestLine(const std::string& line)
{
    const bool escaped = !line.empty() && line[0] == '\\';
    const std::string rest = escaped ? line.substr(1) : line;
    if (rest.size() < 67 || rest[64] != ' ' || (rest[65] != ' ' && rest[65] != '*')) return {};
    ManifestLine out{rest.substr(0, 64), {}};
    std::transform(out.hash.begin(), out.hash.end(), out.hash.begin(),
                   [](char c) { return char(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c); });
    if (!IsHash(out.hash)) return {};
    const std::string name = rest.substr(66);
    if (!escaped)
        out.name = name;
    else
        for (size_t i = 0; i < name.size(); ++i)
        {
            if (name[i] != '\\')
                out.name += name[i];
            else if (i + 1 < name.size() && name[i + 1] == '\\')
                out.name += '\\', ++i;
            else if (i + 1 < name.size() && name[i + 1] == 'n')
                out.name += '\n', ++i;
            else if (i + 1 < name.size() && name[i + 1] == 'r')
                out.name += '\r', ++i;
            else
                return {};
        }
    if (out.name.empty()) return {};
    return out;
}

std::string ManifestLineText(const ManifestLine& line)
{
    if (line.name.find_first_of("\\\n\r") == std::string::npos) return line.hash + "  " + line.name;
    std::string name;
    for (char c : line.name)
        name += c == '\\' ? "\\\\" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : std::string(1, c);
    return "\\" + line.hash + "  " + name;
}

Manifest ParseManifest(const std::string& text)
{
    Manifest m;
    const std::vector<std::string> lines = RawLines(text);
    for (size_t i = 0; i < lines.size(); ++i)
    {
        if (lines[i].empty()) continue;
        if (auto line = ParseManifestLine(lines[i]))
            m.lines.push_back(std::move(*line));
        else
            m.badLines.push_back(i + 1);
    }
    return m;
}

std::optional<std::string> Sha256OfFile(const std::filesystem::path& path)
{
    std::unique_ptr<FILE, int (*)(FILE*)> f(std::fopen(path.c_str(), "rb"), std::fclose);
    if (!f || sodium_init() < 0) return std::nullopt;
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::vector<uint8_t> piece(65536);
    size_t n = 0;
    while ((n = std::fread(piece.data(), 1, piece.size(), f.get())) > 0)
        crypto_hash_sha256_update(&state, piece.data(), n);
    if (std::ferror(f.get())) return std::nullopt;
    uint8_t digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    char hex[2 * sizeof digest + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return std::string(hex);
}

bool AddToManifest(const std::filesystem::path& folder,
                   const std::vector<std::filesystem::path>& files)
{
    if (files.empty()) return true;
    std::vector<ManifestLine> added;
    std::set<std::string> names;
    for (const auto& file : files)
    {
        const std::string name = file.filename().string();
        const auto hash = Sha256OfFile(folder / name);
        if (!hash) return false;
        if (!names.insert(name).second)
            std::erase_if(added, [&](const ManifestLine& l) { return l.name == name; });
        added.push_back({*hash, name});
    }
    std::string text;
    const std::filesystem::path path = folder / kManifestName;
    for (const std::string& line : RawLines(platform::ReadWholeFile(path).value_or("")))
    {
        const auto parsed = ParseManifestLine(line);
        if (parsed && names.count(parsed->name)) continue; // written again: its new line below
        text += line + "\n";
    }
    for (const ManifestLine& line : added)
        text += ManifestLineText(line) + "\n";
    return platform::WriteFinishedFile(path, text);
}

bool ManifestReport::AllOk() const
{
    return found && badLines.empty() &&
           std::all_of(files.begin(), files.end(),
                       [](const ManifestCheck& c) { return c.status == ManifestCheck::ok; });
}

ManifestReport CheckManifest(const std::filesystem::path& folder)
{
    ManifestReport report;
    const auto text = platform::ReadWholeFile(folder / kManifestName);
    if (!text) return report;
    report.found = true;
    const Manifest m = ParseManifest(*text);
    report.badLines = m.badLines;
    for (const ManifestLine& line : m.lines)
    {
        ManifestCheck c{line.name, ManifestCheck::ok};
        // a name that climbs out of the folder is not one of its files
        const std::filesystem::path name(line.name);
        const bool inside = !name.is_absolute() &&
                            std::none_of(name.begin(), name.end(),
                                         [](const std::filesystem::path& p) { return p == ".."; });
        const auto hash = inside ? Sha256OfFile(folder / name) : std::nullopt;
        if (!hash)
            c.status = ManifestCheck::missing;
        else if (*hash != line.hash)
            c.status = ManifestCheck::changed;
        report.files.push_back(std::move(c));
    }
    return report;
}

} // namespace vark
