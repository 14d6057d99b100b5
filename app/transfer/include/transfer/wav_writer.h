// The writer of exported WAV files: a 46-byte header (more with a "bext" chunk) (format tag 7 for
// mu-law records, 1 for PCM), the record bytes as stored on the recorder, and a 156-byte LIST/INFO
// trailer naming the program and the file's start-time name. The header is written with zero sizes
// at creation and rewritten with the real ones when the file is closed, also when the export failed
// half-way, so a file left behind is a valid WAV of what was written.
#pragma once

#include "device/record_info.h"
#include "transfer/audio_file_writer.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vark
{

inline constexpr size_t kWavHeaderSize = 46;
inline constexpr size_t kWavTrailerSize = 156;
// A data write that would bring the data size here or beyond fails.
inline constexpr uint32_t kWavDataLimit = 0xFFFFFEFF;

class CWavWriter : public AudioFileWriter
{
public:
    explicit CWavWriter(uint32_t dataLimit = kWavDataLimit) : dataLimit_(dataLimit) {}
    ~CWavWriter() override { Close(); }
    CWavWriter(const CWavWriter&) = delete;
    CWavWriter& operator=(const CWavWriter&) = delete;

    // Creates (or replaces) the file for those channels, rate and encoding; `tags` go in a
    // "bext" chunk between the format and the data.
    bool Create(const std::filesystem::path& path, const SampleFormat& format,
                const platform::bext::Bext* tags) override;
    // For the record's channels, rate and encoding, without a "bext" chunk.
    bool Create(const std::filesystem::path& path, const RecordInfo& format)
    {
        return Create(path, SampleFormatOf(format), nullptr);
    }
    // False when the write fails or would reach the data limit (the file is closed first).
    bool Write(const void* data, size_t bytes) override;
    // Appends the trailer; `baseName` is the start-time name, of which 30 characters are kept.
    bool WriteTrailer(const std::string& baseName) override;
    // Cuts the file at the current position, rewrites the header and closes. False when any
    // of that failed. Does nothing when no file is open.
    bool Close() override;

    bool IsOpen() const override { return fd_ >= 0; }
    uint32_t DataSize() const { return dataSize_; }
    const std::filesystem::path& Path() const override { return path_; }

private:
    bool WriteAll(const void* data, size_t bytes);
    std::string Header() const;

    const uint32_t dataLimit_;
    int fd_ = -1;
    std::filesystem::path path_;
    uint16_t formatTag_ = 1, channels_ = 1, bytesPerSample_ = 2;
    uint32_t rate_ = 8000;
    uint32_t dataSize_ = 0;
    uint32_t trailerSize_ = 0;
    std::vector<uint8_t> bext_; // the whole chunk, or nothing
    bool failed_ = false;
};

// The 156-byte trailer chunk for a file of that start-time name.
std::string WavTrailer(const std::string& baseName);

} // namespace vark
