// Loading base.dat at start: the whole file in one read, and the copy to
// base.bak written after the load (deferred) yet always before base.dat is
// replaced.

#include <gtest/gtest.h>

#include "model/AtomicFile.h"
#include "model/StationBase.h"
#include "tests/model/TestFolder.h"

namespace virs {
namespace {

using test::ReadBytes;
using test::TempFolder;
using test::WriteBytes;

// A base.dat of `devices` devices in one node; the bytes after the records'
// meaningful parts vary with `fill`, so two images differ throughout.
std::string Image(int devices, char fill) {
    std::string bytes;
    bytes += '\0';
    bytes += '\1';
    std::string node(sizeof(TNode), fill);
    node[0] = static_cast<char>(devices);
    bytes += node;
    for (int d = 0; d < devices; ++d)
        bytes += std::string(sizeof(TDevice), static_cast<char>(fill + d));
    return bytes;
}

TEST(StartupLoad, DeferredBackupIsWrittenLaterWithTheBytesAsLoaded) {
    TempFolder dir;
    const std::string original = Image(2, 'a');
    WriteBytes(dir / "base.dat", original);
    WriteBytes(dir / "base.bak", "the copy of an earlier start");
    StationBase base;
    TStationFileGuard guard;
    const TLoadReport load = LoadStationBase(base, guard, dir.Path, TBackupTiming::Deferred);
    ASSERT_EQ(load.Outcome, TLoadOutcome::Loaded);
    EXPECT_TRUE(load.Message.empty());
    EXPECT_EQ(base.DeviceCount(0), 2);
    EXPECT_TRUE(guard.BackupPending);
    EXPECT_EQ(ReadBytes(dir / "base.bak"), "the copy of an earlier start");

    // base.dat changes on disk meanwhile: the backup is still the start's.
    WriteBytes(dir / "base.dat", Image(1, 'z'));
    std::string message = "untouched";
    EXPECT_TRUE(WritePendingBackup(guard, dir.Path, &message));
    EXPECT_EQ(message, "untouched");
    EXPECT_EQ(ReadBytes(dir / "base.bak"), original);
    EXPECT_FALSE(guard.BackupPending);
    EXPECT_TRUE(guard.PendingBackup.empty());

    // Nothing pending any more: a second call writes nothing.
    WriteBytes(dir / "base.bak", "kept");
    EXPECT_TRUE(WritePendingBackup(guard, dir.Path, &message));
    EXPECT_EQ(ReadBytes(dir / "base.bak"), "kept");
}

TEST(StartupLoad, SaveWritesAPendingBackupBeforeReplacingBaseDat) {
    TempFolder dir;
    const std::string original = Image(1, 'b');
    WriteBytes(dir / "base.dat", original);
    StationBase base;
    TStationFileGuard guard;
    ASSERT_EQ(LoadStationBase(base, guard, dir.Path, TBackupTiming::Deferred).Outcome,
              TLoadOutcome::Loaded);
    EXPECT_FALSE(std::filesystem::exists(dir / "base.bak"));
    base.Devices[0][0].NetAddress = 42;
    const TSaveReport saved = SaveStationBase(base, guard, dir.Path);
    EXPECT_TRUE(saved.Ok) << saved.Message;
    EXPECT_TRUE(saved.Message.empty()) << saved.Message;
    EXPECT_EQ(ReadBytes(dir / "base.bak"), original);
    const std::string written = ReadBytes(dir / "base.dat");
    ASSERT_EQ(written.size(), original.size());
    EXPECT_EQ(static_cast<u8>(written[2 + sizeof(TNode) + 302]), 42); // NetAddress at 302
    // The next save leaves the start's backup as it is.
    base.Devices[0][0].NetAddress = 43;
    EXPECT_TRUE(SaveStationBase(base, guard, dir.Path).Ok);
    EXPECT_EQ(ReadBytes(dir / "base.bak"), original);
}

TEST(StartupLoad, DamagedFileLeavesNoPendingBackup) {
    TempFolder dir;
    std::string damaged = Image(2, 'c');
    damaged.resize(damaged.size() - 100);
    WriteBytes(dir / "base.dat", damaged);
    WriteBytes(dir / "base.bak", "good backup");
    StationBase base;
    TStationFileGuard guard;
    EXPECT_EQ(LoadStationBase(base, guard, dir.Path, TBackupTiming::Deferred).Outcome,
              TLoadOutcome::SizeMismatch);
    EXPECT_FALSE(guard.BackupPending);
    EXPECT_TRUE(WritePendingBackup(guard, dir.Path));
    EXPECT_TRUE(SaveStationBase(base, guard, dir.Path).Ok);
    EXPECT_EQ(ReadBytes(dir / "base.bak"), "good backup");
}

TEST(StartupLoad, FailedDeferredBackupIsReportedAndTheSaveStillHappens) {
    TempFolder dir;
    WriteBytes(dir / "base.dat", Image(0, 'd'));
    std::filesystem::create_directory(dir / "base.bak"); // cannot be replaced by a file
    StationBase base;
    TStationFileGuard guard;
    ASSERT_EQ(LoadStationBase(base, guard, dir.Path, TBackupTiming::Deferred).Outcome,
              TLoadOutcome::Loaded);
    std::string message;
    EXPECT_FALSE(WritePendingBackup(guard, dir.Path, &message));
    EXPECT_NE(message.find("Не удалось создать резервную копию base.bak"), std::string::npos)
        << message;
    EXPECT_FALSE(guard.BackupPending); // not retried at every save

    // Pending again (as at a new start) and failing at the save: said, and saved.
    ASSERT_EQ(LoadStationBase(base, guard, dir.Path, TBackupTiming::Deferred).Outcome,
              TLoadOutcome::Loaded);
    const TSaveReport saved = SaveStationBase(base, guard, dir.Path);
    EXPECT_TRUE(saved.Ok);
    EXPECT_NE(saved.Message.find("base.bak"), std::string::npos) << saved.Message;
    EXPECT_EQ(ReadBytes(dir / "base.dat"), Image(0, 'd'));
}

// Sizes around the old 64 KiB read pieces and the size limit.
TEST(StartupLoad, WholeFileReadsAreExactAtEverySize) {
    TempFolder dir;
    for (std::size_t size : {0u, 1u, 65535u, 65536u, 65537u, 3u * 65536u + 17u}) {
        std::string bytes(size, '\0');
        for (std::size_t i = 0; i < size; ++i)
            bytes[i] = static_cast<char>((i * 131 + size) & 0xFF);
        WriteBytes(dir / "f.bin", bytes);
        std::string read = "stale";
        std::string error;
        ASSERT_TRUE(ReadWholeFile(dir / "f.bin", read, &error)) << size << ": " << error;
        EXPECT_EQ(read, bytes) << size;
        // Exactly at the limit is fine; one byte over is refused.
        EXPECT_TRUE(ReadWholeFile(dir / "f.bin", read, &error, size)) << size;
        if (size > 0) {
            EXPECT_FALSE(ReadWholeFile(dir / "f.bin", read, &error, size - 1)) << size;
            EXPECT_TRUE(read.empty());
        }
    }
}

} // namespace
} // namespace virs
