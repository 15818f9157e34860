// base.dat: a format byte, the node count, the node records and then the device
// records of every node in tree order. base.bak is the copy taken at start of
// a base.dat that loaded cleanly; a damaged one never replaces it.

#include <algorithm>
#include <cstring>
#include <system_error>

#include "model/AtomicFile.h"
#include "model/StationBase.h"

namespace virs {
namespace {

constexpr const char* BaseFileName = "base.dat";
constexpr const char* BackupFileName = "base.bak";
constexpr const char* UnsavedFileName = "base.new.dat";

// Copies `bytes` into a zero-filled record, as far as they go.
template <typename T> void ReadRecord(std::string_view bytes, std::size_t& offset, T& record) {
    std::memset(&record, 0, sizeof record);
    if (offset < bytes.size()) {
        std::size_t n = std::min(sizeof record, bytes.size() - offset);
        std::memcpy(&record, bytes.data() + offset, n);
    }
    offset += sizeof record;
}

// A free name for keeping a damaged base.dat: base.damaged.dat, base.damaged.1.dat, ...
std::filesystem::path FreeDamagedName(const std::filesystem::path& dir) {
    std::error_code ec;
    std::filesystem::path p = dir / "base.damaged.dat";
    for (int i = 1; std::filesystem::exists(p, ec); ++i)
        p = dir / ("base.damaged." + std::to_string(i) + ".dat");
    return p;
}

std::string BackupFailureText(const std::string& error) {
    return "Не удалось создать резервную копию base.bak: " + error + ".";
}

} // namespace

std::string StationBaseImage(const StationBase& base) {
    std::string bytes;
    bytes.reserve(2 + sizeof(TNode) * base.Nodes.size() +
                  sizeof(TDevice) * static_cast<std::size_t>(base.TotalDevices()));
    bytes += '\0'; // the format byte is always written as 0
    bytes += static_cast<char>(static_cast<u8>(base.NodeCount()));
    for (const TNode& node : base.Nodes)
        bytes.append(reinterpret_cast<const char*>(&node), sizeof node);
    for (const auto& devices : base.Devices)
        for (const TDevice& device : devices)
            bytes.append(reinterpret_cast<const char*>(&device), sizeof device);
    return bytes;
}

TLoadOutcome ParseStationBaseImage(std::string_view bytes, StationBase& base) {
    base.Nodes.clear();
    base.Devices.clear();
    base.FormatByte = bytes.size() > 0 ? static_cast<u8>(bytes[0]) : 0;
    const int nodeCount = bytes.size() > 1 ? static_cast<u8>(bytes[1]) : 0;
    std::size_t offset = 2;
    base.Nodes.resize(nodeCount);
    for (TNode& node : base.Nodes)
        ReadRecord(bytes, offset, node);
    base.Devices.resize(nodeCount);
    for (int k = 0; k < nodeCount; ++k) {
        base.Devices[k].resize(base.Nodes[k].DeviceCount);
        for (TDevice& device : base.Devices[k])
            ReadRecord(bytes, offset, device);
    }
    base.SelNode = 0;
    base.SelDevice = NoDevice;
    return bytes.size() == offset ? TLoadOutcome::Loaded : TLoadOutcome::SizeMismatch;
}

TLoadReport LoadStationBase(StationBase& base, TStationFileGuard& guard,
                            const std::filesystem::path& dir, TBackupTiming backup) {
    namespace fs = std::filesystem;
    TLoadReport report;
    base = StationBase{};
    guard = TStationFileGuard{};
    const fs::path file = dir / BaseFileName;
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec))) {
        report.Outcome = TLoadOutcome::NoFile;
        guard.LoadedAs = report.Outcome;
        return report;
    }

    std::string bytes;
    std::string error;
    if (!ReadWholeFile(file, bytes, &error, MaxStationImageSize)) {
        report.Outcome = TLoadOutcome::Unreadable;
        guard.LoadedAs = report.Outcome;
        report.Message = "Не удалось прочитать файл базы " + file.string() + ": " + error +
                         ".\rБаза станции пуста. Файл base.dat при выходе не будет "
                         "перезаписан: изменения этого сеанса будут сохранены в файл " +
                         UnsavedFileName + ".";
        return report;
    }

    report.Outcome = ParseStationBaseImage(bytes, base);
    guard.LoadedAs = report.Outcome;
    // The backup holds the database as it was when the program started, if
    // that was a whole one: a damaged file must not destroy the good copy.
    if (report.Outcome == TLoadOutcome::Loaded) {
        if (backup == TBackupTiming::Deferred) {
            guard.PendingBackup = std::move(bytes);
            guard.BackupPending = true;
        } else if (!WriteFileAtomically(dir / BackupFileName, bytes, &error)) {
            report.BackupFailed = true;
        }
    }
    if (report.Outcome == TLoadOutcome::SizeMismatch) {
        report.Message = "Файл базы " + file.string() + " повреждён: его размер (" +
                         std::to_string(bytes.size()) +
                         " байт) не соответствует числу узлов и приборов в нём.\r"
                         "Прочитано то, что удалось. Исходный файл будет сохранён "
                         "под другим именем перед записью базы. Резервная копия "
                         "base.bak не обновлена.";
    }
    if (report.BackupFailed) {
        if (!report.Message.empty())
            report.Message += "\r";
        report.Message += BackupFailureText(error);
    }
    return report;
}

