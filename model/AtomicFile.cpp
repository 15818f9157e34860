#include "model/AtomicFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include "model/SystemCalls.h"
#endif

namespace virs {
namespace {

namespace fs = std::filesystem;

void SetError(std::string* error, const std::string& text) {
    if (error)
        *error = text;
}

std::string SystemText(int err) {
    return std::system_category().message(err);
}

const char* const NotRegularText = "не обычный файл";

#ifdef _WIN32
using TFileMode = int;
int ProcessId() {
    return _getpid();
}
bool ProcessGone(long pid) {
    HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!h)
        return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool gone = GetExitCodeProcess(h, &code) && code != STILL_ACTIVE;
    CloseHandle(h);
    return gone;
}
int OpenExclusive(const fs::path& p, TFileMode) {
    return _wopen(p.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                  _S_IREAD | _S_IWRITE);
}
long WriteSome(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
int FlushFile(int fd) {
    return _commit(fd);
}
int CloseFile(int fd) {
    return _close(fd);
}
int Replace(const fs::path& from, const fs::path& to) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return 0;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return -1;
}
int RemoveFile(const fs::path& p) {
    return _wunlink(p.c_str());
}
void FlushFolder(const fs::path&) {}
#else
using TFileMode = mode_t;
int ProcessId() {
    return static_cast<int>(::getpid());
}
bool ProcessGone(long pid) {
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}
int OpenExclusive(const fs::path& p, TFileMode mode) {
    int fd;
    do
        fd = VIRS_SYSCALL(open)(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                                mode);
    while (fd < 0 && errno == EINTR);
    return fd;
}
long WriteSome(int fd, const char* data, std::size_t size) {
    return static_cast<long>(VIRS_SYSCALL(write)(fd, data, size));
}
int FlushFile(int fd) {
    return VIRS_SYSCALL(fsync)(fd);
}
int CloseFile(int fd) {
    return VIRS_SYSCALL(close)(fd);
}
int Replace(const fs::path& from, const fs::path& to) {
    return VIRS_SYSCALL(rename)(from.c_str(), to.c_str());
}
int RemoveFile(const fs::path& p) {
    return VIRS_SYSCALL(unlink)(p.c_str());
}
// The rename lives in the folder: flushing it makes the new name survive a
// power cut. A folder that cannot be flushed does not undo the save.
void FlushFolder(const fs::path& dir) {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}
#endif

// The file a save of `target` writes: the target, or for a symbolic link the
// file at the end of the link chain. Empty (with the reason) when the target
// exists and is not a regular file.
fs::path ResolveTarget(const fs::path& target, std::string* error) {
    fs::path p = target;
    for (int hops = 0; hops < 40; ++hops) {
        std::error_code ec;
        const fs::file_status st = fs::symlink_status(p, ec);
        if (ec && ec != std::errc::no_such_file_or_directory) {
            SetError(error, ec.message());
            return {};
        }
        if (!fs::exists(st))
            return p;
        if (fs::is_regular_file(st))
            return p;
        if (!fs::is_symlink(st)) {
            SetError(error, NotRegularText);
            return {};
        }
        fs::path next = fs::read_symlink(p, ec);
        if (ec) {
            SetError(error, ec.message());
            return {};
        }
        p = next.is_absolute() ? next : p.parent_path() / next;
    }
    SetError(error, SystemText(ELOOP));
    return {};
}

// "<name>.tmp-<pid>-<random>" of a save of `name`: the pid, or -1 for any other name.
long TemporaryOwner(const std::string& entry, const std::string& name) {
    const std::string prefix = name + std::string(TemporaryNameMark);
    if (entry.size() <= prefix.size() || entry.compare(0, prefix.size(), prefix) != 0)
        return -1;
    std::size_t at = prefix.size();
    long pid = 0;
    std::size_t digits = 0;
    for (; at < entry.size() && entry[at] >= '0' && entry[at] <= '9' && digits < 10; ++at, ++digits)
        pid = pid * 10 + (entry[at] - '0');
    if (digits == 0 || at >= entry.size() || entry[at] != '-' || at + 1 == entry.size())
        return -1;
    for (++at; at < entry.size(); ++at) {
        const char c = entry[at];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return -1;
    }
    return pid > 0 ? pid : -1;
}

// Removes what killed saves of `file` left behind: temporary files whose
// process is gone. Only regular files are touched, never a link.
void RemoveStaleTemporaries(const fs::path& file) {
    const std::string name = file.filename().string();
    const fs::path dir = file.parent_path().empty() ? fs::path(".") : file.parent_path();
    std::error_code ec;
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const long pid = TemporaryOwner(it->path().filename().string(), name);
        if (pid < 0 || pid == ProcessId() || !ProcessGone(pid))
            continue;
        std::error_code sec;
        if (fs::is_regular_file(fs::symlink_status(it->path(), sec)))
            RemoveFile(it->path());
    }
}

} // namespace

