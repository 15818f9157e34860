// port-timing: how late the port's read time-outs fire on this system, measured
// through the port layer only, against a meter on a real port (virs-sim with
// --no-pacing). The same program runs on Linux and, built with MinGW-w64, on
// Windows or under Wine, so the two port layers can be set side by side.
//
//   port-timing --port COMn|PATH [--address 1] [--rounds 20]
//
// Total time-out: a read of 256 bytes with nothing coming (no request sent),
// constant 100 ms: the time past 100 ms until the read returns.
// Interval time-out: a function-3 request for one register; the meter's answer
// (7 bytes) comes at once, the read (interval 50 ms, total 1000 ms) returns
// after the gap that follows it: write-to-return time less 50 ms (this
// includes the meter's own reply time, well under a millisecond here).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "link/ModbusFrame.h"
#include "link/SerialPort.h"

namespace {

using namespace virs;
using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void Report(const char* what, std::vector<double> v) {
    std::sort(v.begin(), v.end());
    double mean = 0;
    for (double x : v)
        mean += x;
    mean /= static_cast<double>(v.size());
    std::printf("%s: mean %+.3f ms, median %+.3f ms, max %+.3f ms late (%zu reads)\n", what, mean,
                v[v.size() / 2], v.back(), v.size());
}

int Usage() {
    std::fprintf(stderr, "usage: port-timing --port COMn|PATH [--address A] [--rounds N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string portName;
    int address = 1;
    int rounds = 20;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string option = argv[i];
        if (option == "--port")
            portName = argv[i + 1];
        else if (option == "--address")
            address = std::atoi(argv[i + 1]);
        else if (option == "--rounds")
            rounds = std::atoi(argv[i + 1]);
        else
            return Usage();
    }
    if (portName.empty() || address < 1 || address > 247 || rounds < 1 || argc % 2 == 0)
        return Usage();

    TPortOpenResult opened;
    if (portName.rfind("COM", 0) == 0)
        opened = OpenComPort(static_cast<unsigned>(std::atoi(portName.c_str() + 3)));
    else
        opened = OpenSerialPort(portName);
    if (!opened.Port) {
        std::fprintf(stderr, "port-timing: %s: %s\n", portName.c_str(), opened.Error.c_str());
        return 2;
    }
    TSerialPort& port = *opened.Port;
    TLineSettings line;
    if (!port.SetQueues(256, 32) || !port.GetLineSettings(line)) {
        std::fprintf(stderr, "port-timing: %s: line settings not readable\n", portName.c_str());
        return 2;
    }
    line.BaudRate = 115200;
    line.ByteSize = 8;
    line.Parity = 0;
    line.StopBits = 0;
    line.Flags = 0;
    if (!port.SetLineSettings(line) || !port.SetTimeouts({50, 0, 100})) {
        std::fprintf(stderr, "port-timing: %s: settings refused\n", portName.c_str());
        return 2;
    }

    std::uint8_t buffer[256];
    std::vector<double> totalLate;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        const TPortIo r = port.Read(buffer, sizeof buffer);
        totalLate.push_back(Ms(Clock::now() - start) - 100);
        if (!r.Ok || r.Count != 0) {
            std::fprintf(stderr, "port-timing: unexpected bytes on a silent line\n");
            return 1;
        }
    }

    port.SetTimeouts({50, 0, 1000});
    std::uint8_t request[8] = {static_cast<std::uint8_t>(address), 3, 0, 0, 0, 1, 0, 0};
    const std::uint16_t crc = ModbusCrc(request, 6);
    request[6] = static_cast<std::uint8_t>(crc & 0xFF);
    request[7] = static_cast<std::uint8_t>(crc >> 8);
    std::vector<double> intervalLate;
    for (int i = 0; i < rounds; ++i) {
        port.Purge(PurgeTxClear | PurgeRxClear);
        const auto sent = Clock::now();
        if (port.Write(request, sizeof request).Count != sizeof request) {
            std::fprintf(stderr, "port-timing: write failed\n");
            return 1;
        }
        const TPortIo r = port.Read(buffer, sizeof buffer);
        intervalLate.push_back(Ms(Clock::now() - sent) - 50);
        if (!r.Ok || r.Count != 7) {
            std::fprintf(stderr, "port-timing: answer of %zu bytes, 7 expected\n", r.Count);
            return 1;
        }
    }
    port.Close();
    Report("total time-out 100 ms, nothing comes", totalLate);
    Report("interval time-out 50 ms after a 7-byte answer", intervalLate);
    return 0;
}
