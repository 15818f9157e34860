// station: prints the station tree of a base.dat; station-copy: loads one base
// and saves it under another name through the model.

#include <cstdio>
#include <filesystem>
#include <string>

#include "cli/Commands.h"
#include "model/AtomicFile.h"
#include "model/StationBase.h"

namespace virs::cli {
namespace {

const char* ParityText(u8 index) {
    switch (index) {
    case 0:
        return "нет";
    case 1:
        return "нечет";
    case 2:
        return "чёт";
    }
    return "?";
}

void PrintNode(const TNode& node, int k) {
    std::printf("узел %d: %s\n", k, node.NameSlot.Value.Get().c_str());
    const char* link = LinkTypeName(node.LinkType);
    std::printf("  связь: %s\n", *link ? link : ("тип " + std::to_string(node.LinkType)).c_str());
    std::string port = node.ComPort ? "COM" + std::to_string(node.ComPort) : "не выбран";
    std::string baud = node.BaudIndex < 8 ? std::to_string(BaudRates[node.BaudIndex]) : "?";
    std::printf("  порт: %s, %s бит/с, чётность: %s, %s\n", port.c_str(), baud.c_str(),
                ParityText(node.ParityIndex), node.StopBitsIndex ? "2 стоп-бита" : "1 стоп-бит");
    std::printf("  попыток: %u, тайм-аут: %u мс\n", node.Retries, node.ReplyTimeoutMs);
    if (node.LinkType != LinkDirect)
        std::printf("  телефон: %s (%s), инициализация: %s\n", node.Phone.Get().c_str(),
                    node.DialMode ? "импульсный" : "тоновый", node.ModemInit.Get().c_str());
}

} // namespace

int CmdStation(const Args& args) {
    if (args.size() > 1) {
        std::fprintf(stderr, "Использование: virs-cli station [ПАПКА]\n");
        return 2;
    }
    const std::filesystem::path dir = args.empty() ? "." : args[0];
    std::error_code ec;
    if (!std::filesystem::exists(dir / "base.dat", ec)) {
        std::fprintf(stderr, "virs-cli: нет файла %s\n", (dir / "base.dat").string().c_str());
        return 1;
    }
    std::string bytes, error;
    if (!ReadWholeFile(dir / "base.dat", bytes, &error)) {
        std::fprintf(stderr, "virs-cli: не удалось прочитать %s: %s\n",
                     (dir / "base.dat").string().c_str(), error.c_str());
        return 1;
    }
    StationBase base;
    if (ParseStationBaseImage(bytes, base) != TLoadOutcome::Loaded)
        std::fprintf(stderr,
                     "virs-cli: внимание: размер base.dat не соответствует числу записей\n");
    std::printf("узлов: %d, приборов: %d\n", base.NodeCount(), base.TotalDevices());
    for (int k = 0; k < base.NodeCount(); ++k) {
        PrintNode(base.Nodes[k], k);
        for (int d = 0; d < base.DeviceCount(k); ++d) {
            const TDevice& device = base.Devices[k][d];
            const char* type = DeviceTypeName(device.DeviceType);
            std::printf("  прибор %d: %s — %s, сетевой номер %u\n", d,
                        device.NameSlot.Value.Get().c_str(),
                        *type ? type : ("тип " + std::to_string(device.DeviceType)).c_str(),
                        device.NetAddress);
        }
    }
    return 0;
}

int CmdStationCopy(const Args& args) {
    if (args.size() != 2) {
        std::fprintf(stderr, "Использование: virs-cli station-copy ИСХОДНЫЙ ЦЕЛЕВОЙ\n");
        return 2;
    }
    std::string bytes, error;
    if (!ReadWholeFile(args[0], bytes, &error)) {
        std::fprintf(stderr, "virs-cli: не удалось прочитать %s: %s\n", args[0].c_str(),
                     error.c_str());
        return 1;
    }
    StationBase base;
    if (ParseStationBaseImage(bytes, base) != TLoadOutcome::Loaded)
        std::fprintf(stderr, "virs-cli: внимание: размер %s не соответствует числу записей\n",
                     args[0].c_str());
    if (!WriteFileAtomically(args[1], StationBaseImage(base), &error)) {
        std::fprintf(stderr, "virs-cli: не удалось записать %s: %s\n", args[1].c_str(),
                     error.c_str());
        return 1;
    }
    return 0;
}

} // namespace virs::cli
