#pragma once
// Opening the station of a folder for a command that writes it back (read,
// archive): the station lock first, then base.dat, then the node and device
// asked for. Failures are printed on standard error.

#include <string>

#include "jobs/ProgramState.h"
#include "model/StationLock.h"

namespace virs::cli {

// 0 when the station is locked for this process and loaded into `state` and
// device `device` of node `node` exists; otherwise the exit status (1: the
// station is in use, 2: base.dat unreadable or no such device).
int OpenStationToWrite(const std::string& dir, int node, int device, TStationLock& lock,
                       TProgramState& state);

} // namespace virs::cli
