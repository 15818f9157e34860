#pragma once
// What a job does to the window, as values: the start/stop button
// (ToolButton16), the cyclic-polling button (ToolButton13), the device's tree
// picture, the activity lamps, the polling timer and the status text. The job
// layer works out a change; the window (or virs-cli, or a test) applies it in
// one place. The rules for the buttons are plain functions of the program
// state here, so they are tested without a window.

#include <optional>
#include <string>

#include "jobs/ProgramState.h"

namespace virs {

// The tree picture of a device: idle or busy, chosen by its type. The window
// maps it to a picture of its image list.
struct TDevicePicture {
    int Node = 0;
    int Device = 0;
    TDeviceType Type = DeviceOff;
    bool Busy = false;
};

// The state of the two job buttons.
struct TJobButtons {
    bool StartDown = false; // ToolButton16 pressed (its busy picture) or up (idle picture)
    bool StartEnabled = false;
    bool CyclicEnabled = false;
};

// One change of the window's job controls; what is not set stays as it is.
struct TJobControls {
    std::optional<bool> StartDown;
    std::optional<bool> StartEnabled;
    std::optional<bool> CyclicEnabled;
    std::optional<TDevicePicture> Picture;
    std::optional<bool> Lamps;              // Timer2 and the activity lamps
    std::optional<int> CyclicTimerInterval; // Timer3: > 0 started with this interval, 0 stopped
    std::optional<std::string> Status;      // status bar panel 2

    void SetButtons(const TJobButtons& b) {
        StartDown = b.StartDown;
        StartEnabled = b.StartEnabled;
        CyclicEnabled = b.CyclicEnabled;
    }
};

// What the end of a job means: its result, the status text, the buttons, the
// device's idle picture (when the device still exists), the lamps off.
// A start that began no job (no link, a type that is not read, the dialog
// cancelled, no protocol log) ends the same way, with Ran false.
struct TJobEnd {
    bool Ran = true;
    u8 ResultCode = 0; // of the exchange block; meaningful when Ran
    TJobControls Controls;
};

// The enabled state of ToolButton13 after a job has ended: with polling on,
// only for the job's own device while it is selected; otherwise for any device
// of the connected node whose type is not 0.
bool CyclicEnabledAfterJob(const TProgramState& state, bool cyclicDown);
// Both buttons after a job (or after a job that did not start): the start
// button up and enabled exactly when polling is enabled and not on.
TJobButtons ButtonsAfterJob(const TProgramState& state, bool cyclicDown);

// The window's own rule, after a change of the selection or of the link: what
// the buttons are given the state and the facts only the window knows.
struct TButtonFacts {
    bool HaveLink = false;    // the window has a link controller
    bool WorkerParked = true; // no job is being performed
    bool CyclicDown = false;  // ToolButton13 pressed
    bool StartDown = false;   // ToolButton16 pressed
};
// Nothing is enabled without an open link and a selected device. With polling
// on, ToolButton13 stays enabled on the job's own device (to stop it); without,
// on a device of the connected node whose type is not 0 while no job is being
// performed. ToolButton16 follows ToolButton13 while polling is off, and the
// stop button of a running job stays reachable on the job's own device.
TJobButtons PollButtons(const TProgramState& state, const TButtonFacts& facts);

} // namespace virs
