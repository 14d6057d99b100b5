// "Copy to disk" for a recorder that appears as a drive: each selected record becomes one
// WAV (or FLAC) file named by its start time, " (2)" and on added when two map to one name in
// a run. A WAV record exported as WAV is copied byte for byte, never tagged; any other record
// is decoded and written as 16-bit PCM at its own rate and channels, and can keep its original
// beside it. Files are written
// under their part names and renamed into place once complete; a run that fails removes the
// part it was writing, since the drive may be gone for good. The questions, stages and
// progress are those of the protocol recorder's export (ExportHost).
#pragma once

#include "drive/drive_record.h"
#include "transfer/audio_file_writer.h"
#include "transfer/export_run.h"
#include "transfer/open_signing.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vark
{

struct DriveExportOptions
{
    std::filesystem::path folder;
    bool sign = false;
    uint32_t serial = 0;       // for signatures; a drive has none, the user gives it
    bool keepOriginal = false; // a record that is decoded is also copied as it is
    bool keepSelection = true; // else each record's row is deselected once it is copied
    std::optional<OpenSigning> openSigning; // FILE.minisig beside each file when given
    ExportFormat format = ExportFormat::kWav;
    bool bwf = false;     // a "bext" chunk in each decoded WAV file (FLAC is always tagged)
    std::string recorder; // what the tags name the drive by: its label or identity
};

class CDriveExportWorker : public ExportRun
{
public:
    CDriveExportWorker(std::vector<drive::DriveRecord> records, DriveExportOptions options,
                       ExportHost& host);
    ~CDriveExportWorker() override;

    // The finished files are Finished() (kept originals are not listed).
    uint32_t Run() override;

private:
    void Work();
    void CheckCancel();
    std::filesystem::path NameFor(const drive::DriveRecord& record);
    void CopyBytes(const drive::DriveRecord& record, const std::filesystem::path& to);
    // True when the record is copied as it is rather than decoded.
    bool CopiedAsItIs(const drive::DriveRecord& record) const;
    void Decode(const drive::DriveRecord& record, const std::filesystem::path& to);
    void Finish(const drive::DriveRecord& record, const std::filesystem::path& finalPath);

    const std::vector<drive::DriveRecord> records_;
    const DriveExportOptions options_;
    std::vector<std::string> namesTaken_;
    std::filesystem::path writing_; // the part file being written
};

// The bytes a record turns into: its size when copied, else its length as 16-bit PCM.
uint64_t DriveExportBytes(const drive::DriveRecord& record, bool copied);

} // namespace vark
