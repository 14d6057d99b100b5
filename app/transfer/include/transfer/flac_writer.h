// The writer of FLAC exports through libFLAC: 16-bit PCM at the record's rate and channels
// (mu-law codes expanded by G.711, so decoding the FLAC file gives what decoding the WAV export
// gives), Vorbis comments under the names the "bext" fields have in other tools, and the
// stream information completed when the file is closed. Encoding runs on a thread of the
// writer's, a few pieces behind: a failure (a full disk) is seen at a later write or at Close.
#pragma once

#include "transfer/audio_file_writer.h"

#include <cstdint>
#include <vector>

namespace vark
{

class CFlacWriter : public AudioFileWriter
{
public:
    CFlacWriter() = default;
    ~CFlacWriter() override;
    CFlacWriter(const CFlacWriter&) = delete;
    CFlacWriter& operator=(const CFlacWriter&) = delete;

    bool Create(const std::filesystem::path& path, const SampleFormat& format,
                const platform::bext::Bext* tags) override;
    bool Write(const void* data, size_t bytes) override;
    bool WriteTrailer(const std::string&) override { return IsOpen(); }
    bool Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    const std::filesystem::path& Path() const override { return path_; }

    // True when FLAC can carry samples at `rate`.
    static bool CanTakeRate(uint32_t rate);

private:
    struct Encoder;
    bool Encode(const uint8_t* data, size_t bytes);

    int fd_ = -1;
    std::filesystem::path path_;
    SampleFormat format_;
    Encoder* encoder_ = nullptr;
    std::vector<uint8_t> pending_; // the start of a sample frame cut by the last write
    std::vector<int32_t> samples_; // the piece being encoded
    bool failed_ = false;
};

// The Vorbis comments of a record's tags, "NAME=value" each, empty fields left out.
std::vector<std::string> FlacComments(const platform::bext::Bext& tags);

} // namespace vark
