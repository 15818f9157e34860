#include "cli/CliStation.h"

#include <cstdio>
#include <filesystem>

namespace virs::cli {

int OpenStationToWrite(const std::string& dir, int node, int device, TStationLock& lock,
                       TProgramState& state) {
    const std::filesystem::path folder(dir);
    // base.dat is written at the end: one writer of the station at a time.
    if (std::error_code ec; std::filesystem::is_directory(folder, ec)) {
        const TStationLockResult locked = lock.Acquire(folder);
        if (!locked.Acquired) {
            std::fprintf(stderr, "virs-cli: %s\n", locked.Message.c_str());
            return 1;
        }
    }
    const TLoadReport load = LoadStationBase(state.Base, state.BaseFile, folder);
    if (load.Outcome != TLoadOutcome::Loaded) {
        std::fprintf(stderr, "virs-cli: %s/base.dat не прочитан%s%s\n", dir.c_str(),
                     load.Message.empty() ? "" : ": ", load.Message.c_str());
        return 2;
    }
    if (node >= state.Base.NodeCount() || device >= state.Base.DeviceCount(node)) {
        std::fprintf(stderr, "virs-cli: прибора %d узла %d в базе нет\n", device, node);
        return 2;
    }
    return 0;
}

} // namespace virs::cli
