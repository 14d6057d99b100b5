// Private-profile (INI) files with the semantics of the Windows profile functions that the
// system was written against: case-insensitive section and key names, the first matching
// section and key win on read, writes keep every other line byte for byte, and a save is
// atomic (temporary file, then rename) so a crash never leaves a half-written file.
// Files are UTF-8; every name and value here is UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform
{

// One INI file held in memory. Lines are kept exactly as read (including a trailing CR of
// a CR LF file), so a rewrite touches only the lines it changes.
class ProfileDocument
{
public:
    ProfileDocument() = default;

    // Parses raw file bytes; never fails (anything unparseable is kept as an opaque line).
    static ProfileDocument Parse(std::string_view bytes);
    // Loads a file; false (and an empty document) when it cannot be read. `errorCode`
    // receives errno.
    bool Load(const std::string& path, int* errorCode = nullptr);
    // Writes the document to `path` atomically. false when any step fails; the old file
    // then stays as it was.
    bool Save(const std::string& path, int* errorCode = nullptr) const;

    // The value of `key` in the first section named `section`, with surrounding blanks and
    // one pair of matching quotes removed; nullopt when the section or key is absent.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Sets `key` in the first matching section (appending the key, or the section, when
    // absent). Refuses values or names holding CR or LF, and names holding '=' or ']'.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes the first matching key of the first matching section; true if one was there.
    bool Remove(std::string_view section, std::string_view key);

    std::string Serialize() const;
    const std::vector<std::string>& Lines() const { return lines_; }

private:
    struct Found
    {
        bool sectionFound = false;
        size_t sectionLine = 0; // index of the "[section]" line
        size_t sectionEnd = 0;  // one past its last line
        bool keyFound = false;
        size_t keyLine = 0;
    };
    Found Find(std::string_view section, std::string_view key) const;
    std::string LineEnding() const;

    std::vector<std::string> lines_; // without their '\n'
    bool finalNewline_ = true;
    bool hadBom_ = false;
};

// Convenience functions over one file, in the shape of the Windows calls.
// A missing file reads as empty; writes create it.
std::optional<std::string> ProfileReadString(const std::string& path, std::string_view section,
                                             std::string_view key);
// GetPrivateProfileInt: leading blanks, optional sign, decimal digits up to the first
// other character; `defaultValue` when the key is absent or holds no digits.
int ProfileReadInt(const std::string& path, std::string_view section, std::string_view key,
                   int defaultValue);
bool ProfileWriteString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value, int* errorCode = nullptr);
bool ProfileDeleteKey(const std::string& path, std::string_view section, std::string_view key,
                      int* errorCode = nullptr);
// WritePrivateProfileStruct: upper-case hexadecimal pairs followed by a checksum byte (the
// sum of the bytes modulo 256).
bool ProfileWriteStruct(const std::string& path, std::string_view section, std::string_view key,
                        const void* data, size_t size, int* errorCode = nullptr);
std::string EncodeProfileStruct(const void* data, size_t size);

} // namespace platform
