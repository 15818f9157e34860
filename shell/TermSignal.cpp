#include "shell/TermSignal.h"

#include <csignal>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace virs {

#ifndef _WIN32
namespace {

// The one piece of process-wide state a signal handler can reach: the write end
// of the pipe. Set before the handlers are installed, cleared after they are gone.
volatile sig_atomic_t SignalWriteEnd = -1;
int SignalPipe[2] = {-1, -1};

void OnSignal(int number) {
    const int fd = SignalWriteEnd;
    if (fd < 0)
        return;
    const unsigned char byte = static_cast<unsigned char>(number);
    [[maybe_unused]] const ssize_t written = ::write(fd, &byte, 1);
}

constexpr int WatchedSignals[] = {SIGTERM, SIGHUP, SIGINT};

} // namespace
#endif

TTerminationWatch::TTerminationWatch(QObject* parent) : QObject(parent) {
#ifndef _WIN32
    if (SignalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, SignalPipe) != 0)
        return;
    ::fcntl(SignalPipe[1], F_SETFL, O_NONBLOCK);
    SignalWriteEnd = SignalPipe[1];
    Notifier = new QSocketNotifier(SignalPipe[0], QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, [this] {
        unsigned char byte = 0;
        if (::read(SignalPipe[0], &byte, 1) == 1)
            emit TerminationRequested(byte);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int number : WatchedSignals)
        ::sigaction(number, &action, nullptr);
#endif
}

TTerminationWatch::~TTerminationWatch() {
#ifndef _WIN32
    if (!Notifier)
        return;
    for (int number : WatchedSignals)
        ::signal(number, SIG_DFL);
    SignalWriteEnd = -1;
    ::close(SignalPipe[0]);
    ::close(SignalPipe[1]);
    SignalPipe[0] = SignalPipe[1] = -1;
#endif
}

} // namespace virs
