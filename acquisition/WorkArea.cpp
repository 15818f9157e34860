#include "acquisition/WorkArea.h"

#include <algorithm>
#include <cstring>

namespace virs {

DeviceWorkArea::DeviceWorkArea() {
    std::memset(static_cast<void*>(this), 0, sizeof(*this));
}

TBlockRange BlockRegisters(TBlockKind kind) {
    switch (kind) {
    case TBlockKind::ShCurrent:
        return {TShCurrentBlock::FirstRegister, TShCurrentBlock::Size / 2};
    case TBlockKind::DCurrent:
        return {TDCurrentBlock::FirstRegister, TDCurrentBlock::Size / 2};
    case TBlockKind::D2Current:
        return {TD2CurrentBlock::FirstRegister, TD2Image::CurrentSize / 2};
    case TBlockKind::D2Settings:
        return {TD2SettingsBlock::FirstRegister, TD2Image::SettingsSize / 2};
    case TBlockKind::DSettings:
        return {TDSettingsBlock::FirstRegister, TDSettingsBlock::Size / 2};
    }
    return {0, 0};
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
    }
    return {};
}

void LoadDeviceImage(const TDevice& device, DeviceWorkArea& area) {
    switch (device.DeviceType) {
    case DeviceVirsSh:
        std::memcpy(area.ShCurrentBlock.Bytes, device.DataImage, ShImageSize);
        break;
    case DeviceVirsD:
    case DeviceVirsDK:
        std::memcpy(area.DCurrentBlock.Bytes, device.DataImage, TDCurrentBlock::Size);
        std::memcpy(area.ArchiveTotals.Bytes, device.DataImage + TDCurrentBlock::Size,
                    TArchiveTotals::Size);
        break;
    case DeviceVirsD2:
        std::memcpy(area.D2Image.Bytes, device.DataImage, D2ImageSize);
        break;
    default:
        break;
    }
}

void StoreCurrentImage(TDevice& device, const DeviceWorkArea& area, TDateTime now) {
    switch (device.DeviceType) {
    case DeviceVirsSh:
        std::memcpy(device.DataImage, area.ShCurrentBlock.Bytes, ShImageSize);
        break;
    case DeviceVirsD:
    case DeviceVirsDK:
        std::memcpy(device.DataImage, area.DCurrentBlock.Bytes, TDCurrentBlock::Size);
        std::memcpy(device.DataImage + TDCurrentBlock::Size, area.ArchiveTotals.Bytes,
                    TArchiveTotals::Size);
        break;
    case DeviceVirsD2:
        std::memcpy(device.DataImage, area.D2Image.Bytes + TD2Image::CurrentOffset,
                    TD2Image::CurrentSize);
        break;
    default:
        return; // no block, nothing read: the stamp stays as it was
    }
    device.DataReadAt = now;
}

void StoreD2SettingsImage(TDevice& device, const DeviceWorkArea& area) {
    std::memcpy(device.DataImage + TD2Image::SettingsOffset,
                area.D2Image.Bytes + TD2Image::SettingsOffset, TD2Image::SettingsSize);
}

void ClearDSettingsBlock(DeviceWorkArea& area) {
    std::fill(std::begin(area.DSettingsBlock.Bytes), std::end(area.DSettingsBlock.Bytes), 0);
}

} // namespace virs
