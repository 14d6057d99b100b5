#include "transfer/drive_export_worker.h"

#include "drive_file_copy.h"

#include "platform/finished_file.h"
#include "platform/little_endian.h"
#include "platform/mediastream.h"
#include "platform/riff.h"
#include "platform/whole_file.h"
#include "res/string_ids.h"
#include "res/strings.h"
#include "scriba/scriba.h"
#include "transfer/export_bext.h"
#include "transfer/export_rules.h"
#include "transfer/flac_writer.h"
#include "transfer/signature.h"
#include "transfer/wav_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace vark
{
namespace
{

using ExportFailure = RunFailure;

constexpr size_t kPiece = 65536;

class Fd
{
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    // Closes now, so that a failed close (a full disk found late) is seen.
    bool Close()
    {
        const int fd = fd_;
        fd_ = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int fd_;
};

} // namespace

uint64_t DriveExportBytes(const drive::DriveRecord& record, bool copied)
{
    if (copied) return record.bytes;
    return static_cast<uint64_t>(record.duration.TotalSeconds() * record.rate) * record.channels *
               2u +
           kWavHeaderSize;
}

CDriveExportWorker::CDriveExportWorker(std::vector<drive::DriveRecord> records,
                                       DriveExportOptions options, ExportHost& host)
    : ExportRun(host), records_(std::move(records)), options_(std::move(options))
{
}

CDriveExportWorker::~CDriveExportWorker()
{
    Join();
}

void CDriveExportWorker::CheckCancel()
{
    if (CancelConfirmed()) throw ExportFailure{0, {}};
}

std::filesystem::path CDriveExportWorker::NameFor(const drive::DriveRecord& record)
{
    const std::string base = record.start.Format("%Y_%m_%d %H_%M_%S");
    std::string name = base;
    for (int n = 2; std::find(namesTaken_.begin(), namesTaken_.end(), name) != namesTaken_.end();
         ++n)
        name = base + " (" + std::to_string(n) + ")";
    namesTaken_.push_back(name);
    return options_.folder / (name + ExportExtension(options_.format));
}

bool CDriveExportWorker::CopiedAsItIs(const drive::DriveRecord& record) const
{
    return record.IsWave() && options_.format == ExportFormat::kWav;
}

void CDriveExportWorker::CopyBytes(const drive::DriveRecord& record,
                                   const std::filesystem::path& to)
{
    CheckCancel();
    CopyDriveFile(record, to,
                  [this](const uint8_t*, size_t n)
                  {
                      Advance(n);
                      CheckCancel();
                  });
}

void CDriveExportWorker::Decode(const drive::DriveRecord& record, const std::filesystem::path& to)
{
    auto stream = platform::mediastream::AudioStream::Open(record.path);
    if (!stream) throw ExportFailure{res::ids::kDriveFileUnreadable, record.name};
    const WAVEFORMATEX& f = stream->Format();
    const SampleFormat format{false, f.nChannels, f.nSamplesPerSec};
    if (options_.format == ExportFormat::kFlac && !CFlacWriter::CanTakeRate(format.rate))
        throw ExportFailure{res::ids::kFlacRateUnsupported, record.name};
    const platform::bext::Bext tags = DriveExportBext(record, options_.recorder, format);
    const bool tagged = options_.bwf || options_.format == ExportFormat::kFlac;
    std::unique_ptr<AudioFileWriter> writer = MakeAudioFileWriter(options_.format);
    if (!writer->Create(to, format, tagged ? &tags : nullptr))
        throw ExportFailure{res::ids::kDiskWriteError, {}};
    std::vector<uint8_t> piece(kPiece);
    if (!stream->SetBuffer(piece.data(), piece.size()))
        throw ExportFailure{res::ids::kDriveFileUnreadable, record.name};
    for (;;)
    {
        CheckCancel();
        const auto status = stream->Update(nullptr);
        if (status == platform::mediastream::UpdateStatus::endOfStream) break;
        if (status != platform::mediastream::UpdateStatus::ok)
            throw ExportFailure{res::ids::kDriveFileUnreadable, record.name};
        const size_t n = stream->ActualLength();
        if (!writer->Write(piece.data(), n)) throw ExportFailure{res::ids::kDiskWriteError, {}};
        Advance(n);
    }
    if (!writer->Close()) throw ExportFailure{res::ids::kDiskWriteError, {}};
}

void CDriveExportWorker::Finish(const drive::DriveRecord& record,
                                const std::filesystem::path& finalPath)
{
    const std::filesystem::path part = platform::PartPathFor(finalPath);
    if (options_.sign)
    {
        std::error_code ec;
        SetStage(res::ids::kCreatingSignatureFile, std::filesystem::file_size(part, ec));
        Fd in(::open(part.c_str(), O_RDONLY | O_CLOEXEC));
        Sha1 sha;
        std::vector<uint8_t> piece(kPiece);
        ssize_t n = 0;
        while (in.get() >= 0 && (n = ::read(in.get(), piece.data(), piece.size())) > 0)
        {
            CheckCancel();
            sha.Input(piece.data(), static_cast<size_t>(n));
            Advance(static_cast<uint64_t>(n), false);
        }
        if (in.get() < 0 || n < 0 || !Sign(finalPath, sha, options_.serial))
            throw ExportFailure{res::ids::kDiskWriteError, {}};
    }
    if (options_.openSigning)
    {
        const std::string file =
            record.folder.empty() ? record.name : record.folder + "/" + record.name;
        if (!WriteOpenSignature(part, finalPath, *options_.openSigning,
                                {file, record.start.Format("%Y-%m-%dT%H:%M:%S")}))
            throw ExportFailure{res::ids::kDiskWriteError, {}};
    }
    if (!platform::CommitPart(finalPath)) throw ExportFailure{res::ids::kDiskWriteError, {}};
    AddFinished(finalPath);
    if (options_.sign) AddWritten(SignaturePathFor(finalPath));
    if (options_.openSigning) AddWritten(OpenSignaturePathFor(finalPath));
}

void CDriveExportWorker::Work()
{
    SetStage(res::ids::kCountingTotalSize, records_.size());
    uint64_t total = 0;
    for (const drive::DriveRecord& r : records_)
    {
        if (!r.readable) throw ExportFailure{res::ids::kDriveFileUnreadable, r.name};
        const bool copied = CopiedAsItIs(r);
        total += DriveExportBytes(r, copied) + (options_.keepOriginal && !copied ? r.bytes : 0);
        Advance(1, false);
    }
    SetGrandTotal(total);
    std::error_code ec;
    const auto space = std::filesystem::space(options_.folder, ec);
    if (ec) throw ExportFailure{res::ids::kDiskWriteError, {}};
    if (total >= space.available &&
        !host_.AskYesNo(res::ids::kNotEnoughSpace,
                        {GroupThousands(total >> 10), GroupThousands(space.available >> 10)}))
        throw ExportFailure{0, {}};

    for (size_t entry = 0; entry < records_.size(); ++entry)
    {
        const drive::DriveRecord& r = records_[entry];
        const std::filesystem::path path = NameFor(r);
        platform::RemoveLeftoverPart(path);
        platform::RemoveLeftoverPart(SignaturePathFor(path));
        platform::RemoveLeftoverPart(OpenSignaturePathFor(path));
        if (std::filesystem::exists(path, ec) &&
            !host_.AskYesNo(res::ids::kRecordExists, {path.string()}))
        {
            Advance(DriveExportBytes(r, CopiedAsItIs(r)));
            continue;
        }
        if (std::filesystem::is_directory(path, ec))
            throw ExportFailure{res::ids::kDiskWriteError, {}};
        const bool copied = CopiedAsItIs(r);
        SetStage(res::ids::kWritingRecordFile, DriveExportBytes(r, copied));
        writing_ = platform::PartPathFor(path);
        if (copied)
            CopyBytes(r, writing_);
        else
            Decode(r, writing_);
        Finish(r, path);
        writing_.clear();
        if (options_.keepOriginal && !copied)
        {
            std::filesystem::path original = path;
            original.replace_extension(FileExtension(r.name));
            platform::RemoveLeftoverPart(original);
            writing_ = platform::PartPathFor(original);
            SetStage(res::ids::kWritingRecordFile, r.bytes);
            CopyBytes(r, writing_);
            if (!platform::CommitPart(original)) throw ExportFailure{res::ids::kDiskWriteError, {}};
            AddWritten(original);
            writing_.clear();
        }
        if (!options_.keepSelection) host_.DeselectEntry(entry);
    }
    // Decoded lengths were estimates: the run is complete now.
    CountAllDone();
}

uint32_t CDriveExportWorker::Run()
{
    return RunDriveWork([this] { Work(); }, writing_, options_.folder);
}

} // namespace vark
