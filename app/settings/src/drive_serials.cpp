#include "settings/drive_serials.h"

#include "platform/profile.h"
#include "program_ini.h"

#include <cstdlib>

namespace
{
constexpr const char* kSection = "DriveSerials";
} // namespace

std::optional<uint32_t> RememberedDriveSerial(const std::string& identity,
                                              const std::wstring& iniPath)
{
    const auto text = platform::ProfileReadString(ProgramIniFile(iniPath), kSection, identity);
    if (!text || text->empty()) return std::nullopt;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text->c_str(), &end, 10);
    if (*end != '\0' || value > 0xFFFFFFFFull || text->front() == '-') return std::nullopt;
    return static_cast<uint32_t>(value);
}

bool RememberDriveSerial(const std::string& identity, uint32_t serial, const std::wstring& iniPath)
{
    return platform::ProfileWriteString(ProgramIniFile(iniPath), kSection, identity,
                                        std::to_string(serial));
}
