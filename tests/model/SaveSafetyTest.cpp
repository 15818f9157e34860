// What the saves and loads do with hostile or unlucky files: two writers at
// once, links planted beside or at the target, devices and FIFOs, huge files,
// a damaged base.dat next to a good backup, leftovers of killed saves.

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "model/AtomicFile.h"
#include "model/StationBase.h"
#include "tests/model/TestFolder.h"

namespace virs {
namespace {

namespace fs = std::filesystem;
using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

std::string StationImage(int nodes, int devicesEach) {
    StationBase base;
    for (int k = 0; k < nodes; ++k) {
        EXPECT_EQ(base.InsertNode(k), TModelStatus::Ok);
        base.SelNode = static_cast<u8>(k);
        for (int d = 0; d < devicesEach; ++d)
            EXPECT_EQ(base.InsertDevice(d), TModelStatus::Ok);
    }
    return StationBaseImage(base);
}

TEST(SaveSafety, TwoWritersAtOnceLeaveOneWholeFile) {
    TempFolder dir;
    const fs::path target = dir / "base.dat";
    const std::string a(200000, 'a'), b(300000, 'b');
    WriteBytes(target, a);
    std::atomic<bool> stop{false};
    std::atomic<int> torn{0}, failed{0};
    auto writer = [&](const std::string& bytes) {
        for (int i = 0; i < 60; ++i)
            if (!WriteFileAtomically(target, bytes))
                ++failed;
    };
    std::thread reader([&] {
        while (!stop) {
            const std::string now = ReadBytes(target);
            if (now != a && now != b)
                ++torn;
        }
    });
    std::thread w1(writer, a), w2(writer, b);
    w1.join();
    w2.join();
    stop = true;
    reader.join();
    EXPECT_EQ(torn, 0);
    EXPECT_EQ(failed, 0);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.Path))
        ++entries;
    EXPECT_EQ(entries, 1); // no temporary left behind
}

#ifndef _WIN32
TEST(SaveSafety, LinkPlantedAtTheOldTemporaryNameIsNotFollowed) {
    TempFolder dir;
    WriteBytes(dir / "victim", "keep me");
    fs::create_symlink(dir / "victim", dir / "base.dat.tmp");
    ASSERT_TRUE(WriteFileAtomically(dir / "base.dat", "new"));
    EXPECT_EQ(ReadBytes(dir / "victim"), "keep me");
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(dir / "base.dat")));
    EXPECT_EQ(ReadBytes(dir / "base.dat"), "new");
}

TEST(SaveSafety, DestinationLinkIsWrittenThroughToItsTarget) {
    TempFolder dir;
    fs::create_directory(dir / "elsewhere");
    WriteBytes(dir / "elsewhere" / "real.dat", "old");
    fs::create_symlink("elsewhere/real.dat", dir / "base.dat"); // relative, as users make them
    ASSERT_TRUE(WriteFileAtomically(dir / "base.dat", "new"));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "base.dat")));
    EXPECT_EQ(ReadBytes(dir / "elsewhere" / "real.dat"), "new");
    // A link to a file that does not exist yet makes it.
    fs::create_symlink(dir / "elsewhere" / "new.dat", dir / "other.dat");
    ASSERT_TRUE(WriteFileAtomically(dir / "other.dat", "made"));
    EXPECT_EQ(ReadBytes(dir / "elsewhere" / "new.dat"), "made");
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "other.dat")));
}

struct TOddTarget {
    const char* Name;
    std::function<fs::path(const TempFolder&)> Make;
};

class OddTargets : public ::testing::TestWithParam<TOddTarget> {};

TEST_P(OddTargets, AreRefusedForWritingAndReading) {
    TempFolder dir;
    const fs::path target = GetParam().Make(dir);
    std::string error;
    EXPECT_FALSE(WriteFileAtomically(target, "x", &error));
    EXPECT_EQ(error, "не обычный файл");
    std::string bytes;
    error.clear();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadWholeFile(target, bytes, &error, 1 << 20)); // never waits for a writer
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    SaveSafety, OddTargets,
    ::testing::Values(TOddTarget{"Fifo",
                                 [](const TempFolder& d) {
                                     EXPECT_EQ(mkfifo((d / "fifo").c_str(), 0600), 0);
                                     return d / "fifo";
                                 }},
                      TOddTarget{"LinkToFifo",
                                 [](const TempFolder& d) {
                                     EXPECT_EQ(mkfifo((d / "fifo").c_str(), 0600), 0);
                                     fs::create_symlink(d / "fifo", d / "base.dat");
                                     return d / "base.dat";
                                 }},
                      TOddTarget{"Device", [](const TempFolder&) { return fs::path("/dev/null"); }},
                      TOddTarget{"Folder",
                                 [](const TempFolder& d) {
                                     fs::create_directory(d / "dir");
                                     return d / "dir";
                                 }}),
    [](const auto& p) { return std::string(p.param.Name); });

