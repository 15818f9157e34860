#pragma once
// The system calls of the serial port and of the file saves, all named through
// VIRS_SYSCALL(call). In the program it is the system's own function. The fault
// tests compile the same sources with VIRS_SYSCALL_FAKES defined: the calls then
// go to functions of the tests (namespace virs::fakes), which pass them on to
// the system or make them fail on request (a read interrupted by a signal, a
// full disk, a failing flush or rename), so the handling of every failure can
// be run without a broken disk or a pulled cable.
#ifndef _WIN32

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <termios.h>
#include <unistd.h>

#ifdef VIRS_SYSCALL_FAKES

// The fakes carry the names of the calls they stand in for.
// NOLINTBEGIN(readability-identifier-naming)
namespace virs::fakes {
int open(const char* path, int flags, mode_t mode = 0);
ssize_t read(int fd, void* buffer, size_t size);
ssize_t write(int fd, const void* data, size_t size);
int fsync(int fd);
int close(int fd);
int rename(const char* from, const char* to);
int unlink(const char* path);
int fstat(int fd, struct stat* st);
int ppoll(pollfd* fds, nfds_t count, const timespec* limit, const sigset_t* mask);
int tcdrain(int fd);
} // namespace virs::fakes
// NOLINTEND(readability-identifier-naming)

#define VIRS_SYSCALL(call) ::virs::fakes::call

#else

#define VIRS_SYSCALL(call) ::call

#endif

#endif
