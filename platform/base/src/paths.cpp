#include "platform/paths.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform
{

namespace
{
std::string EnvFolder(const char* name)
{
    const char* v = std::getenv(name);
    // Relative values are invalid under the XDG rules and are ignored.
    return v && v[0] == '/' ? std::string(v) : std::string();
}

std::string HomeFolder()
{
    if (const char* home = std::getenv("HOME"); home && home[0] == '/') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return {};
}
} // namespace

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

bool CreateFolders(const std::string& path, unsigned mode)
{
    if (path.empty()) return false;
    for (size_t pos = 1;; ++pos)
    {
        pos = path.find('/', pos);
        const std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
        if (pos == std::string::npos) break;
    }
    struct stat st
    {
    };
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

namespace
{
// $<variable>, else <home>/<under>, created 0700.
std::string XdgFolder(const char* variable, const char* under)
{
    std::string folder = EnvFolder(variable);
    if (folder.empty())
    {
        const std::string home = HomeFolder();
        if (home.empty()) return {};
        folder = JoinPath(home, under);
    }
    return CreateFolders(folder, 0700) ? folder : std::string();
}
} // namespace

std::string RoamingAppDataFolder()
{
    return XdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string DataHomeFolder()
{
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string CacheHomeFolder()
{
    return XdgFolder("XDG_CACHE_HOME", ".cache");
}

std::string RuntimeFolder()
{
    std::string folder = EnvFolder("XDG_RUNTIME_DIR");
    if (folder.empty()) folder = "/tmp/vark-" + std::to_string(::getuid());
    CreateFolders(folder, 0700);
    return folder;
}

std::string ExecutablePath()
{
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

std::string ExecutableFolder()
{
    const std::string exe = ExecutablePath();
    const auto slash = exe.rfind('/');
    return slash == std::string::npos ? std::string() : exe.substr(0, slash);
}

SingleInstance::SingleInstance(const std::string& name)
    : path_(JoinPath(RuntimeFolder(), name + ".lock"))
{
    fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return; // no guard possible: behave as the only instance
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
    {
        alreadyExists_ = errno == EWOULDBLOCK;
        ::close(fd_);
        fd_ = -1;
    }
}

SingleInstance::~SingleInstance()
{
    if (fd_ >= 0) ::close(fd_);
}

} // namespace platform

namespace platform
{

std::vector<FolderEntry> ListFolder(const std::string& folder)
{
    std::vector<FolderEntry> entries;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return entries;
    while (const dirent* entry = ::readdir(dir))
    {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        struct stat st
        {
        };
        if (::lstat((folder + "/" + name).c_str(), &st) != 0) continue;
        entries.push_back({name, S_ISDIR(st.st_mode), S_ISREG(st.st_mode)});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
    return entries;
}

} // namespace platform
