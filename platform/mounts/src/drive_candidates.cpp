#include "platform/mounts.h"

#include "platform/paths.h"
#include "roots.h"

#include <algorithm>
#include <cstdlib>
#include <set>

namespace platform::mounts
{

namespace
{

// How many levels `path` lies below `base` (1 for a direct child); 0 when not below it.
int DepthBelow(const std::string& path, const std::string& base)
{
    if (path.size() <= base.size() + 1 || path.compare(0, base.size(), base) != 0 ||
        path[base.size()] != '/')
        return 0;
    const std::string rest = path.substr(base.size() + 1);
    if (rest.back() == '/') return 0;
    return 1 + static_cast<int>(std::count(rest.begin(), rest.end(), '/'));
}

} // namespace

std::vector<std::string> DriveRoots()
{
    std::vector<std::string> roots;
    const char* text = std::getenv("VARK_DRIVE_ROOTS");
    if (!text) return roots;
    std::string all = text;
    size_t at = 0;
    while (at <= all.size())
    {
        size_t end = all.find(':', at);
        if (end == std::string::npos) end = all.size();
        std::string root = all.substr(at, end - at);
        while (root.size() > 1 && root.back() == '/')
            root.pop_back();
        if (!root.empty()) roots.push_back(root);
        at = end + 1;
    }
    return roots;
}

std::vector<std::string> Subfolders(const std::string& folder)
{
    std::vector<std::string> paths;
    for (const FolderEntry& entry : ListFolder(folder))
        if (entry.folder) paths.push_back(folder + "/" + entry.name);
    return paths;
}

std::vector<std::string> DriveCandidates(const std::vector<Mount>& mounts)
{
    std::vector<std::string> candidates;
    std::set<std::string> seen;
    const auto add = [&](const std::string& path)
    {
        if (seen.insert(path).second) candidates.push_back(path);
    };
    for (const Mount& m : mounts)
        for (const char* base : {"/media", "/run/media"})
            if (const int depth = DepthBelow(m.mountPoint, base); depth == 1 || depth == 2)
                add(m.mountPoint);
    for (const std::string& root : DriveRoots())
        for (const std::string& folder : Subfolders(root))
        {
            add(folder);
            for (const std::string& inner : Subfolders(folder))
                add(inner);
        }
    return candidates;
}

} // namespace platform::mounts
