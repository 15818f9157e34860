#pragma once
// The device work area: one instance of each register block, shared by all
// devices. A job reads a register range into its block, the completion of a
// current-values job stores the block in the device record's DataImage, and the
// current view loads DataImage back before it renders. Every block is a byte
// image of its registers; the field offsets below are byte offsets from the
// start of the block (register R+k occupies bytes 2k, 2k+1, low byte first).

#include <cstddef>
#include <cstdint>
#include <span>

#include "model/Records.h"

namespace virs {

using u32 = std::uint32_t;

// ВИРС-Ш current values, registers 0..21.
struct TShCurrentBlock {
    static constexpr std::uint16_t FirstRegister = 0;
    static constexpr std::size_t Size = 44;
    static constexpr std::size_t State = 0;             // u16, state bits
    static constexpr std::size_t Flow = 2;              // f32, m3/h
    static constexpr std::size_t Velocity = 6;          // f32, m/s
    static constexpr std::size_t VolumeLow = 10;        // u32, low half of 10^-6 m3 count
    static constexpr std::size_t VolumeHigh = 14;       // u32, high half
    static constexpr std::size_t OperatingTime = 18;    // u32, seconds
    static constexpr std::size_t IdleTime = 22;         // u32, seconds
    static constexpr std::size_t DeviceDate = 26;       // u16, day number (0 = 30.12.1899)
    static constexpr std::size_t DeviceTime = 28;       // u16, hi = hours, lo = minutes
    static constexpr std::size_t Battery = 30;          // u16, 1/100 V
    static constexpr std::size_t SerialNumber = 32;     // u16
    static constexpr std::size_t MadeDate = 34;         // u16, day number
    static constexpr std::size_t Firmware = 36;         // u16
    static constexpr std::size_t FirmwareLoadDate = 38; // u16, day number
    static constexpr std::size_t AdapterFirmware = 42;  // u16
    std::uint8_t Bytes[Size];
};
static_assert(sizeof(TShCurrentBlock) == 44);
static_assert(TShCurrentBlock::AdapterFirmware + 2 == TShCurrentBlock::Size);

// ВИРС-Д / ВИРС-ДК current values, registers 0..63.
struct TDCurrentBlock {
    static constexpr std::uint16_t FirstRegister = 0;
    static constexpr std::size_t Size = 128;
    static constexpr std::size_t Counters = 0; // 4 × u32: V1..V4 (ВИРС-Д: V1, V2, -V1, -V2)
    static constexpr std::size_t Times = 16;   // 4 × u32, hours × 10^4
    static constexpr std::size_t Flows = 80;   // 4 × f32, m3/h
    static constexpr std::size_t FlowStates = 96;  // 4 × f32, valid when >= 1.0
    static constexpr std::size_t ScaleCodes = 112; // 4 × f32
    std::uint8_t Bytes[Size];
};
static_assert(sizeof(TDCurrentBlock) == 128);
static_assert(TDCurrentBlock::Times == TDCurrentBlock::Counters + 16);
static_assert(TDCurrentBlock::Flows == 2 * 40);
static_assert(TDCurrentBlock::FlowStates == 2 * 48);
static_assert(TDCurrentBlock::ScaleCodes == 2 * 56);
static_assert(TDCurrentBlock::ScaleCodes + 16 == TDCurrentBlock::Size);

// Sums of an archive walk of ВИРС-Д / ВИРС-ДК: eight u32 counters and the hours
// without mains power as f32. Stored with DCurrentBlock in DataImage.
struct TArchiveTotals {
    static constexpr std::size_t Size = 36;
    static constexpr std::size_t Sums = 0;          // 8 × u32
    static constexpr std::size_t AbsenceHours = 32; // f32
    std::uint8_t Bytes[Size];
};
static_assert(sizeof(TArchiveTotals) == 36);
static_assert(TArchiveTotals::AbsenceHours + 4 == TArchiveTotals::Size);

// ВИРС-Д2: one image of registers 64..285. D2CurrentBlock is bytes 0..185
// (registers 64..156), D2SettingsBlock bytes 184..443 (registers 156..285);
// register 156 belongs to both.
struct TD2Image {
    static constexpr std::uint16_t FirstRegister = 64;
    static constexpr std::size_t Size = 444;
    static constexpr std::size_t CurrentOffset = 0;
    static constexpr std::size_t CurrentSize = 186;
    static constexpr std::size_t SettingsOffset = 184;
    static constexpr std::size_t SettingsSize = 260;
    std::uint8_t Bytes[Size];
};
static_assert(sizeof(TD2Image) == 444);
static_assert(TD2Image::CurrentSize == 2 * (156 - 64 + 1));
static_assert(TD2Image::SettingsOffset == 2 * (156 - 64));
static_assert(TD2Image::SettingsOffset + TD2Image::SettingsSize == TD2Image::Size);
static_assert(TD2Image::Size == 2 * (285 - 64 + 1));

// Field offsets of D2CurrentBlock (from the start of the ВИРС-Д2 image).
struct TD2CurrentBlock {
    static constexpr std::uint16_t FirstRegister = 64;
    static constexpr std::size_t Size = TD2Image::CurrentSize;
    static constexpr std::size_t ChannelStates = 2;     // 4 × u8, bit 0 = flow valid
    static constexpr std::size_t Flows = 6;             // 4 × f32, m3/h
    static constexpr std::size_t Pressures = 22;        // 4 × f32, Pa
    static constexpr std::size_t Firmware = 38;         // u16, hi = major, lo = minor
    static constexpr std::size_t FirmwareLoadDate = 40; // u8 year, month, day
    static constexpr std::size_t SerialNumber = 44;     // u16
    static constexpr std::size_t MadeDate = 46;         // u8 year, month, day
    static constexpr std::size_t Totals = 50;           // 4 × D2ChannelTotals
    static constexpr std::size_t TotalsSize = 24;
    static constexpr std::size_t Clock = 178;         // u8 year, month, day, hour, minute, second
    static constexpr std::size_t ChannelScheme = 184; // u8, register 156 lo
};
static_assert(TD2CurrentBlock::Flows == 2 * (67 - 64));
static_assert(TD2CurrentBlock::Pressures == 2 * (75 - 64));
static_assert(TD2CurrentBlock::Firmware == 2 * (83 - 64));
static_assert(TD2CurrentBlock::SerialNumber == 2 * (86 - 64));
static_assert(TD2CurrentBlock::Totals == 2 * (89 - 64));
static_assert(TD2CurrentBlock::Totals + 4 * TD2CurrentBlock::TotalsSize == 2 * (137 - 64));
static_assert(TD2CurrentBlock::Clock == 2 * (153 - 64));
static_assert(TD2CurrentBlock::Clock + 6 == TD2CurrentBlock::ChannelScheme);
static_assert(TD2CurrentBlock::ChannelScheme + 2 == TD2CurrentBlock::Size);

// Field offsets of D2SettingsBlock (from the start of the settings block,
// register 156).
struct TD2SettingsBlock {
    static constexpr std::uint16_t FirstRegister = 156;
    static constexpr std::size_t Size = TD2Image::SettingsSize;
    static constexpr std::size_t ChannelScheme = 0;
    static constexpr std::size_t NetAddress = 1;
    static constexpr std::size_t BaudCode = 2;
    static constexpr std::size_t StopBits = 3;
    static constexpr std::size_t Parity = 4;
    static constexpr std::size_t Channels = 16; // 4 × D2ChannelSettings
    static constexpr std::size_t ChannelSize = 20;
    static constexpr std::size_t Pairs = 96; // 4 × D2SensorPairSettings
    static constexpr std::size_t PairSize = 34;
    static constexpr std::size_t PressureInputs = 232; // 4 × D2PressureSensorSettings, packed
    static constexpr std::size_t PressureSize = 7;
};
static_assert(TD2SettingsBlock::Channels == 2 * (164 - 156));
static_assert(TD2SettingsBlock::Channels + 4 * TD2SettingsBlock::ChannelSize ==
              TD2SettingsBlock::Pairs);
static_assert(TD2SettingsBlock::Pairs == 2 * (204 - 156));
static_assert(TD2SettingsBlock::Pairs + 4 * TD2SettingsBlock::PairSize ==
              TD2SettingsBlock::PressureInputs);
static_assert(TD2SettingsBlock::PressureInputs == 2 * (272 - 156));
static_assert(TD2SettingsBlock::PressureInputs + 4 * TD2SettingsBlock::PressureSize <=
              TD2SettingsBlock::Size);

// ВИРС-Д / ВИРС-ДК settings, registers 400..739. Every field used is an f32 at
// (register - 400) × 2.
struct TDSettingsBlock {
    static constexpr std::uint16_t FirstRegister = 400;
    static constexpr std::uint16_t LastRegister = 739;
    static constexpr std::size_t Size = 680;
    static constexpr std::size_t OffsetOf(int reg) {
        return static_cast<std::size_t>(reg - FirstRegister) * 2;
    }
    std::uint8_t Bytes[Size];
};
static_assert(sizeof(TDSettingsBlock) == 680);
static_assert(TDSettingsBlock::OffsetOf(TDSettingsBlock::LastRegister) + 2 ==
              TDSettingsBlock::Size);

// Archive buffers (decoded by the archive walk).
struct TShArchiveRecord { // 5 registers
    static constexpr std::size_t Size = 10;
    std::uint8_t Bytes[Size];
};
struct TArchiveSelector { // registers 0..2, written with function 16
    static constexpr std::size_t Size = 6;
    std::uint8_t Bytes[Size];
};
struct TDArchiveRecord { // registers 200..225
    static constexpr std::uint16_t FirstRegister = 200;
    static constexpr std::size_t Size = 52;
    std::uint8_t Bytes[Size];
};
struct TD2ArchiveRecord { // registers 0..63
    static constexpr std::size_t Size = 128;
    static constexpr std::size_t ChannelPart = 96; // registers 0..47, the channel totals
    std::uint8_t Bytes[Size];
};
struct TD2PreviousRecord { // the channel part of the last ВИРС-Д2 archive record
    static constexpr std::size_t Size = TD2ArchiveRecord::ChannelPart;
    std::uint8_t Bytes[Size];
};
static_assert(sizeof(TShArchiveRecord) == 10 && sizeof(TArchiveSelector) == 6);
static_assert(sizeof(TDArchiveRecord) == 2 * 26 && sizeof(TD2ArchiveRecord) == 2 * 64);
static_assert(sizeof(TD2PreviousRecord) == 96);

struct DeviceWorkArea {
    TShCurrentBlock ShCurrentBlock;
    TDCurrentBlock DCurrentBlock;
    TArchiveTotals ArchiveTotals; // directly after DCurrentBlock: stored together
    TD2Image D2Image;
    TDSettingsBlock DSettingsBlock;
    TShArchiveRecord ShArchiveRecord;
    TArchiveSelector ArchiveSelector;
    TDArchiveRecord DArchiveRecord;
    TD2ArchiveRecord D2ArchiveRecord;
    TD2PreviousRecord PreviousRecord;
    bool HavePreviousRecord;

