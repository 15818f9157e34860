#include "model/StationLock.h"

#include <fcntl.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <process.h>
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace virs {
namespace {

long OwnPid() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(getpid());
#endif
}

bool ProcessAlive(long pid) {
    if (pid <= 0)
        return false;
#ifdef _WIN32
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
    CloseHandle(process);
    return running;
#else
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

// Creates the file only when it does not exist yet, with our number in it.
bool CreateExclusive(const std::filesystem::path& file) {
    const std::string text = std::to_string(OwnPid()) + "\n";
#ifdef _WIN32
    const int fd = _wopen(file.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, 0644);
    if (fd < 0)
        return false;
    const bool ok = _write(fd, text.data(), static_cast<unsigned>(text.size())) ==
                    static_cast<int>(text.size());
    _close(fd);
#else
    const int fd = open(file.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
#endif
    return ok;
}

long ReadPid(const std::filesystem::path& file) {
    std::ifstream in(file);
    long pid = 0;
    if (!(in >> pid))
        return 0;
    return pid;
}

} // namespace

std::string StationInUseText(const std::filesystem::path& folder, long pid) {
    return "Станция в папке " + folder.string() + " занята другой программой (процесс " +
           std::to_string(pid) + "). Она открыта только для чтения: изменения не будут сохранены.";
}

TStationLockResult TStationLock::Acquire(const std::filesystem::path& folder) {
    TStationLockResult r;
    if (Held()) {
        r.Acquired = true;
        return r;
    }
    const std::filesystem::path file = folder / StationLockFileName;
    // Two rounds: a stale lock is removed once and creation tried again; a
    // program that took it over in between wins and we are refused.
    for (int round = 0; round < 2; ++round) {
        if (CreateExclusive(file)) {
            File = file;
            r.Acquired = true;
            return r;
        }
        std::error_code ec;
        if (!std::filesystem::exists(file, ec)) {
            r.Message = "Не удалось создать файл блокировки " + file.string();
            return r;
        }
        const long pid = ReadPid(file);
        if (pid == OwnPid() || ProcessAlive(pid)) {
            r.OwnerPid = pid;
            r.Message = StationInUseText(folder, pid);
            return r;
        }
        // A lock left by a process that is gone (or an empty, unfinished one
        // of a program that died while writing it).
        std::filesystem::remove(file, ec);
        r.TookOver = true;
    }
    r.Message = "Не удалось создать файл блокировки " + file.string();
    return r;
}

void TStationLock::Release() {
    if (File.empty())
        return;
    std::error_code ec;
    if (ReadPid(File) == OwnPid())
        std::filesystem::remove(File, ec);
    File.clear();
}

} // namespace virs