TEST(SaveSafety, EndlessDeviceIsRefusedBeforeReading) {
    std::string bytes, error;
    EXPECT_FALSE(ReadWholeFile("/dev/zero", bytes, &error, MaxStationImageSize));
    EXPECT_TRUE(bytes.empty());
}

TEST(SaveSafety, StaleTemporariesOfKilledSavesAreRemovedOthersKept) {
    TempFolder dir;
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        _exit(0);
    ASSERT_EQ(waitpid(child, nullptr, 0), child); // a process that is surely gone
    const std::string dead = "base.dat.tmp-" + std::to_string(child) + "-0badf00d";
    const std::string live = "base.dat.tmp-" + std::to_string(getppid()) + "-12345678";
    const std::string deadLink = "base.dat.tmp-" + std::to_string(child) + "-abcdef01";
    const std::string foreign = "other.dat.tmp-" + std::to_string(child) + "-0badf00d";
    WriteBytes(dir / dead, std::string(5000, 'x'));
    WriteBytes(dir / live, "a save in progress");
    WriteBytes(dir / "victim", "keep");
    fs::create_symlink(dir / "victim", dir / deadLink);
    WriteBytes(dir / foreign, "not this target's");
    ASSERT_TRUE(WriteFileAtomically(dir / "base.dat", "new"));
    EXPECT_FALSE(fs::exists(dir / dead));
    EXPECT_TRUE(fs::exists(dir / live));
    EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / deadLink)));
    EXPECT_EQ(ReadBytes(dir / "victim"), "keep");
    EXPECT_TRUE(fs::exists(dir / foreign));
}

TEST(SaveSafety, HugeSparseBaseIsRefusedWithoutBackup) {
    TempFolder dir;
    { std::ofstream out(dir / "base.dat", std::ios::binary); }
    fs::resize_file(dir / "base.dat", std::uintmax_t(1) << 30);
    WriteBytes(dir / "base.bak", "good backup");
    StationBase base;
    TStationFileGuard guard;
    TLoadReport load = LoadStationBase(base, guard, dir.Path);
    EXPECT_EQ(load.Outcome, TLoadOutcome::Unreadable);
    EXPECT_NE(load.Message.find("слишком велик"), std::string::npos) << load.Message;
    EXPECT_EQ(ReadBytes(dir / "base.bak"), "good backup");
    EXPECT_EQ(fs::file_size(dir / "base.dat"), std::uintmax_t(1) << 30); // never overwritten
}
#endif

// The largest station is one node with 255 devices; one byte more is no station.
TEST(SaveSafety, LargestStationLoadsAndOneByteMoreIsRefused) {
    TempFolder dir;
    const std::string largest = StationImage(1, 255);
    ASSERT_EQ(largest.size(), 2u + 3096u + 255u * 7568u);
    WriteBytes(dir / "base.dat", largest);
    StationBase base;
    TStationFileGuard guard;
    EXPECT_EQ(LoadStationBase(base, guard, dir.Path).Outcome, TLoadOutcome::Loaded);
    EXPECT_EQ(base.DeviceCount(0), 255);
    WriteBytes(dir / "base.dat", largest + "x");
    EXPECT_EQ(LoadStationBase(base, guard, dir.Path).Outcome, TLoadOutcome::Unreadable);
}

struct TDamage {
    const char* Name;
    std::size_t Keep; // bytes of the good image kept (npos: the image plus a byte)
};

class DamagedBaseAndBackup : public ::testing::TestWithParam<TDamage> {};

TEST_P(DamagedBaseAndBackup, OnlyACleanLoadReplacesTheBackup) {
    TempFolder dir;
    const std::string good = StationImage(2, 2);
    WriteBytes(dir / "base.bak", good);
    std::string damaged = good;
    if (GetParam().Keep == std::string::npos)
        damaged += 'x';
    else
        damaged.resize(GetParam().Keep);
    WriteBytes(dir / "base.dat", damaged);
    StationBase base;
    TStationFileGuard guard;
    TLoadReport load = LoadStationBase(base, guard, dir.Path);
    EXPECT_EQ(load.Outcome, TLoadOutcome::SizeMismatch);
    EXPECT_NE(load.Message.find("base.bak не обновлена"), std::string::npos) << load.Message;
    EXPECT_EQ(ReadBytes(dir / "base.bak"), good);
    // A clean file does replace it.
    WriteBytes(dir / "base.dat", StationImage(1, 0));
    EXPECT_EQ(LoadStationBase(base, guard, dir.Path).Outcome, TLoadOutcome::Loaded);
    EXPECT_EQ(ReadBytes(dir / "base.bak"), StationImage(1, 0));
}

INSTANTIATE_TEST_SUITE_P(SaveSafety, DamagedBaseAndBackup,
                         ::testing::Values(TDamage{"Empty", 0}, TDamage{"CountsOnly", 2},
                                           TDamage{"CutInADevice", 2 + 2 * 3096 + 100},
                                           TDamage{"TrailingByte", std::string::npos}),
                         [](const auto& p) { return std::string(p.param.Name); });

} // namespace
} // namespace virs
