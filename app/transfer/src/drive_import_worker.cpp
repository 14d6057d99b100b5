#include "transfer/drive_import_worker.h"

#include "drive_file_copy.h"

#include "platform/finished_file.h"
#include "res/string_ids.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "transfer/sha256_manifest.h"

#include <sodium.h>

#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace vark
{
namespace
{

using ImportFailure = RunFailure;

uint64_t SizeOf(const std::filesystem::path& path)
{
    std::error_code ec;
    const uint64_t size = std::filesystem::file_size(path, ec);
    return ec ? UINT64_MAX : size;
}

} // namespace

std::filesystem::path ImportTargetFolder(const std::string& folder)
{
    std::error_code ec;
    std::filesystem::path to = std::filesystem::absolute(folder, ec).lexically_normal();
    if (!to.has_filename()) to = to.parent_path(); // "DIR/" given
    return to;
}

std::string ImportDrivePath(const drive::DriveRecord& record)
{
    return record.folder.empty() ? record.name : record.folder + "/" + record.name;
}

std::string ImportOutcomeText(const ImportCounts& counts)
{
    return res::FormatWithStrings(res::ids::kImportOutcome,
                                  {std::to_string(counts.copied), std::to_string(counts.skipped),
                                   std::to_string(counts.deleted)});
}

CDriveImportWorker::CDriveImportWorker(std::vector<drive::DriveRecord> records,
                                       DriveImportOptions options, ExportHost& host)
    : ExportRun(host), records_(std::move(records)), options_(std::move(options))
{
}

CDriveImportWorker::~CDriveImportWorker()
{
    Join();
}

ImportCounts CDriveImportWorker::Counts() const
{
    std::lock_guard lock(countsMutex_);
    return counts_;
}

void CDriveImportWorker::CheckCancel()
{
    if (CancelConfirmed()) throw ImportFailure{0, {}};
}

std::string CDriveImportWorker::CopyBytes(const drive::DriveRecord& record,
                                          const std::filesystem::path& to)
{
    writing_ = to;
    crypto_hash_sha256_state sha;
    crypto_hash_sha256_init(&sha);
    CopyDriveFile(record, to,
                  [&](const uint8_t* piece, size_t n)
                  {
                      crypto_hash_sha256_update(&sha, piece, n);
                      Advance(n);
                      CheckCancel();
                  });
    uint8_t digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&sha, digest);
    char hex[2 * sizeof digest + 1];
    sodium_bin2hex(hex, sizeof hex, digest, sizeof digest);
    return hex;
}

std::filesystem::path CDriveImportWorker::Import(const drive::DriveRecord& record,
                                                 std::string& sha256)
{
    const std::string drivePath = ImportDrivePath(record);
    const int64_t modified = static_cast<int64_t>(record.modified);
    if (const ImportedFile* known = state_.Find(drivePath, record.bytes, modified);
        known != nullptr && known->target.parent_path() == options_.to &&
        SizeOf(known->target) == record.bytes)
    {
        sha256 = known->sha256;
        CountDone(record.bytes);
        std::lock_guard lock(countsMutex_);
        ++counts_.skipped;
        return known->target;
    }
    SetStage(res::ids::kImportingNewRecords, record.bytes);
    const std::string base = record.start.Format("%Y_%m_%d %H_%M_%S"),
                      extension = FileExtension(record.name);
    std::optional<std::string> driveHash; // read once, when a name is taken
    for (int n = 1;; ++n)
    {
        const std::filesystem::path path =
            options_.to /
            (n == 1 ? base + extension : base + " (" + std::to_string(n) + ")" + extension);
        platform::RemoveLeftoverPart(path);
        std::error_code ec;
        if (!std::filesystem::exists(path, ec))
        {
            sha256 = CopyBytes(record, platform::PartPathFor(path));
            if (!platform::CommitPart(path)) throw ImportFailure{res::ids::kDiskWriteError, {}};
            writing_.clear();
            state_.Put({drivePath, record.bytes, modified, sha256, path});
            if (!state_.Save())
                SLOG_ERR("The import state %s was not saved", options_.stateFile.c_str());
            AddFinished(path);
            std::lock_guard lock(countsMutex_);
            ++counts_.copied;
            return path;
        }
        if (SizeOf(path) != record.bytes) continue;
        if (!driveHash) driveHash = Sha256OfFile(record.path);
        if (!driveHash) throw ImportFailure{res::ids::kDriveFileUnreadable, record.name};
        if (Sha256OfFile(path) == driveHash)
        {
            // copied before, by an import whose state is gone or by hand
            sha256 = *driveHash;
            state_.Put({drivePath, record.bytes, modified, sha256, path});
            if (!state_.Save())
                SLOG_ERR("The import state %s was not saved", options_.stateFile.c_str());
            CountDone(record.bytes);
            std::lock_guard lock(countsMutex_);
            ++counts_.skipped;
            return path;
        }
    }
}

void CDriveImportWorker::DeleteVerified(const drive::DriveRecord& record,
                                        const std::filesystem::path& copy,
                                        const std::string& sha256)
{
    SetStage(res::ids::kCheckingBeforeDelete, 0);
    // the copy as the target holds it, and the drive's file as it is now: only when both
    // are the bytes that were copied does the drive's file go
    const auto copied = Sha256OfFile(copy);
    const auto now = Sha256OfFile(record.path);
    if (!now) throw ImportFailure{res::ids::kDriveFileUnreadable, record.name}; // pulled
    struct stat st
    {
    };
    const bool same = copied && now && *copied == sha256 && *now == sha256 &&
                      ::stat(record.path.c_str(), &st) == 0 &&
                      static_cast<uint64_t>(st.st_size) == record.bytes;
    std::lock_guard lock(countsMutex_);
    if (same && ::unlink(record.path.c_str()) == 0)
    {
        ++counts_.deleted;
        return;
    }
    SLOG_ERR("Not deleted from the drive: %s", record.path.c_str());
    counts_.notDeleted.push_back(ImportDrivePath(record));
}

void CDriveImportWorker::Work()
{
    if (sodium_init() < 0) throw ImportFailure{res::ids::kDiskWriteError, {}};
    state_ = ImportState::Load(options_.stateFile);
    SetStage(res::ids::kCountingTotalSize, records_.size());
    uint64_t total = 0;
    for (const drive::DriveRecord& r : records_)
        total += r.bytes;
    SetGrandTotal(total);
    for (const drive::DriveRecord& r : records_)
    {
        CheckCancel();
        std::string sha256;
        const std::filesystem::path copy = Import(r, sha256);
        if (options_.deleteVerified) DeleteVerified(r, copy, sha256);
    }
    if (!state_.Save()) throw ImportFailure{res::ids::kDiskWriteError, {}};
    CountAllDone();
}

uint32_t CDriveImportWorker::Run()
{
    return RunDriveWork([this] { Work(); }, writing_, options_.to);
}

} // namespace vark
