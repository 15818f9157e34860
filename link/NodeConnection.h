#pragma once
// Opening and closing the link of a node: the direct line, and the local
// dial-up or GSM modem with its search over line settings, identification,
// dialling and the evaluation of the answer; and at the end escape and hang-up.
//
// The dialogue is plain blocking code over the port and a narrow interface to
// whoever shows its progress (the window from a thread of its own, virs-cli,
// a test). It touches only the port it opens, the node it is given and the
// line-settings record; entering the connected state (exchange thread, LinkOpen,
// tree images) is the caller's part, on the main thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "link/SerialPort.h"
#include "model/Records.h"

namespace virs {

inline constexpr const char* ConnectionCaption = "Соединение с узлом";
inline constexpr const char* ConnectedText = "Соединение с узлом установлено";
inline constexpr const char* ConnectFailedText = "Ошибка соединения с узлом";
inline constexpr const char* CallInterruptedText = "Вызов прерван";
inline constexpr const char* ModemSilentText = "Модем не отвечает";
inline constexpr const char* NodeClosedText = "Узел закрыт";
inline constexpr const char* NodeCloseFailedText = "Не удалось закрыть узел";
// Shown when the dial command goes out; from then on the dialogue waits for the call.
inline constexpr const char* DialText = "Набор номера...Вызов...";

// Tree pictures of a node and of the connect button.
inline constexpr int NodeImageDirectConnected = 5;
inline constexpr int NodeImageModemConnected = 1;
inline constexpr int ConnectButtonConnectedImage = 18;
inline constexpr int ConnectButtonIdleImage = 17;
// The idle picture of a node by link type, as the station tree draws it.
int NodeIdleImage(TLinkType linkType); // 4 direct, 2 dial-up, 0 GSM

enum class TMessageIcon { Information, Warning, Error };

// Called from the thread that runs the dialogue.
class TConnectionUi {
public:
    virtual ~TConnectionUi() = default;
    virtual void SetStatus(const std::string& text) = 0; // status bar panel 2
    // A message box with the caption "Соединение с узлом"; returns when closed.
    virtual void ShowMessage(TMessageIcon icon, const std::string& text) = 0;
    // Whether the connect button is still pressed (watched during the modem
    // search and the call; releasing it there cancels).
    virtual bool ButtonDown() = 0;
};

// Opens COMn (ComPort of the node); a command-line override may open another path.
using TPortOpener = std::function<TPortOpenResult(unsigned comPort)>;

struct TConnectOutcome {
    bool Connected = false;
    std::unique_ptr<TSerialPort> Port; // open with the Modbus time-outs when connected
    int NodeImage = -1;                // 5 direct, 1 modem
    std::uint8_t MaxRegistersPerRequest = 32;
    // Shown after the connected state has been entered (modem links), with the
    // information icon; empty for a direct link.
    std::string ConnectedMessage;
    std::string Status; // the final text of panel 2
    // An alias of the node's COM number that was not used, and why; the
    // caller tells the operator (once per folder in a run).
    TPortAliasNotice PortAliasNotice;
};

// The whole connect dialogue of `node`. On failure the port is closed again.
TConnectOutcome ConnectNode(const TNode& node, TLineSettings& lineSettings, TConnectionUi& ui,
                            const TPortOpener& openPort = OpenComPort);

struct TDisconnectOutcome {
    bool Closed = false;
    std::string Status;
};

// Ends the link: a direct line is closed; a modem gets escape and hang-up
// first. On failure the port stays open.
TDisconnectOutcome DisconnectNode(const TNode& node, TSerialPort& port, TConnectionUi& ui);

// The Modbus read time-outs: 50 ms between bytes, the node's reply time-out in all.
bool ApplyModbusTimeouts(TSerialPort& port, const TNode& node);

// "COM" + the decimal port number.
std::string PortName(const TNode& node);

} // namespace virs
