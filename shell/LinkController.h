#pragma once
// What the main window hands to the node connection and the jobs. The window
// owns the buttons, the tree and the status bar; the controller owns the port,
// the exchange thread and the job. Until a controller is attached the window
// has no link: the connect button stays disabled, and with no link the start
// and polling buttons are disabled by the window's own rules.

namespace virs {

class TForm1;

class TLinkController {
public:
    virtual ~TLinkController() = default;

    // ToolButton14Click: pressed = connect the selected node, released =
    // disconnect the connected node. Maintains LinkOpen / LinkNode, the node's
    // tree image, the button picture, the link clock and the status text.
    virtual void ConnectClick(bool down) = 0;
    // ToolButton16Click: pressed = start a job for the selected view, released = stop.
    virtual void StartStopClick(bool down) = 0;
    // ToolButton13Click: pressed = start cyclic polling, released = end it.
    virtual void CyclicClick(bool down) = 0;

    // The exchange thread is parked (no request in progress).
    virtual bool WorkerParked() const = 0;
    // The node and device of the job started last (the one polled cyclically).
    virtual int JobNode() const = 0;
    virtual int JobDevice() const = 0;
    // A job is running now (started and not ended).
    virtual bool JobRunning() const = 0;

    // A connection is being made or closed (the connect button's dialogue runs).
    virtual bool LinkBusy() const { return false; }
    // The window wants to close while the link is busy: a connect in progress
    // is cancelled as by releasing the button (the call is hung up), a close
    // in progress is awaited. `unattended` (a signal, nobody at the screen):
    // messages go to the standard error output instead of message boxes, and
    // an open message box is closed. The controller calls the window's
    // LinkSettled() when the link has settled.
    virtual void CancelForClose(bool unattended) { (void)unattended; }
};

} // namespace virs
