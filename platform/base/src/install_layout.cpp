#include "platform/install_layout.h"

#include "platform/install_dirs.h"
#include "platform/paths.h"

#include <climits>
#include <cstdlib>
#include <initializer_list>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{

std::string Canonical(const std::string& path)
{
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) ? std::string(buf) : std::string();
}

// The first of the folders, relative to the program's own, that exists.
std::string FirstFolder(std::initializer_list<const char*> relatives)
{
    const std::string own = ExecutableFolder();
    if (own.empty()) return {};
    for (const char* rel : relatives)
    {
        const std::string path = Canonical(JoinPath(own, rel));
        struct stat st
        {
        };
        if (!path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return path;
    }
    return {};
}

} // namespace

std::string ProgramDataFolder()
{
    return FirstFolder(
        {install_dirs::kBinToData, install_dirs::kLibexecToData, install_dirs::kBuildBinToData});
}

std::string ProgramDocFolder()
{
    return FirstFolder({install_dirs::kBinToDoc});
}

std::string HelperProgramPath(const std::string& name)
{
    const std::string own = ExecutableFolder();
    if (own.empty()) return {};
    for (const std::string& path :
         {JoinPath(JoinPath(own, install_dirs::kBinToLibexec), name), JoinPath(own, name)})
    {
        const std::string canonical = Canonical(path);
        if (!canonical.empty() && ::access(canonical.c_str(), X_OK) == 0) return canonical;
    }
    return {};
}

} // namespace platform
