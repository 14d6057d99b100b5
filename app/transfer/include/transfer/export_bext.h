// The Broadcast WAV "bext" chunk an export can carry (off by default: the system's files have
// none): what the record is and where it came from, when it started by the recorder's clock,
// the samples since that midnight, and a coding history stating the data as written (mu-law
// stays mu-law). A byte-for-byte copy of a drive file never gets one.
#pragma once

#include "device/record_info.h"
#include "drive/drive_record.h"
#include "platform/bext.h"
#include "transfer/audio_file_writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vark
{

// The tags of a record: a "bext" chunk in a WAV export, Vorbis comments in a FLAC one.
// `recordNumber`: as the list shows it (from 1); `serial`: the recorder's, for signatures. The
// coding history ends with the data as the file holds it: FLAC holds mu-law expanded.
platform::bext::Bext ExportBext(const RecordInfo& record, int recordNumber, uint32_t serial,
                                ExportFormat format = ExportFormat::kWav);
// The tags of a drive file that is decoded: the file on the drive named by `recorder` (its
// label or identity), its start, and a history from its own coding to 16-bit PCM.
platform::bext::Bext DriveExportBext(const drive::DriveRecord& record, const std::string& recorder,
                                     const SampleFormat& written);
// "A=ULAW,F=8000,W=8,M=mono" or "A=PCM,F=16000,W=16,M=stereo", as the history's line says it.
std::string CodingHistoryLine(const SampleFormat& format);

} // namespace vark
