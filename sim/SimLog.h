#pragma once
// The simulator's log of what it received and sent, on request (--log).

#include <cstdio>
#include <mutex>
#include <string>

#include "sim/SimTypes.h"

namespace virs::sim {

class TSimLog {
public:
    TSimLog() = default;
    ~TSimLog();
    TSimLog(const TSimLog&) = delete;
    TSimLog& operator=(const TSimLog&) = delete;
    // "-" logs to stderr; an empty path logs nothing.
    bool Open(const std::string& path, std::string& error);
    bool Enabled() const { return Out_ != nullptr; }
    void Bytes(const std::string& line, const char* direction, const virs::sim::Bytes& data);
    void Note(const std::string& line, const std::string& text);

private:
    void Write(const std::string& text);
    std::mutex Lock_;
    std::FILE* Out_ = nullptr;
    bool Owned_ = false;
};

} // namespace virs::sim
