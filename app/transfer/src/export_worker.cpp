#include "transfer/export_worker.h"
#include "transfer/export_bext.h"
#include "transfer/open_signing.h"

#include "platform/finished_file.h"
#include "res/string_ids.h"
#include "scriba/scriba.h"
#include "transfer/signature.h"
#include "transfer/wav_writer.h"

#include <cstdio>
#include <exception>
#include <string>
#include <system_error>

namespace vark
{
namespace
{

// A failure travels to the end of the run as its message number (0 = stop quietly).
struct ExportFailure
{
    uint32_t messageId;
};

constexpr uint32_t kPiece = 32768;

} // namespace

CExportWorker::CExportWorker(CVarkDevice& device, std::vector<uint16_t> records,
                             ExportOptions options, ExportHost& host)
    : ExportRun(host), device_(device), records_(std::move(records)), options_(std::move(options)),
      writer_(MakeAudioFileWriter(options_.format))
{
}

CExportWorker::~CExportWorker()
{
    Join();
}

void CExportWorker::CheckCancel()
{
    if (CancelConfirmed()) throw ExportFailure{0};
}

RecordInfo CExportWorker::Header(uint16_t index)
{
    RecordInfo info;
    if (!device_.GetRecordInfo(index, info)) throw ExportFailure{res::ids::kCantOpenRecord};
    return info;
}

void CExportWorker::WriteNoise(uint64_t bytes, bool compressed)
{
    const std::string block = MakeNoiseBlock(compressed, RuntimeRandom15);
    while (bytes > 0)
    {
        CheckCancel();
        const size_t n = static_cast<size_t>(std::min<uint64_t>(bytes, block.size()));
        if (!writer_->Write(block.data(), n)) throw ExportFailure{res::ids::kDiskWriteError};
        Advance(n);
        bytes -= n;
    }
}

void CExportWorker::CopyRecord(uint16_t index, uint32_t dataSize)
{
    if (!device_.OpenRecord(index)) throw ExportFailure{res::ids::kCantOpenRecord};
    struct Closer
    {
        CVarkDevice& dev;
        ~Closer() { dev.CloseRecord(); }
    } closer{device_};
    std::vector<uint8_t> piece(kPiece);
    uint32_t done = 0;
    while (done < dataSize)
    {
        CheckCancel();
        const uint32_t want = std::min<uint32_t>(kPiece, dataSize - done);
        const uint32_t got = device_.Read(piece.data(), want);
        if (got == 0) break;
        if (!writer_->Write(piece.data(), got)) throw ExportFailure{res::ids::kDiskWriteError};
        Advance(got);
        done += got;
    }
    // A record that ends early (the recorder went away during it) is lost data, even when it
    // is the last one and no later request would notice.
    if (done < dataSize) throw ExportFailure{res::ids::kCantOpenRecord};
}

void CExportWorker::FinishFile()
{
    if (!writer_->IsOpen()) return;
    const bool trailer = writer_->WriteTrailer(currentBaseName_);
    if (!writer_->Close() || !trailer) throw ExportFailure{res::ids::kDiskWriteError};
    // The signature is made over the complete part and put in place first: a crash before the
    // record's own rename leaves no finished file without its signature.
    if (options_.sign) SignFile(writer_->Path(), currentPath_);
    if (options_.openSigning &&
        !WriteOpenSignature(writer_->Path(), currentPath_, *options_.openSigning, currentFacts_))
        throw ExportFailure{res::ids::kDiskWriteError};
    if (!platform::CommitPart(currentPath_)) throw ExportFailure{res::ids::kDiskWriteError};
    AddFinished(currentPath_);
    if (options_.sign) AddWritten(SignaturePathFor(currentPath_));
    if (options_.openSigning) AddWritten(OpenSignaturePathFor(currentPath_));
    currentPath_.clear();
}

void CExportWorker::SignFile(const std::filesystem::path& path,
                             const std::filesystem::path& finalPath)
{
    std::error_code ec;
    const uint64_t length = std::filesystem::file_size(path, ec);
    SetStage(res::ids::kCreatingSignatureFile, ec ? 0 : length);
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) throw ExportFailure{res::ids::kDiskWriteError};
    Sha1 sha;
    std::vector<uint8_t> piece(kPiece);
    bool readOk = true;
    try
    {
        for (;;)
        {
            CheckCancel();
            const size_t got = std::fread(piece.data(), 1, piece.size(), f);
            if (got > 0) sha.Input(piece.data(), got);
            Advance(got, false);
            if (got < piece.size())
            {
                readOk = std::ferror(f) == 0;
                break;
            }
        }
    }
    catch (...)
    {
        std::fclose(f);
        throw;
    }
    std::fclose(f);
    if (!readOk || !Sign(finalPath, sha, options_.serial))
        throw ExportFailure{res::ids::kDiskWriteError};
}

