// The serial port on POSIX systems: termios in raw mode, non-blocking
// descriptor, poll() for every wait. The read keeps the semantics of a Windows
// communications port (interval and total time-outs), which the Modbus
// exchange relies on to find the end of an answer.
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>

#include "link/SerialPort.h"
#include "model/SystemCalls.h"

namespace virs {

namespace {

using Clock = std::chrono::steady_clock;

struct TSpeed {
    std::uint32_t Baud;
    speed_t Code;
};

constexpr TSpeed Speeds[] = {{300, B300},     {600, B600},       {1200, B1200},    {2400, B2400},
                             {4800, B4800},   {9600, B9600},     {19200, B19200},  {38400, B38400},
                             {57600, B57600}, {115200, B115200}, {230400, B230400}};

std::optional<speed_t> SpeedCode(std::uint32_t baud) {
    for (TSpeed s : Speeds)
        if (s.Baud == baud)
            return s.Code;
    return std::nullopt;
}

std::uint32_t SpeedValue(speed_t code) {
    for (TSpeed s : Speeds)
        if (s.Code == code)
            return s.Baud;
    return 0;
}

// VMIN 1 with a non-blocking descriptor: an empty read fails with EAGAIN, so a
// read of 0 bytes can only mean that the line was hung up.
void SetReadReturnsAtOnce(termios& t) {
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
}

std::string SystemError(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

class TPosixSerialPort final : public TSerialPort {
public:
    TPosixSerialPort(int fd, int cancelFd) : Fd(fd), CancelFd(cancelFd) {
        termios t{};
        if (tcgetattr(Fd, &t) == 0)
            RememberLine(t);
    }
    ~TPosixSerialPort() override {
        Close();
        ::close(CancelFd);
    }
    TPosixSerialPort(const TPosixSerialPort&) = delete;
    TPosixSerialPort& operator=(const TPosixSerialPort&) = delete;

    bool SetQueues(std::uint32_t, std::uint32_t) override {
        // The kernel's tty buffers are fixed and larger than the program asks for.
        return Fd >= 0;
    }

    bool GetLineSettings(TLineSettings& settings) override {
        termios t{};
        if (Fd < 0 || tcgetattr(Fd, &t) != 0)
            return false;
        settings.BaudRate = SpeedValue(cfgetospeed(&t));
        switch (t.c_cflag & CSIZE) {
        case CS5:
            settings.ByteSize = 5;
            break;
        case CS6:
            settings.ByteSize = 6;
            break;
        case CS7:
            settings.ByteSize = 7;
            break;
        default:
            settings.ByteSize = 8;
            break;
        }
        settings.Parity = !(t.c_cflag & PARENB) ? 0 : (t.c_cflag & PARODD) ? 1 : 2;
        settings.StopBits = (t.c_cflag & CSTOPB) ? 2 : 0;
        return true;
    }

    bool SetLineSettings(const TLineSettings& settings) override {
        termios t{};
        if (Fd < 0 || tcgetattr(Fd, &t) != 0)
            return false;
        // A record never read from a port keeps the port's own speed.
        if (settings.BaudRate != 0) {
            std::optional<speed_t> code = SpeedCode(settings.BaudRate);
            if (!code || cfsetispeed(&t, *code) != 0 || cfsetospeed(&t, *code) != 0)
                return false;
        }
        cfmakeraw(&t);
        t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
        t.c_cflag |= CLOCAL | CREAD;
        switch (settings.ByteSize) {
        case 5:
            t.c_cflag |= CS5;
            break;
        case 6:
            t.c_cflag |= CS6;
            break;
        case 7:
            t.c_cflag |= CS7;
            break;
        case 8:
            t.c_cflag |= CS8;
            break;
        default:
            return false;
        }
        if (settings.Parity == 1)
            t.c_cflag |= PARENB | PARODD;
        else if (settings.Parity == 2)
            t.c_cflag |= PARENB;
        else if (settings.Parity != 0)
            return false; // mark and space parity are not used
        if (settings.StopBits == 2)
            t.c_cflag |= CSTOPB;
        else if (settings.StopBits != 0)
            return false;
        // Every flag off: no parity check, no software flow control.
        t.c_iflag &= ~static_cast<tcflag_t>(INPCK | IXON | IXOFF | IXANY);
        SetReadReturnsAtOnce(t);
        if (tcsetattr(Fd, TCSANOW, &t) != 0)
            return false;
        RememberLine(t);
        return true;
    }

    bool SetTimeouts(const TPortTimeouts& timeouts) override {
        Timeouts = timeouts;
        return Fd >= 0;
    }

    bool Purge(std::uint32_t flags) override {
        if (Fd < 0)
            return false;
        // Transfers are synchronous: nothing is pending when a purge can run,
        // so the abort bits need no action of their own. A frame still leaving
        // after Send goes out whole first, as it would have before Write returned.
        if ((flags & PurgeTxClear) && Clock::now() < TxEnd)
            Drain();
        int queue = -1;
        if ((flags & PurgeRxClear) && (flags & PurgeTxClear))
            queue = TCIOFLUSH;
        else if (flags & PurgeRxClear)
            queue = TCIFLUSH;
        else if (flags & PurgeTxClear)
            queue = TCOFLUSH;
        return queue < 0 || tcflush(Fd, queue) == 0;
    }

    TPortIo Write(const std::uint8_t* data, std::size_t size) override {
        TPortIo io = Hand(data, size);
        if (!io.Ok)
            return io;
        // Like a synchronous Windows write: return once the bytes have left.
        Drain();
        TxEnd = Clock::now();
        return io;
    }

    TPortIo Send(const std::uint8_t* data, std::size_t size) override {
        TPortIo io = Hand(data, size);
        if (!io.Ok)
            return io;
        if (BitsPerSecond == 0) {
            Drain(); // no speed to reckon with: wait as Write does
            TxEnd = Clock::now();
            return io;
        }
        // When the last bit leaves the line: the next Read's total time-out
        // starts there, exactly as after a Write that waited for it.
        const Clock::time_point now = Clock::now();
        const auto onLine = std::chrono::microseconds(
            (std::uint64_t(size) * CharBits * 1000000 + BitsPerSecond - 1) / BitsPerSecond);
        TxEnd = (TxEnd > now ? TxEnd : now) + onLine;
        return io;
    }

    TPortIo Read(std::uint8_t* buffer, std::size_t size) override {
        TPortIo io;
        if (Fd < 0 || TakeCancel())
            return io;
        const std::uint32_t maxWord = 0xFFFFFFFFu;
        const TPortTimeouts t = Timeouts;
        // Windows special cases: interval MAXDWORD with no total time-out
        // returns what has already come; with multiplier MAXDWORD it returns as
        // soon as anything comes, or after the constant.
        const bool returnAtOnce =
            t.ReadInterval == maxWord && t.ReadMultiplier == 0 && t.ReadConstant == 0;
        const bool returnOnFirst = t.ReadInterval == maxWord && t.ReadMultiplier == maxWord &&
                                   t.ReadConstant != 0 && t.ReadConstant != maxWord;
        const Clock::time_point calledAt = Clock::now();
        // The total time-out counts from when the request sent last has left.
        const Clock::time_point start = TxEnd > calledAt ? TxEnd : calledAt;
        std::optional<Clock::time_point> deadline;
        if (returnOnFirst) {
            deadline = start + std::chrono::milliseconds(t.ReadConstant);
        } else if (!returnAtOnce && (t.ReadMultiplier != 0 || t.ReadConstant != 0)) {
            std::uint64_t total = std::uint64_t(t.ReadMultiplier) * size + t.ReadConstant;
            deadline = start + std::chrono::milliseconds(total);
        }
        const bool useInterval = !returnAtOnce && !returnOnFirst && t.ReadInterval != 0;
        Clock::time_point lastByte{};

        // After a read that brought bytes the next step is the wait: it returns
        // at once when more has come, and saves a read that would find nothing.
        bool readNow = true;
        while (io.Count < size) {
            if (readNow) {
                ssize_t n = VIRS_SYSCALL(read)(Fd, buffer + io.Count, size - io.Count);
                if (n > 0) {
                    io.Count += static_cast<std::size_t>(n);
                    lastByte = Clock::now();
                    if (returnOnFirst)
                        break;
                    readNow = returnAtOnce;
                    continue;
                }
                if (n < 0 && errno == EINTR)
                    continue;
                if (n < 0 && errno != EAGAIN)
                    return io; // the device has gone (unplugged adapter, closed peer)
                if (n == 0)
                    return io; // end of file on a tty: the line was hung up
                if (returnAtOnce)
                    break;
            }
            readNow = true;

            // Nothing waiting: sleep in poll until a byte, a time-out or a cancel.
            Clock::time_point now = Clock::now();
            std::optional<Clock::time_point> until = deadline;
            if (useInterval && io.Count > 0) {
                Clock::time_point gapEnd = lastByte + std::chrono::milliseconds(t.ReadInterval);
                if (!until || gapEnd < *until)
                    until = gapEnd;
            }
            std::optional<std::chrono::nanoseconds> wait;
            if (until) {
                if (*until <= now)
                    break;
                wait = *until - now;
            }
            TWait w = WaitFor(POLLIN, wait);
            if (w == TWait::Failed || w == TWait::Cancelled)
                return io;
            if (w == TWait::TimedOut && Clock::now() >= *until)
                break; // the time-out has fired: return what has come
        }
        io.Ok = true;
        return io;
    }

    bool Close() override {
        if (Fd < 0)
            return false;
        int fd = Fd;
        Fd = -1;
        // The exclusive mark belongs to the tty, not to this descriptor: lift
        // it, or the device stays locked while anybody else holds it open.
        ::ioctl(fd, TIOCNXCL);
        return ::close(fd) == 0;
    }

    void CancelIo() override {
        // Counted before it is signalled, so TakeCancel can skip the eventfd
        // while none is on its way.
        CancelsSent.fetch_add(1);
        std::uint64_t one = 1;
        // An eventfd write only fails when the counter would overflow, and then
        // it is already signalled.
        [[maybe_unused]] ssize_t n = ::write(CancelFd, &one, sizeof one);
    }

    void ClearCancel() override { TakeCancel(); }

private:
    enum class TWait { Ready, TimedOut, Cancelled, Failed };

    // Hands the whole buffer to the system, waiting while its queue is full.
    TPortIo Hand(const std::uint8_t* data, std::size_t size) {
        TPortIo io;
        if (Fd < 0 || TakeCancel())
            return io;
        while (io.Count < size) {
            ssize_t n = VIRS_SYSCALL(write)(Fd, data + io.Count, size - io.Count);
            if (n > 0) {
                io.Count += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return io;
            if (n < 0 && errno == EINTR)
                continue;
            if (WaitFor(POLLOUT, std::nullopt) != TWait::Ready)
                return io;
        }
        io.Ok = true;
        return io;
    }

    // Waits until the output queue has left the line.
    void Drain() {
        while (VIRS_SYSCALL(tcdrain)(Fd) != 0)
            if (errno != EINTR)
                break;
    }

    // The line's speed and the bits of one character, for Send's reckoning.
    void RememberLine(const termios& t) {
        BitsPerSecond = SpeedValue(cfgetospeed(&t));
        const tcflag_t size = t.c_cflag & CSIZE;
        const unsigned dataBits = size == CS5 ? 5 : size == CS6 ? 6 : size == CS7 ? 7 : 8;
        CharBits = 1 + dataBits + ((t.c_cflag & PARENB) ? 1 : 0) + ((t.c_cflag & CSTOPB) ? 2 : 1);
    }

    // Resets the cancel; true when one was pending. A read of the eventfd
    // takes its whole count, so several cancels are used up by one call.
    // Only cancels that have reached the eventfd are taken; one still on its
    // way is met by the wait of this call or taken by the next.
    bool TakeCancel() {
        if (CancelsSent.load() == 0)
            return false;
        std::uint64_t count = 0;
        if (::read(CancelFd, &count, sizeof count) != static_cast<ssize_t>(sizeof count) ||
            count == 0)
            return false;
        CancelsSent.fetch_sub(count);
        return true;
    }

    // Waits for `events` on the port, a cancel, or the end of `wait` (none:
    // no limit). ppoll takes the wait to the nanosecond, so time-outs are not
    // rounded to whole milliseconds.
    TWait WaitFor(short events, std::optional<std::chrono::nanoseconds> wait) {
        pollfd fds[2] = {{Fd, events, 0}, {CancelFd, POLLIN, 0}};
        timespec limit{};
        if (wait) {
            limit.tv_sec = static_cast<time_t>(wait->count() / 1000000000);
            limit.tv_nsec = static_cast<long>(wait->count() % 1000000000);
        }
        int r = VIRS_SYSCALL(ppoll)(fds, 2, wait ? &limit : nullptr, nullptr);
        if (r < 0 && errno == EINTR)
            return TWait::Ready; // a signal: the caller tries again and recomputes the time left
        if (r < 0)
            return TWait::Failed;
        if (r == 0)
            return TWait::TimedOut;
        if (fds[1].revents & POLLIN) {
            TakeCancel(); // the cancel has ended this call: the next one runs normally
            return TWait::Cancelled;
        }
        if (fds[0].revents & events)
            return TWait::Ready;
        return TWait::Failed; // POLLHUP / POLLERR / POLLNVAL without data
    }

    int Fd;
    int CancelFd;
    TPortTimeouts Timeouts;
    std::atomic<std::uint64_t> CancelsSent{0}; // signalled and not yet taken
    std::uint32_t BitsPerSecond = 0;           // 0: unknown
    unsigned CharBits = 10;
    Clock::time_point TxEnd{}; // when the bytes of the last Send have left the line
};

} // namespace

TPortOpenResult OpenSerialPort(const std::filesystem::path& devicePath) {
    int fd = ::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {nullptr, SystemError(devicePath.c_str())};
    // Exclusive like a Windows port: no second open through the tty layer, and
    // an advisory lock that also keeps out a second copy running as root.
    if (!isatty(fd)) {
        ::close(fd);
        return {nullptr, devicePath.string() + ": не последовательный порт"};
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        std::string error = SystemError(devicePath.c_str());
        ::close(fd);
        return {nullptr, error};
    }
    ::ioctl(fd, TIOCEXCL);
    // Raw from the start, keeping the device's speed and character format
    // until the caller applies its own line settings.
    termios t{};
    if (tcgetattr(fd, &t) == 0) {
        speed_t in = cfgetispeed(&t), out = cfgetospeed(&t);
        tcflag_t format = t.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB);
        cfmakeraw(&t);
        t.c_cflag =
            (t.c_cflag & ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS)) |
            format | CLOCAL | CREAD;
        cfsetispeed(&t, in);
        cfsetospeed(&t, out);
        SetReadReturnsAtOnce(t);
        tcsetattr(fd, TCSANOW, &t);
    }
    int cancelFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (cancelFd < 0) {
        std::string error = SystemError("eventfd");
        ::close(fd);
        return {nullptr, error};
    }
    return {std::make_unique<TPosixSerialPort>(fd, cancelFd), {}};
}

} // namespace virs

#endif
