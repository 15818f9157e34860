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

// Progress and message boxes of the connection on standard error, one line each.
class TCliConnectionUi final : public TConnectionUi {
public:
    explicit TCliConnectionUi(int dialTimeoutSeconds = DefaultDialTimeoutSeconds)
        : DialTimeout(dialTimeoutSeconds) {}
    void SetStatus(const std::string& text) override;
    void ShowMessage(TMessageIcon icon, const std::string& text) override;
    // Down until a stop signal has come (TStopSignals) or the call has been
    // waited for longer than the dial time-out.
    bool ButtonDown() override;
    // True when the dial time-out released the button.
    bool DialTimedOut() const { return TimedOut; }
    int DialTimeoutSeconds() const { return static_cast<int>(DialTimeout.count()); }

    std::string Status; // the last status text

private:
    std::chrono::seconds DialTimeout;
    bool Dialling = false;
    bool TimedOut = false;
    std::chrono::steady_clock::time_point DialledAt;
};

// "--port COMn|PATH" for one run: COMn replaces the node's port number in
// `record` (the caller restores it before saving), a path is opened instead of
// the node's port. The session's opener remembers why an open failed, named as
// the user gave the port, in `openFailure`.
void UsePortOption(const std::string& port, TNode& record, TLinkSession& session,
                   std::string& openFailure);

// The outcome of a connect that did not succeed, for standard error: the open
// failure when there was one, the dial time-out when it ended the call,
// otherwise the dialogue's status.
std::string ConnectFailureText(const TConnectOutcome& connected, const std::string& openFailure,
                               const TCliConnectionUi& ui);

} // namespace virs::cli
