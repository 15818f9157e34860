#include "link/ProtocolLog.h"

#include <string>

#include "model/TextCodec.h"

namespace virs {

TProtocolLog::~TProtocolLog() {
    Close();
}

bool TProtocolLog::Create(const std::filesystem::path& path) {
    Close();
    Lost = 0;
#ifdef _WIN32
    File = _wfopen(path.c_str(), L"wb");
#else
    File = std::fopen(path.c_str(), "wb");
#endif
    return File != nullptr;
}

bool TProtocolLog::Close() {
    if (!File)
        return true;
    bool ok = Flush();
    ok = std::fclose(File) == 0 && ok;
    File = nullptr;
    return ok;
}

bool TProtocolLog::Flush() {
    if (!File)
        return true;
    bool ok = std::fflush(File) == 0;
    if (!ok) {
        Lost += Pending;
        std::clearerr(File);
    }
    Pending = 0;
    return ok;
}

bool TProtocolLog::WriteLine(std::string_view utf8) {
    if (!File) {
        ++Lost;
        return false;
    }
    std::string line = Utf8ToCp1251(utf8);
    line += "\r\n";
    // Kept in the buffer: the exchange hands both lines of an attempt to the
    // system with one Flush, before the next frame goes out.
    bool ok = std::fwrite(line.data(), 1, line.size(), File) == line.size();
    if (!ok) {
        ++Lost;
        std::clearerr(File);
    } else {
        ++Pending;
    }
    return ok;
}

} // namespace virs
