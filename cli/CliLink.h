#pragma once
// The link of a node for the commands that read meters without an operator
// (read, poll, archive): the connect button is "released" by Ctrl+C or SIGTERM
// at any moment of the dialogue and by the dial time-out once the number has
// been dialled, so a modem that never answers the call cannot hold the command
// (and the telephone line) for ever; and the --port override of the node's port.

#include <chrono>
#include <string>

#include "jobs/LinkSession.h"
#include "link/NodeConnection.h"
#include "model/Records.h"

namespace virs::cli {

// How long the call may take from the dial command to the modem's answer.
inline constexpr int DefaultDialTimeoutSeconds = 120;
// The largest --dial-timeout accepted (one hour).
inline constexpr int MaxDialTimeoutSeconds = 3600;

// The wait for the modem's answer to the dial command: it starts with the
// status text the dialogue shows as the command goes out.
class TDialClock {
public:
    explicit TDialClock(int seconds = DefaultDialTimeoutSeconds) : Limit(seconds) {}
    // Every status text of the dialogue, in order.
    void Status(const std::string& text);
    // True (and remembered) once the call has been waited for as long as allowed.
    bool Expired();
    bool TimedOut() const { return Out; }
    int Seconds() const { return static_cast<int>(Limit.count()); }

private:
    std::chrono::seconds Limit;
    bool Dialling = false;
    bool Out = false;
    std::chrono::steady_clock::time_point DialledAt;
};

// Progress and message boxes of the connection on standard error, one line each.
class TCliConnectionUi final : public TConnectionUi {
public:
    explicit TCliConnectionUi(int dialTimeoutSeconds = DefaultDialTimeoutSeconds)
        : Dial(dialTimeoutSeconds) {}
    void SetStatus(const std::string& text) override;
    void ShowMessage(TMessageIcon icon, const std::string& text) override;
    // Down until a stop signal has come (TStopSignals) or the call has been
    // waited for longer than the dial time-out.
    bool ButtonDown() override;
    // True when the dial time-out released the button.
    bool DialTimedOut() const { return Dial.TimedOut(); }
    int DialTimeoutSeconds() const { return Dial.Seconds(); }

    std::string Status; // the last status text

private:
    TDialClock Dial;
};

// "--port COMn|PATH" for one run: COMn replaces the node's port number in
// `record` (the caller restores it before saving), a path is opened instead of
// the node's port. The session's opener remembers why an open failed, named as
// the user gave the port, in `openFailure`.
void UsePortOption(const std::string& port, TNode& record, TLinkSession& session,
                   std::string& openFailure);

// "Вызов прерван: модем не ответил на вызов за N с (--dial-timeout)".
std::string DialTimedOutText(const std::string& status, int seconds);

// The outcome of a connect that did not succeed, for standard error: the open
// failure when there was one, the dial time-out when it ended the call,
// otherwise the dialogue's status.
std::string ConnectFailureText(const TConnectOutcome& connected, const std::string& openFailure,
                               const TCliConnectionUi& ui);

// Selects `node` and `device` and connects the node as the connect button
// does, telling on standard error what the window shows: the port alias notice
// (the first time), then why the connect failed, or the connected message and
// the status. False when the node is not connected.
bool ConnectForRun(TProgramState& state, TLinkSession& session, int node, int device,
                   TCliConnectionUi& ui, const std::string& openFailure);

} // namespace virs::cli
