#include "link/PortNames.h"

#include <cstdlib>
#include <system_error>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#endif

namespace virs {

std::filesystem::path PortAliasFolder() {
    if (const char* dir = std::getenv("VIRS_PORTS_DIR"); dir && *dir)
        return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run)
        return std::filesystem::path(run) / "virs-ports";
#ifdef _WIN32
    return {};
#else
    return std::filesystem::path("/tmp") / ("virs-ports-" + std::to_string(getuid()));
#endif
}

TUserId CurrentUserId() {
#ifdef _WIN32
    return 0;
#else
    return static_cast<TUserId>(::geteuid());
#endif
}

std::string TPortAliasNotices::FirstTime(const TPortAliasNotice& notice) {
    if (notice.Text.empty() || !Told.insert(notice.Folder).second)
        return {};
    return notice.Text;
}

#ifdef _WIN32

std::string AliasFolderDistrust(const std::filesystem::path&, TUserId) {
    return {};
}

TComPortLookup LookUpComPort(unsigned n, TUserId) {
    TComPortLookup r;
    if (n >= 1 && n <= 255)
        r.Path = "\\\\.\\COM" + std::to_string(n);
    return r;
}

#else

namespace {

// COMn without an alias; empty above COM96.
std::filesystem::path FixedDevice(unsigned n) {
    if (n <= 32)
        return "/dev/ttyS" + std::to_string(n - 1);
    if (n <= 64)
        return "/dev/ttyUSB" + std::to_string(n - 33);
    if (n <= 96)
        return "/dev/ttyACM" + std::to_string(n - 65);
    return {};
}

std::string Permissions(mode_t mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
    return text;
}

} // namespace

std::string AliasFolderDistrust(const std::filesystem::path& folder, TUserId owner) {
    if (folder.empty())
        return {};
    struct stat st {};
    // lstat: a folder that is a symlink is judged as the link, not its target.
    if (::lstat(folder.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return {};
        return std::string("папку не удалось проверить (") + std::strerror(errno) + ")";
    }
    if (S_ISLNK(st.st_mode))
        return "это символическая ссылка, а не папка";
    if (!S_ISDIR(st.st_mode))
        return "это не папка";
    if (st.st_uid != owner)
        return "папка принадлежит другому пользователю (uid " + std::to_string(st.st_uid) + ")";
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return "в папку могут писать другие пользователи (права " + Permissions(st.st_mode) + ")";
    return {};
}

TComPortLookup LookUpComPort(unsigned n, TUserId owner) {
    TComPortLookup r;
    if (n < 1 || n > 255)
        return r;
    const std::filesystem::path folder = PortAliasFolder();
    const std::string name = "COM" + std::to_string(n);
    const std::filesystem::path alias = folder / name;
    const std::filesystem::path fixed = FixedDevice(n);
    const std::string folderDistrust = AliasFolderDistrust(folder, owner);

    struct stat st {};
    if (folder.empty() || ::lstat(alias.c_str(), &st) != 0) {
        // No alias. Above the fixed range the alias path is kept, so that the
        // open names what is missing; never one in a folder others can change.
        r.Path = !fixed.empty() || !folderDistrust.empty() ? fixed : alias;
        return r;
    }
    if (folderDistrust.empty() && st.st_uid == owner) {
        r.Path = alias;
        return r;
    }
    // The alias is ignored: the number maps as if it were not there.
    r.Path = fixed;
    const std::string then = fixed.empty() ? "другого устройства для " + name + " нет"
                                           : name + " открывается как " + fixed.string();
    r.Notice.Folder = folder;
    if (!folderDistrust.empty())
        r.Notice.Text = "Псевдонимы портов в " + folder.string() +
                        " не используются: " + folderDistrust + "; " + then;
    else
        r.Notice.Text = "Псевдоним " + name + " в " + folder.string() +
                        " не используется: ссылку создал другой пользователь (uid " +
                        std::to_string(st.st_uid) + "); " + then;
    return r;
}

#endif

std::filesystem::path ComPortPath(unsigned n) {
    return LookUpComPort(n).Path;
}

} // namespace virs
