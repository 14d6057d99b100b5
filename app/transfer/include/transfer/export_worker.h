// The "Copy to disk" worker: copies the selected records to WAV files in a folder, joining
// consecutive "A" fragments with a pause of noise, optionally signing each file. Each file is
// written under its part name and renamed into place once complete (platform/finished_file.h).
// The dialog and vark-cli drive it through ExportHost; the progress counters are read under
// one lock.
#pragma once

#include "device/vark_device.h"
#include "platform/event.h"
#include "transfer/export_rules.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vark
{

class CWavWriter;

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

struct ExportOptions
{
    std::filesystem::path folder;
    bool sign = false;
    bool keepSelection = false;
    PauseMode pauseMode = PauseMode::kFixed;
    int pauseSeconds = 1;
    uint32_t serial = 0; // of the attached recorder, for signatures
};

struct ExportProgress
{
    uint64_t grandTotal = 0, written = 0, stageScale = 0, stageDone = 0;
    int totalPercent = 0, stagePercent = 0;
};

class CExportWorker
{
public:
    // `records`: the record indexes of the selection, in list order.
    CExportWorker(CVarkDevice& device, std::vector<uint16_t> records, ExportOptions options,
                  ExportHost& host);
    ~CExportWorker();
    CExportWorker(const CExportWorker&) = delete;
    CExportWorker& operator=(const CExportWorker&) = delete;

    // Starts the worker thread, which runs `threadStarted` first: the program passes the
    // step that gives the thread its chosen language, so the host's texts come out in it.
    bool Start(std::function<void()> threadStarted = {});
    bool Running() const { return started_ && !ended_; }
    void Join();
    // Runs the export on the calling thread (in that thread's language); returns the ending message
    // number (0 = done or stopped quietly).
    uint32_t Run();
    // The user asked to cancel: the worker asks "Do you want to cancel copying?" at its next
    // check.
    void Cancel() { cancel_.Set(); }

    ExportProgress Progress() const;
    uint32_t Result() const { return result_; }
    // Files finished (closed with their trailer), in order.
    std::vector<std::filesystem::path> Finished() const;

private:
    void Work();
    void CheckCancel();
    void SetStage(uint32_t textId, uint64_t scale);
    void Advance(uint64_t bytes, bool total = true);
    void CountDone(uint64_t bytes);
    RecordInfo Header(uint16_t index);
    void WriteNoise(uint64_t bytes, bool compressed);
    void CopyRecord(uint16_t index, uint32_t dataSize);
    // Renames the finished file into place, signed first when asked.
    void FinishFile();
    // Hashes the complete file at `path` and writes the signature of `finalPath`.
    void SignFile(const std::filesystem::path& path, const std::filesystem::path& finalPath);

    CVarkDevice& device_;
    const std::vector<uint16_t> records_;
    const ExportOptions options_;
    ExportHost& host_;

    mutable std::mutex mutex_;
    ExportProgress progress_;
    std::vector<std::filesystem::path> finished_;

    platform::Event cancel_{platform::Event::Reset::automatic};
    std::atomic<bool> started_{false}, ended_{false};
    std::atomic<uint32_t> result_{0};
    std::thread thread_;

    std::unique_ptr<CWavWriter> writer_;
    std::string currentBaseName_;
    std::filesystem::path currentPath_; // the final name of the file being written
};

} // namespace vark
