#include "acquisition/WorkArea.h"

#include "acquisition/DeviceViews.h"

#include <algorithm>
#include <cstring>

namespace virs {

DeviceWorkArea::DeviceWorkArea() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
}

TBlockRange BlockRegisters(TBlockKind kind) {
    return {BlockFirstRegister(kind), BlockRegisterCount(kind)};
}

std::span<std::uint8_t> BlockBytes(DeviceWorkArea& area, TBlockKind kind) {
    switch (kind) {
    case TBlockKind::ShCurrent:
        return area.ShCurrentBlock.Bytes;
    case TBlockKind::DCurrent:
        return area.DCurrentBlock.Bytes;
    case TBlockKind::D2Current:
        return area.D2CurrentBlock();
    case TBlockKind::D2Settings:
        return area.D2SettingsBlock();
    case TBlockKind::DSettings:
        return area.DSettingsBlock.Bytes;
    case TBlockKind::DScaleCodes:
        return std::span<std::uint8_t>(area.DCurrentBlock.Bytes)
            .subspan(TDCurrentBlock::ScaleCodes);
    case TBlockKind::ShArchiveRecord:
        return area.ShArchiveRecord.Bytes;
    case TBlockKind::None:
        break;
    }
    return {};
}

std::span<const std::uint8_t> BlockBytes(const DeviceWorkArea& area, TBlockKind kind) {
    return BlockBytes(const_cast<DeviceWorkArea&>(area), kind);
}

std::span<std::uint8_t> TypeImageBytes(DeviceWorkArea& area, TDeviceType type) {
    // DCurrentBlock and ArchiveTotals lie back to back (asserted in WorkArea.h).
    std::uint8_t* start = nullptr;
    switch (type) {
    case DeviceVirsSh:
        start = area.ShCurrentBlock.Bytes;
        break;
    case DeviceVirsD:
    case DeviceVirsDK:
        start = area.DCurrentBlock.Bytes;
        break;
    case DeviceVirsD2:
        start = area.D2Image.Bytes;
        break;
    default:
        return {};
    }
    return {start, DeviceTypeViews(type).ImageSize};
}

std::span<const std::uint8_t> TypeImageBytes(const DeviceWorkArea& area, TDeviceType type) {
    return TypeImageBytes(const_cast<DeviceWorkArea&>(area), type);
}

void LoadDeviceImage(const TDevice& device, DeviceWorkArea& area) {
    const std::span<std::uint8_t> image = TypeImageBytes(area, device.DeviceType);
    std::copy_n(device.DataImage, image.size(), image.begin());
}

bool StoreViewImage(TDevice& device, const DeviceWorkArea& area, TViewKind view, TDateTime now) {
    const TViewEntry entry = DeviceViewEntry(device.DeviceType, view);
    const std::span<const std::uint8_t> image = TypeImageBytes(area, device.DeviceType);
    if (entry.StoreSize == 0 || image.empty())
        return false;
    std::copy_n(image.begin() + entry.StoreOffset, entry.StoreSize,
                device.DataImage + entry.StoreOffset);
    if (entry.StampReadAt)
        device.DataReadAt = now;
    return true;
}

void StoreCurrentImage(TDevice& device, const DeviceWorkArea& area, TDateTime now) {
    StoreViewImage(device, area, CurrentValuesView, now);
}

void StoreD2SettingsImage(TDevice& device, const DeviceWorkArea& area) {
    for (TViewKind view = 0; view < ViewTabCount; ++view)
        if (ViewJobKind(DeviceVirsD2, view) == TJobKind::Settings)
            StoreViewImage(device, area, view, 0);
}

void ClearDSettingsBlock(DeviceWorkArea& area) {
    std::fill(std::begin(area.DSettingsBlock.Bytes), std::end(area.DSettingsBlock.Bytes), 0);
}

} // namespace virs
