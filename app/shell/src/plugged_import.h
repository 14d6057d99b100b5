// An import the window runs by itself when a drive recorder it copies from is plugged in:
// the import worker on its own thread, asking nothing (the only question the worker asks is
// whether to cancel, and the window's cancel, on exit, needs none), its failure kept for the
// window to show once the run has ended.
#pragma once

#include "transfer/drive_import_worker.h"

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class PluggedImport : private vark::ExportHost
{
public:
    PluggedImport(std::string root, std::vector<drive::DriveRecord> records,
                  vark::DriveImportOptions options);
    // Cancels and waits for the worker.
    ~PluggedImport() override;

    bool Start(std::function<void()> threadStarted) { return worker_.Start(threadStarted); }
    bool Running() const { return worker_.Running(); }
    // The drive it copies from.
    const std::string& Root() const { return root_; }
    int Percent() const { return worker_.Progress().totalPercent; }
    // The text number of what it does now: copying, or checking a copy before deleting.
    uint32_t Stage() const { return stage_; }
    vark::ImportCounts Counts() const { return worker_.Counts(); }
    // The text of the failure that ended the run, empty when it ran to its end.
    std::string Failure() const;

private:
    void StageChanged(uint32_t stageTextId) override { stage_ = stageTextId; }
    void DeselectEntry(size_t) override {}
    bool AskYesNo(uint32_t, const std::vector<std::string>&) override { return true; }
    void ShowError(uint32_t messageId) override;
    void ShowErrorText(const std::string& text) override;

    const std::string root_;
    mutable std::mutex mutex_;
    std::string failure_;
    std::atomic<uint32_t> stage_;
    vark::CDriveImportWorker worker_; // last: it goes first, and joins
};
