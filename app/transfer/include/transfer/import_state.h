// What the import of a drive recorder has copied: per file on the drive (by its path there,
// size and modification time) the SHA-256 of its bytes and the file it was copied to. It is
// kept per recorder under $XDG_DATA_HOME/Mirvanta/Varke-P/drives/, never on the drive. The
// state only saves work: a file the state does not know is still skipped when a file of the
// same size and SHA-256 is in the target.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vark
{

struct ImportedFile
{
    std::string drivePath; // below the drive's root, '/' between folders
    uint64_t size = 0;
    int64_t modified = 0; // seconds since the epoch
    std::string sha256;   // lower-case hex
    std::filesystem::path target;
};

class ImportState
{
public:
    // The state at `file`; an empty one when there is none. Lines that cannot be read are
    // dropped (the target check finds those files again).
    static ImportState Load(const std::filesystem::path& file);

    const ImportedFile* Find(const std::string& drivePath, uint64_t size, int64_t modified) const;
    // Replaces the entry of the same drive path.
    void Put(ImportedFile file);
    // Through a part file, the folder made when missing. False when that failed.
    bool Save() const;
    const std::vector<ImportedFile>& Files() const { return files_; }

private:
    std::filesystem::path file_;
    std::vector<ImportedFile> files_;
};

// $XDG_DATA_HOME/Mirvanta/Varke-P/drives
std::filesystem::path ImportStateFolder();
// The state file of the drive with that identity ("uuid:..." or "path:..."), in `folder`.
std::filesystem::path ImportStatePath(const std::filesystem::path& folder,
                                      const std::string& identity);

} // namespace vark
