// What an export writes a record's samples through: a WAV file (the system's own, the record's
// bytes as stored) or a FLAC file (16-bit PCM, mu-law expanded). The worker hands both the
// samples as the recorder stores them and never knows which it writes.
#pragma once

#include "device/record_info.h"
#include "platform/bext.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace vark
{

// The samples a writer is given: 8-bit G.711 mu-law codes, or 16-bit little-endian PCM.
struct SampleFormat
{
    bool ulaw = false;
    uint16_t channels = 1;
    uint32_t rate = 8000;
};

inline SampleFormat SampleFormatOf(const RecordInfo& record)
{
    return {record.compressed != 0, static_cast<uint16_t>(record.Channels()), record.Rate()};
}

enum class ExportFormat
{
    kWav,
    kFlac,
};

// ".wav" or ".flac".
const char* ExportExtension(ExportFormat format);
// "wav" or "flac", as vark-cli and the settings spell it; nothing for any other word.
bool ParseExportFormat(const std::string& word, ExportFormat& format);

class AudioFileWriter
{
public:
    virtual ~AudioFileWriter() = default;
    // Creates (or replaces) the file. `tags`, when given, describe the record: a "bext" chunk
    // in a WAV file, Vorbis comments in a FLAC file. False when the file cannot be made or
    // cannot hold samples of that format (a rate FLAC has no code for).
    virtual bool Create(const std::filesystem::path& path, const SampleFormat& format,
                        const platform::bext::Bext* tags) = 0;
    // False when the write fails (the file is then only fit for deleting).
    virtual bool Write(const void* data, size_t bytes) = 0;
    // The system's trailer naming the start-time name; FLAC carries the name in its tags.
    virtual bool WriteTrailer(const std::string& baseName) = 0;
    // Completes the file and closes it. False when any of that failed. Does nothing when no
    // file is open.
    virtual bool Close() = 0;
    virtual bool IsOpen() const = 0;
    virtual const std::filesystem::path& Path() const = 0;
};

std::unique_ptr<AudioFileWriter> MakeAudioFileWriter(ExportFormat format);

} // namespace vark
