#pragma once
// Helpers of the simulator tests: a second, table-driven CRC to check the
// simulator's own, request builders, and a serial client on the slave side of
// a pseudo-terminal that configures it as the program does.

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "sim/SimTypes.h"

namespace virs::sim::test {

// CRC-16/MODBUS by the byte table, independent of the bitwise one in the simulator.
inline u16 TableCrc(const Bytes& data, std::size_t count) {
    static const std::array<u16, 256> table = [] {
        std::array<u16, 256> t{};
        for (unsigned i = 0; i < 256; ++i) {
            u16 c = static_cast<u16>(i);
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? static_cast<u16>((c >> 1) ^ 0xA001) : static_cast<u16>(c >> 1);
            t[i] = c;
        }
        return t;
    }();
    u16 crc = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i)
        crc = static_cast<u16>((crc >> 8) ^ table[(crc ^ data[i]) & 0xFF]);
    return crc;
}

inline Bytes WithCrc(Bytes f) {
    const u16 crc = TableCrc(f, f.size());
    f.push_back(static_cast<u8>(crc & 0xFF));
    f.push_back(static_cast<u8>(crc >> 8));
    return f;
}

inline bool GoodCrc(const Bytes& f) {
    if (f.size() < 3)
        return false;
    const u16 crc = TableCrc(f, f.size() - 2);
    return f[f.size() - 2] == (crc & 0xFF) && f[f.size() - 1] == (crc >> 8);
}

inline Bytes ReadRequest(u8 addr, u8 fn, u16 start, u16 count) {
    return WithCrc({addr, fn, static_cast<u8>(start >> 8), static_cast<u8>(start & 0xFF),
                    static_cast<u8>(count >> 8), static_cast<u8>(count & 0xFF)});
}

inline Bytes WriteRequest(u8 addr, u16 start, const std::vector<u16>& values) {
    Bytes f{addr,
            16,
            static_cast<u8>(start >> 8),
            static_cast<u8>(start & 0xFF),
            0,
            static_cast<u8>(values.size()),
            static_cast<u8>(2 * values.size())};
    for (u16 v : values) {
        f.push_back(static_cast<u8>(v >> 8));
        f.push_back(static_cast<u8>(v & 0xFF));
    }
    return WithCrc(f);
}

// Registers of a function-3 answer (high byte first on the wire).
inline std::vector<u16> AnswerRegisters(const Bytes& a) {
    std::vector<u16> out;
    for (std::size_t i = 3; i + 1 < a.size() - 2; i += 2)
        out.push_back(static_cast<u16>(a[i] << 8 | a[i + 1]));
    return out;
}

class TempFolder {
public:
    TempFolder() {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "virs-sim-test-XXXXXX").string();
        Path_ = ::mkdtemp(tmpl.data());
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(Path_, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return Path_; }

private:
    std::filesystem::path Path_;
};

// The program's side of the line.
class TestPort {
public:
    explicit TestPort(const std::string& path) { Fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY); }
    ~TestPort() {
        if (Fd_ >= 0)
            ::close(Fd_);
    }
    TestPort(const TestPort&) = delete;
    TestPort& operator=(const TestPort&) = delete;
    bool Ok() const { return Fd_ >= 0; }

    void Configure(speed_t speed, char parity = 'N', int stopBits = 1) {
        termios t{};
        tcgetattr(Fd_, &t);
        cfmakeraw(&t);
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        t.c_cflag &= ~(PARENB | PARODD | CSTOPB);
        if (parity != 'N')
            t.c_cflag |= PARENB | (parity == 'O' ? PARODD : 0);
        if (stopBits == 2)
            t.c_cflag |= CSTOPB;
        t.c_cflag |= CLOCAL | CREAD;
        tcsetattr(Fd_, TCSANOW, &t);
        tcflush(Fd_, TCIOFLUSH);
    }
    void Write(const Bytes& b) const {
        std::size_t done = 0;
        while (done < b.size()) {
            const ssize_t n = ::write(Fd_, b.data() + done, b.size() - done);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
    }
    void Write(const std::string& s) const { Write(Bytes(s.begin(), s.end())); }
    // Reads until `gapMs` of silence after the first byte, or `totalMs` without any.
    Bytes Read(int totalMs, int gapMs = 60) const {
        Bytes out;
        const auto start = std::chrono::steady_clock::now();
        for (;;) {
            const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start)
                                     .count();
            const int wait = out.empty() ? static_cast<int>(totalMs - elapsed) : gapMs;
            if (wait <= 0)
                return out;
            pollfd p{Fd_, POLLIN, 0};
            if (::poll(&p, 1, wait) <= 0)
                return out;
            u8 buf[512];
            const ssize_t n = ::read(Fd_, buf, sizeof buf);
            if (n <= 0)
                return out;
            out.insert(out.end(), buf, buf + n);
        }
    }
    std::string ReadText(int totalMs, int gapMs = 60) const {
        const Bytes b = Read(totalMs, gapMs);
        return std::string(b.begin(), b.end());
    }
    int Fd() const { return Fd_; }

private:
    int Fd_ = -1;
};

} // namespace virs::sim::test
