#include "platform/pedals.h"

#include "platform/paths.h"

#include <linux/input.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace platform::pedals
{

namespace
{

std::string Lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

bool NameSaysPedal(const std::string& name)
{
    const std::string n = Lower(name);
    for (const char* word : {"pedal", "footswitch", "foot_switch", "foot switch"})
        if (n.find(word) != std::string::npos) return true;
    return false;
}

std::vector<uint16_t> KeysOf(int fd)
{
    uint8_t bits[KEY_MAX / 8 + 1] = {};
    std::vector<uint16_t> keys;
    if (::ioctl(fd, EVIOCGBIT(EV_KEY, sizeof bits), bits) < 0) return keys;
    for (int code = 0; code <= KEY_MAX; ++code)
        if (bits[code / 8] & (1u << (code % 8))) keys.push_back(uint16_t(code));
    return keys;
}

int OpenReadable(const std::string& path)
{
    return ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
}

} // namespace

const std::vector<PedalModel>& KnownPedals()
{
    static const std::vector<PedalModel> models = {
        {0x05f3, 0x00ff, "VEC Infinity USB foot pedal (IN-USB-1, IN-USB-2)"},
        {0x05f3, 0x0268, "X-keys USB foot pedal"},
        {0x0c45, 0x7403, "PCsensor FootSwitch"},
        {0x0c45, 0x7404, "PCsensor FootSwitch (three pedals)"},
        {0x413d, 0x2107, "PCsensor FootSwitch"},
        {0x1a86, 0xe026, "PCsensor FootSwitch"},
        {0x3553, 0xb001, "PCsensor FootSwitch"},
        {0x0426, 0x3011, "Scythe USB foot switch"},
        {0x055a, 0x0998, "Scythe USB foot switch II"},
    };
    return models;
}

bool IsKnownPedal(uint16_t vendor, uint16_t product)
{
    const auto& m = KnownPedals();
    return std::any_of(m.begin(), m.end(),
                       [&](const PedalModel& p)
                       { return p.vendor == vendor && p.product == product; });
}

std::string PedalFolder()
{
    const char* dir = std::getenv("VARK_PEDAL_DIR");
    return dir && *dir ? dir : "/dev/input/by-id";
}

std::vector<PedalInfo> FindPedals()
{
    std::vector<PedalInfo> found;
    const std::string folder = PedalFolder();
    for (const FolderEntry& e : ListFolder(folder))
    {
        if (e.folder || e.name.find("-event-") == std::string::npos) continue;
        PedalInfo info;
        info.path = JoinPath(folder, e.name);
        info.name = e.name;
        const int fd = OpenReadable(info.path);
        if (fd < 0) continue; // not the user's to read
        input_id id{};
        if (::ioctl(fd, EVIOCGID, &id) == 0)
        {
            info.vendor = id.vendor;
            info.product = id.product;
        }
        char name[256] = {};
        if (::ioctl(fd, EVIOCGNAME(sizeof name - 1), name) > 0 && name[0]) info.name = name;
        ::close(fd);
        if (IsKnownPedal(info.vendor, info.product) || NameSaysPedal(info.name) ||
            NameSaysPedal(e.name))
            found.push_back(std::move(info));
    }
    return found;
}

PedalDevice::PedalDevice(const PedalInfo& info) : info_(info)
{
    fd_ = OpenReadable(info_.path);
    if (fd_ < 0) return;
    grabbed_ = ::ioctl(fd_, EVIOCGRAB, 1) == 0;
    decoder_ = PedalDecoder(KeysOf(fd_));
}

PedalDevice::~PedalDevice()
{
    if (fd_ < 0) return;
    if (grabbed_) ::ioctl(fd_, EVIOCGRAB, 0);
    ::close(fd_);
}

std::vector<PedalChange> PedalDevice::Read()
{
    std::vector<PedalChange> changes;
    if (fd_ < 0 || gone_) return changes;
    uint8_t buffer[sizeof(input_event) * 64];
    for (;;)
    {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0)
        {
            auto more = decoder_.Feed(buffer, size_t(n));
            changes.insert(changes.end(), more.begin(), more.end());
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) break;
        // pulled out (ENODEV), or the writer of a stand-in went (end of file)
        gone_ = true;
        auto released = decoder_.ReleaseAll();
        changes.insert(changes.end(), released.begin(), released.end());
        break;
    }
    return changes;
}

PedalWatcher::PedalWatcher() : folder_(PedalFolder())
{
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) return;
    Arm();
    if (folderWatch_ < 0 && parentWatch_ < 0)
    {
        ::close(fd_);
        fd_ = -1;
    }
}

PedalWatcher::~PedalWatcher()
{
    if (fd_ >= 0) ::close(fd_);
}

void PedalWatcher::Arm()
{
    constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_TO | IN_MOVED_FROM | IN_ATTRIB |
                               IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (folderWatch_ < 0) folderWatch_ = ::inotify_add_watch(fd_, folder_.c_str(), kMask);
    if (parentWatch_ < 0)
    {
        const auto slash = folder_.find_last_of('/');
        const std::string parent =
            slash == std::string::npos ? "." : (slash == 0 ? "/" : folder_.substr(0, slash));
        parentWatch_ =
            ::inotify_add_watch(fd_, parent.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR);
    }
}

void PedalWatcher::Drain()
{
    if (fd_ < 0) return;
    alignas(inotify_event) char buffer[4096];
    for (;;)
    {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n <= 0) break;
        for (ssize_t at = 0; at < n;)
        {
            const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
            if (e->wd == folderWatch_ && (e->mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)))
                folderWatch_ = -1;
            at += ssize_t(sizeof(inotify_event) + e->len);
        }
    }
    // the folder may have appeared (the first input device) or gone (the last one)
    Arm();
}

} // namespace platform::pedals
