#include "transfer/flac_writer.h"

#include "platform/whole_file.h"
#include "transfer/g711.h"

#include <FLAC/metadata.h>
#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace vark
{

// The encoding runs on a thread of its own, a few pieces behind the writes: an export spends
// most of its time waiting for the recorder, and the encoding fits in that wait.
struct CFlacWriter::Encoder
{
    FLAC__StreamEncoder* stream = nullptr;
    FLAC__StreamMetadata* comments = nullptr;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::vector<int32_t>> queue; // pieces of interleaved samples
    bool closing = false;
    bool failed = false; // an encoding or a write failed: the rest is dropped

    ~Encoder()
    {
        Stop();
        if (stream != nullptr) FLAC__stream_encoder_delete(stream);
        if (comments != nullptr) FLAC__metadata_object_delete(comments);
    }
    void Run(uint32_t channels)
    {
        std::unique_lock lock(mutex);
        for (;;)
        {
            changed.wait(lock, [this] { return closing || !queue.empty(); });
            if (queue.empty()) return;
            std::vector<int32_t> piece = std::move(queue.front());
            queue.pop_front();
            const bool skip = failed;
            lock.unlock();
            changed.notify_all(); // room for the next piece
            const bool ok = skip || FLAC__stream_encoder_process_interleaved(
                                        stream, piece.data(),
                                        static_cast<uint32_t>(piece.size() / channels)) != 0;
            lock.lock();
            failed = failed || !ok;
        }
    }
    // False when an earlier piece failed.
    bool Push(std::vector<int32_t> piece)
    {
        constexpr size_t kQueued = 4;
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return queue.size() < kQueued; });
        if (failed) return false;
        queue.push_back(std::move(piece));
        changed.notify_all();
        return true;
    }
    // Lets the thread encode what is queued and end; true when nothing failed.
    bool Stop()
    {
        {
            std::lock_guard lock(mutex);
            closing = true;
        }
        changed.notify_all();
        if (thread.joinable()) thread.join();
        return !failed;
    }
};

namespace
{

FLAC__StreamEncoderWriteStatus WriteBytes(const FLAC__StreamEncoder*, const FLAC__byte buffer[],
                                          size_t bytes, uint32_t, uint32_t, void* client)
{
    return platform::WriteWhole(*static_cast<int*>(client), buffer, bytes)
               ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
               : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
}

FLAC__StreamEncoderSeekStatus SeekTo(const FLAC__StreamEncoder*, FLAC__uint64 offset, void* client)
{
    const int fd = *static_cast<int*>(client);
    return ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0
               ? FLAC__STREAM_ENCODER_SEEK_STATUS_ERROR
               : FLAC__STREAM_ENCODER_SEEK_STATUS_OK;
}

FLAC__StreamEncoderTellStatus Tell(const FLAC__StreamEncoder*, FLAC__uint64* offset, void* client)
{
    const off_t at = ::lseek(*static_cast<int*>(client), 0, SEEK_CUR);
    if (at < 0) return FLAC__STREAM_ENCODER_TELL_STATUS_ERROR;
    *offset = static_cast<FLAC__uint64>(at);
    return FLAC__STREAM_ENCODER_TELL_STATUS_OK;
}

void AddComment(std::vector<std::string>& out, const char* name, const std::string& value)
{
    if (!value.empty()) out.push_back(std::string(name) + "=" + value);
}

} // namespace

std::vector<std::string> FlacComments(const platform::bext::Bext& tags)
{
    std::vector<std::string> out;
    AddComment(out, "TITLE", tags.description);
    AddComment(out, "DESCRIPTION", tags.description);
    AddComment(out, "ORIGINATOR", tags.originator);
    AddComment(out, "ORIGINATOR_REFERENCE", tags.originatorReference);
    AddComment(out, "ORIGINATION_DATE", tags.originationDate);
    AddComment(out, "ORIGINATION_TIME", tags.originationTime);
    if (!tags.originationDate.empty() && !tags.originationTime.empty())
        AddComment(out, "DATE", tags.originationDate + "T" + tags.originationTime);
    AddComment(out, "TIME_REFERENCE", std::to_string(tags.timeReference));
    // one history line per text line, as Vorbis comments break lines
    std::string history;
    for (char c : tags.codingHistory)
        if (c != '\r') history += c;
    while (!history.empty() && history.back() == '\n')
        history.pop_back();
    AddComment(out, "CODING_HISTORY", history);
    return out;
}

CFlacWriter::~CFlacWriter()
{
    Close();
}

