#include "transfer/export_run.h"

#include "transfer/sha256_manifest.h"

#include "res/string_ids.h"
#include "res/strings.h"
#include "scriba/scriba.h"

#include <algorithm>
#include <system_error>

namespace vark
{

namespace
{

int Percent(uint64_t done, uint64_t of)
{
    return static_cast<int>(std::min<uint64_t>(100, done * 100 / of));
}

} // namespace

ExportRun::~ExportRun()
{
    Join();
}

bool ExportRun::Start(std::function<void()> threadStarted)
{
    if (started_) return false;
    try
    {
        started_ = true;
        thread_ = std::thread(
            [this, threadStarted = std::move(threadStarted)]
            {
                if (threadStarted) threadStarted();
                Run();
            });
    }
    catch (const std::system_error&)
    {
        started_ = false;
        return false;
    }
    return true;
}

void ExportRun::Join()
{
    if (thread_.joinable()) thread_.join();
}

ExportProgress ExportRun::Progress() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
}

std::vector<std::filesystem::path> ExportRun::Finished() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return finished_;
}

void ExportRun::SetStage(uint32_t textId, uint64_t scale)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        progress_.stageScale = scale;
        progress_.stageDone = 0;
        progress_.stagePercent = 0;
    }
    host_.StageChanged(textId);
}

void ExportRun::Advance(uint64_t bytes, bool total)
{
    std::lock_guard<std::mutex> lock(mutex_);
    progress_.stageDone += bytes;
    if (progress_.stageScale)
        progress_.stagePercent = Percent(progress_.stageDone, progress_.stageScale);
    if (!total) return;
    progress_.written += bytes;
    if (progress_.grandTotal)
        progress_.totalPercent = Percent(progress_.written, progress_.grandTotal);
}

void ExportRun::CountDone(uint64_t bytes)
{
    std::lock_guard<std::mutex> lock(mutex_);
    progress_.written += bytes;
    if (progress_.grandTotal)
        progress_.totalPercent = Percent(progress_.written, progress_.grandTotal);
}

void ExportRun::SetGrandTotal(uint64_t total)
{
    std::lock_guard<std::mutex> lock(mutex_);
    progress_.grandTotal = total;
}

void ExportRun::CountAllDone()
{
    std::lock_guard<std::mutex> lock(mutex_);
    progress_.written = progress_.grandTotal;
    progress_.totalPercent = 100;
}

void ExportRun::AddFinished(const std::filesystem::path& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    finished_.push_back(path);
    written_.push_back(path);
}

void ExportRun::AddWritten(const std::filesystem::path& path)
{
    std::lock_guard<std::mutex> lock(mutex_);
    written_.push_back(path);
}

std::vector<std::filesystem::path> ExportRun::Written() const
{
    std::lock_guard<std::mutex> lock(mutex_);
    return written_;
}

bool ExportRun::UpdateManifest(const std::filesystem::path& folder) const
{
    return AddToManifest(folder, Written());
}

bool ExportRun::CancelConfirmed()
{
    return cancel_.Wait(0) && host_.AskYesNo(res::ids::kCancelCopying, {});
}

void ExportRun::Ended(uint32_t result)
{
    result_ = result;
    ended_ = true;
}

uint32_t ExportRun::RunDriveWork(const std::function<void()>& work,
                                 const std::filesystem::path& writing,
                                 const std::filesystem::path& folder)
{
    RunFailure failure;
    std::string text;
    try
    {
        work();
    }
    catch (const RunFailure& f)
    {
        failure = f;
    }
    catch (const std::exception& e)
    {
        failure.messageId = res::ids::kDiskWriteError;
        text = e.what();
    }
    if (!writing.empty())
    {
        std::error_code ec;
        std::filesystem::remove(writing, ec);
    }
    if (!UpdateManifest(folder) && failure.messageId == 0)
    {
        SLOG_ERR("The manifest of %s was not written", folder.c_str());
        failure.messageId = res::ids::kDiskWriteError;
    }
    if (failure.messageId != 0)
    {
        SLOG_ERR("Drive run failed with message %u %s", failure.messageId, text.c_str());
        if (!text.empty())
            host_.ShowErrorText(text);
        else if (!failure.argument.empty())
            host_.ShowErrorText(res::FormatWithStrings(failure.messageId, {failure.argument}));
        else
            host_.ShowError(failure.messageId);
    }
    Ended(failure.messageId);
    return failure.messageId;
}

} // namespace vark
