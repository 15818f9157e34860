// station: prints the station tree of a base.dat; station-copy: loads one base
// and saves it under another name through the model.

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "model/AtomicFile.h"
#include "model/StationBase.h"
#include "model/TextCodec.h"

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
    std::printf("узел %d: %s\n", k, VisibleControls(node.NameSlot.Value.Get()).c_str());
    const char* link = LinkTypeName(node.LinkType);
    std::printf("  связь: %s\n", *link ? link : ("тип " + std::to_string(node.LinkType)).c_str());
    std::string port = node.ComPort ? "COM" + std::to_string(node.ComPort) : "не выбран";
    std::string baud = node.BaudIndex < 8 ? std::to_string(BaudRates[node.BaudIndex]) : "?";
    std::printf("  порт: %s, %s бит/с, чётность: %s, %s\n", port.c_str(), baud.c_str(),
                ParityText(node.ParityIndex), node.StopBitsIndex ? "2 стоп-бита" : "1 стоп-бит");
    std::printf("  попыток: %u, тайм-аут: %u мс%s\n", node.Retries, EffectiveReplyTimeoutMs(node),
                node.ReplyTimeoutMs == 0 ? " (в файле 0)" : "");
    if (node.LinkType != LinkDirect)
        std::printf("  телефон: %s (%s), инициализация: %s\n",
                    VisibleControls(node.Phone.Get()).c_str(),
                    node.DialMode ? "импульсный" : "тоновый",
                    VisibleControls(node.ModemInit.Get()).c_str());
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
    if (!ReadWholeFile(dir / "base.dat", bytes, &error, MaxStationImageSize)) {
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
                        VisibleControls(device.NameSlot.Value.Get()).c_str(),
                        *type ? type : ("тип " + std::to_string(device.DeviceType)).c_str(),
                        device.NetAddress);
        }
    }
    return 0;
}

// A source that does not load cleanly (empty, cut, not a station base at all)
// would replace a good destination with what could be made of it: refused
// unless --force asks for exactly that.
int CmdStationCopy(const Args& args) {
    bool force = false;
    std::vector<std::string> files;
    for (const std::string& a : args) {
        if (a == "--force")
            force = true;
        else
            files.push_back(a);
    }
    if (files.size() != 2) {
        std::fprintf(stderr, "Использование: virs-cli station-copy [--force] ИСХОДНЫЙ ЦЕЛЕВОЙ\n");
        return 2;
    }
    const std::string& source = files[0];
    const std::string& target = files[1];
    std::string bytes, error;
    if (!ReadWholeFile(source, bytes, &error, MaxStationImageSize)) {
        std::fprintf(stderr, "virs-cli: не удалось прочитать %s: %s\n",
                     VisibleControls(source).c_str(), error.c_str());
        return 1;
    }
    StationBase base;
    if (ParseStationBaseImage(bytes, base) != TLoadOutcome::Loaded) {
        if (!force) {
            std::fprintf(stderr,
                         "virs-cli: размер %s (%zu байт) не соответствует числу записей; "
                         "%s не изменён (--force: записать прочитанное)\n",
                         VisibleControls(source).c_str(), bytes.size(),
                         VisibleControls(target).c_str());
            return 1;
        }
        std::fprintf(stderr, "virs-cli: внимание: размер %s не соответствует числу записей\n",
                     VisibleControls(source).c_str());
    }
    if (!WriteFileAtomically(target, StationBaseImage(base), &error)) {
        std::fprintf(stderr, "virs-cli: не удалось записать %s: %s\n",
                     VisibleControls(target).c_str(), error.c_str());
        return 1;
    }
    return 0;
}

} // namespace virs::cli
