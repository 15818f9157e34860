#pragma once
// The two image lists of the main window: the station tree's 24 x 24 pictures
// (indices 0..14) and the tool bar's 16 x 16 pictures (the lamp among them).
// Indices are what the rest of the program uses to name a picture.

#include <QIcon>
#include <QPixmap>

#include "model/Records.h"

namespace virs {

// Tree images.
enum TTreeImage : int {
    TreeGsmNode = 0,
    TreeModemNodeOpen = 1, // dial-up or GSM node with an open link
    TreeDialUpNode = 2,
    TreeGsmNodeOpen = 3, // drawn for completeness; the link code uses 1 for both modems
    TreeDirectNode = 4,
    TreeDirectNodeOpen = 5,
    TreeDeviceOff = 6,
    TreeKren = 7,
    TreeKrenBusy = 8,
    TreeVirsD = 9, // also types 1 (Toplin) and 5 (ВИРС-ДК)
    TreeVirsDBusy = 10,
    TreeVirsSh = 11,
    TreeVirsShBusy = 12,
    TreeVirsD2 = 13,
    TreeVirsD2Busy = 14,
};
inline constexpr int TreeImageCount = 15;

// Tool bar images (sparse: the indices the program refers to).
enum TToolImage : int {
    ToolNewNode = 0,
    ToolNewDevice = 1,
    ToolDelete = 2,
    ToolDetail = 3,
    ToolLamp = 4,
    ToolLampToo = 5, // the same lamp, under the index the job end uses
    ToolAddParam = 6,
    ToolRemoveParam = 7,
    ToolSave = 8,
    ToolPrint = 9,
    ToolSettings = 10,
    ToolHelp = 11,
    ToolCyclic = 12,
    ToolClone = 13,
    ToolConnect = 17,   // connect button, no link
    ToolConnected = 18, // connect button, link open
    ToolStart = 21,     // start/stop button, idle
    ToolStop = 22,      // start/stop button, job running
};

// Idle image of a node by its link type (unknown codes show as direct).
int NodeImage(TLinkType linkType);
// Image of a node with an open link.
int OpenNodeImage(TLinkType linkType);
// Image of a device by its type, idle or while a job runs on it.
int DeviceImage(TDeviceType type, bool busy = false);

// Registers the library's resources (pictures, manual); safe to call often.
void EnsureShellResources();

QIcon TreeIcon(int index);
QIcon ToolIcon(int index);
// The lamp picture, lit or dark (greyed).
QPixmap LampPixmap(bool lit);

} // namespace virs
