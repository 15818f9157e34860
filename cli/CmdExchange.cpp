// exchange: one Modbus exchange job on a serial port, performed by the
// exchange thread exactly as the program performs it: line settings of a
// direct link, Modbus time-outs 50 ms / reply time-out, the protocol log
// ModBus_protocol.txt in the current directory.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "link/ExchangeWorker.h"
#include "link/SerialPort.h"

namespace virs::cli {
namespace {

const char* const ExchangeUsage =
    "Использование: virs-cli exchange --port COMn|ПУТЬ [--baud 9600] [--parity none|odd|even] "
    "[--stop 1|2] [--timeout 3000] [--retries 3] [--chunk 32] --address A --function 3|16|67 "
    "--start R --count N [--data HEX...]\n";

constexpr std::uint32_t Speeds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

bool ParseNumber(const std::string& text, unsigned long high, unsigned long& value) {
    if (text.empty() || text.size() > 10)
        return false;
    unsigned long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + static_cast<unsigned long>(c - '0');
    }
    if (v > high)
        return false;
    value = v;
    return true;
}

// One register value: 1 to 4 hexadecimal digits, an optional 0x in front.
bool ParseHexWord(std::string text, std::uint16_t& value) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.erase(0, 2);
    if (text.empty() || text.size() > 4)
        return false;
    unsigned v = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0)
            return false;
        v = v * 16 + static_cast<unsigned>(digit);
    }
    value = static_cast<std::uint16_t>(v);
    return true;
}

struct TExchangeOptions {
    std::string Port;
    std::uint32_t Baud = 9600;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    std::uint32_t TimeoutMs = 3000;
    std::uint8_t Retries = 3;
    std::uint8_t Chunk = 32;
    int Address = -1;
    int Function = -1;
    long Start = -1;
    long Count = -1;
    std::vector<std::uint16_t> Data;
    bool HaveData = false;
};

// Fills `o`; on a bad argument prints why and returns false.
bool ParseOptions(const Args& args, TExchangeOptions& o) {
    auto fail = [](const std::string& why) {
        std::fprintf(stderr, "virs-cli exchange: %s\n%s", why.c_str(), ExchangeUsage);
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        if (option == "--data") {
            o.HaveData = true;
            // Values up to the next option; each may hold several, split by commas.
            while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0) {
                std::string list = args[++i];
                for (std::size_t at = 0; at <= list.size();) {
                    std::size_t comma = list.find(',', at);
                    if (comma == std::string::npos)
                        comma = list.size();
                    std::string item = list.substr(at, comma - at);
                    std::uint16_t word = 0;
                    if (!item.empty() && !ParseHexWord(item, word))
                        return fail("неверное значение регистра '" + item +
                                    "' (нужно 1-4 шестнадцатеричные цифры)");
                    if (!item.empty())
                        o.Data.push_back(word);
                    at = comma + 1;
                }
            }
            continue;
        }
        if (i + 1 >= args.size())
            return fail("у параметра " + option + " нет значения");
        const std::string& value = args[++i];
        unsigned long n = 0;
        if (option == "--port") {
            o.Port = value;
        } else if (option == "--baud") {
            bool known = ParseNumber(value, 115200, n);
            known = known && std::find(std::begin(Speeds), std::end(Speeds), n) != std::end(Speeds);
            if (!known)
                return fail("скорость " + value + " не из ряда 1200 ... 115200");
            o.Baud = static_cast<std::uint32_t>(n);
        } else if (option == "--parity") {
            if (value == "none")
                o.Parity = 0;
            else if (value == "odd")
                o.Parity = 1;
            else if (value == "even")
                o.Parity = 2;
            else
                return fail("чётность: none, odd или even");
        } else if (option == "--stop") {
            if (value != "1" && value != "2")
                return fail("стоп-биты: 1 или 2");
            o.StopBits = value == "2" ? 2 : 0;
        } else if (option == "--timeout") {
            if (!ParseNumber(value, 600000, n) || n == 0)
                return fail("тайм-аут ответа в мс: 1 ... 600000");
            o.TimeoutMs = static_cast<std::uint32_t>(n);
        } else if (option == "--retries") {
            if (!ParseNumber(value, 255, n))
                return fail("число попыток: 0 ... 255");
            o.Retries = static_cast<std::uint8_t>(n);
        } else if (option == "--chunk") {
            if (!ParseNumber(value, 123, n))
                return fail("длина пакета в регистрах: 0 ... 123");
            o.Chunk = static_cast<std::uint8_t>(n);
        } else if (option == "--address") {
            if (!ParseNumber(value, 255, n))
                return fail("адрес прибора: 0 ... 255");
            o.Address = static_cast<int>(n);
        } else if (option == "--function") {
            if (value != "3" && value != "16" && value != "67")
                return fail("функция: 3, 16 или 67");
            o.Function = std::stoi(value);
        } else if (option == "--start") {
            if (!ParseNumber(value, 65535, n))
                return fail("начальный регистр: 0 ... 65535");
            o.Start = static_cast<long>(n);
        } else if (option == "--count") {
            if (!ParseNumber(value, 65535, n))
                return fail("число регистров: 0 ... 65535");
            o.Count = static_cast<long>(n);
        } else {
            return fail("неизвестный параметр " + option);
        }
    }
    if (o.Port.empty())
        return fail("не задан порт (--port)");
    if (o.Address < 0 || o.Function < 0 || o.Start < 0 || o.Count < 0)
        return fail("нужны --address, --function, --start и --count");
    if (o.Function == 16 && o.Data.size() != static_cast<std::size_t>(o.Count))
        return fail("для функции 16 нужно ровно " + std::to_string(o.Count) +
                    " значений регистров в --data, задано " + std::to_string(o.Data.size()));
    if (o.Function != 16 && o.HaveData)
        return fail("--data только для функции 16");
    return true;
}

