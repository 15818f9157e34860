#pragma once
// Test doubles for the serial line: a pseudo-terminal whose slave side the
// program opens as its port, and a slave device on the master side that
// answers each request frame through a function of the test.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace virs::test {

using Bytes = std::vector<std::uint8_t>;

class TPty {
public:
    TPty() {
        Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0)
            throw std::runtime_error("no pseudo-terminal");
        char name[128] = {};
        if (ptsname_r(Master, name, sizeof name) != 0)
            throw std::runtime_error("no pseudo-terminal name");
        SlavePath = name;
        // Keeps the slave side alive between the program's opens, so the
        // master never sees a hang-up while a test runs.
        Keeper = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    }
    ~TPty() {
        if (Keeper >= 0)
            ::close(Keeper);
        if (Master >= 0)
            ::close(Master);
    }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    void Send(const Bytes& bytes) const {
        std::size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = ::write(Master, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                throw std::runtime_error("pty write failed");
            done += static_cast<std::size_t>(n);
        }
    }
    // Everything that arrives until nothing more comes for `quietMs`.
    Bytes Receive(int quietMs) const {
        Bytes got;
        pollfd p{Master, POLLIN, 0};
        while (::poll(&p, 1, quietMs) > 0 && (p.revents & POLLIN)) {
            std::uint8_t buffer[512];
            ssize_t n = ::read(Master, buffer, sizeof buffer);
            if (n <= 0)
                break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    int Master = -1;
    int Keeper = -1;
    std::string SlavePath;
};

// What the slave device does with one request.
struct TReply {
    std::vector<Bytes> Bursts;       // written one after another; none: silence
    int DelayMs = 0;                 // before the first burst
    int BurstGapMs = 0;              // between bursts
    std::function<void()> OnRequest; // runs when the request has come (before answering)
};

inline TReply Answer(Bytes bytes) {
    TReply r;
    r.Bursts.push_back(std::move(bytes));
    return r;
}

// Answers request frames on the master side of a pseudo-terminal. A request's
// length is read from its header (function 16 carries a byte count), so the
// slave answers without waiting for a gap.
class TSlaveDevice {
public:
    using TResponder = std::function<TReply(const Bytes& request)>;

    TSlaveDevice(const TPty& pty, TResponder responder)
        : Pty(pty), Responder(std::move(responder)), Thread([this] { Run(); }) {}
    ~TSlaveDevice() {
        Stop = true;
        Thread.join();
    }
    TSlaveDevice(const TSlaveDevice&) = delete;
    TSlaveDevice& operator=(const TSlaveDevice&) = delete;

    std::vector<Bytes> Requests() const {
        std::lock_guard lock(Mutex);
        return Received;
    }

private:
    static std::size_t FrameLength(const Bytes& frame) {
        if (frame.size() < 2)
            return 0;
        if (frame[1] == 16)
            return frame.size() < 7 ? 0 : 9u + frame[6];
        return 8;
    }

    void Run() {
        Bytes frame;
        while (!Stop) {
            pollfd p{Pty.Master, POLLIN, 0};
            int r = ::poll(&p, 1, frame.empty() ? 20 : 30);
            if (r <= 0) {
                frame.clear(); // a torn frame: forget it
                continue;
            }
            std::uint8_t buffer[512];
            ssize_t n = ::read(Pty.Master, buffer, sizeof buffer);
            if (n <= 0)
                continue;
            frame.insert(frame.end(), buffer, buffer + n);
            std::size_t length = FrameLength(frame);
            if (length == 0 || frame.size() < length)
                continue;
            Bytes request(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(length));
            frame.erase(frame.begin(), frame.begin() + static_cast<std::ptrdiff_t>(length));
            {
                std::lock_guard lock(Mutex);
                Received.push_back(request);
            }
            TReply reply = Responder(request);
            if (reply.OnRequest)
                reply.OnRequest();
            if (reply.DelayMs)
                std::this_thread::sleep_for(std::chrono::milliseconds(reply.DelayMs));
            for (std::size_t i = 0; i < reply.Bursts.size(); ++i) {
                if (i > 0 && reply.BurstGapMs)
                    std::this_thread::sleep_for(std::chrono::milliseconds(reply.BurstGapMs));
                Pty.Send(reply.Bursts[i]);
            }
        }
    }

    const TPty& Pty;
    TResponder Responder;
    std::atomic<bool> Stop{false};
    mutable std::mutex Mutex;
    std::vector<Bytes> Received;
    std::thread Thread;
};

// A folder under the system's temporary folder, removed with its contents.
class TTempDir {
public:
    TTempDir() {
        std::string pattern =
            (std::filesystem::temp_directory_path() / "virs-link-XXXXXX").string();
        if (!mkdtemp(pattern.data()))
            throw std::runtime_error("no temporary folder");
        Path = pattern;
    }
    ~TTempDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    std::filesystem::path Path;
};

} // namespace virs::test
