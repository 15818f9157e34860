#pragma once
// The station database records. Each is the exact image of its bytes in base.dat
// (little-endian, padding included); reading and writing them is a byte copy, so
// every offset below is checked at compile time.

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "model/ShortString.h"

namespace virs {

using u8 = std::uint8_t;
using u16 = std::uint16_t;
using i32 = std::int32_t;
using TDateTime = double; // days since 1899-12-30, fraction = time of day

enum TDeviceTypeCode : u8 {
    DeviceOff = 0,    // "прибор отключен": never read
    DeviceToplin = 1, // "теплосчётчик Toplin": shown by name only
    DeviceKren = 2,   // "КРЭН": shown by name only
    DeviceVirsSh = 3, // "ВИРС-Ш"
    DeviceVirsD = 4,  // "ВИРС-Д"
    DeviceVirsDK = 5, // "ВИРС-ДК"
    DeviceVirsD2 = 6, // "ВИРС-Д2"
};
using TDeviceType = u8;
inline constexpr int DeviceTypeCount = 7;

enum TLinkTypeCode : u8 {
    LinkDirect = 0, // "прямое RS232/RS485"
    LinkDialUp = 1, // "Dial-Up модем"
    LinkGsm = 2,    // "GSM модем"
};
using TLinkType = u8;
inline constexpr int LinkTypeCount = 3;

// Display names in UTF-8; an unknown code has none (empty view).
const char* DeviceTypeName(TDeviceType code); // "" for codes above 6
const char* LinkTypeName(TLinkType code);     // "" for codes above 2

// Baud rates selected by TNode::BaudIndex 0..7.
inline constexpr std::uint32_t BaudRates[8] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};
inline constexpr u8 NoDevice = 255; // SelDevice while a node row is current

struct TParamSlot {
    TShortString<20> Label;
    TShortString<20> Caption;
    TShortString<255> Value;
    u8 Reserved;
    u8 LabelEditable;
    u8 Used;
};
static_assert(sizeof(TParamSlot) == 301);
static_assert(offsetof(TParamSlot, Label) == 0);
static_assert(offsetof(TParamSlot, Caption) == 21);
static_assert(offsetof(TParamSlot, Value) == 42);
static_assert(offsetof(TParamSlot, Reserved) == 298);
static_assert(offsetof(TParamSlot, LabelEditable) == 299);
static_assert(offsetof(TParamSlot, Used) == 300);

inline constexpr int NodeParamSlots = 9;
inline constexpr int DeviceParamSlots = 19;
inline constexpr std::size_t DataImageSize = 1025;

struct TNode {
    u8 DeviceCount;
    TParamSlot NameSlot;
    TLinkType LinkType;
    u8 Padding1;
    u16 ComPort;
    u8 BaudIndex;
    u8 ParityIndex;
    u8 StopBitsIndex;
    u8 DialMode;
    TShortString<20> Phone;
    TShortString<50> ModemInit;
    u8 Retries;
    u8 Padding2;
    u16 ReplyTimeoutMs;
    TParamSlot Params[NodeParamSlots];
    u8 Padding3;
};
static_assert(sizeof(TNode) == 3096);
static_assert(offsetof(TNode, DeviceCount) == 0);
static_assert(offsetof(TNode, NameSlot) == 1);
static_assert(offsetof(TNode, LinkType) == 302);
static_assert(offsetof(TNode, Padding1) == 303);
static_assert(offsetof(TNode, ComPort) == 304);
static_assert(offsetof(TNode, BaudIndex) == 306);
static_assert(offsetof(TNode, ParityIndex) == 307);
static_assert(offsetof(TNode, StopBitsIndex) == 308);
static_assert(offsetof(TNode, DialMode) == 309);
static_assert(offsetof(TNode, Phone) == 310);
static_assert(offsetof(TNode, ModemInit) == 331);
static_assert(offsetof(TNode, Retries) == 382);
static_assert(offsetof(TNode, Padding2) == 383);
static_assert(offsetof(TNode, ReplyTimeoutMs) == 384);
static_assert(offsetof(TNode, Params) == 386);
static_assert(offsetof(TNode, Padding3) == 3095);

struct TDevice {
    TParamSlot NameSlot;
    TDeviceType DeviceType;
    u8 NetAddress;
    u8 Padding1;
    TDateTime DataReadAt;
    TShortString<255> ArchiveFile;
    TShortString<255> ReportTemplate;
    TParamSlot Params[DeviceParamSlots];
    u8 DataImage[DataImageSize];
};
static_assert(sizeof(TDevice) == 7568);
static_assert(offsetof(TDevice, NameSlot) == 0);
static_assert(offsetof(TDevice, DeviceType) == 301);
static_assert(offsetof(TDevice, NetAddress) == 302);
static_assert(offsetof(TDevice, Padding1) == 303);
static_assert(offsetof(TDevice, DataReadAt) == 304);
static_assert(offsetof(TDevice, ArchiveFile) == 312);
static_assert(offsetof(TDevice, ReportTemplate) == 568);
static_assert(offsetof(TDevice, Params) == 824);
static_assert(offsetof(TDevice, DataImage) == 6543);

static_assert(std::is_trivially_copyable_v<TParamSlot>);
static_assert(std::is_trivially_copyable_v<TNode>);
static_assert(std::is_trivially_copyable_v<TDevice>);

// The reply time-out of a new node. Older files may hold 0, which the port
// would take as "wait for ever": such a node is read with this default.
inline constexpr u16 DefaultReplyTimeoutMs = 3000;
inline u16 EffectiveReplyTimeoutMs(const TNode& node) {
    return node.ReplyTimeoutMs != 0 ? node.ReplyTimeoutMs : DefaultReplyTimeoutMs;
}

// Zero-filled records with the defaults of a new node, device and user parameter.
TNode NewNodeRecord();
TDevice NewDeviceRecord(); // NetAddress is left 0: StationBase assigns the lowest free number
TParamSlot NewParamSlot();

} // namespace virs
