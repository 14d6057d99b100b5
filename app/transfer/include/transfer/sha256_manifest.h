// SHA256SUMS: the manifest every export run keeps in its target folder, in the format
// `sha256sum -c` checks: one "HASH  NAME" line a file, names relative to the folder. A name
// holding a backslash or a line break is written as sha256sum writes it: the line starts
// with a backslash and the name has "\\" and "\n" in their place.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vark
{

inline constexpr const char* kManifestName = "SHA256SUMS";

struct ManifestLine
{
    std::string hash; // 64 lower-case hex digits
    std::string name;
};

struct Manifest
{
    std::vector<ManifestLine> lines;
    std::vector<size_t> badLines; // 1-based numbers of lines that are not "HASH  NAME"
};

// One line of a manifest; nothing when it is not "HASH  NAME" (or "HASH *NAME").
std::optional<ManifestLine> ParseManifestLine(const std::string& line);
std::string ManifestLineText(const ManifestLine& line);

Manifest ParseManifest(const std::string& text);
// SHA-256 of a file as lower-case hex; nothing when it cannot be read.
std::optional<std::string> Sha256OfFile(const std::filesystem::path& path);

// Adds the files (in `folder`) to its SHA256SUMS, replacing the lines of files already
// there and keeping all others, through a part file. False when a file cannot be read or
// the manifest written; the manifest is then as it was. Lines that are not "HASH  NAME"
// are kept as they stand.
bool AddToManifest(const std::filesystem::path& folder,
                   const std::vector<std::filesystem::path>& files);

struct ManifestCheck
{
    enum Status
    {
        ok,
        changed,
        missing, // or unreadable
    };
    std::string name;
    Status status = ok;
};

struct ManifestReport
{
    bool found = false; // the folder has a readable SHA256SUMS
    std::vector<ManifestCheck> files;
    std::vector<size_t> badLines;
    bool AllOk() const;
};

ManifestReport CheckManifest(const std::filesystem::path& folder);

} // namespace vark
