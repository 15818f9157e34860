#include "sim/PtyPort.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <system_error>
#include <thread>

#include "link/PortNames.h"

namespace virs::sim {

namespace {
struct TSpeed {
    speed_t Code;
    u32 Baud;
};
constexpr TSpeed Speeds[] = {{B300, 300},     {B600, 600},       {B1200, 1200},    {B2400, 2400},
                             {B4800, 4800},   {B9600, 9600},     {B19200, 19200},  {B38400, 38400},
                             {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
// ".COM5.owner" beside "COM5": the process id of the simulator that made the link.
std::filesystem::path OwnerFile(const std::filesystem::path& alias) {
    return alias.parent_path() / ("." + alias.filename().string() + ".owner");
}

// The alias folder, made for this user alone (mode 0700, whatever the umask)
// when it is missing. A folder the program would not take aliases from is
// refused: a link registered there would never be used.
bool PrepareAliasFolder(std::filesystem::path folder, std::string& error) {
    if (!folder.has_filename()) // "…/ports/"
        folder = folder.parent_path();
    std::error_code ec;
    if (folder.has_parent_path())
        std::filesystem::create_directories(folder.parent_path(), ec);
    if (::mkdir(folder.c_str(), 0700) == 0) {
        ::chmod(folder.c_str(), 0700);
    } else if (errno != EEXIST) {
        error = "не удалось создать папку псевдонимов портов " + folder.string() + ": " +
                std::strerror(errno);
        return false;
    }
    const std::string distrust = AliasFolderDistrust(folder, CurrentUserId());
    if (!distrust.empty()) {
        error = "папка псевдонимов портов " + folder.string() + " не подходит: " + distrust +
                "; программа не берёт псевдонимы из такой папки (нужна своя папка, закрытая " +
                "для записи другим, например с правами 0700)";
        return false;
    }
    return true;
}
} // namespace

std::unique_ptr<TPtyPort> TPtyPort::Open(std::string& error) {
    std::unique_ptr<TPtyPort> p(new TPtyPort);
    p->Master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (p->Master_ < 0 || grantpt(p->Master_) != 0 || unlockpt(p->Master_) != 0) {
        error = std::string("не удалось создать псевдотерминал: ") + std::strerror(errno);
        return nullptr;
    }
    char name[128];
    if (ptsname_r(p->Master_, name, sizeof name) != 0) {
        error = std::string("ptsname: ") + std::strerror(errno);
        return nullptr;
    }
    p->SlavePath_ = name;
    p->Slave_ = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (p->Slave_ < 0) {
        error = "не удалось открыть " + p->SlavePath_ + ": " + std::strerror(errno);
        return nullptr;
    }
    // Raw 9600 8N1 until the program sets its own: no echo, no line editing.
    termios t{};
    tcgetattr(p->Slave_, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(p->Slave_, TCSANOW, &t);
    fcntl(p->Master_, F_SETFL, fcntl(p->Master_, F_GETFL) | O_NONBLOCK);
    return p;
}

TPtyPort::~TPtyPort() {
    RemoveAlias();
    if (Slave_ >= 0)
        ::close(Slave_);
    if (Master_ >= 0)
        ::close(Master_);
}

bool TPtyPort::RegisterAlias(unsigned com, bool replace, std::string& error) {
    namespace fs = std::filesystem;
    if (com < 1 || com > 255) {
        error = "номер COM-порта должен быть от 1 до 255";
        return false;
    }
    const fs::path folder = PortAliasFolder();
    if (!PrepareAliasFolder(folder, error))
        return false;
    std::error_code ec;
    const fs::path alias = folder / ("COM" + std::to_string(com));
    if (fs::is_symlink(fs::symlink_status(alias, ec))) {
        // A simulator's link carries an owner file with its process id; when
        // that process is gone the link is stale, even if another program has
        // since opened a pseudo-terminal of the same number. A link without an
        // owner (made by hand, say to a USB adapter) counts as live while its
        // target exists.
        bool live = fs::exists(alias, ec);
        const fs::path owner = OwnerFile(alias);
        if (std::ifstream in{owner}; in) {
            long pid = 0;
            in >> pid;
            live = pid > 0 && (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
        }
        if (live && !replace) {
            error = "COM" + std::to_string(com) + " уже занят: " + alias.string() + " -> " +
                    fs::read_symlink(alias, ec).string() +
                    " (другой симулятор? --replace-com заменит)";
            return false;
        }
        fs::remove(alias, ec);
        fs::remove(owner, ec);
    } else if (fs::exists(fs::symlink_status(alias, ec))) {
        error = alias.string() + " существует и не является ссылкой";
        return false;
    }
    fs::create_symlink(SlavePath_, alias, ec);
    if (ec) {
        error = "не удалось создать " + alias.string() + ": " + ec.message();
        return false;
    }
    std::ofstream(OwnerFile(alias)) << ::getpid() << "\n";
    Alias_ = alias;
    return true;
}

void TPtyPort::RemoveAlias() {
    if (Alias_.empty())
        return;
    std::error_code ec;
    // Only our own link: another simulator may have taken the number since.
    if (std::filesystem::read_symlink(Alias_, ec) == SlavePath_) {
        std::filesystem::remove(Alias_, ec);
        std::filesystem::remove(OwnerFile(Alias_), ec);
    }
    Alias_.clear();
}

TLineSettings TPtyPort::Settings() const {
    // On the master side the terminal ioctls report the slave's settings.
    termios t{};
    TLineSettings s;
    if (tcgetattr(Master_, &t) != 0)
        return s;
    const speed_t code = cfgetospeed(&t);
    for (const TSpeed& sp : Speeds)
        if (sp.Code == code)
            s.Baud = sp.Baud;
    s.OddParity = (t.c_cflag & PARODD) != 0;
    s.TwoStopBits = (t.c_cflag & CSTOPB) != 0;
    return s;
}

int BitsPerByte(const TLineSettings& line) {
    return 1 + 8 + (line.OddParity ? 1 : 0) + (line.TwoStopBits ? 2 : 1);
}

bool PacedWrite(int fd, const Bytes& data, double byteSeconds) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    std::size_t sent = 0;
    while (sent < data.size()) {
        std::size_t due = data.size();
        if (byteSeconds > 0) {
            // Byte i may leave once i byte times have passed since the first.
            // Bytes are handed to the pty a little ahead of their time, so that a
            // late wake-up of this thread does not open a gap a real line never has.
            const double elapsed =
                std::chrono::duration<double>(Clock::now() - start).count() + PacingLeadSeconds;
            due = std::min(data.size(), static_cast<std::size_t>(elapsed / byteSeconds) + 1);
            if (due <= sent) {
                std::this_thread::sleep_until(
                    start +
                    std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(sent * byteSeconds - PacingLeadSeconds)));
                continue;
            }
        }
        const ssize_t n = ::write(fd, data.data() + sent, due - sent);
        if (n > 0) {
            sent += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd, POLLOUT, 0};
            ::poll(&p, 1, 50);
        } else {
            return false;
        }
    }
    // The last byte is on the wire only after its own byte time.
    if (byteSeconds > 0)
        std::this_thread::sleep_until(
            start + std::chrono::duration_cast<Clock::duration>(
                        std::chrono::duration<double>(data.size() * byteSeconds)));
    return true;
}

} // namespace virs::sim
