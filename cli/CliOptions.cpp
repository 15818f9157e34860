#include "cli/CliOptions.h"

#include <csignal>
#include <cstdio>

namespace virs::cli {

namespace {
// Written only by the signal handler: the one thing a handler may safely do.
volatile std::sig_atomic_t StopSignalled = 0;
extern "C" void OnStopSignal(int) {
    StopSignalled = 1;
}
} // namespace

TStopSignals::TStopSignals(bool terminateToo) : TerminateToo(terminateToo) {
    std::signal(SIGINT, OnStopSignal);
    if (TerminateToo)
        std::signal(SIGTERM, OnStopSignal);
}

TStopSignals::~TStopSignals() {
    std::signal(SIGINT, SIG_DFL);
    if (TerminateToo)
        std::signal(SIGTERM, SIG_DFL);
}

bool TStopSignals::Pressed() {
    return StopSignalled != 0;
}

bool ParseNumber(const std::string& text, int low, int high, int& value) {
    if (text.empty() || text.size() > 5)
        return false;
    int v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v < low || v > high)
        return false;
    value = v;
    return true;
}

bool ParseOptionPairs(
    const Args& args, const char* usage,
    const std::function<bool(const std::string& name, const std::string& value)>& accept) {
    for (std::size_t i = 0; i < args.size(); i += 2) {
        const std::string& name = args[i];
        if (i + 1 >= args.size()) {
            std::fprintf(stderr, "virs-cli: у параметра %s нет значения\n%s", name.c_str(), usage);
            return false;
        }
        const std::string& value = args[i + 1];
        if (!accept(name, value)) {
            std::fprintf(stderr, "virs-cli: неверный параметр %s %s\n%s", name.c_str(),
                         value.c_str(), usage);
            return false;
        }
    }
    return true;
}

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\r' ? std::string(" / ") : std::string(1, c);
    return out;
}

bool ParseDay(const std::string& text, std::int64_t& day) {
    int y = 0, m = 0, d = 0;
    char tail = 0;
    if (text.size() != 10 || std::sscanf(text.c_str(), "%4d-%2d-%2d%c", &y, &m, &d, &tail) != 3 ||
        !IsValidDate(y, m, d))
        return false;
    day = EncodeDate(y, m, d);
    return true;
}

bool ParseMoment(const std::string& text, TDateTime& t) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char tail = 0;
    if (text.size() != 19 ||
        std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) !=
            6 ||
        !IsValidDate(y, mo, d) || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0)
        return false;
    t = EncodeDateTime(y, mo, d, h, mi, s);
    return true;
}

} // namespace virs::cli