std::unique_ptr<TSerialPort> OpenPort(const std::string& name, std::string& error) {
    TPortOpenResult r;
    unsigned long n = 0;
    if (name.size() > 3 && name.compare(0, 3, "COM") == 0 && ParseNumber(name.substr(3), 9999, n))
        r = OpenComPort(static_cast<unsigned>(n));
    else
        r = OpenSerialPort(name);
    // One port per run: the notice is told here, once.
    if (!r.AliasNotice.Text.empty())
        std::fprintf(stderr, "virs-cli exchange: %s\n", r.AliasNotice.Text.c_str());
    error = r.Error;
    return std::move(r.Port);
}

} // namespace

int CmdExchange(const Args& args) {
    TExchangeOptions o;
    if (!ParseOptions(args, o))
        return 2;

    std::string error;
    std::unique_ptr<TSerialPort> port = OpenPort(o.Port, error);
    if (!port) {
        std::fprintf(stderr, "virs-cli exchange: не удалось открыть порт %s: %s\n", o.Port.c_str(),
                     error.c_str());
        return 2;
    }
    // A direct link: queues, line settings with every flag off, Modbus time-outs.
    TLineSettings line;
    bool configured = port->SetQueues(256, 32) && port->GetLineSettings(line);
    line.BaudRate = o.Baud;
    line.ByteSize = 8;
    line.Parity = o.Parity;
    line.StopBits = o.StopBits;
    line.Flags = 0;
    configured =
        configured && port->SetLineSettings(line) && port->SetTimeouts({50, 0, o.TimeoutMs});
    if (!configured) {
        std::fprintf(stderr, "virs-cli exchange: порт %s не принял настройки линии\n",
                     o.Port.c_str());
        return 2;
    }

    TProtocolLog log;
    if (!log.Create(ProtocolLogFileName)) {
        std::fprintf(stderr, "virs-cli exchange: не удалось создать %s\n", ProtocolLogFileName);
        return 2;
    }

    std::vector<std::uint8_t> data(2 * static_cast<std::size_t>(o.Count) + 2, 0);
    for (std::size_t i = 0; i < o.Data.size(); ++i)
        std::memcpy(data.data() + 2 * i, &o.Data[i],
                    2); // native words, as the work area keeps them

    TModbusExchange x;
    x.SlaveAddress = static_cast<std::uint8_t>(o.Address);
    x.FunctionCode = static_cast<std::uint8_t>(o.Function);
    x.StartRegister = static_cast<std::uint16_t>(o.Start);
    x.RegisterCount = static_cast<std::uint16_t>(o.Count);
    x.MaxRegistersPerRequest = o.Chunk;
    x.RetryCount = o.Retries;
    x.DataCursor = data.data();

    TMainThreadQueue mainThread;
    bool finished = false;
    {
        ExchangeWorker worker(x, *port, log, mainThread, [&](ExchangeWorker& w) {
            w.Park();
            x.JobFinished = true;
            log.Close();
            finished = true;
        });
        worker.Wake();
        while (!mainThread.RunUntil([&] { return finished; }, std::chrono::hours(1))) {
        }
    }
    if (!port->Close())
        std::fprintf(stderr, "virs-cli exchange: не удалось закрыть порт %s\n", o.Port.c_str());

    std::printf("%u %s\n", static_cast<unsigned>(x.ResultCode),
                ExchangeResultMessage(x.ResultCode).c_str());
    if (x.ResultCode != ResultSuccess)
        return 1;
    if (o.Function == FunctionReadRegisters) {
        for (long i = 0; i < o.Count; ++i) {
            std::uint16_t v;
            std::memcpy(&v, data.data() + 2 * i, 2);
            std::printf("%ld %04X\n", o.Start + i, v);
        }
    } else if (o.Function == FunctionReadRecordHeader) {
        std::printf("%02X %02X %02X\n", x.RecordHeader[0], x.RecordHeader[1], x.RecordHeader[2]);
    }
    return 0;
}

} // namespace virs::cli
