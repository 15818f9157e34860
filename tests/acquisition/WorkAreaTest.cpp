// The work area's blocks and the copies between them and DataImage.

#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

#include <gtest/gtest.h>

#include "acquisition/WorkArea.h"

namespace virs {
namespace {

TDevice DeviceOf(std::uint8_t type, std::uint8_t fill) {
    TDevice d = NewDeviceRecord();
    d.DeviceType = type;
    std::memset(d.DataImage, fill, sizeof d.DataImage);
    d.DataReadAt = 123.5;
    return d;
}

bool AllBytes(const std::uint8_t* p, std::size_t n, std::uint8_t v) {
    for (std::size_t i = 0; i < n; ++i)
        if (p[i] != v)
            return false;
    return true;
}

void Fill(DeviceWorkArea& area, std::uint8_t v) {
    std::memset(area.ShCurrentBlock.Bytes, v, 44);
    std::memset(area.DCurrentBlock.Bytes, v, 128);
    std::memset(area.ArchiveTotals.Bytes, v, 36);
    std::memset(area.D2Image.Bytes, v, 444);
    std::memset(area.DSettingsBlock.Bytes, v, 680);
}

TEST(WorkArea, StartsZeroed) {
    // Built over memory full of other bytes: every block starts as zeros.
    alignas(DeviceWorkArea) std::uint8_t storage[sizeof(DeviceWorkArea)];
    std::memset(storage, 0xA5, sizeof storage);
    auto* area = new (storage) DeviceWorkArea;
    EXPECT_TRUE(AllBytes(storage, sizeof storage, 0));
    EXPECT_FALSE(area->HavePreviousRecord);
    area->~DeviceWorkArea();
}

TEST(WorkArea, RegisterRangesOfTheBlocks) {
    struct Row {
        TBlockKind Kind;
        std::uint16_t Start, Count;
        std::size_t Bytes;
    };
    const Row rows[] = {
        {TBlockKind::ShCurrent, 0, 22, 44},     {TBlockKind::DCurrent, 0, 64, 128},
        {TBlockKind::D2Current, 64, 93, 186},   {TBlockKind::D2Settings, 156, 130, 260},
        {TBlockKind::DSettings, 400, 340, 680},
    };
    DeviceWorkArea area;
    for (const Row& r : rows) {
        const TBlockRange range = BlockRegisters(r.Kind);
        EXPECT_EQ(range.StartRegister, r.Start);
        EXPECT_EQ(range.RegisterCount, r.Count);
        EXPECT_EQ(BlockBytes(area, r.Kind).size(), r.Bytes);
    }
    // The two ВИРС-Д2 windows share register 156.
    const auto current = BlockBytes(area, TBlockKind::D2Current);
    const auto settings = BlockBytes(area, TBlockKind::D2Settings);
    EXPECT_EQ(current.data() + 184, settings.data());
    EXPECT_EQ(current.data(), area.D2Image.Bytes);
    // ArchiveTotals follow DCurrentBlock directly.
    EXPECT_EQ(area.DCurrentBlock.Bytes + 128, area.ArchiveTotals.Bytes);
}

TEST(WorkArea, LoadCopiesExactlyTheStoredImage) {
    struct Row {
        std::uint8_t Type;
        std::size_t Sh, D, Totals, D2; // bytes that must change in each block
    };
    const Row rows[] = {
        {DeviceOff, 0, 0, 0, 0},      {DeviceToplin, 0, 0, 0, 0},   {DeviceKren, 0, 0, 0, 0},
        {DeviceVirsSh, 44, 0, 0, 0},  {DeviceVirsD, 0, 128, 36, 0}, {DeviceVirsDK, 0, 128, 36, 0},
        {DeviceVirsD2, 0, 0, 0, 444},
    };
    for (const Row& r : rows) {
        DeviceWorkArea area;
        Fill(area, 0x55);
        TDevice d = DeviceOf(r.Type, 0xA7);
        LoadDeviceImage(d, area);
        EXPECT_TRUE(AllBytes(area.ShCurrentBlock.Bytes, r.Sh, 0xA7)) << int(r.Type);
        EXPECT_TRUE(AllBytes(area.ShCurrentBlock.Bytes + r.Sh, 44 - r.Sh, 0x55));
        EXPECT_TRUE(AllBytes(area.DCurrentBlock.Bytes, r.D, 0xA7));
        EXPECT_TRUE(AllBytes(area.DCurrentBlock.Bytes + r.D, 128 - r.D, 0x55));
        EXPECT_TRUE(AllBytes(area.ArchiveTotals.Bytes, r.Totals, 0xA7));
        EXPECT_TRUE(AllBytes(area.ArchiveTotals.Bytes + r.Totals, 36 - r.Totals, 0x55));
        EXPECT_TRUE(AllBytes(area.D2Image.Bytes, r.D2, 0xA7));
        EXPECT_TRUE(AllBytes(area.D2Image.Bytes + r.D2, 444 - r.D2, 0x55));
        EXPECT_TRUE(AllBytes(area.DSettingsBlock.Bytes, 680, 0x55)); // never stored
    }
}

TEST(WorkArea, StoreCurrentCopiesTheBlockAndStamps) {
    struct Row {
        std::uint8_t Type;
        std::size_t Bytes;
    };
    for (const Row& r : {Row{DeviceVirsSh, 44}, Row{DeviceVirsD, 164}, Row{DeviceVirsDK, 164},
                         Row{DeviceVirsD2, 186}}) {
        DeviceWorkArea area;
        Fill(area, 0x3C);
        TDevice d = DeviceOf(r.Type, 0xC3);
        StoreCurrentImage(d, area, 45000.25);
        EXPECT_TRUE(AllBytes(d.DataImage, r.Bytes, 0x3C)) << int(r.Type);
        EXPECT_TRUE(AllBytes(d.DataImage + r.Bytes, DataImageSize - r.Bytes, 0xC3));
        EXPECT_EQ(d.DataReadAt, 45000.25);
    }
    for (int type : {0, 1, 2, 7}) {
        DeviceWorkArea area;
        Fill(area, 0x3C);
        TDevice d = DeviceOf(static_cast<std::uint8_t>(type), 0xC3);
        StoreCurrentImage(d, area, 45000.25);
        EXPECT_TRUE(AllBytes(d.DataImage, DataImageSize, 0xC3));
        EXPECT_EQ(d.DataReadAt, 123.5);
    }
}

TEST(WorkArea, D2CurrentAndSettingsJobsShareOneStoredImage) {
    DeviceWorkArea area;
    TDevice d = DeviceOf(DeviceVirsD2, 0xC3);

    // A settings job: bytes 184..443 of the image, no stamp.
    for (std::size_t i = 0; i < 260; ++i)
        area.D2SettingsBlock()[i] = static_cast<std::uint8_t>(i);
    StoreD2SettingsImage(d, area);
    EXPECT_TRUE(AllBytes(d.DataImage, 184, 0xC3));
    for (std::size_t i = 0; i < 260; ++i)
        ASSERT_EQ(d.DataImage[184 + i], static_cast<std::uint8_t>(i));
    EXPECT_TRUE(AllBytes(d.DataImage + 444, DataImageSize - 444, 0xC3));
    EXPECT_EQ(d.DataReadAt, 123.5);

    // A current job afterwards overwrites bytes 0..185 only; the settings behind
    // register 156 stay.
    std::memset(area.D2CurrentBlock().data(), 0x11, 186);
    StoreCurrentImage(d, area, 2.0);
    EXPECT_TRUE(AllBytes(d.DataImage, 186, 0x11));
    for (std::size_t i = 2; i < 260; ++i)
        ASSERT_EQ(d.DataImage[184 + i], static_cast<std::uint8_t>(i));

    // Loading it back gives the whole 444-byte image.
    DeviceWorkArea fresh;
    LoadDeviceImage(d, fresh);
    EXPECT_EQ(std::memcmp(fresh.D2Image.Bytes, d.DataImage, 444), 0);
}

TEST(WorkArea, ClearSettingsBeforeASettingsJob) {
    DeviceWorkArea area;
    Fill(area, 0x77);
    ClearDSettingsBlock(area);
    EXPECT_TRUE(AllBytes(area.DSettingsBlock.Bytes, 680, 0));
    EXPECT_TRUE(AllBytes(area.D2Image.Bytes, 444, 0x77));
}

} // namespace
} // namespace virs
