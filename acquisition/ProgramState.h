#pragma once
// The process-wide state of the program: one object, owned by the main window
// (or by virs-cli, or by a test) and passed by reference to whatever needs it.
// Its members keep the names the rest of the program knows them by.

#include "acquisition/WorkArea.h"
#include "model/StationBase.h"

namespace virs {

struct TProgramState {
    StationBase Base;           // the station model (SelNode / SelDevice inside)
    TStationFileGuard BaseFile; // what loading found, so saving never loses a damaged file
    bool LinkOpen = false;      // a node connection is open
    u8 LinkNode = 0;            // which node is connected
    bool DeleteNoAsk = false; // "Не спрашивать больше" of the delete confirmation
    DeviceWorkArea WorkArea;  // the register blocks shared by all devices (starts zeroed)
    // The exchange block and the job fields join here as the link and
    // acquisition layers provide them.
};

} // namespace virs
