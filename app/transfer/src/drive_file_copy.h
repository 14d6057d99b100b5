// A drive recorder's file copied byte for byte, as the drive export and the import do it.
#pragma once

#include "drive/drive_record.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace vark
{

// Copies the record's file into `to` (made or replaced) in pieces; `each` sees every piece
// once it is written (progress, a hash, a cancel check, any of which may throw). Throws
// RunFailure: kDriveFileUnreadable naming the file when it cannot be read or ends before its
// listed size (pulled, changed), kDiskWriteError when `to` cannot be written.
void CopyDriveFile(const drive::DriveRecord& record, const std::filesystem::path& to,
                   const std::function<void(const uint8_t*, size_t)>& each);

// ".WAV" of "REC0001.WAV", as the name has it; empty for none (and for ".hidden").
std::string FileExtension(const std::string& name);

} // namespace vark
