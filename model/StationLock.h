#pragma once
// One writer of a station at a time: a lock file "base.lock" beside base.dat,
// created exclusively and holding the owner's process number. A lock whose
// process is gone (a program killed outright) is taken over; the lock is
// released when its owner ends it or goes away.

#include <filesystem>
#include <string>

namespace virs {

inline constexpr const char* StationLockFileName = "base.lock";

struct TStationLockResult {
    bool Acquired = false;
    long OwnerPid = 0;     // the live process that holds the lock, when refused
    bool TookOver = false; // a stale lock of a dead process was replaced
    std::string Message;   // Russian text of a refusal or failure
};

class TStationLock {
public:
    TStationLock() = default;
    ~TStationLock() { Release(); }
    TStationLock(const TStationLock&) = delete;
    TStationLock& operator=(const TStationLock&) = delete;

    TStationLockResult Acquire(const std::filesystem::path& folder);
    // Removes the lock file when this object holds it.
    void Release();
    bool Held() const { return !File.empty(); }

private:
    std::filesystem::path File;
};

// The text shown when the station is in use by another program.
std::string StationInUseText(const std::filesystem::path& folder, long pid);

} // namespace virs
