#include "recorder/virtual_recorder.h"

#include "platform/devio.h"

#include <cstdio>

namespace recorder
{

VirtualRecorder::VirtualRecorder(std::shared_ptr<RecorderFirmware> firmware)
    : firmware_(std::move(firmware))
{
}

VirtualRecorder::~VirtualRecorder()
{
    Unplug();
}

bool VirtualRecorder::Plug()
{
    if (server_.IsPublished()) return true;
    firmware_->Reset();
    server_.SetConnectionHook([fw = firmware_](uint64_t id, bool opened)
                              { fw->ConnectionChanged(id, opened); });
    const std::string name = "recorder-" + std::to_string(firmware_->LiveImage().identity.serial);
    return server_.Publish(platform::devio::kRecorderClassGuid, name,
                           [fw = firmware_](const platform::devio::DeviceRequest& r)
                           { return fw->Handle(r); });
}

void VirtualRecorder::Unplug()
{
    server_.Unpublish();
    std::string error;
    if (!firmware_->Save(&error)) std::fprintf(stderr, "vark-recorder: %s\n", error.c_str());
}

bool VirtualRecorder::IsPlugged() const
{
    return server_.IsPublished() && !server_.Unplugged();
}

} // namespace recorder
