#include <gtest/gtest.h>

#include <csignal>
#include <random>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "model/AtomicFile.h"
#include "model/StationBase.h"
#include "tests/model/TestFolder.h"

namespace virs {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

constexpr std::size_t NodeSize = sizeof(TNode);
constexpr std::size_t DeviceSize = sizeof(TDevice);

// A base.dat image of the given device counts whose every other byte is random,
// as a file written by years of edits looks: stale bytes behind short strings,
// padding that is not zero, a non-zero format byte.
std::string RandomImage(std::initializer_list<int> counts, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes;
    bytes += static_cast<char>(7); // format byte: read and ignored
    bytes += static_cast<char>(counts.size());
    int total = 0;
    for (int count : counts) {
        std::string node(NodeSize, '\0');
        for (char& c : node)
            c = static_cast<char>(rng());
        node[0] = static_cast<char>(count);
        bytes += node;
        total += count;
    }
    for (int d = 0; d < total; ++d) {
        std::string device(DeviceSize, '\0');
        for (char& c : device)
            c = static_cast<char>(rng());
        bytes += device;
    }
    return bytes;
}

TEST(StationFile, NoFileGivesEmptyBaseAndNoBackup) {
    TempFolder dir;
    StationBase base;
    TStationFileGuard guard;
    TLoadReport load = LoadStationBase(base, guard, dir.Path);
    EXPECT_EQ(load.Outcome, TLoadOutcome::NoFile);
    EXPECT_TRUE(load.Message.empty());
    EXPECT_EQ(base.NodeCount(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir / "base.bak"));
    TSaveReport save = SaveStationBase(base, guard, dir.Path);
    EXPECT_TRUE(save.Ok);
    EXPECT_EQ(ReadBytes(dir / "base.dat"), std::string("\0\0", 2));
}

TEST(StationFile, SizeFollowsTheCounts) {
    StationBase base;
    ASSERT_EQ(base.InsertNode(0), TModelStatus::Ok);
    EXPECT_EQ(StationBaseImage(base).size(), 2 + NodeSize);
    ASSERT_EQ(base.InsertDevice(0), TModelStatus::Ok);
    ASSERT_EQ(base.InsertDevice(1), TModelStatus::Ok);
    EXPECT_EQ(StationBaseImage(base).size(), 2 + 3096 + 2 * 7568u);
}

TEST(StationFile, RoundTripKeepsEveryByte) {
    TempFolder dir;
    const std::string original = RandomImage({2, 0, 3, 1}, 42);
    // The format byte is written back as 0; everything else must be identical.
    std::string expected = original;
    expected[0] = '\0';
    WriteBytes(dir / "base.dat", original);

    StationBase base;
    TStationFileGuard guard;
    TLoadReport load = LoadStationBase(base, guard, dir.Path);
    ASSERT_EQ(load.Outcome, TLoadOutcome::Loaded);
    EXPECT_TRUE(load.Message.empty());
    EXPECT_EQ(ReadBytes(dir / "base.bak"), original);
    ASSERT_EQ(base.NodeCount(), 4);
    EXPECT_EQ(base.DeviceCount(2), 3);
    ASSERT_TRUE(SaveStationBase(base, guard, dir.Path).Ok);
    EXPECT_EQ(ReadBytes(dir / "base.dat"), expected);
    EXPECT_FALSE(std::filesystem::exists(dir / "base.dat.tmp"));
    for (const auto& e : std::filesystem::directory_iterator(dir.Path))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST(StationFile, EditsKeepStaleBytesOfOtherFields) {
    TempFolder dir;
    const std::string original = RandomImage({1}, 7);
    WriteBytes(dir / "base.dat", original);
    StationBase base;
    TStationFileGuard guard;
    LoadStationBase(base, guard, dir.Path);
    base.Devices[0][0].NameSlot.Value.Set("Котельная №2");
    ASSERT_TRUE(SaveStationBase(base, guard, dir.Path).Ok);
    const std::string saved = ReadBytes(dir / "base.dat");
    ASSERT_EQ(saved.size(), original.size());
    const std::size_t nameAt = 2 + NodeSize + 42; // the device's name value
    EXPECT_EQ(static_cast<unsigned char>(saved[nameAt]), 12);
    EXPECT_EQ(saved.substr(nameAt + 1, 12), Utf8ToCp1251("Котельная №2"));
    // Everything after the new value, inside and outside the field, is untouched.
    EXPECT_EQ(saved.substr(nameAt + 13), original.substr(nameAt + 13));
    EXPECT_EQ(saved.substr(1, nameAt - 1), original.substr(1, nameAt - 1));
}

struct DamagedCase {
    const char* Name;
    std::ptrdiff_t SizeChange; // bytes cut (negative) or added to a good file
};

class DamagedFiles : public ::testing::TestWithParam<DamagedCase> {};

TEST_P(DamagedFiles, AreReadAsFarAsTheyGoAndKeptAside) {
    TempFolder dir;
    std::string bytes = RandomImage({1, 2}, 3);
    const std::ptrdiff_t change = GetParam().SizeChange;
    if (change < 0)
        bytes.resize(bytes.size() - static_cast<std::size_t>(-change));
    else
        bytes += std::string(static_cast<std::size_t>(change), 'x');
    WriteBytes(dir / "base.dat", bytes);

    StationBase base;
    TStationFileGuard guard;
    TLoadReport load = LoadStationBase(base, guard, dir.Path);
    EXPECT_EQ(load.Outcome, TLoadOutcome::SizeMismatch);
    EXPECT_FALSE(load.Message.empty());
    ASSERT_EQ(base.NodeCount(), 2);
    EXPECT_EQ(base.DeviceCount(1), 2); // arrays sized by the counts, whatever the file holds

    TSaveReport save = SaveStationBase(base, guard, dir.Path);
    ASSERT_TRUE(save.Ok) << save.Message;
    EXPECT_FALSE(save.Message.empty());
    EXPECT_EQ(ReadBytes(dir / "base.damaged.dat"), bytes);
    EXPECT_EQ(ReadBytes(dir / "base.dat").size(), 2 + NodeSize * 2 + DeviceSize * 3);
    // A second save in the same run does not make another copy.
    ASSERT_TRUE(SaveStationBase(base, guard, dir.Path).Ok);
    EXPECT_FALSE(std::filesystem::exists(dir / "base.damaged.1.dat"));
}

INSTANTIATE_TEST_SUITE_P(StationFile, DamagedFiles,
                         ::testing::Values(DamagedCase{"CutInLastDevice", -100},
                                           DamagedCase{"CutInFirstNode", -(7568 * 2 + 3000)},
                                           DamagedCase{"CountsOnly", -(3096 * 2 + 7568 * 2)},
                                           DamagedCase{"TrailingBytes", 10}),
                         [](const auto& p) { return std::string(p.param.Name); });

TEST(StationFile, TruncatedRecordsAreZeroFilledBeyondTheEnd) {
    std::string bytes = RandomImage({1}, 9);
    bytes.resize(2 + NodeSize + 10);
    StationBase base;
    EXPECT_EQ(ParseStationBaseImage(bytes, base), TLoadOutcome::SizeMismatch);
    ASSERT_EQ(base.DeviceCount(0), 1);
    EXPECT_EQ(std::memcmp(&base.Devices[0][0], bytes.data() + 2 + NodeSize, 10), 0);
    const auto* raw = reinterpret_cast<const unsigned char*>(&base.Devices[0][0]);
    for (std::size_t i = 10; i < DeviceSize; ++i)
        ASSERT_EQ(raw[i], 0) << i;
}

TEST(StationFile, UnreadableFileIsNeverOverwritten) {
    TempFolder dir;
    // A folder where base.dat should be: exists, but cannot be read as a file.
    std::filesystem::create_directory(dir / "base.dat");
    StationBase base;
    TStationFileGuard guard;
    TLoadReport load = LoadStationBase(base, guard, dir.Path);
    EXPECT_EQ(load.Outcome, TLoadOutcome::Unreadable);
    EXPECT_NE(load.Message.find("base.new.dat"), std::string::npos);
    EXPECT_EQ(base.NodeCount(), 0);
    ASSERT_EQ(base.InsertNode(0), TModelStatus::Ok);
    TSaveReport save = SaveStationBase(base, guard, dir.Path);
    EXPECT_TRUE(save.Ok);
    EXPECT_EQ(save.WrittenTo, dir / "base.new.dat");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "base.dat"));
    EXPECT_EQ(ReadBytes(dir / "base.new.dat").size(), 2 + NodeSize);
}

// FailedWriteIsReportedAndLeavesNoTemporary is in tests/link/SyscallFaultTest.cpp:
// the failure is injected into the system call there.

#ifndef _WIN32
TEST(StationFile, WriteFailingHalfwayLeavesTheOldFileWhole) {
    TempFolder dir;
    const std::string old = RandomImage({1, 1}, 11);
    WriteBytes(dir / "base.dat", old);
    // The child may write at most 20 000 bytes per file: the save of a bigger
    // base fails in the middle of its write, as on a full disk.
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit{20000, 20000};
        setrlimit(RLIMIT_FSIZE, &limit);
        StationBase base;
        TStationFileGuard guard;
        LoadStationBase(base, guard, dir.Path);
        base.SelNode = 0;
        for (int d = 0; d < 5; ++d)
            base.InsertDevice(0);
        TSaveReport save = SaveStationBase(base, guard, dir.Path);
        _exit(save.Ok ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3); // the failure was reported
    EXPECT_EQ(ReadBytes(dir / "base.dat"), old);
    EXPECT_FALSE(std::filesystem::exists(dir / "base.dat.tmp"));
    for (const auto& e : std::filesystem::directory_iterator(dir.Path))
        EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}
#endif

} // namespace
} // namespace virs
