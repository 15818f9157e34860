#pragma once
// The table of device types and view tabs: for every type and tab index, the
// tab's caption, the kind of job the tab starts, the first request of that job
// (function, register, count, and the block of the work area the data go to)
// and the bytes of the stored image the finished job writes into DataImage.
// The tab strip, the first requests, the completion of single-request jobs,
// the views and cyclic polling all read this table; nothing else spells these
// numbers.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "acquisition/WorkArea.h"
#include "link/ModbusExchange.h"
#include "model/DateTime.h"
#include "model/Records.h"

namespace virs {

// The index of a view tab; what it means depends on the device type.
using TViewKind = std::uint8_t;
inline constexpr int ViewTabCount = 5; // tab indices 0..4
// The current and totalised values: the first tab of every type, and what
// cyclic polling reads.
inline constexpr TViewKind CurrentValuesView = 0;

// What a tab's job does.
enum class TJobKind : std::uint8_t {
    None, // no tab (or a type that is not read)
    Current,
    Settings,
    DailyArchive,
    HourlyArchive,
    MonthlyArchive,
};
inline constexpr bool IsArchiveJob(TJobKind kind) {
    return kind == TJobKind::DailyArchive || kind == TJobKind::HourlyArchive ||
           kind == TJobKind::MonthlyArchive;
}

// The archive kinds a view tab can mean.
enum class TArchiveKind : std::uint8_t { None, Daily, Hourly, Monthly };

// Where the first register of the first request comes from: the table itself,
// or the archive address of the job's dates (worked out by the job layer).
enum class TRegisterRule : std::uint8_t {
    Fixed,         // FirstRegister
    ShDailySlot,   // the daily slot of the last day
    ShHourlySlot,  // the hourly slot of the last hour
    D2DailyIndex,  // the record index of the day before the first day
    D2HourlyIndex, // the record index of the first hour of the first day
};

struct TViewEntry {
    const char* Caption = nullptr; // UTF-8; nullptr: the type has no such tab
    TJobKind Job = TJobKind::None;
    // The first request.
    std::uint8_t Function = 0;
    TRegisterRule Rule = TRegisterRule::Fixed;
    std::uint16_t FirstRegister = 0;
    std::uint16_t RegisterCount = 0;
    TBlockKind Block = TBlockKind::None; // where the data go (None: a function-67 header)
    bool ClearBlockFirst = false;        // registers that fail to arrive read as 0
    // What the finished job stores: DataImage bytes [StoreOffset, StoreOffset +
    // StoreSize) from the same bytes of the type's image in the work area.
    std::uint16_t StoreOffset = 0;
    std::uint16_t StoreSize = 0;
    bool StampReadAt = false; // DataReadAt := now
};

struct TDeviceTypeViews {
    // Bytes of DataImage that hold the type's stored image, loaded into the
    // work area before the current view renders.
    std::uint16_t ImageSize = 0;
    TViewEntry Views[ViewTabCount];
};

namespace device_view_table {

inline constexpr const char* CurrentCaption = "текущие/итоговые";
inline constexpr const char* DailyCaption = "суточный архив";
inline constexpr const char* HourlyCaption = "часовой архив";
inline constexpr const char* MonthlyCaption = "месячный архив";
inline constexpr const char* SettingsCaption = "параметры";

constexpr TViewEntry ShViews[ViewTabCount] = {
    {CurrentCaption, TJobKind::Current, FunctionReadRegisters, TRegisterRule::Fixed, 0, 22,
     TBlockKind::ShCurrent, false, 0, 44, true},
    {DailyCaption, TJobKind::DailyArchive, FunctionReadRegisters, TRegisterRule::ShDailySlot, 0, 5,
     TBlockKind::ShArchiveRecord, false, 0, 0, false},
    {HourlyCaption, TJobKind::HourlyArchive, FunctionReadRegisters, TRegisterRule::ShHourlySlot, 0,
     5, TBlockKind::ShArchiveRecord, false, 0, 0, false},
    {},
    {},
};
// ВИРС-Д and ВИРС-ДК: an archive job first reads the scale codes (registers
// 56..63); the stored image is the current block with the archive totals.
constexpr TViewEntry DViews[ViewTabCount] = {
    {CurrentCaption, TJobKind::Current, FunctionReadRegisters, TRegisterRule::Fixed, 0, 64,
     TBlockKind::DCurrent, false, 0, 164, true},
    {DailyCaption, TJobKind::DailyArchive, FunctionReadRegisters, TRegisterRule::Fixed, 56, 8,
     TBlockKind::DScaleCodes, false, 0, 0, false},
    {HourlyCaption, TJobKind::HourlyArchive, FunctionReadRegisters, TRegisterRule::Fixed, 56, 8,
     TBlockKind::DScaleCodes, false, 0, 0, false},
    {MonthlyCaption, TJobKind::MonthlyArchive, FunctionReadRegisters, TRegisterRule::Fixed, 56, 8,
     TBlockKind::DScaleCodes, false, 0, 0, false},
    {SettingsCaption, TJobKind::Settings, FunctionReadRegisters, TRegisterRule::Fixed, 400, 340,
     TBlockKind::DSettings, true, 0, 0, false},
};
// ВИРС-Д2: archives begin with a record header (function 67); the settings
// share register 156 with the current block, so their image starts at byte 184.
constexpr TViewEntry D2Views[ViewTabCount] = {
    {CurrentCaption, TJobKind::Current, FunctionReadRegisters, TRegisterRule::Fixed, 64, 93,
     TBlockKind::D2Current, false, 0, 186, true},
    {DailyCaption, TJobKind::DailyArchive, FunctionReadRecordHeader, TRegisterRule::D2DailyIndex, 0,
     1, TBlockKind::None, false, 0, 0, false},
    {HourlyCaption, TJobKind::HourlyArchive, FunctionReadRecordHeader, TRegisterRule::D2HourlyIndex,
     0, 1, TBlockKind::None, false, 0, 0, false},
    {SettingsCaption, TJobKind::Settings, FunctionReadRegisters, TRegisterRule::Fixed, 156, 130,
     TBlockKind::D2Settings, false, 184, 260, false},
    {},
};

inline constexpr TDeviceTypeViews NoViews{}; // codes above 6

constexpr TDeviceTypeViews Table[DeviceTypeCount] = {
    {}, // прибор отключен
    {}, // теплосчётчик Toplin
    {}, // КРЭН
    {44, {ShViews[0], ShViews[1], ShViews[2], ShViews[3], ShViews[4]}},
    {164, {DViews[0], DViews[1], DViews[2], DViews[3], DViews[4]}},
    {164, {DViews[0], DViews[1], DViews[2], DViews[3], DViews[4]}},
    {444, {D2Views[0], D2Views[1], D2Views[2], D2Views[3], D2Views[4]}},
};

} // namespace device_view_table

// The row of a device type; an empty row for types without views.
constexpr const TDeviceTypeViews& DeviceTypeViews(TDeviceType type) {
    return type < DeviceTypeCount ? device_view_table::Table[type] : device_view_table::NoViews;
}
// The entry of view `view` of `type`; an empty entry (Job None, no caption)
// for a tab the type does not have.
constexpr TViewEntry DeviceViewEntry(TDeviceType type, int view) {
    if (view < 0 || view >= ViewTabCount)
        return {};
    return DeviceTypeViews(type).Views[view];
}
constexpr TJobKind ViewJobKind(TDeviceType type, int view) {
    return DeviceViewEntry(type, view).Job;
}
// The first tab of a type whose job is `kind`; none when the type has none.
constexpr std::optional<TViewKind> ViewOfJob(TDeviceType type, TJobKind kind) {
    for (int view = 0; view < ViewTabCount; ++view)
        if (DeviceViewEntry(type, view).Job == kind)
            return static_cast<TViewKind>(view);
    return std::nullopt;
}
// The number of tabs of a type (its tabs are 0 .. count - 1).
constexpr int ViewTabCountOf(TDeviceType type) {
    int n = 0;
    while (n < ViewTabCount && DeviceTypeViews(type).Views[n].Caption != nullptr)
        ++n;
    return n;
}

// The work area's bytes of a type's stored image: ShCurrentBlock, DCurrentBlock
// with ArchiveTotals behind it, the ВИРС-Д2 image; empty for other types.
std::span<std::uint8_t> TypeImageBytes(DeviceWorkArea& area, TDeviceType type);
std::span<const std::uint8_t> TypeImageBytes(const DeviceWorkArea& area, TDeviceType type);

// After a successful job of view `view`: copies the entry's bytes of the type's
// image from the work area into DataImage and, where the entry says so, stamps
// DataReadAt. False when the view stores nothing.
bool StoreViewImage(TDevice& device, const DeviceWorkArea& area, TViewKind view, TDateTime now);

// The table agrees with the blocks of the work area.
namespace device_view_table {
constexpr bool RequestFitsBlock(const TViewEntry& v) {
    if (v.Block == TBlockKind::None)
        return v.Function == FunctionReadRecordHeader;
    return v.RegisterCount == BlockRegisterCount(v.Block);
}
constexpr bool ConsistentRow(const TDeviceTypeViews& row) {
    for (const TViewEntry& v : row.Views) {
        if (v.Caption == nullptr)
            continue;
        if (!RequestFitsBlock(v) || v.StoreOffset + v.StoreSize > row.ImageSize)
            return false;
        if (v.Rule == TRegisterRule::Fixed && v.Block != TBlockKind::None &&
            v.FirstRegister != BlockFirstRegister(v.Block))
            return false;
    }
    return row.ImageSize <= DataImageSize;
}
static_assert(ConsistentRow(Table[DeviceVirsSh]) && ConsistentRow(Table[DeviceVirsD]) &&
              ConsistentRow(Table[DeviceVirsD2]));
static_assert(Table[DeviceVirsSh].ImageSize == TShCurrentBlock::Size);
static_assert(Table[DeviceVirsD].ImageSize == TDCurrentBlock::Size + TArchiveTotals::Size);
static_assert(Table[DeviceVirsD2].ImageSize == TD2Image::Size);
} // namespace device_view_table

} // namespace virs
