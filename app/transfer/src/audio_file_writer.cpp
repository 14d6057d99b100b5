#include "transfer/audio_file_writer.h"

#include "transfer/flac_writer.h"
#include "transfer/wav_writer.h"

namespace vark
{

const char* ExportExtension(ExportFormat format)
{
    return format == ExportFormat::kFlac ? ".flac" : ".wav";
}

bool ParseExportFormat(const std::string& word, ExportFormat& format)
{
    if (word == "wav")
        format = ExportFormat::kWav;
    else if (word == "flac")
        format = ExportFormat::kFlac;
    else
        return false;
    return true;
}

std::unique_ptr<AudioFileWriter> MakeAudioFileWriter(ExportFormat format)
{
    if (format == ExportFormat::kFlac) return std::make_unique<CFlacWriter>();
    return std::make_unique<CWavWriter>();
}

} // namespace vark
