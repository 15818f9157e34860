#include "cli/CliLink.h"

#include <cstdio>
#include <filesystem>

#include "cli/CliOptions.h"
#include "model/TextCodec.h"

namespace virs::cli {

void TDialClock::Status(const std::string& text) {
    // The dial command goes out right after this text; the clock of the call
    // starts here (the modem search before it has a bound of its own).
    if (text == DialText && !Dialling) {
        Dialling = true;
        DialledAt = std::chrono::steady_clock::now();
    }
}

bool TDialClock::Expired() {
    if (Dialling && std::chrono::steady_clock::now() - DialledAt >= Limit)
        Out = true;
    return Out;
}

void TCliConnectionUi::SetStatus(const std::string& text) {
    Status = text;
    std::fprintf(stderr, "%s\n", OneLine(text).c_str());
    Dial.Status(text);
}

void TCliConnectionUi::ShowMessage(TMessageIcon, const std::string& text) {
    std::fprintf(stderr, "[%s] %s\n", ConnectionCaption, OneLine(text).c_str());
}

bool TCliConnectionUi::ButtonDown() {
    return !TStopSignals::Pressed() && !Dial.Expired();
}

void UsePortOption(const std::string& port, TNode& record, TLinkSession& session,
                   std::string& openFailure) {
    TPortOpener opener = OpenComPort;
    std::string portName;
    if (!port.empty()) {
        int number = 0;
        if (port.rfind("COM", 0) == 0 && ParseNumber(port.substr(3), 1, 255, number)) {
            record.ComPort = static_cast<u16>(number);
        } else {
            const std::filesystem::path path(port);
            opener = [path](unsigned) { return OpenSerialPort(path); };
            portName = port;
        }
    }
    session.PortOpener = [&openFailure, opener, portName](unsigned com) {
        TPortOpenResult opened = opener(com);
        if (!opened.Port && (com != 0 || !portName.empty())) {
            // The reason names the device path itself ("/dev/ttyUSB0: ..."); a
            // path given by the user is not repeated.
            const std::string name = portName.empty() ? "COM" + std::to_string(com) : portName;
            std::string reason = opened.Error;
            if (reason.rfind(portName + ": ", 0) == 0 && !portName.empty())
                reason.erase(0, portName.size() + 2);
            openFailure = "Не удалось открыть порт " + name + ": " + reason;
        }
        return opened;
    };
}

std::string DialTimedOutText(const std::string& status, int seconds) {
    return status + ": модем не ответил на вызов за " + std::to_string(seconds) +
           " с (--dial-timeout)";
}

std::string ConnectFailureText(const TConnectOutcome& connected, const std::string& openFailure,
                               const TCliConnectionUi& ui) {
    if (!openFailure.empty())
        return VisibleControls(openFailure);
    if (ui.DialTimedOut())
        return DialTimedOutText(connected.Status, ui.DialTimeoutSeconds());
    return connected.Status;
}

bool ConnectForRun(TProgramState& state, TLinkSession& session, int node, int device,
                   TCliConnectionUi& ui, const std::string& openFailure) {
    state.Base.SelNode = static_cast<u8>(node);
    state.Base.SelDevice = static_cast<u8>(device);
    const TConnectOutcome connected = session.Connect(node, ui);
    if (const std::string notice = state.PortAliasNotices.FirstTime(connected.PortAliasNotice);
        !notice.empty())
        std::fprintf(stderr, "virs-cli: %s\n", notice.c_str());
    if (!connected.Connected) {
        std::fprintf(stderr, "%s\n",
                     OneLine(ConnectFailureText(connected, openFailure, ui)).c_str());
        return false;
    }
    if (!connected.ConnectedMessage.empty())
        ui.ShowMessage(TMessageIcon::Information, connected.ConnectedMessage);
    ui.SetStatus(connected.Status);
    return true;
}

} // namespace virs::cli
