#include "model/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace virs {
namespace {

void SetError(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

std::string SystemText(int err) {
    return std::system_category().message(err);
}

bool FlushToDisk(std::FILE* f) {
    if (std::fflush(f) != 0)
        return false;
#ifdef _WIN32
    return _commit(_fileno(f)) == 0;
#else
    return fsync(fileno(f)) == 0;
#endif
}

} // namespace

bool WriteFileAtomically(const std::filesystem::path& target, std::string_view bytes,
                         std::string* error) {
    namespace fs = std::filesystem;
    fs::path temp = target;
    temp += ".tmp";
    std::FILE* f = std::fopen(temp.string().c_str(), "wb");
    if (!f) {
        SetError(error, SystemText(errno));
        return false;
    }
    bool ok = bytes.empty() || std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    int err = ok ? 0 : errno;
    if (ok && !FlushToDisk(f)) {
        ok = false;
        err = errno;
    }
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        err = errno;
    }
    std::error_code ec;
    if (ok) {
        fs::rename(temp, target, ec);
        if (ec) {
            ok = false;
            SetError(error, ec.message());
        }
    } else {
        SetError(error, SystemText(err ? err : EIO));
    }
    if (!ok)
        fs::remove(temp, ec);
    return ok;
}

bool ReadWholeFile(const std::filesystem::path& path, std::string& bytes, std::string* error) {
    bytes.clear();
    std::FILE* f = std::fopen(path.string().c_str(), "rb");
    if (!f) {
        SetError(error, SystemText(errno));
        return false;
    }
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    bool ok = !std::ferror(f);
    int err = errno;
    std::fclose(f);
    if (!ok)
        SetError(error, SystemText(err ? err : EIO));
    return ok;
}

} // namespace virs
