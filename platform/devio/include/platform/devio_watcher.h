// Device arrival and removal notifications for one interface class: inotify on the class
// folder, exposed as an fd that the caller's event loop watches for readability. When the
// class folder goes away, its devices are reported removed and the nearest existing folder
// above it is watched until the class folder is back; then the devices in it are reported
// as arrivals.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace platform::devio
{

struct DeviceEvent
{
    enum class Kind
    {
        Arrival,         // DBT_DEVICEARRIVAL
        RemovalComplete, // DBT_DEVICEREMOVECOMPLETE
    };
    Kind kind = Kind::Arrival;
    std::string path; // the device path, as EnumerateInterfaces gives it
};

class DeviceWatcher
{
public:
    // Creates the class folder (0700) when missing, so a device that arrives later is seen.
    explicit DeviceWatcher(const std::string& classGuid);
    ~DeviceWatcher();
    DeviceWatcher(const DeviceWatcher&) = delete;
    DeviceWatcher& operator=(const DeviceWatcher&) = delete;

    bool IsValid() const { return fd_ >= 0; }
    // Readable when events are waiting. Non-blocking.
    int Fd() const { return fd_; }
    // The events that have arrived so far, in order; empty when none are waiting.
    std::vector<DeviceEvent> TakeEvents();

private:
    // Watches the class folder if it exists, else the nearest folder above it; reports the
    // devices found when the class folder is watched again.
    void Arm(std::vector<DeviceEvent>& events);
    void FolderLost(std::vector<DeviceEvent>& events);
    void Arrived(const std::string& path, std::vector<DeviceEvent>& events);
    void Removed(const std::string& path, std::vector<DeviceEvent>& events);
    void WatchAncestor(int wd);

    std::string classGuid_, folder_;
    int fd_ = -1;
    int classWatch_ = -1, ancestorWatch_ = -1;
    std::set<std::string> present_; // so a device is reported once per arrival and removal
};

} // namespace platform::devio
