// virs-sim: flow meters, a network adapter, a firmware loader and Hayes modems
// on pseudo-terminals, for training, trying the program and testing it without
// hardware.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "sim/Scenario.h"
#include "sim/SimLog.h"
#include "sim/Station.h"

namespace {

using namespace virs::sim;

const char* Usage =
    "Использование: virs-sim [ПАРАМЕТРЫ]\n"
    "  --scenario ФАЙЛ     сценарий JSON (без него: прямая линия, ВИРС-Ш@1, ВИРС-Д@2,\n"
    "                      ВИРС-ДК@3, ВИРС-Д2@4)\n"
    "  --com N[,M…]        зарегистрировать линии как COMN, COMM … в папке псевдонимов\n"
    "  --replace-com       заменить чужую живую ссылку COMn\n"
    "  --now ВРЕМЯ         \"сейчас\" приборов, 2024-03-15T10:00:00 (часы стоят)\n"
    "  --clock running     с --now: часы идут от заданного момента\n"
    "  --seed N            зерно значений\n"
    "  --no-pacing         отвечать сразу, без темпа линии и задержки прибора\n"
    "  --turnaround МС     задержка ответа прибора\n"
    "  --fault ОПИСАНИЕ    сбой, напр. device=2,kind=bad_crc,on_request=3;\n"
    "                      kind=silence,permille=2 — наугад 2 запроса из 1000\n"
    "  --boot-image ФАЙЛ   загрузчик на первой прямой линии, принятый образ — в ФАЙЛ\n"
    "  --log ФАЙЛ|-        журнал принятого и отправленного\n"
    "  --exit-after СЕК    остановиться через СЕК секунд\n";

bool ParseUnsigned(const char* s, unsigned long long& out) {
    char* end = nullptr;
    errno = 0;
    out = std::strtoull(s, &end, 10);
    return *s && end && *end == 0 && errno == 0;
}

int Fail(const std::string& text) {
    std::fprintf(stderr, "virs-sim: %s\n", text.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string scenarioFile, nowText, logPath, clockText, bootImage;
    std::vector<unsigned> coms;
    std::vector<TFault> faults;
    std::optional<unsigned long long> seed;
    bool pacing = true, replace = false;
    int turnaround = -1;
    unsigned long long exitAfter = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "virs-sim: после %s нужно значение\n", a.c_str());
                std::exit(2);
            }
            return argv[++i];
        };
        unsigned long long n = 0;
        if (a == "--help" || a == "-h") {
            std::fputs(Usage, stdout);
            return 0;
        } else if (a == "--scenario") {
            scenarioFile = value();
        } else if (a == "--com") {
            std::string list = value();
            for (std::size_t pos = 0; pos <= list.size();) {
                const std::size_t comma = std::min(list.find(',', pos), list.size());
                const std::string item = list.substr(pos, comma - pos);
                if (!ParseUnsigned(item.c_str(), n) || n < 1 || n > 255)
                    return Fail("--com " + list + ": номер порта от 1 до 255");
                coms.push_back(static_cast<unsigned>(n));
                pos = comma + 1;
            }
        } else if (a == "--replace-com") {
            replace = true;
        } else if (a == "--now") {
            nowText = value();
        } else if (a == "--clock") {
            clockText = value();
            if (clockText != "running" && clockText != "fixed")
                return Fail("--clock: running или fixed");
        } else if (a == "--seed") {
            if (!ParseUnsigned(value(), n))
                return Fail("--seed: нужно неотрицательное целое");
            seed = n;
        } else if (a == "--no-pacing") {
            pacing = false;
        } else if (a == "--turnaround") {
            if (!ParseUnsigned(value(), n) || n > 10000)
                return Fail("--turnaround: миллисекунды 0..10000");
            turnaround = static_cast<int>(n);
        } else if (a == "--fault") {
            TFault f;
            std::string error;
            if (!ParseFaultOption(value(), f, error))
                return Fail(error);
            faults.push_back(f);
        } else if (a == "--boot-image") {
            bootImage = value();
        } else if (a == "--log") {
            logPath = value();
        } else if (a == "--exit-after") {
            if (!ParseUnsigned(value(), exitAfter))
                return Fail("--exit-after: секунды");
        } else {
            std::fputs(Usage, stderr);
            return Fail("неизвестный параметр " + a);
        }
    }

    TScenario scenario = DefaultScenario();
    std::string error;
    if (!scenarioFile.empty() && !LoadScenario(scenarioFile, scenario, error))
        return Fail(error);
    if (seed)
        scenario.Seed = *seed;
    if (!nowText.empty()) {
        SimSeconds now = 0;
        if (!ParseSimTime(nowText, now))
            return Fail("--now " + nowText + ": ожидается 2024-03-15T10:00:00 (2000..2099)");
        scenario.Now = now;
        scenario.ClockRuns = false;
    }
    if (!clockText.empty())
        scenario.ClockRuns = clockText == "running";
    for (TSiteConfig& site : scenario.Sites)
        site.Faults.insert(site.Faults.end(), faults.begin(), faults.end());
    if (!bootImage.empty()) {
        bool placed = false;
        for (TLineConfig& line : scenario.Lines)
            if (!line.Modem && !placed) {
                line.Boot.Enabled = true;
                line.Boot.ImageFile = bootImage;
                placed = true;
            }
        if (!placed)
            return Fail("--boot-image: в сценарии нет прямой линии");
    }
    if (coms.size() > scenario.Lines.size())
        return Fail("--com: номеров больше, чем линий в сценарии (" +
                    std::to_string(scenario.Lines.size()) + ")");

    TSimLog log;
    if (!log.Open(logPath, error))
        return Fail(error);

    // SIGINT, SIGTERM and SIGHUP are taken by the main thread only, so the
    // aliases are removed on every ordinary way of stopping.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    TSimStation station(scenario, log, pacing, turnaround);
    if (!station.Open(coms, replace, error)) {
        station.Stop();
        return Fail(error);
    }
    station.Start();
    std::printf("virs-sim: \"сейчас\" приборов %s (%s), зерно %llu%s\n",
                FormatSimTime(station.Clock().Now()).c_str(),
                station.Clock().Running() ? "часы идут" : "часы стоят",
                static_cast<unsigned long long>(scenario.Seed), pacing ? "" : ", без темпа линии");
    for (const std::string& line : station.Describe())
        std::printf("%s\n", line.c_str());
    std::printf("готов\n");
    std::fflush(stdout);

    timespec wait{1, 0};
    const std::time_t started = std::time(nullptr);
    for (;;) {
        const int sig = sigtimedwait(&signals, nullptr, &wait);
        if (sig > 0)
            break;
        if (exitAfter && static_cast<unsigned long long>(std::time(nullptr) - started) >= exitAfter)
            break;
    }
    station.Stop();
    return 0;
}
