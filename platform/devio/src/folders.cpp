#include "platform/devio.h"
#include "platform/paths.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <sys/stat.h>

namespace platform::devio
{

std::string DeviceFolder()
{
    if (const char* dir = std::getenv("VARK_DEVICE_DIR"); dir && *dir) return dir;
    return platform::JoinPath(platform::JoinPath(platform::RuntimeFolder(), "vark"), "devices");
}

std::string ClassFolder(const std::string& classGuid)
{
    return platform::JoinPath(DeviceFolder(), classGuid);
}

bool CreateClassFolder(const std::string& classGuid)
{
    return platform::CreateFolders(ClassFolder(classGuid), 0700);
}

std::vector<std::string> EnumerateInterfaces(const std::string& classGuid)
{
    std::vector<std::string> paths;
    const std::string folder = ClassFolder(classGuid);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return paths;
    while (dirent* entry = ::readdir(dir))
    {
        if (entry->d_name[0] == '.') continue;
        const std::string path = platform::JoinPath(folder, entry->d_name);
        struct stat st
        {
        };
        if (::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode)) paths.push_back(path);
    }
    ::closedir(dir);
    std::sort(paths.begin(), paths.end());
    return paths;
}

} // namespace platform::devio
