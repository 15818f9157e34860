#pragma once
// Editing the station while a node may be connected and a job may run: insert,
// clone, delete and move of nodes and devices through the model, keeping the
// connected node (LinkNode) and the job's node and device (JobNode, JobDevice)
// on the same records, and refusing what would pull them away: deleting or
// moving the connected node, deleting or moving anything while a job runs or
// polling is on, and every edit while a connection is being made or closed.

#include <string>

#include "jobs/ProgramState.h"

namespace virs {

// Refusals that keep a running link or job intact.
inline constexpr const char* RefuseDeleteLinkNode =
    "Нельзя удалить узел, с которым установлено соединение. Сначала разорвите соединение.";
inline constexpr const char* RefuseMoveLinkNode =
    "Нельзя переместить узел, с которым установлено соединение. Сначала разорвите соединение.";
inline constexpr const char* RefuseWhilePolling =
    "Нельзя удалять и перемещать узлы и приборы, пока идёт опрос. Сначала остановите опрос.";

inline constexpr const char* RefuseWhileLinkBusy =
    "Идёт соединение с узлом или его разрыв. Дождитесь окончания.";

struct TEditOutcome {
    bool Done = false;
    // Why it was refused, for the operator (UTF-8); empty when done.
    std::string Refusal;
};

// A new node at index p (0 into an empty base).
TEditOutcome InsertNodeAt(TProgramState& state, int p);
// A new device at index q of `node`.
TEditOutcome InsertDeviceAt(TProgramState& state, int node, int q);
// A byte copy of device `device` of `node`, right after it.
TEditOutcome CloneDeviceAt(TProgramState& state, int node, int device);
// Deletes a node (device = NoDevice) or a device. `jobActive`: the window
// knows a job to run or cyclic polling to be on (a job may start at any tick).
TEditOutcome DeleteItem(TProgramState& state, int node, int device, bool jobActive);
// Moves a node (from = NoDevice) to index toIndex, or device `from` of
// `fromNode` to index toIndex of `toNode`.
TEditOutcome MoveItem(TProgramState& state, int fromNode, int from, int toNode, int toIndex,
                      bool jobActive);

// The run-time identity of node `node` (0 when there is no such node); a node
// keeps it through every insert, delete and move made here.
u32 NodeKeyOf(TProgramState& state, int node);
// The node with identity `key`; -1 when it is gone.
int NodeWithKey(TProgramState& state, u32 key);

// Index of an item after a move of the item at `from` to `to` in the same list.
int IndexAfterMove(int index, int from, int to);

} // namespace virs
