// The serial number the signature files of a drive recorder carry. A drive has no serial of
// its own, so the user gives one the first time and it is remembered by the drive's identity,
// in the "DriveSerials" section of the program's settings file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// An empty path is the program's settings file.
std::optional<uint32_t> RememberedDriveSerial(const std::string& identity,
                                              const std::wstring& iniPath = L"");
bool RememberDriveSerial(const std::string& identity, uint32_t serial,
                         const std::wstring& iniPath = L"");
