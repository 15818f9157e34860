// modem-setup, adapter-address, firmware: the three service utilities of the
// window, run on a port from the command line.

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliOptions.h"
#include "cli/Commands.h"
#include "model/AtomicFile.h"
#include "model/TextCodec.h"
#include "service/AdapterAddress.h"
#include "service/FirmwareUpdate.h"
#include "service/ModemSetup.h"

namespace virs::cli {
namespace {

const char* const ModemUsage = "Использование: virs-cli modem-setup --port COMn|ПУТЬ "
                               "[--preset default|rx100] [--commands ФАЙЛ]\n";
const char* const AdapterUsage =
    "Использование: virs-cli adapter-address --port COMn|ПУТЬ --address N (1..254)\n";
const char* const FirmwareUsage =
    "Использование: virs-cli firmware --port COMn|ПУТЬ --image ФАЙЛ [--yes]\n";

// A message box of a utility as one line: the text with its line breaks as blanks.
std::string MessageLine(const std::string& text) {
    std::string line = text;
    std::replace(line.begin(), line.end(), '\r', ' ');
    return line;
}

void PrintMessage(const TServiceMessage& message) {
    std::FILE* to = message.Icon == TServiceIcon::Error ? stderr : stdout;
    std::fprintf(to, "%s\n", MessageLine(message.Text).c_str());
    std::fflush(to);
}

class TCliModemUi : public TModemSetupUi {
public:
    void SetLabel(const std::string& text) override {
        if (!text.empty())
            std::fprintf(stderr, "%s\n", text.c_str());
    }
    void ShowMessage(const TServiceMessage& message) override { PrintMessage(message); }
};

class TCliFirmwareUi : public TFirmwareUi {
public:
    bool AssumeYes = false;
    bool Confirm(const TServiceMessage& question) override {
        if (AssumeYes)
            return true;
        std::fprintf(stderr, "%s [да/нет] ", question.Text.c_str());
        std::fflush(stderr);
        std::string answer;
        if (!std::getline(std::cin, answer))
            return false;
        return answer == "да" || answer == "д" || answer == "y" || answer == "yes";
    }
    void ShowMessage(const TServiceMessage& message) override {
        // The warning before the transfer is progress, not the outcome.
        if (message.Caption == "Обновление" && message.Icon == TServiceIcon::Information) {
            std::fprintf(stderr, "%s\n", MessageLine(message.Text).c_str());
            return;
        }
        PrintMessage(message);
    }
    void BlockDone(int block, std::uint8_t) override {
        std::fprintf(stderr, "блок %d из 128\n", block + 1);
    }
    bool CancelRequested() override { return false; }
};

// Lines of a command file (Windows-1251), without their line ends.
bool ReadCommandFile(const std::string& file, std::vector<std::string>& lines) {
    std::string bytes, error;
    if (!ReadWholeFile(file, bytes, &error)) {
        std::fprintf(stderr, "virs-cli: не удалось прочитать %s: %s\n", file.c_str(),
                     error.c_str());
        return false;
    }
    const std::string text = Cp1251ToUtf8(bytes);
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
        pos = end + 1;
    }
    return true;
}

} // namespace

int CmdModemSetup(const Args& args) {
    std::string port, file;
    int preset = 0;
    const bool parsed =
        ParseOptionPairs(args, ModemUsage, [&](const std::string& name, const std::string& value) {
            if (name == "--port")
                port = value;
            else if (name == "--preset" && (value == "default" || value == "rx100"))
                preset = value == "rx100" ? 1 : 0;
            else if (name == "--commands")
                file = value;
            else
                return false;
            return true;
        });
    if (!parsed)
        return 2;
    if (port.empty()) {
        std::fprintf(stderr, "%s", ModemUsage);
        return 2;
    }
    std::vector<std::string> commands;
    if (file.empty())
        commands = ModemPreset(preset);
    else if (!ReadCommandFile(file, commands))
        return 2;
    TLineSettings line;
    TCliModemUi ui;
    const TModemSetupOutcome outcome = RunModemSetup(port, OpenServicePort, line, commands, ui);
    return outcome.Result == TModemSetupResult::Done ? 0 : 1;
}

int CmdAdapterAddress(const Args& args) {
    std::string port;
    int address = 0;
    const bool parsed = ParseOptionPairs(
        args, AdapterUsage, [&](const std::string& name, const std::string& value) {
            if (name == "--port")
                port = value;
            else if (name == "--address")
                return ParseNumber(value, AdapterAddressMin, AdapterAddressMax, address);
            else
                return false;
            return true;
        });
    if (!parsed)
        return 2;
    if (port.empty() || address == 0) {
        std::fprintf(stderr, "%s", AdapterUsage);
        return 2;
    }
    TLineSettings line;
    const TAdapterResult result =
        RunAdapterAssignment(port, OpenServicePort, line, static_cast<std::uint8_t>(address));
    std::printf("%s\n", AdapterMessage(result).Text.c_str());
    return result == TAdapterResult::Assigned ? 0 : 1;
}

int CmdFirmware(const Args& args) {
    Args pairs;
    TCliFirmwareUi ui;
    for (const std::string& a : args) {
        if (a == "--yes")
            ui.AssumeYes = true;
        else
            pairs.push_back(a);
    }
    std::string port, imageFile;
    const bool parsed = ParseOptionPairs(pairs, FirmwareUsage,
                                         [&](const std::string& name, const std::string& value) {
                                             if (name == "--port")
                                                 port = value;
                                             else if (name == "--image")
                                                 imageFile = value;
                                             else
                                                 return false;
                                             return true;
                                         });
    if (!parsed)
        return 2;
    if (port.empty() || imageFile.empty()) {
        std::fprintf(stderr, "%s", FirmwareUsage);
        return 2;
    }
    TFirmwareImage image{};
    const TFirmwareLoad load = LoadFirmwareFile(imageFile, image);
    if (!load.Ok) {
        PrintMessage(FirmwareFileMessage(imageFile, load.Error));
        return 1;
    }
    std::printf("Версия прошивки: %s\nДата создания: %s\n", FirmwareVersionText(image).c_str(),
                FirmwareDateText(image).c_str());
    std::fflush(stdout);
    const TDate today = DecodeDate(DayOf(SystemNow()));
    const TFirmwareOutcome outcome = RunFirmwareUpdate(port, OpenServicePort, image, today, ui);
    return outcome.Result == TFirmwareResult::Done ? 0 : 1;
}

} // namespace virs::cli
