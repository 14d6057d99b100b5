// "Copy to disk" for a recorder that appears as a drive: each selected record becomes one
// WAV file named by its start time, " (2)" and on added when two map to one name in a run.
// A WAV record is copied byte for byte; any other format is decoded and written as 16-bit
// PCM at its own rate and channels, and can keep its original beside it. Files are written
// under their part names and renamed into place once complete; a run that fails removes the
// part it was writing, since the drive may be gone for good. The questions, stages and
// progress are those of the protocol recorder's export (ExportHost).
#pragma once

#include "drive/drive_record.h"
#include "platform/event.h"
#include "transfer/export_worker.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vark
{

struct DriveExportOptions
{
    std::filesystem::path folder;
    bool sign = false;
    uint32_t serial = 0;       // for signatures; a drive has none, the user gives it
    bool keepOriginal = false; // a record that is not WAV is also copied as it is
};

class CDriveExportWorker
{
public:
    CDriveExportWorker(std::vector<drive::DriveRecord> records, DriveExportOptions options,
                       ExportHost& host);
    ~CDriveExportWorker();
    CDriveExportWorker(const CDriveExportWorker&) = delete;
    CDriveExportWorker& operator=(const CDriveExportWorker&) = delete;

    bool Start(std::function<void()> threadStarted = {});
    bool Running() const { return started_ && !ended_; }
    void Join();
    // Runs on the calling thread; the ending message number (0 = done or stopped quietly).
    uint32_t Run();
    void Cancel() { cancel_.Set(); }

    ExportProgress Progress() const;
    uint32_t Result() const { return result_; }
    // The finished WAV files, in order (kept originals are not listed).
    std::vector<std::filesystem::path> Finished() const;

private:
    void Work();
    void CheckCancel();
    void SetStage(uint32_t textId, uint64_t scale);
    void Advance(uint64_t bytes, bool total = true);
    std::filesystem::path NameFor(const drive::DriveRecord& record);
    void CopyBytes(const drive::DriveRecord& record, const std::filesystem::path& to);
    void Decode(const drive::DriveRecord& record, const std::filesystem::path& to);
    void Finish(const std::filesystem::path& finalPath);

    const std::vector<drive::DriveRecord> records_;
    const DriveExportOptions options_;
    ExportHost& host_;

    mutable std::mutex mutex_;
    ExportProgress progress_;
    std::vector<std::filesystem::path> finished_;
    std::vector<std::string> namesTaken_;
    std::filesystem::path writing_; // the part file being written

    platform::Event cancel_{platform::Event::Reset::automatic};
    std::atomic<bool> started_{false}, ended_{false};
    std::atomic<uint32_t> result_{0};
    std::thread thread_;
};

// The bytes a record turns into: its size when copied, else its length as 16-bit PCM.
uint64_t DriveExportBytes(const drive::DriveRecord& record);

} // namespace vark