bool WriteFileAtomically(const fs::path& target, std::string_view bytes, std::string* error) {
    const fs::path file = ResolveTarget(target, error);
    if (file.empty())
        return false;
    RemoveStaleTemporaries(file);

    // A new file gets the usual permissions (less the umask); a replaced one keeps its own.
    TFileMode mode = 0666;
    std::error_code ec;
    const fs::file_status old = fs::status(file, ec);
    if (!ec && fs::exists(old))
        mode = static_cast<TFileMode>(static_cast<unsigned>(old.permissions()) & 0777u);

    std::random_device random;
    fs::path temp;
    int fd = -1;
    for (int tries = 0; fd < 0 && tries < 100; ++tries) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(random()));
        temp = file;
        temp += std::string(TemporaryNameMark) + std::to_string(ProcessId()) + "-" + suffix;
        fd = OpenExclusive(temp, mode);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        SetError(error, SystemText(errno));
        return false;
    }

    int err = 0;
    for (std::size_t done = 0; done < bytes.size() && err == 0;) {
        const long n = WriteSome(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0)
            done += static_cast<std::size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else
            err = n < 0 ? errno : ENOSPC;
    }
    if (err == 0 && FlushFile(fd) != 0)
        err = errno;
    if (CloseFile(fd) != 0 && err == 0)
        err = errno;
    if (err == 0 && Replace(temp, file) != 0)
        err = errno;
    if (err != 0) {
        RemoveFile(temp);
        SetError(error, SystemText(err));
        return false;
    }
    FlushFolder(file.parent_path());
    return true;
}

bool ReadWholeFile(const fs::path& path, std::string& bytes, std::string* error,
                   std::uint64_t maxBytes) {
    bytes.clear();
#ifdef _WIN32
    int fd = _wopen(path.c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT);
    if (fd < 0) {
        SetError(error, SystemText(errno));
        return false;
    }
    struct _stat64 st {};
    const bool regular = _fstat64(fd, &st) == 0 && (st.st_mode & _S_IFMT) == _S_IFREG;
    auto readSome = [fd](char* to, std::size_t n) {
        return static_cast<long>(_read(fd, to, static_cast<unsigned>(n)));
    };
    auto closeFile = [fd] { _close(fd); };
#else
    // Non-blocking, so that opening a FIFO does not wait for a writer.
    int fd;
    do
        fd = VIRS_SYSCALL(open)(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetError(error, SystemText(errno));
        return false;
    }
    struct stat st {};
    const bool regular = VIRS_SYSCALL(fstat)(fd, &st) == 0 && S_ISREG(st.st_mode);
    auto readSome = [fd](char* to, std::size_t n) {
        return static_cast<long>(VIRS_SYSCALL(read)(fd, to, n));
    };
    auto closeFile = [fd] { VIRS_SYSCALL(close)(fd); };
#endif
    if (!regular) {
        closeFile();
        SetError(error, NotRegularText);
        return false;
    }
    const auto size = static_cast<std::uint64_t>(st.st_size);
    if (size > maxBytes) {
        closeFile();
        SetError(error, "файл слишком велик (" + std::to_string(size) + " байт)");
        return false;
    }
    // One buffer of the size the file has, read straight into; reading on
    // past that size only finds out whether the file grew meanwhile.
    bytes.resize(static_cast<std::size_t>(size));
    std::size_t done = 0;
    int err = 0;
    for (;;) {
        if (done == bytes.size()) {
            char extra;
            const long n = readSome(&extra, 1);
            if (n > 0) {
                if (bytes.size() + 1 > maxBytes) { // grew while being read
                    err = EFBIG;
                    break;
                }
                bytes.push_back(extra);
                bytes.resize(
                    static_cast<std::size_t>(std::min<std::uint64_t>(bytes.size() * 2, maxBytes)));
                ++done;
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                err = errno;
            break;
        }
        const long n = readSome(bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            err = errno;
        break;
    }
    bytes.resize(done);
    closeFile();
    if (err != 0) {
        bytes.clear();
        SetError(error, err == EFBIG ? "файл слишком велик" : SystemText(err));
        return false;
    }
    return true;
}

} // namespace virs
