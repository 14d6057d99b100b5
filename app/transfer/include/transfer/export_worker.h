// The "Copy to disk" worker: copies the selected records to WAV (or FLAC) files in a folder,
// joining consecutive "A" fragments with a pause of noise, optionally signing each file. Each file
// is written under its part name and renamed into place once complete (platform/finished_file.h).
// The dialog and vark-cli drive it through ExportHost (transfer/export_run.h).
#pragma once

#include "device/vark_device.h"
#include "platform/event.h"
#include "transfer/audio_file_writer.h"
#include "transfer/export_rules.h"
#include "transfer/export_run.h"
#include "transfer/open_signing.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace vark
{

class AudioFileWriter;

struct ExportOptions
{
    std::filesystem::path folder;
    bool sign = false;
    bool keepSelection = false;
    PauseMode pauseMode = PauseMode::kFixed;
    int pauseSeconds = 1;
    uint32_t serial = 0;                      // of the attached recorder, for signatures
    std::optional<OpenSigning> openSigning;   // FILE.minisig beside each file when given
    bool bwf = false;                         // a Broadcast WAV "bext" chunk in each WAV file
    ExportFormat format = ExportFormat::kWav; // FLAC files always carry the tags
};

class CExportWorker : public ExportRun
{
public:
    // `records`: the record indexes of the selection, in list order.
    CExportWorker(CVarkDevice& device, std::vector<uint16_t> records, ExportOptions options,
                  ExportHost& host);
    ~CExportWorker() override;

    uint32_t Run() override;

private:
    void Work();
    void CheckCancel();
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

    std::unique_ptr<AudioFileWriter> writer_;
    std::string currentBaseName_;
    std::filesystem::path currentPath_; // the final name of the file being written
    OpenSignatureFacts currentFacts_;   // of the record the file starts with
};

} // namespace vark
