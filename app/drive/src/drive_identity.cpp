#include "drive/drive_identity.h"

#include "platform/paths.h"

#include <blkid.h>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace drive
{

namespace
{

std::string Canonical(const std::string& path)
{
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

// The name of the link in `folder` that leads to `device`, as udev spells it (\x20 for a
// space and so on, undone).
std::string LinkTo(const std::string& folder, const std::string& device)
{
    for (const platform::FolderEntry& entry : platform::ListFolder(folder))
    {
        if (entry.folder || entry.file) continue; // the names are links
        if (Canonical(folder + "/" + entry.name) != device) continue;
        std::string name;
        for (size_t i = 0; i < entry.name.size(); ++i)
        {
            unsigned code = 0;
            if (entry.name.compare(i, 2, "\\x") == 0 && i + 3 < entry.name.size() &&
                std::sscanf(entry.name.c_str() + i + 2, "%2x", &code) == 1)
            {
                name += static_cast<char>(code);
                i += 3;
            }
            else
                name += entry.name[i];
        }
        return name;
    }
    return {};
}

// UUID and label read from the device's superblock; nothing when it cannot be opened.
void ProbeDevice(const std::string& device, std::string* uuid, std::string* label)
{
    blkid_probe probe = blkid_new_probe_from_filename(device.c_str());
    if (!probe) return;
    blkid_probe_enable_superblocks(probe, 1);
    blkid_probe_set_superblocks_flags(probe, BLKID_SUBLKS_UUID | BLKID_SUBLKS_LABEL);
    if (blkid_do_safeprobe(probe) == 0)
    {
        const char* value = nullptr;
        if (uuid->empty() && blkid_probe_lookup_value(probe, "UUID", &value, nullptr) == 0)
            *uuid = value;
        if (label->empty() && blkid_probe_lookup_value(probe, "LABEL", &value, nullptr) == 0)
            *label = value;
    }
    blkid_free_probe(probe);
}

std::string PathHash(const std::string& path)
{
    // FNV-1a: stable across runs and builds, which is all an identity needs.
    uint64_t h = 14695981039346656037ULL;
    for (const unsigned char c : path)
        h = (h ^ c) * 1099511628211ULL;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(h));
    return hex;
}

} // namespace

DriveIdentity IdentifyDrive(const std::string& root,
                            const std::vector<platform::mounts::Mount>& mounts,
                            const std::string& diskLinks)
{
    const std::string canonical = Canonical(root);
    std::string uuid, label;
    for (const platform::mounts::Mount& m : mounts)
    {
        if (Canonical(m.mountPoint) != canonical || m.source.empty() || m.source.front() != '/')
            continue;
        const std::string device = Canonical(m.source);
        uuid = LinkTo(diskLinks + "/by-uuid", device);
        label = LinkTo(diskLinks + "/by-label", device);
        if (uuid.empty() || label.empty()) ProbeDevice(device, &uuid, &label);
        break;
    }
    DriveIdentity id;
    id.id = uuid.empty() ? "path:" + PathHash(canonical) : "uuid:" + uuid;
    const size_t slash = canonical.find_last_of('/');
    id.label = !label.empty() ? label
               : slash == std::string::npos || slash + 1 == canonical.size()
                   ? canonical
                   : canonical.substr(slash + 1);
    return id;
}

} // namespace drive
