// The main window's recorder status area, filled from what the recorder controller reports:
// the connection text and pictures, the serial, memory and time left, the battery and its
// indication box, and the recorder's clock. The window lays the controls out.
#pragma once

#include "skin/skinned_fwd.h"

namespace vark
{
class RecorderControl;
}

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
    // Every second: the recorder's clock runs on from its last reading without asking it.
    void ShowClock(const vark::RecorderControl& recorder);

private:
    const Controls c_;
};
