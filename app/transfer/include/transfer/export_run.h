// What the export workers of both kinds of recorder share: the worker thread, the progress
// counters read under one lock, the finished files, the user's cancel and the host.
#pragma once

#include "platform/event.h"

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

// What the worker asks of its dialog (or of the command line). Called on the worker thread;
// each call returns when the host has handled it.
class ExportHost
{
public:
    virtual ~ExportHost() = default;
    virtual void StageChanged(uint32_t stageTextId) = 0;
    // Deselect the row of selection entry number `entry`.
    virtual void DeselectEntry(size_t entry) = 0;
    // Yes/No question with a question icon; true only for Yes. `args` fill the message's %s.
    virtual bool AskYesNo(uint32_t messageId, const std::vector<std::string>& args) = 0;
    // A failure that ends the export (an error icon, title "Copy to disk").
    virtual void ShowError(uint32_t messageId) = 0;
    // The same for a standard exception, shown with its own text; Result() is then
    // res::ids::kDiskWriteError.
    virtual void ShowErrorText(const std::string& text) = 0;
};

// A failure that ends a run of a drive recorder, on its way to the run's end: the message and
// the record's name for the messages that name it (message 0: stop quietly).
struct RunFailure
{
    uint32_t messageId = 0;
    std::string argument;
};

struct ExportProgress
{
    uint64_t grandTotal = 0, written = 0, stageScale = 0, stageDone = 0;
    int totalPercent = 0, stagePercent = 0;
};

class ExportRun
{
public:
    explicit ExportRun(ExportHost& host) : host_(host) {}
    // A worker's own destructor joins first: its members go before this part does.
    virtual ~ExportRun();
    ExportRun(const ExportRun&) = delete;
    ExportRun& operator=(const ExportRun&) = delete;

    // Starts the worker thread, which runs `threadStarted` first: the program passes the
    // step that gives the thread its chosen language, so the host's texts come out in it.
    bool Start(std::function<void()> threadStarted = {});
    bool Running() const { return started_ && !ended_; }
    void Join();
    // Runs the export on the calling thread (in that thread's language); returns the ending
    // message number (0 = done or stopped quietly).
    virtual uint32_t Run() = 0;
    // The user asked to cancel: the worker asks "Do you want to cancel copying?" at its next
    // check.
    void Cancel() { cancel_.Set(); }

    ExportProgress Progress() const;
    uint32_t Result() const { return result_; }
    // Files finished, in order.
    std::vector<std::filesystem::path> Finished() const;
    // Every file the run wrote: the finished ones and their signature files, kept originals.
    std::vector<std::filesystem::path> Written() const;

protected:
    void SetStage(uint32_t textId, uint64_t scale);
    void Advance(uint64_t bytes, bool total = true);
    // Counts toward the total only (what is skipped).
    void CountDone(uint64_t bytes);
    void SetGrandTotal(uint64_t total);
    // The whole run is done: the total is reached, whatever the estimates were.
    void CountAllDone();
    void AddFinished(const std::filesystem::path& path);
    // A file written beside a finished one (a signature, a kept original).
    void AddWritten(const std::filesystem::path& path);
    // Adds what the run wrote to the folder's SHA256SUMS; false when that failed.
    bool UpdateManifest(const std::filesystem::path& folder) const;
    // Runs the work of a drive recorder's run, which writes one file at a time, and ends it:
    // the part file `writing` names then goes (the drive the rest would come from may be
    // gone), what was finished goes in `folder`'s manifest, also after a failure, and a
    // failure is shown (a RunFailure's message with its argument, or a standard exception's
    // own text). Returns the ending message number, as Run does.
    uint32_t RunDriveWork(const std::function<void()>& work, const std::filesystem::path& writing,
                          const std::filesystem::path& folder);
    // True when the user asked to cancel and answered Yes to the question.
    bool CancelConfirmed();
    void Ended(uint32_t result);

    ExportHost& host_;

private:
    mutable std::mutex mutex_;
    ExportProgress progress_;
    std::vector<std::filesystem::path> finished_, written_;
    platform::Event cancel_{platform::Event::Reset::automatic};
    std::atomic<bool> started_{false}, ended_{false};
    std::atomic<uint32_t> result_{0};
    std::thread thread_;
};

} // namespace vark
