#include "views/ViewSave.h"

#include <cerrno>
#include <random>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "model/AtomicFile.h"
#include "model/TextCodec.h"

namespace virs {

namespace {

std::string SystemText(int err) {
    return std::system_category().message(err);
}

// Where a name shows in a message: as the operator typed it.
std::string Shown(const std::filesystem::path& p) {
    return p.string();
}

#ifdef _WIN32
int OpenExclusive(const std::filesystem::path& p) {
    int fd = -1;
    _wsopen_s(&fd, p.wstring().c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _SH_DENYRW,
              _S_IREAD | _S_IWRITE);
    return fd;
}
int WriteSome(int fd, const char* data, std::size_t size) {
    return _write(fd, data, static_cast<unsigned>(size > 1u << 30 ? 1u << 30 : size));
}
int SyncFile(int fd) {
    return _commit(fd);
}
int CloseFile(int fd) {
    return _close(fd);
}
#else
int OpenExclusive(const std::filesystem::path& p) {
    return ::open(p.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
}
long WriteSome(int fd, const char* data, std::size_t size) {
    return ::write(fd, data, size);
}
int SyncFile(int fd) {
    return ::fsync(fd);
}
int CloseFile(int fd) {
    return ::close(fd);
}
#endif

} // namespace

std::filesystem::path SaveNameForFilter(const std::filesystem::path& chosen, int filter) {
    std::filesystem::path name = chosen;
    name.replace_extension(filter == SaveFilterWorkbook ? ".xls" : ".txt");
    return name;
}

std::string ViewTextFileBytes(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) {
        bytes += Utf8ToCp1251(line);
        bytes += "\r\n";
    }
    return bytes;
}

bool ReplaceFileContents(const std::filesystem::path& target, std::string_view bytes,
                         std::string& error) {
    namespace fs = std::filesystem;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    // A name of our own in the target's folder, taken only if nobody has it.
    std::random_device seed;
    std::mt19937_64 random(seed());
    fs::path temp;
    int fd = -1;
    int err = 0;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = folder / ("." + target.filename().string() + "." +
                         std::to_string(random() % 1000000000ULL) + ".tmp");
        fd = OpenExclusive(temp);
        err = errno;
        if (fd < 0 && err != EEXIST)
            break;
    }
    if (fd < 0) {
        error = SystemText(err);
        return false;
    }
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        const auto n = WriteSome(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            err = n < 0 ? errno : EIO;
        } else {
            done += static_cast<std::size_t>(n);
        }
    }
    if (ok && SyncFile(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (CloseFile(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    std::error_code ec;
    if (ok) {
        fs::rename(temp, target, ec);
        if (ec) {
            ok = false;
            error = ec.message();
        }
    } else {
        error = SystemText(err ? err : EIO);
    }
    if (!ok)
        fs::remove(temp, ec);
    return ok;
}

TSaveOutcome SaveViewText(const std::filesystem::path& target,
                          const std::vector<std::string>& lines) {
    TSaveOutcome outcome;
    std::string error;
    outcome.Ok = ReplaceFileContents(target, ViewTextFileBytes(lines), error);
    if (!outcome.Ok)
        outcome.Message = "Не удалось сохранить файл " + Shown(target) + ":\r" + error;
    return outcome;
}

TSaveOutcome CopyArchiveWorkbook(const std::filesystem::path& folder,
                                 const std::string& archiveFile,
                                 const std::filesystem::path& target) {
    TSaveOutcome outcome;
    if (archiveFile.empty()) {
        outcome.Message = "У прибора ещё нет архива: сначала прочитайте суточный, часовой или "
                          "месячный архив.\rКнига Excel не сохранена.";
        return outcome;
    }
    const std::filesystem::path source = std::filesystem::path(archiveFile).is_absolute()
                                             ? std::filesystem::path(archiveFile)
                                             : folder / archiveFile;
    std::string bytes, error;
    if (!ReadWholeFile(source, bytes, &error)) {
        outcome.Message = "Не удалось прочитать архив прибора " + archiveFile + ":\r" + error +
                          "\rКнига Excel не сохранена.";
        return outcome;
    }
    if (!ReplaceFileContents(target, bytes, error)) {
        outcome.Message = "Не удалось сохранить копию архива в " + Shown(target) + ":\r" + error;
        return outcome;
    }
    outcome.Ok = true;
    return outcome;
}

} // namespace virs
