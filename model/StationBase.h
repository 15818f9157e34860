#pragma once
// The station model: nodes in tree order, each with its devices in tree order.
// Every operation keeps Devices[k].size() == Nodes[k].DeviceCount.

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "model/Records.h"

namespace virs {

inline constexpr int MaxNodes = 255;
inline constexpr int MaxDevicesPerNode = 255;
inline constexpr int MaxTreeItems = 256; // a tree position is 8 bits wide
// The largest base.dat a station can have: one node holding the other 255 tree
// items as devices. A larger file is not a station base and is not read.
inline constexpr std::size_t MaxStationImageSize =
    2 + sizeof(TNode) + (MaxTreeItems - 1) * sizeof(TDevice);
static_assert(MaxStationImageSize == 1932938);

// Outcome of a model operation. Refusals leave the model unchanged.
enum class TModelStatus {
    Ok,
    TooManyNodes,     // 255 nodes already
    TooManyDevices,   // 255 devices in the node already
    TooManyTreeItems, // 256 tree items already
    NoFreeParamSlot,  // all 9 / 19 user parameter slots used
    BadIndex,         // a node, device or slot index that does not exist
};
// The Russian text shown to the operator for a refusal ("" for Ok).
const char* ModelStatusText(TModelStatus status);

struct StationBase {
    u8 FormatByte = 0; // read and ignored, written as 0
    std::vector<TNode> Nodes;
    std::vector<std::vector<TDevice>> Devices;
    u8 SelNode = 0;
    u8 SelDevice = NoDevice;

    int NodeCount() const { return static_cast<int>(Nodes.size()); }
    int DeviceCount(int node) const { return static_cast<int>(Devices[node].size()); }
    // Device `device` of node `node`; nullptr when there is no such node or
    // device (NoDevice included).
    TDevice* Device(int node, int device);
    const TDevice* Device(int node, int device) const;
    int TotalDevices() const;
    int TreeItemCount() const; // nodes plus devices

    // Flat position of a node (device = NoDevice) or of one of its devices.
    int TreePosition(int node, int device = NoDevice) const;
    // The node and device at a flat tree position; false when there is none.
    bool ItemAt(int position, int& node, int& device) const;

    // Lowest network number not used by any device of the node (from 1).
    u8 LowestFreeNetAddress(int node) const;

    // p: index of the new node (0 into an empty base, else SelNode + 1).
    TModelStatus InsertNode(int p);
    TModelStatus DeleteNode(int p);
    // Inserts a new device at index q of node SelNode.
    TModelStatus InsertDevice(int q);
    TModelStatus DeleteDevice(int node, int q);
    // Inserts a byte copy of device SelDevice of node SelNode right after it.
    TModelStatus CloneDevice();
    TModelStatus MoveNode(int from, int to);
    // Device `from` of node `fromNode` to index `to` of node `toNode` (same node allowed).
    TModelStatus MoveDevice(int fromNode, int from, int toNode, int to);

    // User parameters of the current item (SelDevice == NoDevice: the node).
    // Add occupies the lowest free slot with the new-parameter defaults and
    // reports the slot through `slot`.
    TModelStatus AddParam(int* slot = nullptr);
    TModelStatus RemoveParam(int slot);
    TParamSlot* ParamSlots(int node, int device, int* count);
};

// Loading and saving base.dat (backup base.bak) in a folder.
enum class TLoadOutcome {
    Loaded,       // read whole
    NoFile,       // no base.dat: empty base
    Unreadable,   // base.dat exists but could not be opened or read: empty base
    SizeMismatch, // size does not match the counts: read as far as it goes
};

struct TLoadReport {
    TLoadOutcome Outcome = TLoadOutcome::NoFile;
    bool BackupFailed = false;
    std::string Message; // Russian text for the operator; empty when all is well
};

struct TSaveReport {
    bool Ok = true;
    std::filesystem::path WrittenTo; // base.dat, or where the base went instead
    std::string Message;             // Russian text for the operator; empty when all is well
};

// Remembers what loading found, so that saving never replaces a damaged or
// unreadable base.dat with an empty or partial base.
struct TStationFileGuard {
    TLoadOutcome LoadedAs = TLoadOutcome::NoFile;
    bool Preserved = false; // the damaged original was already kept aside
    // The image of a cleanly loaded base.dat whose copy to base.bak is still
    // to be written (a deferred backup); empty otherwise.
    std::string PendingBackup;
    bool BackupPending = false;
};

// When a cleanly loaded base.dat is copied to base.bak: during the load, or
// later by WritePendingBackup (the window writes it once its first picture is
// up); a save writes a pending backup first, so the copy always exists before
// base.dat is replaced.
enum class TBackupTiming { AtLoad, Deferred };

TLoadReport LoadStationBase(StationBase& base, TStationFileGuard& guard,
                            const std::filesystem::path& dir = ".",
                            TBackupTiming backup = TBackupTiming::AtLoad);
// Writes a pending backup to base.bak and lets go of its image. True when
// nothing was pending or the copy was written; false with the reason in
// `message` (a text for the operator) otherwise. Nothing is retried after a
// failure.
bool WritePendingBackup(TStationFileGuard& guard, const std::filesystem::path& dir,
                        std::string* message = nullptr);
TSaveReport SaveStationBase(const StationBase& base, TStationFileGuard& guard,
                            const std::filesystem::path& dir = ".");

// Image of a base as base.dat holds it, and the parse of such an image.
std::string StationBaseImage(const StationBase& base);
TLoadOutcome ParseStationBaseImage(std::string_view bytes, StationBase& base);

} // namespace virs
