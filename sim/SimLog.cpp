#include "sim/SimLog.h"

#include <chrono>
#include <ctime>

namespace virs::sim {

TSimLog::~TSimLog() {
    if (Owned_ && Out_)
        std::fclose(Out_);
}

bool TSimLog::Open(const std::string& path, std::string& error) {
    if (path.empty())
        return true;
    if (path == "-") {
        Out_ = stderr;
        return true;
    }
    Out_ = std::fopen(path.c_str(), "a");
    if (!Out_) {
        error = "не удалось открыть журнал " + path;
        return false;
    }
    Owned_ = true;
    return true;
}

void TSimLog::Write(const std::string& text) {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t secs = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&secs, &local);
    const int ms =
        static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::lock_guard lock(Lock_);
    std::fprintf(Out_, "%02d:%02d:%02d.%03d %s\n", local.tm_hour, local.tm_min, local.tm_sec, ms,
                 text.c_str());
    std::fflush(Out_);
}

void TSimLog::Bytes(const std::string& line, const char* direction, const virs::sim::Bytes& data) {
    if (!Out_)
        return;
    std::string text = line + " " + direction + ":";
    char hex[4];
    for (u8 b : data) {
        std::snprintf(hex, sizeof hex, " %02X", b);
        text += hex;
    }
    text += " (" + std::to_string(data.size()) + ")";
    Write(text);
}

void TSimLog::Note(const std::string& line, const std::string& text) {
    if (Out_)
        Write(line + " " + text);
}

} // namespace virs::sim