void CExportWorker::Work()
{
    // 1. Counting.
    SetStage(res::ids::kCountingTotalSize, records_.size());
    {
        RecordInfo previous;
        uint64_t total = 0;
        for (uint16_t index : records_)
        {
            const RecordInfo info = Header(index);
            total += JoinNoiseBytes(previous, info, options_.pauseMode, options_.pauseSeconds) +
                     info.dataSize;
            previous = info;
            Advance(1, false);
        }
        SetGrandTotal(total);
    }

    // 2. Free space.
    std::error_code ec;
    const auto space = std::filesystem::space(options_.folder, ec);
    if (ec) throw ExportFailure{res::ids::kDiskWriteError};
    const uint64_t total = Progress().grandTotal;
    if (total >= space.available &&
        !host_.AskYesNo(res::ids::kNotEnoughSpace,
                        {GroupThousands(total >> 10), GroupThousands(space.available >> 10)}))
        throw ExportFailure{0};

    // 3. The records.
    RecordInfo previous;
    bool previousSkipped = false;
    for (size_t entry = 0; entry < records_.size(); ++entry)
    {
        const uint16_t index = records_[entry];
        const RecordInfo info = Header(index);
        const uint64_t noise =
            JoinNoiseBytes(previous, info, options_.pauseMode, options_.pauseSeconds);
        bool continues = false;
        if (noise > 0 && !previousSkipped && writer_->IsOpen())
        {
            SetStage(res::ids::kWritingNoise, noise);
            WriteNoise(noise, info.compressed != 0);
            SetStage(res::ids::kWritingRecordFile, info.dataSize);
            continues = true;
        }
        else if (noise > 0)
        {
            CountDone(noise);
        }
        if (!continues)
        {
            FinishFile();
            SetStage(res::ids::kWritingRecordFile, info.dataSize);
            const std::string base = ExportBaseName(info);
            const std::filesystem::path path =
                options_.folder / (base + ExportExtension(options_.format));
            // what an export that was cut short left of these names goes; "exists" only ever
            // means a finished file
            platform::RemoveLeftoverPart(path);
            platform::RemoveLeftoverPart(SignaturePathFor(path));
            platform::RemoveLeftoverPart(OpenSignaturePathFor(path));
            if (std::filesystem::exists(path, ec) &&
                !host_.AskYesNo(res::ids::kRecordExists, {path.string()}))
            {
                CountDone(info.dataSize);
                previous = info;
                previousSkipped = true;
                continue;
            }
            const platform::bext::Bext tags =
                ExportBext(info, index + 1, options_.serial, options_.format);
            const bool tagged = options_.bwf || options_.format == ExportFormat::kFlac;
            // A folder under the name could never be replaced by the finished file: fail before
            // copying anything, as writing it in place would.
            if (std::filesystem::is_directory(path, ec) ||
                !writer_->Create(platform::PartPathFor(path), SampleFormatOf(info),
                                 tagged ? &tags : nullptr))
                throw ExportFailure{res::ids::kDiskWriteError};
            currentBaseName_ = base;
            currentPath_ = path;
            // a joined file is signed as the record it starts with
            currentFacts_ = {std::to_string(index + 1), info.start.Format("%Y-%m-%dT%H:%M:%S")};
        }
        CopyRecord(index, info.dataSize);
        previous = info;
        previousSkipped = false;
        if (!options_.keepSelection) host_.DeselectEntry(entry);
    }
    // 4. The last file.
    FinishFile();
}

uint32_t CExportWorker::Run()
{
    uint32_t result = 0;
    std::string text; // of a standard exception, shown instead of the disk message
    try
    {
        Work();
    }
    catch (const ExportFailure& failure)
    {
        result = failure.messageId;
    }
    catch (const std::exception& e)
    {
        result = res::ids::kDiskWriteError;
        text = e.what();
    }
    catch (...)
    {
        result = res::ids::kDiskWriteError;
    }
    // Ending: the file being written is closed (its header completed) under its part name,
    // never its final one; a quiet stop deletes it, a failure leaves it as far as it was
    // written (the next export into the folder removes it).
    if (writer_->IsOpen()) writer_->Close();
    if (!currentPath_.empty() && result == 0)
    {
        std::error_code ec;
        std::filesystem::remove(platform::PartPathFor(currentPath_), ec);
    }
    // what was finished is in the manifest, also when the run failed later
    if (!UpdateManifest(options_.folder) && result == 0)
    {
        SLOG_ERR("The manifest of %s was not written", options_.folder.c_str());
        result = res::ids::kDiskWriteError;
    }
    if (result != 0)
    {
        if (text.empty())
        {
            SLOG_ERR("Export failed with message %u", result);
            host_.ShowError(result);
        }
        else
        {
            SLOG_ERR("Export failed: %s", text.c_str());
            host_.ShowErrorText(text);
        }
    }
    Ended(result);
    return result;
}

} // namespace vark
