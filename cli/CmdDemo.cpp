// make-demo: the demo station's base.dat: one node per link type, each with one
// meter of each type, wired to the simulator's lines (virs-sim with
// sim/scenarios/demo.json: a direct line, a dial-up modem and a GSM modem).

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "cli/Commands.h"
#include "model/StationBase.h"

namespace virs::cli {

namespace {

// The numbers the demo scenario's phone books answer.
constexpr const char* DemoDialUpNumber = "84951234567";
constexpr const char* DemoGsmNumber = "+79161234567";

struct TDemoNode {
    const char* Name;
    TLinkType Link;
    const char* Phone;
    u16 ReplyTimeoutMs;
};

const TDemoNode DemoNodes[] = {
    {"Котельная №1 (прямая линия)", LinkDirect, "", 1000},
    {"Водозабор (Dial-Up модем)", LinkDialUp, DemoDialUpNumber, 3000},
    {"Насосная станция (GSM модем)", LinkGsm, DemoGsmNumber, 3000},
};

const TDeviceType DemoTypes[] = {DeviceVirsSh, DeviceVirsD, DeviceVirsDK, DeviceVirsD2};

bool ParseCom(const std::string& text, unsigned& out) {
    char* end = nullptr;
    const unsigned long n = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end || n < 1 || n > 255)
        return false;
    out = static_cast<unsigned>(n);
    return true;
}

int Usage() {
    std::fprintf(stderr, "Использование: virs-cli make-demo DIR --com N [--com-dialup M] "
                         "[--com-gsm K] [--force]\n"
                         "  N — COM-порт прямой линии симулятора; M и K по умолчанию N+1 и N+2\n");
    return 2;
}

} // namespace

int CmdMakeDemo(const Args& args) {
    std::string dir;
    unsigned com[3] = {0, 0, 0};
    bool force = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const int slot = a == "--com" ? 0 : a == "--com-dialup" ? 1 : a == "--com-gsm" ? 2 : -1;
        if (slot >= 0) {
            if (i + 1 >= args.size() || !ParseCom(args[++i], com[slot])) {
                std::fprintf(stderr, "virs-cli make-demo: %s: номер порта от 1 до 255\n",
                             a.c_str());
                return 2;
            }
        } else if (a == "--force") {
            force = true;
        } else if (!a.empty() && a[0] != '-' && dir.empty()) {
            dir = a;
        } else {
            return Usage();
        }
    }
    if (dir.empty() || com[0] == 0)
        return Usage();
    if (com[1] == 0)
        com[1] = com[0] + 1;
    if (com[2] == 0)
        com[2] = com[0] + 2;
    if (com[1] > 255 || com[2] > 255) {
        std::fprintf(stderr, "virs-cli make-demo: номера портов выходят за 255\n");
        return 2;
    }
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);
    if (std::filesystem::exists(std::filesystem::path(dir) / "base.dat") && !force) {
        std::fprintf(
            stderr,
            "virs-cli make-demo: %s/base.dat уже есть; --force заменит его демонстрационным\n",
            dir.c_str());
        return 1;
    }

    StationBase base;
    for (int n = 0; n < 3; ++n) {
        const TDemoNode& d = DemoNodes[n];
        if (base.InsertNode(n) != TModelStatus::Ok)
            return 1;
        TNode& node = base.Nodes[n];
        node.NameSlot.Value.Set(d.Name);
        node.LinkType = d.Link;
        node.ComPort = static_cast<u16>(com[n]);
        node.BaudIndex = 3; // 9600, the speed of the demo lines and modems
        node.ParityIndex = 0;
        node.StopBitsIndex = 0;
        node.DialMode = 0;
        node.Phone.Set(d.Phone);
        node.ReplyTimeoutMs = d.ReplyTimeoutMs;
        for (int k = 0; k < 4; ++k) {
            if (base.InsertDevice(k) != TModelStatus::Ok)
                return 1;
            TDevice& dev = base.Devices[n][k];
            dev.DeviceType = DemoTypes[k];
            dev.NetAddress = static_cast<u8>(k + 1);
            dev.NameSlot.Value.Set(std::string(DeviceTypeName(DemoTypes[k])) + " №" +
                                   std::to_string(k + 1));
        }
    }
    base.SelNode = 0;
    base.SelDevice = NoDevice;
    TStationFileGuard guard;
    const TSaveReport report = SaveStationBase(base, guard, dir);
    if (!report.Ok) {
        std::fprintf(stderr, "virs-cli make-demo: %s\n", report.Message.c_str());
        return 1;
    }
    std::printf("демо-станция: %s (COM%u прямая линия, COM%u Dial-Up, COM%u GSM)\n",
                report.WrittenTo.string().c_str(), com[0], com[1], com[2]);
    return 0;
}

} // namespace virs::cli
