#include "link/NodeConnection.h"

#include <string_view>

#include "link/ModemDialogue.h"

namespace virs {

namespace {

constexpr const char* SearchText = "Поиск модема...";
constexpr const char* InitText = "Инициализация модема...";
constexpr const char* ClosingText = "Закрытие соединения...";
constexpr const char* InitFailedText =
    "Не удалось инициализировать модем.\rВозможно строка инициализации неверна.\r";
constexpr const char* ProbeCommand = "AT&FE0\r";
constexpr const char* HangUpCommand = "ATH0\r";

bool Contains(std::string_view text, std::string_view part) {
    return text.find(part) != std::string_view::npos;
}

void SetLine(TSerialPort& port, TLineSettings& line, std::uint32_t baud, std::uint8_t parity,
             std::uint8_t stopBitsIndex) {
    port.GetLineSettings(line);
    line.BaudRate = baud;
    line.ByteSize = 8;
    line.Parity = parity;
    line.StopBits = stopBitsIndex != 0 ? 2 : 0;
    line.Flags = 0;
    port.SetLineSettings(line);
}

void SetNodeLine(TSerialPort& port, TLineSettings& line, const TNode& node) {
    SetLine(port, line, BaudRates[node.BaudIndex & 7], node.ParityIndex > 2 ? 0 : node.ParityIndex,
            node.StopBitsIndex);
}

// A connect attempt that has not succeeded: the port is closed again.
TConnectOutcome Failed(TConnectOutcome& outcome, std::string status) {
    if (outcome.Port) {
        outcome.Port->Close();
        outcome.Port.reset();
    }
    outcome.Connected = false;
    outcome.Status = std::move(status);
    return std::move(outcome);
}

TConnectOutcome ModemFailure(TConnectOutcome& outcome, TConnectionUi& ui,
                             const std::string& message) {
    ui.ShowMessage(TMessageIcon::Error, message);
    return Failed(outcome, ConnectFailedText);
}

TConnectOutcome Connected(TConnectOutcome& outcome, const TNode& node, int image,
                          std::uint8_t maxRegisters, std::string message) {
    ApplyModbusTimeouts(*outcome.Port, node);
    outcome.Connected = true;
    outcome.NodeImage = image;
    outcome.MaxRegistersPerRequest = maxRegisters;
    outcome.ConnectedMessage = std::move(message);
    outcome.Status = ConnectedText;
    return std::move(outcome);
}

enum class TModemSearch { Found, Silent, Released };

// The probe at the settings as they stand, then the search over stop bits,
// parities and speeds (115200 is not tried).
TModemSearch FindModem(TSerialPort& port, TLineSettings& line, TConnectionUi& ui) {
    port.SetQueues(256, 32);
    // On the first connection of a run the record has never been read: the
    // port keeps its own settings.
    if (line.BaudRate != 0)
        port.SetLineSettings(line);
    port.SetTimeouts({20, 0, 500});
    if (ModemCommand(port, ProbeCommand).Ok)
        return TModemSearch::Found;

    for (int r = 0; r < 2; ++r)
        for (int p = 0; p < 3; ++p)
            for (int s = 0; s < 7; ++s) {
                if (!ui.ButtonDown())
                    return TModemSearch::Released;
                port.SetTimeouts({static_cast<std::uint32_t>(20 / (s + 1)), 0, 500});
                SetLine(port, line, BaudRates[s], static_cast<std::uint8_t>(p),
                        static_cast<std::uint8_t>(r));
                const bool found = ModemCommand(port, ProbeCommand).Ok;
                ui.SetStatus(std::string(SearchText) + std::to_string(SearchPercent(r, p, s)) +
                             "%");
                if (!ui.ButtonDown())
                    return TModemSearch::Released;
                if (found) {
                    // The progress runs on to the end of the table once found.
                    ui.SetStatus(std::string(SearchText) + std::to_string(SearchPercent(1, 2, 6)) +
                                 "%");
                    return TModemSearch::Found;
                }
            }
    return TModemSearch::Silent;
}

// Initialisation string, character format, speed and the node's line
// settings. False when the modem refused the initialisation.
bool PrepareModem(TSerialPort& port, TLineSettings& line, const TNode& node) {
    std::string init(node.ModemInit.Raw());
    if (init.empty())
        init = "AT&FE0V1";
    if (!ModemCommand(port, init + "\r").Ok)
        return false;
    ModemCommand(port, CharacterFormatCommand(node.ParityIndex, node.StopBitsIndex) + "\r");
    ModemCommand(port, "AT+IPR=" + std::to_string(BaudRates[node.BaudIndex & 7]) + "\r");
    SetNodeLine(port, line, node);
    port.Sleep(100);
    return true;
}

struct TCallAnswer {
    bool Released = false;
    TModemReply Reply;
};

constexpr std::uint32_t DialRetryPauseMs = 100;

// Dials and waits for the answer of the call, each read waiting at most the
// total time-out for its first byte, until something comes or the button is
// released.
TCallAnswer Dial(TSerialPort& port, const std::string& command, TConnectionUi& ui) {
    ModemWrite(port, command + "\r");
    TCallAnswer answer;
    for (;;) {
        answer.Reply = ModemRead(port);
        if (answer.Reply.Count > 0)
            return answer;
        if (!ui.ButtonDown()) {
            answer.Released = true;
            return answer;
        }
        // A port that fails at once (an unplugged adapter) would turn this
        // wait into a busy loop; the button is still looked at in time.
        if (answer.Reply.PortFailed)
            port.Sleep(DialRetryPauseMs);
    }
}

// The answer to the dial command. `where` names the link in the messages
// (the port name, or the GSM modem's description).
TConnectOutcome EvaluateCall(TConnectOutcome& outcome, const TNode& node, TSerialPort& port,
                             const TModemReply& reply, const std::string& where,
                             TConnectionUi& ui) {
    const std::string& text = reply.Text;
    if (Contains(text, "CONNECT"))
        return Connected(outcome, node, NodeImageModemConnected, 8,
                         std::string(ConnectedText) + "\r" + where);
    // A bare "OK" is a voice call: its final "OK" has been taken off the text.
    if (reply.Ok || Contains(text, "OK")) {
        ui.ShowMessage(TMessageIcon::Error, "Соединение в голосовом режиме!");
        const bool hungUp = ModemCommand(port, HangUpCommand).Ok;
        return ModemFailure(
            outcome, ui,
            (hungUp ? "Соединение прервано\r" : "Не удалось разорвать соединение!\r") + where);
    }
    if (Contains(text, "NO CARRIER"))
        return ModemFailure(outcome, ui, "Нет соединения.\r" + where);
    if (Contains(text, "BUSY"))
        return ModemFailure(outcome, ui, "Абонент занят.\r" + where);
    if (Contains(text, "NO ANSWER"))
        return ModemFailure(outcome, ui, "Нет ответа от абонента.\r" + where);
    return ModemFailure(outcome, ui, where + "\r" + text);
}

std::string DialCommand(std::string prefix, const TNode& node, std::size_t limit) {
    std::string command = std::move(prefix);
    command += node.Phone.Raw();
    if (command.size() > limit)
        command.resize(limit);
    return command;
}

TConnectOutcome ConnectDialUp(TConnectOutcome& outcome, const TNode& node, TLineSettings& line,
                              TConnectionUi& ui) {
    TSerialPort& port = *outcome.Port;
    const std::string name = PortName(node);
    ui.SetStatus(InitText);
    if (!PrepareModem(port, line, node))
        return ModemFailure(outcome, ui, InitFailedText + name);
    ui.SetStatus(DialText);
    const TCallAnswer answer =
        Dial(port, DialCommand(node.DialMode == 0 ? "ATDT " : "ATDP ", node, 25), ui);
    if (answer.Released) {
        ModemCommand(port, HangUpCommand);
        return Failed(outcome, CallInterruptedText);
    }
    return EvaluateCall(outcome, node, port, answer.Reply, name, ui);
}

TConnectOutcome ConnectGsm(TConnectOutcome& outcome, const TNode& node, TLineSettings& line,
                           TConnectionUi& ui) {
    TSerialPort& port = *outcome.Port;
    ui.SetStatus(InitText);
    std::string text = "модем: " + ModemCommand(port, "AT+CGMI\r").Text;
    text += " " + ModemCommand(port, "AT+CGMM\r").Text;

    const std::string pin = ModemCommand(port, "AT+CPIN?\r").Text;
    if (!Contains(pin, "READY")) {
        if (Contains(pin, "ERROR"))
            return ModemFailure(outcome, ui, "SIM-карта отсутствует.\r" + text);
        if (Contains(pin, "SIM"))
            return ModemFailure(outcome, ui,
                                "Требуется ввести PIN-код или SIM-карта блокирована.\r" + text);
        return ModemFailure(outcome, ui, text + "\r" + pin);
    }

    const std::string registration = ModemCommand(port, "AT+CREG?\r").Text;
    const char state = registration.empty() ? '\0' : registration.back();
    constexpr const char* Later = "Попробуйте повторить позже.\r";
    switch (state) {
    case '1':
    case '5':
        break;
    case '0':
        return ModemFailure(outcome, ui,
                            "Не зарегистрировано, мобильное оборудование не проводит поиск "
                            "оператора.\r" +
                                std::string(Later) + text);
    case '2':
        return ModemFailure(outcome, ui,
                            "Не зарегистрировано, мобильное оборудование проводит поиск "
                            "оператора для регистрации.\r" +
                                std::string(Later) + text);
    case '3':
        return ModemFailure(outcome, ui, "Регистрация отклонена.\r" + std::string(Later) + text);
    case '4':
        return ModemFailure(outcome, ui, "Неизвестно.\r" + std::string(Later) + text);
    default:
        return ModemFailure(outcome, ui, text + "\r" + registration);
    }

    const std::string operatorAnswer = ModemCommand(port, "AT+COPS?\r").Text;
    const std::size_t quote = operatorAnswer.find('"');
    text += "\rоператор: " +
            (quote == std::string::npos ? operatorAnswer : operatorAnswer.substr(quote));
    if (state == '5')
        text += ", роуминг";

    if (!PrepareModem(port, line, node))
        return ModemFailure(outcome, ui, InitFailedText + text);
    ui.SetStatus(DialText);
    const TCallAnswer answer = Dial(port, DialCommand("ATD ", node, 24), ui);
    if (answer.Released) {
        ModemCommand(port, HangUpCommand);
        return Failed(outcome, CallInterruptedText);
    }
    // A GSM modem may announce the data call with a single byte or a form feed.
    if (answer.Reply.Count == 1 || answer.Reply.First == 0x0C)
        return Connected(outcome, node, NodeImageModemConnected, 8,
                         std::string(ConnectedText) + "\r" + text);
    return EvaluateCall(outcome, node, port, answer.Reply, text, ui);
}

} // namespace

int NodeIdleImage(TLinkType linkType) {
    switch (linkType) {
    case LinkDialUp:
        return 2;
    case LinkGsm:
        return 0;
    default:
        return 4;
    }
}

std::string PortName(const TNode& node) {
    return "COM" + std::to_string(node.ComPort);
}

bool ApplyModbusTimeouts(TSerialPort& port, const TNode& node) {
    return port.SetTimeouts({50, 0, EffectiveReplyTimeoutMs(node)});
}

TConnectOutcome ConnectNode(const TNode& node, TLineSettings& lineSettings, TConnectionUi& ui,
                            const TPortOpener& openPort) {
    TConnectOutcome outcome;
    const std::string name = PortName(node);
    TPortOpenResult opened = openPort(node.ComPort);
    outcome.PortAliasNotice = std::move(opened.AliasNotice);
    if (!opened.Port)
        return Failed(outcome, node.ComPort != 0 ? "Не удалось открыть порт " + name
                                                 : "Не выбран порт для подключения");
    outcome.Port = std::move(opened.Port);
    TSerialPort& port = *outcome.Port;

    if (node.LinkType != LinkDialUp && node.LinkType != LinkGsm) {
        port.SetQueues(256, 32);
        SetNodeLine(port, lineSettings, node);
        return Connected(outcome, node, NodeImageDirectConnected, 32, "");
    }

    ui.SetStatus(SearchText);
    switch (FindModem(port, lineSettings, ui)) {
    case TModemSearch::Released:
        return Failed(outcome, CallInterruptedText);
    case TModemSearch::Silent:
        return Failed(outcome, ModemSilentText);
    case TModemSearch::Found:
        break;
    }
    return node.LinkType == LinkDialUp ? ConnectDialUp(outcome, node, lineSettings, ui)
                                       : ConnectGsm(outcome, node, lineSettings, ui);
}

TDisconnectOutcome DisconnectNode(const TNode& node, TSerialPort& port, TConnectionUi& ui) {
    if (node.LinkType == LinkDialUp || node.LinkType == LinkGsm) {
        ui.SetStatus(ClosingText);
        port.SetTimeouts({200, 0, 5000});
        port.Sleep(1000);
        // A stop cuts a meter's answer short; the rest of it has arrived during
        // the guard time and must not be read as the modem's reply to "+++".
        port.Purge(PurgeRxClear);
        if (!ModemCommand(port, "+++").Ok) {
            ui.ShowMessage(TMessageIcon::Error, "Не удалось разорвать соединение!!!");
            return {false, NodeCloseFailedText};
        }
        if (!ModemCommand(port, HangUpCommand).Ok) {
            ui.ShowMessage(TMessageIcon::Error, "Не удалось разорвать соединение!");
            return {false, NodeCloseFailedText};
        }
        ui.ShowMessage(TMessageIcon::Warning, "Соединение прервано");
    }
    if (!port.Close())
        return {false, NodeCloseFailedText};
    return {true, NodeClosedText};
}

} // namespace virs
