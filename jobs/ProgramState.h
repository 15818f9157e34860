#pragma once
// The process-wide state of the program: one object, owned by the main window
// (or by virs-cli, or by a test) and passed by reference to whatever needs it.
// Its members keep the names the rest of the program knows them by.

#include <vector>

#include "acquisition/WorkArea.h"
#include "jobs/ArchiveRange.h"
#include "link/ModbusExchange.h"
#include "link/SerialPort.h"
#include "model/StationBase.h"

namespace virs {

// The node connection, one phase at a time: idle → connecting → open →
// closing → idle. A close that fails (the modem did not hang up, the port did
// not close) goes back to open. While connecting or closing the station is not
// edited: the connection holds its node from the press of the button on.
enum class TLinkPhase : u8 { Idle, Connecting, Open, Closing };

struct TProgramState {
    StationBase Base;           // the station model (SelNode / SelDevice inside)
    TStationFileGuard BaseFile; // what loading found, so saving never loses a damaged file
    bool LinkOpen = false;      // a node connection is open
    u8 LinkNode = 0;            // which node is connected (or being connected or closed)
    TLinkPhase LinkPhase = TLinkPhase::Idle;
    // Run-time identities of the nodes in tree order, kept through inserts,
    // deletes and moves by the station edits (jobs/StationEdits): a connection
    // holds its node by identity while it is being made.
    std::vector<u32> NodeKeys;
    u32 NextNodeKey = 1;
    bool DeleteNoAsk = false; // "Не спрашивать больше" of the delete confirmation
    DeviceWorkArea WorkArea;  // the register blocks shared by all devices (starts zeroed)

    // The line-settings record kept from one connection to the next in a run
    // (the service dialogs use and change the same record).
    TLineSettings LineSettings;
    // The port alias folders the operator has been told were not trusted.
    TPortAliasNotices PortAliasNotices;
    // The request/result block shared with the exchange thread.
    TModbusExchange Exchange;
    // The job: set by StartJob, advanced by the completion handler.
    u8 JobNode = 0;
    u8 JobDevice = 0;
    u8 JobView = 0;
    u8 JobStep = 0;
    TDateTime JobStartDate = 0;
    TDateTime JobEndDate = 0;
    i32 JobRecordsTotal = 0;
    i32 JobRecordsDone = 0;
    bool JobRunning = false; // started by StartJob and not yet ended
    // Where the exchange thread stores what a job reads; the completion handler
    // copies a finished block into WorkArea, so a rendering during a job never
    // sees a half-filled block.
    DeviceWorkArea JobBuffer;
    // The archive range dialog (TForm7): kept for the run with its last dates.
    TArchiveRangeDialog ArchiveDialog;
};

} // namespace virs