bool WritePendingBackup(TStationFileGuard& guard, const std::filesystem::path& dir,
                        std::string* message) {
    if (!guard.BackupPending)
        return true;
    std::string error;
    const bool written = WriteFileAtomically(dir / BackupFileName, guard.PendingBackup, &error);
    guard.BackupPending = false;
    std::string().swap(guard.PendingBackup);
    if (!written && message)
        *message = BackupFailureText(error);
    return written;
}

TSaveReport SaveStationBase(const StationBase& base, TStationFileGuard& guard,
                            const std::filesystem::path& dir) {
    namespace fs = std::filesystem;
    TSaveReport report;
    std::string error;
    const std::string image = StationBaseImage(base);

    if (guard.LoadedAs == TLoadOutcome::Unreadable) {
        // The file on disk was never read: writing over it could lose a whole station.
        report.WrittenTo = dir / UnsavedFileName;
        if (!WriteFileAtomically(report.WrittenTo, image, &error)) {
            report.Ok = false;
            report.Message = "Не удалось записать базу станции в файл " +
                             report.WrittenTo.string() + ": " + error + ".";
            return report;
        }
        report.Message = "Файл base.dat не был прочитан при запуске и не перезаписан.\r"
                         "База станции сохранена в файл " +
                         report.WrittenTo.string() + ".";
        return report;
    }

    // base.bak holds the base as it was at start before base.dat is replaced.
    std::string backupMessage;
    if (!WritePendingBackup(guard, dir, &backupMessage))
        report.Message = backupMessage;

    const fs::path file = dir / BaseFileName;
    if (guard.LoadedAs == TLoadOutcome::SizeMismatch && !guard.Preserved) {
        std::string original;
        const fs::path kept = FreeDamagedName(dir);
        if (!ReadWholeFile(file, original, &error, MaxStationImageSize) ||
            !WriteFileAtomically(kept, original, &error)) {
            report.Ok = false;
            report.Message = "Повреждённый файл base.dat не удалось сохранить под другим "
                             "именем (" +
                             error + "), поэтому он не перезаписан. База станции не сохранена.";
            return report;
        }
        guard.Preserved = true;
        report.Message = "Повреждённый файл base.dat сохранён как " + kept.string() + ".";
    }

    report.WrittenTo = file;
    if (!WriteFileAtomically(file, image, &error)) {
        report.Ok = false;
        if (!report.Message.empty())
            report.Message += "\r";
        report.Message += "Не удалось записать файл базы " + file.string() + ": " + error +
                          ".\rИзменения не сохранены, прежний файл не тронут.";
    }
    return report;
}

} // namespace virs
