// The main window's recorder status area, filled from what the recorder controller reports:
// the connection text and pictures, the serial, memory and time left, the battery and its
// indication box, and the recorder's clock. The window lays the controls out.
#pragma once

#include "skin/skinned_fwd.h"

namespace vark
{
class RecorderControl;
}

#include "drive/drive_space.h"

#include <optional>
#include <string>

class RecorderStatusView
{
public:
    struct Controls
    {
        skin::CSkinnedStatic *connection, *serial, *total, *free, *used, *percentFree, *timeLeft,
            *charge, *clock;
        skin::CSkinnedImage *connected, *disconnected, *charging;
        skin::CSkinnedIndicator *chargeLevel, *memory;
        skin::CSkinnedCheck* battery;
    };

    explicit RecorderStatusView(const Controls& controls) : c_(controls) {}

    // The connection: nothing (the figures cleared), locked (the serial) or connected.
    void ShowState(const vark::RecorderControl& recorder);
    // The figures of the last status read.
    void ShowStatus(const vark::RecorderControl& recorder);
    // A drive recorder: connected, its label where the serial is, its space, no battery or
    // clock ("—"). Without `space` the figures are blank.
    void ShowDrive(const std::string& label, const std::optional<drive::DriveSpace>& space,
                   const std::string& timeLeft);
    // Every second: the recorder's clock runs on from its last reading without asking it.
    void ShowClock(const vark::RecorderControl& recorder);

private:
    const Controls c_;
};
