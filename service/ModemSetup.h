#pragma once
// Preparing a remote site's modem on a local port: find it over the line
// settings, then send it the command list line by line.

#include <string>
#include <vector>

#include "service/ServicePort.h"

namespace virs {

inline constexpr const char* ModemSetupCaption = "настройка удалённого модема";
inline constexpr const char* ModemPresetDefault = "по-умолчанию";
inline constexpr const char* ModemPresetRx100 = "TELEOFIS RX100-R2";
inline constexpr const char* ModemSetupPortFailedText = "Не удалось открыть порт";
inline constexpr const char* ModemSetupSilentText = "Модем не отвечает";
inline constexpr const char* ModemSetupDoneText = "Завершено успешно";
inline constexpr const char* ModemSetupFailedText = "Не удалось инициализировать модем";
inline constexpr const char* ModemSetupBadLineText = "Ошибка. Неверный параметр: ";
inline constexpr const char* ModemSetupEmptyText =
    "Список команд пуст, модему ничего не отправлено";

// The command lines of a preset: 0 "по-умолчанию", 1 "TELEOFIS RX100-R2".
std::vector<std::string> ModemPreset(int index);

// The progress and the messages of a run.
class TModemSetupUi {
public:
    virtual ~TModemSetupUi() = default;
    // The progress and result line; the window repaints it before returning.
    virtual void SetLabel(const std::string& text) = 0;
    virtual void ShowMessage(const TServiceMessage& message) = 0;
};

enum class TModemSetupResult { EmptyList, PortFailed, Silent, Failed, Done };

struct TModemSetupOutcome {
    TModemSetupResult Result = TModemSetupResult::PortFailed;
    std::string FailedLine; // the command that was not accepted (Failed)
    unsigned FoundBaud = 0; // the speed at which the modem answered the probe
};

// The whole run on `portName`. `line` is the line-settings record of the run:
// the first probe is made at the settings it holds, and it keeps the settings
// the modem was found and left at. Blank lines of `commands` are skipped. After
// an accepted "AT+IPR=r" the port follows the modem to r bit/s. The port is
// closed at the end.
TModemSetupOutcome RunModemSetup(const std::string& portName, const TServicePortOpener& open,
                                 TLineSettings& line, const std::vector<std::string>& commands,
                                 TModemSetupUi& ui);

} // namespace virs
