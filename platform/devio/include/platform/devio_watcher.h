// Device arrival and removal notifications for one interface class: inotify on the class
// folder, exposed as an fd that the caller's event loop watches for readability.
#pragma once

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
    std::string folder_;
    int fd_ = -1;
};

} // namespace platform::devio
