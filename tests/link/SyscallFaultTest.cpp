// Failures of the system calls under the serial port and the file saves. This
// program compiles the port and the save with VIRS_SYSCALL_FAKES, so their
// calls come here first: each passes on to the system unless the test has
// armed a failure for it.

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <fstream>
#include <mutex>

#include "link/SerialPort.h"
#include "model/AtomicFile.h"
#include "model/StationBase.h"
#include "model/SystemCalls.h"
#include "tests/link/PtyPair.h"

namespace virs::fakes {
namespace {

enum TCall { Open, Read, Write, Fsync, Close, Rename, Unlink, Fstat, Ppoll, Tcdrain, CallKinds };

struct TFault {
    int Skip = 0;  // calls that pass before the first failure
    int Times = 0; // failures still to give
    int Error = 0;
    int Fd = -1; // only calls on this descriptor (-1: any)
};

std::mutex FaultMutex;
std::array<TFault, CallKinds> Faults;
std::array<int, CallKinds> Failed;

// True (with errno set) when this call is to fail.
bool Fails(TCall call, int fd = -1) {
    std::lock_guard lock(FaultMutex);
    TFault& f = Faults[call];
    if (f.Times == 0 || (f.Fd >= 0 && fd != f.Fd))
        return false;
    if (f.Skip > 0) {
        --f.Skip;
        return false;
    }
    --f.Times;
    ++Failed[call];
    errno = f.Error;
    return true;
}

} // namespace

int open(const char* path, int flags, mode_t mode) {
    return Fails(Open) ? -1 : ::open(path, flags, mode);
}
ssize_t read(int fd, void* buffer, size_t size) {
    return Fails(Read, fd) ? -1 : ::read(fd, buffer, size);
}
ssize_t write(int fd, const void* data, size_t size) {
    return Fails(Write, fd) ? -1 : ::write(fd, data, size);
}
int fsync(int fd) {
    return Fails(Fsync, fd) ? -1 : ::fsync(fd);
}
int close(int fd) {
    // A failing close still releases the descriptor, as on Linux.
    if (Fails(Close, fd)) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    return ::close(fd);
}
int rename(const char* from, const char* to) {
    return Fails(Rename) ? -1 : ::rename(from, to);
}
int unlink(const char* path) {
    return Fails(Unlink) ? -1 : ::unlink(path);
}
int fstat(int fd, struct stat* st) {
    return Fails(Fstat, fd) ? -1 : ::fstat(fd, st);
}
int ppoll(pollfd* fds, nfds_t count, const timespec* limit, const sigset_t* mask) {
    return Fails(Ppoll) ? -1 : ::ppoll(fds, count, limit, mask);
}
int tcdrain(int fd) {
    return Fails(Tcdrain, fd) ? -1 : ::tcdrain(fd);
}

} // namespace virs::fakes

