#include "service/ModemSetup.h"

#include <cctype>
#include <string_view>

#include "model/Records.h"
#include "model/TextCodec.h"

namespace virs {

namespace {

constexpr const char* SearchText = "Поиск модема... ";
constexpr const char* SettingText = "Настройка модема...";
constexpr std::string_view ProbeCommand = "AT&FE0\r";
constexpr std::size_t AnswerSize = 100;

// One command and one read of at most 100 bytes; the raw answer.
std::string Ask(TSerialPort& port, std::string_view command) {
    port.Write(reinterpret_cast<const std::uint8_t*>(command.data()), command.size());
    std::uint8_t buffer[AnswerSize];
    const TPortIo io = port.Read(buffer, sizeof buffer);
    return std::string(reinterpret_cast<const char*>(buffer), io.Ok ? io.Count : 0);
}

bool Contains(const std::string& text, std::string_view part) {
    return text.find(part) != std::string::npos;
}

bool IsBlank(const std::string& line) {
    for (char c : line)
        if (!std::isspace(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// The speed of an "AT+IPR=r" line (r > 0); 0 for any other line.
unsigned RateOfLine(const std::string& line) {
    std::string upper;
    for (char c : line)
        if (c != ' ')
            upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    constexpr std::string_view Prefix = "AT+IPR=";
    if (upper.size() <= Prefix.size() || upper.compare(0, Prefix.size(), Prefix) != 0)
        return 0;
    unsigned long rate = 0;
    for (std::size_t i = Prefix.size(); i < upper.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(upper[i])) || rate > 10000000)
            return 0;
        rate = rate * 10 + static_cast<unsigned>(upper[i] - '0');
    }
    return static_cast<unsigned>(rate);
}

std::string Percent(int r, int p, int s) {
    return SearchText + std::to_string((2100 * r + 700 * p + 100 * s) / 41) + "%";
}

// The probe at the settings as they stand, then every stop-bit, parity and
// speed combination (speed innermost, 115200 not tried).
bool FindModem(TSerialPort& port, TLineSettings& line, TModemSetupUi& ui) {
    if (Contains(Ask(port, ProbeCommand), "OK"))
        return true;
    for (int r = 0; r < 2; ++r)
        for (int p = 0; p < 3; ++p)
            for (int s = 0; s < 7; ++s) {
                port.SetTimeouts({static_cast<std::uint32_t>(20 / (s + 1)), 0, 500});
                port.GetLineSettings(line);
                line.BaudRate = BaudRates[s];
                line.ByteSize = 8;
                line.Parity = static_cast<std::uint8_t>(p);
                line.StopBits = r != 0 ? 2 : 0;
                line.Flags = 0;
                port.SetLineSettings(line);
                if (Contains(Ask(port, ProbeCommand), "OK")) {
                    ui.SetLabel(Percent(1, 2, 6));
                    return true;
                }
                ui.SetLabel(Percent(r, p, s));
            }
    return false;
}

} // namespace

std::vector<std::string> ModemPreset(int index) {
    if (index == 1)
        return {"AT&FE0V1;&K0"};
    return {"AT&F", "AT&S1", "ATS0=1", "AT&D0", "AT+IPR=9600", "ATE0", "AT&W"};
}

TModemSetupOutcome RunModemSetup(const std::string& portName, const TServicePortOpener& open,
                                 TLineSettings& line, const std::vector<std::string>& commands,
                                 TModemSetupUi& ui) {
    TModemSetupOutcome outcome;
    std::vector<std::string> lines;
    for (const std::string& c : commands)
        if (!IsBlank(c))
            lines.push_back(c);
    if (lines.empty()) {
        // Nothing to tell the modem: the port is not even opened.
        outcome.Result = TModemSetupResult::EmptyList;
        ui.SetLabel(ModemSetupEmptyText);
        return outcome;
    }

    TPortOpenResult opened = open(portName);
    if (!opened.Port) {
        ui.SetLabel(ModemSetupPortFailedText);
        return outcome;
    }
    TSerialPort& port = *opened.Port;
    ui.SetLabel(std::string(SearchText) + "0%");
    port.SetQueues(256, 32);
    // A record never read from a port leaves the port at its own settings.
    if (line.BaudRate != 0)
        port.SetLineSettings(line);
    port.SetTimeouts({200, 0, 2000});

    if (!FindModem(port, line, ui)) {
        outcome.Result = TModemSetupResult::Silent;
        ui.ShowMessage({TServiceIcon::Error, ModemSetupCaption, ModemSetupSilentText});
        ui.SetLabel("");
        port.Close();
        return outcome;
    }
    port.GetLineSettings(line);
    outcome.FoundBaud = line.BaudRate;

    port.SetTimeouts({200, 0, 5000});
    ui.SetLabel(SettingText);
    outcome.Result = TModemSetupResult::Done;
    for (const std::string& command : lines) {
        // The command list is text of the window (UTF-8); the modem gets Windows-1251.
        const std::string answer = Ask(port, Utf8ToCp1251(command) + "\r");
        if (!Contains(answer, "ATS0") && !Contains(answer, "OK")) {
            outcome.Result = TModemSetupResult::Failed;
            outcome.FailedLine = command;
            break;
        }
        // The modem now listens at the new speed: follow it, so the next
        // line is understood.
        if (const unsigned rate = RateOfLine(command); rate != 0 && rate != line.BaudRate) {
            line.BaudRate = rate;
            port.SetLineSettings(line);
            port.Sleep(100);
        }
    }
    if (outcome.Result == TModemSetupResult::Done) {
        ui.SetLabel(ModemSetupDoneText);
        ui.ShowMessage({TServiceIcon::Information, ModemSetupCaption, ModemSetupDoneText});
    } else {
        ui.SetLabel(ModemSetupBadLineText + outcome.FailedLine);
        ui.ShowMessage({TServiceIcon::Error, ModemSetupCaption, ModemSetupFailedText});
    }
    port.Close();
    return outcome;
}

} // namespace virs
