#include "settings/drive_serials.h"

#include "platform/paths.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "settings/settings.h"

#include <cstdlib>

namespace
{

constexpr const char* kSection = "DriveSerials";

// The window's settings file, so that the window and vark-cli remember the same serials.
std::string FilePath(const std::wstring& iniPath)
{
    if (!iniPath.empty()) return platform::WideToUtf8(CIniFileSettings(iniPath, L"").Path());
    const std::string roaming = platform::RoamingAppDataFolder();
    if (roaming.empty()) return {}; // nowhere to remember: nothing is found, nothing kept
    const std::string folder =
        platform::JoinPath(platform::JoinPath(roaming, "Mirvanta"), "Varke-P");
    platform::CreateFolders(folder);
    return platform::JoinPath(folder, "Varke.ini");
}

} // namespace

std::optional<uint32_t> RememberedDriveSerial(const std::string& identity,
                                              const std::wstring& iniPath)
{
    const auto text = platform::ProfileReadString(FilePath(iniPath), kSection, identity);
    if (!text || text->empty()) return std::nullopt;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text->c_str(), &end, 10);
    if (*end != '\0' || value > 0xFFFFFFFFull || text->front() == '-') return std::nullopt;
    return static_cast<uint32_t>(value);
}

bool RememberDriveSerial(const std::string& identity, uint32_t serial, const std::wstring& iniPath)
{
    return platform::ProfileWriteString(FilePath(iniPath), kSection, identity,
                                        std::to_string(serial));
}
