#include "program_ini.h"

#include "platform/paths.h"
#include "platform/text.h"
#include "settings/settings.h"

std::string ProgramIniFile(const std::wstring& iniPath)
{
    if (!iniPath.empty()) return platform::WideToUtf8(CIniFileSettings(iniPath, L"").Path());
    const std::string roaming = platform::RoamingAppDataFolder();
    if (roaming.empty()) return {}; // nowhere to remember: nothing is found, nothing kept
    const std::string folder =
        platform::JoinPath(platform::JoinPath(roaming, "Mirvanta"), "Varke-P");
    platform::CreateFolders(folder);
    return platform::JoinPath(folder, "Varke.ini");
}
