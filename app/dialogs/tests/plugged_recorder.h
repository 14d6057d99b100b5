// The dialog tests' recorder: a virtual recorder made from an image, plugged in over a real
// socket and opened with the empty PIN by the device object the dialogs are given.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "device/vark_device.h"
#include "recorder/virtual_recorder.h"

namespace dialogs_test
{

struct PluggedRecorder
{
    // Fails the test (not fatally) when the recorder cannot be plugged or opened.
    void Plug(const recorder::RecorderImage& image)
    {
        firmware = std::make_shared<recorder::RecorderFirmware>(image);
        plugged = std::make_unique<recorder::VirtualRecorder>(firmware);
        EXPECT_TRUE(plugged->Plug());
        EXPECT_TRUE(device.Open(plugged->DevicePath()));
        EXPECT_TRUE(device.PresentAccessCode(L""));
        firmware->ClearRequestLog();
    }

    std::shared_ptr<recorder::RecorderFirmware> firmware;
    std::unique_ptr<recorder::VirtualRecorder> plugged;
    vark::CVarkDevice device;
};

} // namespace dialogs_test
