// The table of device types and view tabs, against the tab lists and register
// tables of the device types: captions, job kinds, the first request and what
// a finished job stores into DataImage.

#include <gtest/gtest.h>

#include <cstring>

#include "acquisition/DeviceViews.h"

namespace virs {
namespace {

struct TViewCase {
    TDeviceType Type;
    int View;
    const char* Caption; // nullptr: no such tab
    TJobKind Job;
    std::uint8_t Function;
    std::uint16_t Register, Count; // Register only for a fixed start
    std::uint16_t StoreOffset, StoreSize;
    bool Stamp;
};

constexpr auto None = TJobKind::None;
constexpr auto Current = TJobKind::Current;
constexpr auto Settings = TJobKind::Settings;
constexpr auto Daily = TJobKind::DailyArchive;
constexpr auto Hourly = TJobKind::HourlyArchive;
constexpr auto Monthly = TJobKind::MonthlyArchive;

const TViewCase Cases[] = {
    {DeviceOff, 0, nullptr, None, 0, 0, 0, 0, 0, false},
    {DeviceToplin, 0, nullptr, None, 0, 0, 0, 0, 0, false},
    {DeviceKren, 1, nullptr, None, 0, 0, 0, 0, 0, false},
    {DeviceVirsSh, 0, "текущие/итоговые", Current, 3, 0, 22, 0, 44, true},
    {DeviceVirsSh, 1, "суточный архив", Daily, 3, 0, 5, 0, 0, false},
    {DeviceVirsSh, 2, "часовой архив", Hourly, 3, 0, 5, 0, 0, false},
    {DeviceVirsSh, 3, nullptr, None, 0, 0, 0, 0, 0, false},
    {DeviceVirsSh, 4, nullptr, None, 0, 0, 0, 0, 0, false},
    {DeviceVirsD, 0, "текущие/итоговые", Current, 3, 0, 64, 0, 164, true},
    {DeviceVirsD, 1, "суточный архив", Daily, 3, 56, 8, 0, 0, false},
    {DeviceVirsD, 2, "часовой архив", Hourly, 3, 56, 8, 0, 0, false},
    {DeviceVirsD, 3, "месячный архив", Monthly, 3, 56, 8, 0, 0, false},
    {DeviceVirsD, 4, "параметры", Settings, 3, 400, 340, 0, 0, false},
    {DeviceVirsDK, 0, "текущие/итоговые", Current, 3, 0, 64, 0, 164, true},
    {DeviceVirsDK, 3, "месячный архив", Monthly, 3, 56, 8, 0, 0, false},
    {DeviceVirsDK, 4, "параметры", Settings, 3, 400, 340, 0, 0, false},
    {DeviceVirsD2, 0, "текущие/итоговые", Current, 3, 64, 93, 0, 186, true},
    {DeviceVirsD2, 1, "суточный архив", Daily, 67, 0, 1, 0, 0, false},
    {DeviceVirsD2, 2, "часовой архив", Hourly, 67, 0, 1, 0, 0, false},
    {DeviceVirsD2, 3, "параметры", Settings, 3, 156, 130, 184, 260, false},
    {DeviceVirsD2, 4, nullptr, None, 0, 0, 0, 0, 0, false},
    {7, 0, nullptr, None, 0, 0, 0, 0, 0, false},
    {DeviceVirsD, 5, nullptr, None, 0, 0, 0, 0, 0, false},
    {DeviceVirsD, -1, nullptr, None, 0, 0, 0, 0, 0, false},
};

TEST(DeviceViewsTest, EveryTypeAndTab) {
    for (const TViewCase& c : Cases) {
        SCOPED_TRACE("type " + std::to_string(c.Type) + " view " + std::to_string(c.View));
        const TViewEntry e = DeviceViewEntry(c.Type, c.View);
        if (c.Caption == nullptr)
            EXPECT_EQ(e.Caption, nullptr);
        else
            EXPECT_STREQ(e.Caption, c.Caption);
        EXPECT_EQ(e.Job, c.Job);
        if (c.Job == None)
            continue;
        EXPECT_EQ(e.Function, c.Function);
        if (e.Rule == TRegisterRule::Fixed)
            EXPECT_EQ(e.FirstRegister, c.Register);
        EXPECT_EQ(e.RegisterCount, c.Count);
        EXPECT_EQ(e.StoreOffset, c.StoreOffset);
        EXPECT_EQ(e.StoreSize, c.StoreSize);
        EXPECT_EQ(e.StampReadAt, c.Stamp);
    }
}

TEST(DeviceViewsTest, TabCountsAndImageSizes) {
    const struct {
        TDeviceType Type;
        int Tabs;
        std::size_t Image;
    } rows[] = {{DeviceOff, 0, 0},      {DeviceToplin, 0, 0},
                {DeviceKren, 0, 0},     {DeviceVirsSh, 3, 44},
                {DeviceVirsD, 5, 164},  {DeviceVirsDK, 5, 164},
                {DeviceVirsD2, 4, 444}, {200, 0, 0}};
    for (const auto& r : rows) {
        SCOPED_TRACE(std::to_string(r.Type));
        EXPECT_EQ(ViewTabCountOf(r.Type), r.Tabs);
        EXPECT_EQ(DeviceTypeViews(r.Type).ImageSize, r.Image);
        DeviceWorkArea area;
        EXPECT_EQ(TypeImageBytes(area, r.Type).size(), r.Image);
    }
}

// The archive rows of ВИРС-Д / ВИРС-ДК read the four scale codes, the last 16
// bytes of DCurrentBlock; the settings row of ВИРС-Д asks for its block cleared.
TEST(DeviceViewsTest, BlocksOfTheFirstRequests) {
    DeviceWorkArea area;
    const auto scale = BlockBytes(area, DeviceViewEntry(DeviceVirsD, 2).Block);
    EXPECT_EQ(scale.data(), area.DCurrentBlock.Bytes + 112);
    EXPECT_EQ(scale.size(), 16u);
    EXPECT_TRUE(BlockBytes(area, DeviceViewEntry(DeviceVirsD2, 1).Block).empty());
    EXPECT_EQ(BlockBytes(area, DeviceViewEntry(DeviceVirsSh, 1).Block).data(),
              area.ShArchiveRecord.Bytes);
    EXPECT_TRUE(DeviceViewEntry(DeviceVirsD, 4).ClearBlockFirst);
    EXPECT_FALSE(DeviceViewEntry(DeviceVirsD2, 3).ClearBlockFirst);
}

// A ВИРС-Д2 settings job stores bytes 184..443 of the image and leaves the
// current part and the time stamp; a ВИРС-Д settings job stores nothing.
TEST(DeviceViewsTest, StoreViewImageCopiesTheEntrysBytesOnly) {
    DeviceWorkArea area;
    std::memset(area.D2Image.Bytes, 0x5A, sizeof area.D2Image.Bytes);
    std::memset(area.DSettingsBlock.Bytes, 0x33, sizeof area.DSettingsBlock.Bytes);
    TDevice d2{};
    d2.DeviceType = DeviceVirsD2;
    d2.DataReadAt = 7.0;
    EXPECT_TRUE(StoreViewImage(d2, area, 3, 100.0));
    EXPECT_EQ(d2.DataImage[183], 0);
    EXPECT_EQ(d2.DataImage[184], 0x5A);
    EXPECT_EQ(d2.DataImage[443], 0x5A);
    EXPECT_EQ(d2.DataImage[444], 0);
    EXPECT_EQ(d2.DataReadAt, 7.0);

    TDevice d{};
    d.DeviceType = DeviceVirsD;
    d.DataReadAt = 7.0;
    EXPECT_FALSE(StoreViewImage(d, area, 4, 100.0));
    for (std::uint8_t b : d.DataImage)
        ASSERT_EQ(b, 0);
    EXPECT_EQ(d.DataReadAt, 7.0);
}

} // namespace
} // namespace virs