namespace virs {
namespace {

using fakes::TCall;
using test::Bytes;

void Arm(TCall call, int error, int times = 1, int skip = 0, int fd = -1) {
    std::lock_guard lock(fakes::FaultMutex);
    fakes::Faults[call] = {skip, times, error, fd};
}

int FailuresGiven(TCall call) {
    std::lock_guard lock(fakes::FaultMutex);
    return fakes::Failed[call];
}

class SyscallFaults : public ::testing::Test {
protected:
    void SetUp() override {
        std::lock_guard lock(fakes::FaultMutex);
        fakes::Faults = {};
        fakes::Failed = {};
    }
    void TearDown() override { SetUp(); }
};

// ---- the serial port: interrupted calls are repeated, nothing is lost or doubled ----

struct TPortCase {
    const char* Name;
    TCall Call;
    int Times;
};

class PortInterrupted : public SyscallFaults, public ::testing::WithParamInterface<TPortCase> {};

TEST_P(PortInterrupted, CallIsRepeatedAndTheBytesGoThroughOnce) {
    test::TPty pty;
    TPortOpenResult opened = OpenSerialPort(pty.SlavePath);
    ASSERT_TRUE(opened.Port) << opened.Error;
    TSerialPort& port = *opened.Port;
    ASSERT_TRUE(port.SetTimeouts({50, 0, 2000}));
    Arm(GetParam().Call, EINTR, GetParam().Times);

    const Bytes request = {1, 3, 0, 0, 0, 2, 0xC4, 0x0B};
    TPortIo written = port.Write(request.data(), request.size());
    EXPECT_TRUE(written.Ok);
    EXPECT_EQ(written.Count, request.size());
    EXPECT_EQ(pty.Receive(100), request);

    const Bytes answer = {1, 3, 4, 0, 1, 0, 2, 0x2A, 0x32};
    pty.Send(answer);
    std::uint8_t buffer[64] = {};
    TPortIo got = port.Read(buffer, sizeof buffer);
    EXPECT_TRUE(got.Ok);
    EXPECT_EQ(Bytes(buffer, buffer + got.Count), answer);
    EXPECT_EQ(FailuresGiven(GetParam().Call), GetParam().Times);
}

INSTANTIATE_TEST_SUITE_P(Port, PortInterrupted,
                         ::testing::Values(TPortCase{"Read", TCall::Read, 3},
                                           TPortCase{"Write", TCall::Write, 2},
                                           TPortCase{"Poll", TCall::Ppoll, 2},
                                           TPortCase{"Drain", TCall::Tcdrain, 2}),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST_F(SyscallFaults, PortReadOfAVanishedDeviceFailsAtOnce) {
    test::TPty pty;
    TPortOpenResult opened = OpenSerialPort(pty.SlavePath);
    ASSERT_TRUE(opened.Port) << opened.Error;
    ASSERT_TRUE(opened.Port->SetTimeouts({50, 0, 5000}));
    Arm(TCall::Read, EIO);
    std::uint8_t buffer[16];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(opened.Port->Read(buffer, sizeof buffer).Ok);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}

// ---- saves: a failure anywhere is reported, the old file stays whole, no temporary stays ----

struct TSaveCase {
    const char* Name;
    TCall Call;
    int Error;
    int Skip;
};

class SaveFails : public SyscallFaults, public ::testing::WithParamInterface<TSaveCase> {};

std::vector<std::filesystem::path> FolderEntries(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> names;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_P(SaveFails, OldBaseStaysWholeAndTheFailureIsReported) {
    test::TTempDir dir;
    StationBase base;
    TStationFileGuard guard;
    ASSERT_EQ(base.InsertNode(0), TModelStatus::Ok);
    ASSERT_TRUE(SaveStationBase(base, guard, dir.Path).Ok);
    const std::string old = StationBaseImage(base);
    for (int d = 0; d < 3; ++d)
        ASSERT_EQ(base.InsertDevice(d), TModelStatus::Ok);

    Arm(GetParam().Call, GetParam().Error, 1, GetParam().Skip);
    TSaveReport save = SaveStationBase(base, guard, dir.Path);
    EXPECT_EQ(FailuresGiven(GetParam().Call), 1);
    EXPECT_FALSE(save.Ok);
    EXPECT_NE(save.Message.find(std::system_category().message(GetParam().Error)),
              std::string::npos)
        << save.Message;
    EXPECT_NE(save.Message.find("прежний файл не тронут"), std::string::npos);
    std::string now;
    ASSERT_TRUE(ReadWholeFile(dir.Path / "base.dat", now));
    EXPECT_EQ(now, old);
    EXPECT_EQ(FolderEntries(dir.Path), std::vector<std::filesystem::path>{"base.dat"});
}

INSTANTIATE_TEST_SUITE_P(
    Save, SaveFails,
    ::testing::Values(TSaveCase{"DiskFullOnFirstWrite", TCall::Write, ENOSPC, 0},
                      TSaveCase{"QuotaOnWrite", TCall::Write, EDQUOT, 0},
                      TSaveCase{"FlushFails", TCall::Fsync, EIO, 0},
                      TSaveCase{"CloseFails", TCall::Close, EIO, 0},
                      TSaveCase{"RenameFails", TCall::Rename, EXDEV, 0},
                      TSaveCase{"TemporaryCannotBeCreated", TCall::Open, EACCES, 0}),
    [](const auto& p) { return std::string(p.param.Name); });

// The temporary file cannot be made (moved here from the model tests: its name
// is unique now, so no folder planted in its way can make the save fail).
TEST_F(SyscallFaults, FailedWriteIsReportedAndLeavesNoTemporary) {
    test::TTempDir dir;
    { std::ofstream(dir.Path / "base.dat", std::ios::binary).write("\0\0", 2); }
    Arm(TCall::Open, EACCES, 1, 2); // the load and its backup pass, the save fails
    StationBase base;
    TStationFileGuard guard;
    LoadStationBase(base, guard, dir.Path);
    ASSERT_EQ(base.InsertNode(0), TModelStatus::Ok);
    TSaveReport save = SaveStationBase(base, guard, dir.Path);
    EXPECT_FALSE(save.Ok);
    EXPECT_NE(save.Message.find("base.dat"), std::string::npos);
    std::string now;
    ASSERT_TRUE(ReadWholeFile(dir.Path / "base.dat", now));
    EXPECT_EQ(now, std::string("\0\0", 2));
}

TEST_F(SyscallFaults, InterruptedWritesOfASaveAreRepeated) {
    test::TTempDir dir;
    const std::filesystem::path target = dir.Path / "f.bin";
    Arm(TCall::Write, EINTR, 3);
    ASSERT_TRUE(WriteFileAtomically(target, "payload"));
    EXPECT_EQ(FailuresGiven(TCall::Write), 3);
    std::string now;
    ASSERT_TRUE(ReadWholeFile(target, now));
    EXPECT_EQ(now, "payload");
}

TEST_F(SyscallFaults, FailedReadOfBaseDatIsUnreadableAndNeverOverwritten) {
    test::TTempDir dir;
    StationBase base;
    TStationFileGuard guard;
    ASSERT_EQ(base.InsertNode(0), TModelStatus::Ok);
    ASSERT_TRUE(SaveStationBase(base, guard, dir.Path).Ok);
    const std::string old = StationBaseImage(base);
    Arm(TCall::Read, EIO);
    TLoadReport load = LoadStationBase(base, guard, dir.Path);
    EXPECT_EQ(load.Outcome, TLoadOutcome::Unreadable);
    EXPECT_FALSE(std::filesystem::exists(dir.Path / "base.bak"));
    TSaveReport save = SaveStationBase(base, guard, dir.Path);
    EXPECT_EQ(save.WrittenTo, dir.Path / "base.new.dat");
    std::string now;
    ASSERT_TRUE(ReadWholeFile(dir.Path / "base.dat", now));
    EXPECT_EQ(now, old);
}

} // namespace
} // namespace virs