bool CFlacWriter::CanTakeRate(uint32_t rate)
{
    return FLAC__format_sample_rate_is_valid(rate) != 0;
}

bool CFlacWriter::Create(const std::filesystem::path& path, const SampleFormat& format,
                         const platform::bext::Bext* tags)
{
    Close();
    path_ = path;
    format_ = format;
    pending_.clear();
    failed_ = false;
    if (!CanTakeRate(format.rate) || format.channels < 1 || format.channels > 8) return false;
    auto encoder = std::make_unique<Encoder>();
    encoder->stream = FLAC__stream_encoder_new();
    if (encoder->stream == nullptr) return false;
    FLAC__StreamEncoder* e = encoder->stream;
    FLAC__stream_encoder_set_channels(e, format.channels);
    FLAC__stream_encoder_set_bits_per_sample(e, 16);
    FLAC__stream_encoder_set_sample_rate(e, format.rate);
    // fixed predictors only: on speech a few per cent larger than the default level, at a
    // fraction of its work, so a FLAC export keeps pace with a WAV export (bench_export)
    FLAC__stream_encoder_set_compression_level(e, 1);
    // rates the subset has no code for are still valid FLAC, only not streamable
    FLAC__stream_encoder_set_streamable_subset(e, FLAC__format_sample_rate_is_subset(format.rate));
    if (tags != nullptr)
    {
        encoder->comments = FLAC__metadata_object_new(FLAC__METADATA_TYPE_VORBIS_COMMENT);
        if (encoder->comments == nullptr) return false;
        for (const std::string& line : FlacComments(*tags))
        {
            FLAC__StreamMetadata_VorbisComment_Entry entry;
            entry.length = static_cast<FLAC__uint32>(line.size());
            entry.entry = reinterpret_cast<FLAC__byte*>(const_cast<char*>(line.data()));
            if (!FLAC__metadata_object_vorbiscomment_append_comment(encoder->comments, entry,
                                                                    /*copy=*/true))
                return false;
        }
        FLAC__stream_encoder_set_metadata(e, &encoder->comments, 1);
    }
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) return false;
    if (FLAC__stream_encoder_init_stream(e, WriteBytes, SeekTo, Tell, nullptr, &fd_) !=
        FLAC__STREAM_ENCODER_INIT_STATUS_OK)
    {
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    encoder->thread =
        std::thread([e = encoder.get(), channels = format.channels] { e->Run(channels); });
    encoder_ = encoder.release();
    return true;
}

bool CFlacWriter::Encode(const uint8_t* data, size_t bytes)
{
    const size_t bytesPerSample = format_.ulaw ? 1 : 2;
    const size_t count = bytes / bytesPerSample;
    std::vector<int32_t> samples(count);
    if (format_.ulaw)
    {
        for (size_t i = 0; i < count; ++i)
            samples[i] = MuLawToLinear(data[i]);
    }
    else
    {
        for (size_t i = 0; i < count; ++i)
            samples[i] = static_cast<int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    }
    return encoder_->Push(std::move(samples));
}

bool CFlacWriter::Write(const void* data, size_t bytes)
{
    if (!IsOpen() || failed_) return false;
    const size_t frame = (format_.ulaw ? 1u : 2u) * format_.channels;
    const auto* p = static_cast<const uint8_t*>(data);
    // a frame cut in two by the caller's pieces is completed from this write first
    if (!pending_.empty())
    {
        const size_t take = std::min(bytes, frame - pending_.size());
        pending_.insert(pending_.end(), p, p + take);
        p += take;
        bytes -= take;
        if (pending_.size() < frame) return true;
        if (!Encode(pending_.data(), frame)) return failed_ = true, false;
        pending_.clear();
    }
    const size_t whole = bytes - bytes % frame;
    // in pieces, so that the sample buffer stays small whatever the caller hands over
    constexpr size_t kPieceFrames = 8192;
    for (size_t at = 0; at < whole; at += kPieceFrames * frame)
    {
        const size_t n = std::min(whole - at, kPieceFrames * frame);
        if (!Encode(p + at, n)) return failed_ = true, false;
    }
    pending_.assign(p + whole, p + bytes);
    return true;
}

bool CFlacWriter::Close()
{
    if (!IsOpen()) return true;
    // finishing writes the last frame and the stream information's length and checksum
    bool ok = encoder_->Stop();
    ok = FLAC__stream_encoder_finish(encoder_->stream) != 0 && ok && !failed_ && pending_.empty();
    delete encoder_;
    encoder_ = nullptr;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
}

} // namespace vark
