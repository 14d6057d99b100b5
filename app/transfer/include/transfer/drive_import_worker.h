// Import from a drive recorder: every record the target folder does not hold yet is copied
// byte for byte under its start-time name with the file's own extension (no conversion, no
// joining), through its part file. A record counts as copied when the state (import_state.h)
// says so and its copy is there, or when a file of the same size and SHA-256 is in the
// target. With deleteVerified a record is deleted from the drive only after its copy was read
// back from the target and matched the SHA-256 of the drive's file, read again just before.
// The stages and progress are those of the export (ExportHost); pulling the drive ends the
// run with what was copied kept and remembered, so the next run goes on from there.
#pragma once

#include "drive/drive_record.h"
#include "transfer/export_run.h"
#include "transfer/import_state.h"

#include <filesystem>
#include <string>
#include <vector>

namespace vark
{

struct DriveImportOptions
{
    std::filesystem::path to;
    bool deleteVerified = false;
    std::filesystem::path stateFile; // ImportStatePath(ImportStateFolder(), identity)
};

struct ImportCounts
{
    int copied = 0, skipped = 0, deleted = 0;
    std::vector<std::string> notDeleted; // drive paths whose copy did not match
};

class CDriveImportWorker : public ExportRun
{
public:
    CDriveImportWorker(std::vector<drive::DriveRecord> records, DriveImportOptions options,
                       ExportHost& host);
    ~CDriveImportWorker() override;

    // The copies made are Finished().
    uint32_t Run() override;
    ImportCounts Counts() const;

private:
    void Work();
    void CheckCancel();
    // The file in the target holding this record's bytes, copied now when there is none.
    std::filesystem::path Import(const drive::DriveRecord& record, std::string& sha256);
    // Copies into the part file of `to`; the SHA-256 of the bytes read.
    std::string CopyBytes(const drive::DriveRecord& record, const std::filesystem::path& to);
    void DeleteVerified(const drive::DriveRecord& record, const std::filesystem::path& copy,
                        const std::string& sha256);

    const std::vector<drive::DriveRecord> records_;
    const DriveImportOptions options_;
    ImportState state_;
    std::filesystem::path writing_; // the part file being written
    mutable std::mutex countsMutex_;
    ImportCounts counts_;
};

// The target folder as an import keeps it: absolute, without a trailing slash.
std::filesystem::path ImportTargetFolder(const std::string& folder);
// The drive path the state keys a record by: its folder and name.
std::string ImportDrivePath(const drive::DriveRecord& record);
// "Copied 3, skipped 5, deleted 0." in the thread's language.
std::string ImportOutcomeText(const ImportCounts& counts);

} // namespace vark
