// A virtual recorder plugged into the device I/O layer: its firmware served over a socket in
// the recorder's interface-class folder, for the program, the tools and end-to-end tests.
#pragma once

#include "recorder/firmware.h"

#include "platform/devio_server.h"

#include <memory>
#include <string>

namespace recorder
{

class VirtualRecorder
{
public:
    explicit VirtualRecorder(std::shared_ptr<RecorderFirmware> firmware);
    ~VirtualRecorder(); // unplugs
    VirtualRecorder(const VirtualRecorder&) = delete;
    VirtualRecorder& operator=(const VirtualRecorder&) = delete;

    // Powers the firmware on (locked, uncommitted settings dropped) and publishes it as
    // <class folder>/recorder-<serial>. false when that name is already served.
    bool Plug();
    // Removes the device (open handles then fail with 1167) and writes the committed state
    // to the image folder, if any.
    void Unplug();
    // Published and not yet gone by an unplug fault.
    bool IsPlugged() const;
    const std::string& DevicePath() const { return server_.Path(); }
    RecorderFirmware& Firmware() { return *firmware_; }

private:
    std::shared_ptr<RecorderFirmware> firmware_;
    platform::devio::DeviceServer server_;
};

} // namespace recorder