    // The work area starts zeroed.
    DeviceWorkArea();

    std::span<std::uint8_t, TD2Image::CurrentSize> D2CurrentBlock() {
        return std::span<std::uint8_t, TD2Image::CurrentSize>(
            D2Image.Bytes + TD2Image::CurrentOffset, TD2Image::CurrentSize);
    }
    std::span<std::uint8_t, TD2Image::SettingsSize> D2SettingsBlock() {
        return std::span<std::uint8_t, TD2Image::SettingsSize>(
            D2Image.Bytes + TD2Image::SettingsOffset, TD2Image::SettingsSize);
    }
};
static_assert(offsetof(DeviceWorkArea, ArchiveTotals) ==
              offsetof(DeviceWorkArea, DCurrentBlock) + TDCurrentBlock::Size);
static_assert(TDCurrentBlock::Size + TArchiveTotals::Size == 164);

// The register ranges a job reads, and where their data goes in the work area.
// DScaleCodes is the tail of DCurrentBlock (registers 56..63) that an archive
// job of ВИРС-Д / ВИРС-ДК reads first; ShArchiveRecord takes one ВИРС-Ш archive
// record, whose register depends on the date; None is no block (a function-67
// header goes to the exchange block).
enum class TBlockKind : u8 {
    ShCurrent,
    DCurrent,
    D2Current,
    D2Settings,
    DSettings,
    DScaleCodes,
    ShArchiveRecord,
    None,
};
struct TBlockRange {
    std::uint16_t StartRegister;
    std::uint16_t RegisterCount;
};
constexpr std::uint16_t BlockFirstRegister(TBlockKind kind) {
    switch (kind) {
    case TBlockKind::ShCurrent:
        return TShCurrentBlock::FirstRegister;
    case TBlockKind::DCurrent:
        return TDCurrentBlock::FirstRegister;
    case TBlockKind::D2Current:
        return TD2CurrentBlock::FirstRegister;
    case TBlockKind::D2Settings:
        return TD2SettingsBlock::FirstRegister;
    case TBlockKind::DSettings:
        return TDSettingsBlock::FirstRegister;
    case TBlockKind::DScaleCodes:
        return TDCurrentBlock::FirstRegister + TDCurrentBlock::ScaleCodes / 2;
    default:
        return 0;
    }
}
constexpr std::uint16_t BlockRegisterCount(TBlockKind kind) {
    switch (kind) {
    case TBlockKind::ShCurrent:
        return TShCurrentBlock::Size / 2;
    case TBlockKind::DCurrent:
        return TDCurrentBlock::Size / 2;
    case TBlockKind::D2Current:
        return TD2Image::CurrentSize / 2;
    case TBlockKind::D2Settings:
        return TD2Image::SettingsSize / 2;
    case TBlockKind::DSettings:
        return TDSettingsBlock::Size / 2;
    case TBlockKind::DScaleCodes:
        return (TDCurrentBlock::Size - TDCurrentBlock::ScaleCodes) / 2;
    case TBlockKind::ShArchiveRecord:
        return TShArchiveRecord::Size / 2;
    default:
        return 0;
    }
}
TBlockRange BlockRegisters(TBlockKind kind);
// The bytes of a block in the work area; empty for None.
std::span<std::uint8_t> BlockBytes(DeviceWorkArea& area, TBlockKind kind);
std::span<const std::uint8_t> BlockBytes(const DeviceWorkArea& area, TBlockKind kind);

// The sizes of the stored images and what each job stores are in the table of
// device types and views (acquisition/DeviceViews.h).

// Loads the device's stored image into its blocks of the work area, as the
// current view does before it renders: 44 bytes into ShCurrentBlock (ВИРС-Ш),
// 164 bytes into DCurrentBlock and the ArchiveTotals behind it (ВИРС-Д,
// ВИРС-ДК), 444 bytes into the ВИРС-Д2 image. Other types have no blocks.
void LoadDeviceImage(const TDevice& device, DeviceWorkArea& area);

// After a successful current-values job: copies the device type's current block
// (44, 164 or 186 bytes) to the start of DataImage and stamps DataReadAt.
void StoreCurrentImage(TDevice& device, const DeviceWorkArea& area, TDateTime now);

// After a successful ВИРС-Д2 settings job: copies the 260 bytes of
// D2SettingsBlock to DataImage bytes 184..443. DataReadAt is left alone.
void StoreD2SettingsImage(TDevice& device, const DeviceWorkArea& area);

// Before a ВИРС-Д / ВИРС-ДК settings job: registers that fail to arrive read as 0.
void ClearDSettingsBlock(DeviceWorkArea& area);

} // namespace virs
