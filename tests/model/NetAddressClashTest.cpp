#include <gtest/gtest.h>

#include <vector>

#include "model/NetAddressClash.h"

namespace virs {
namespace {

struct TDev {
    TDeviceType Type;
    u8 Address;
};

// One node holding the given devices (a second, empty node after it).
StationBase NodeOf(const std::vector<TDev>& devices) {
    StationBase base;
    base.Nodes.resize(2, NewNodeRecord());
    base.Devices.resize(2);
    base.Nodes[0].DeviceCount = static_cast<u8>(devices.size());
    for (const TDev& d : devices) {
        TDevice record = NewDeviceRecord();
        record.DeviceType = d.Type;
        record.NetAddress = d.Address;
        base.Devices[0].push_back(record);
    }
    return base;
}

struct TClashCase {
    const char* Name;
    std::vector<TDev> Devices;
    // Expected clashes: network number, then the device indices sharing it.
    std::vector<std::pair<int, std::vector<int>>> Clashes;
};

class NetAddressClashTable : public ::testing::TestWithParam<TClashCase> {};

TEST_P(NetAddressClashTable, ListsTheSharedNumbersOfTheNode) {
    const TClashCase& c = GetParam();
    const StationBase base = NodeOf(c.Devices);
    const std::vector<TNetAddressClash> found = NetAddressClashes(base, 0);
    ASSERT_EQ(found.size(), c.Clashes.size());
    for (std::size_t i = 0; i < found.size(); ++i) {
        EXPECT_EQ(found[i].NetAddress, c.Clashes[i].first) << "clash " << i;
        EXPECT_EQ(found[i].Devices, c.Clashes[i].second) << "clash " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NetAddressClashTable,
    ::testing::Values(
        TClashCase{"AllDifferent", {{DeviceVirsD, 1}, {DeviceVirsSh, 2}, {DeviceVirsD2, 3}}, {}},
        TClashCase{"ClonePair", {{DeviceVirsD, 1}, {DeviceVirsD, 1}}, {{1, {0, 1}}}},
        // Three devices on 5, two on 2; 5 is met first in tree order.
        TClashCase{"TwoNumbersInTreeOrder",
                   {{DeviceVirsD, 5},
                    {DeviceVirsSh, 2},
                    {DeviceVirsDK, 5},
                    {DeviceVirsD2, 2},
                    {DeviceVirsD, 5},
                    {DeviceVirsD, 9}},
                   {{5, {0, 2, 4}}, {2, {1, 3}}}},
        // A switched-off device is never asked, so it answers nothing.
        TClashCase{
            "SwitchedOffTakesNoPart", {{DeviceVirsD, 4}, {DeviceOff, 4}, {DeviceOff, 4}}, {}},
        TClashCase{"SwitchedOffBesideAPair",
                   {{DeviceOff, 7}, {DeviceVirsSh, 7}, {DeviceVirsD2, 7}},
                   {{7, {1, 2}}}},
        // The numbers 0 and 255 are numbers like any other here.
        TClashCase{"EdgesOfTheRange",
                   {{DeviceVirsD, 255}, {DeviceVirsSh, 0}, {DeviceVirsD, 255}, {DeviceVirsSh, 0}},
                   {{255, {0, 2}}, {0, {1, 3}}}},
        TClashCase{"KeptOlderTypesCount", {{DeviceToplin, 3}, {DeviceKren, 3}}, {{3, {0, 1}}}},
        TClashCase{"EmptyNode", {}, {}}),
    [](const ::testing::TestParamInfo<TClashCase>& row) { return std::string(row.param.Name); });

TEST(NetAddressClash, SharingIsSeenFromEachDeviceOfTheClash) {
    const StationBase base = NodeOf(
        {{DeviceVirsD, 5}, {DeviceVirsSh, 2}, {DeviceVirsDK, 5}, {DeviceOff, 5}, {DeviceVirsD, 5}});
    EXPECT_EQ(DevicesSharingNetAddress(base, 0, 0), (std::vector<int>{2, 4}));
    EXPECT_EQ(DevicesSharingNetAddress(base, 0, 2), (std::vector<int>{0, 4}));
    EXPECT_EQ(DevicesSharingNetAddress(base, 0, 4), (std::vector<int>{0, 2}));
    EXPECT_TRUE(DevicesSharingNetAddress(base, 0, 1).empty());
    // The switched-off device itself is never read: nothing is said of it.
    EXPECT_TRUE(DevicesSharingNetAddress(base, 0, 3).empty());
}

TEST(NetAddressClash, NodesAndDevicesThatDoNotExistHaveNone) {
    const StationBase base = NodeOf({{DeviceVirsD, 1}, {DeviceVirsD, 1}});
    EXPECT_TRUE(NetAddressClashes(base, 1).empty()); // the empty node
    EXPECT_TRUE(NetAddressClashes(base, 2).empty());
    EXPECT_TRUE(NetAddressClashes(base, -1).empty());
    EXPECT_TRUE(DevicesSharingNetAddress(base, 0, 2).empty());
    EXPECT_TRUE(DevicesSharingNetAddress(base, 0, NoDevice).empty());
    EXPECT_TRUE(DevicesSharingNetAddress(base, 5, 0).empty());
}

// The situations the window warns about, made with the model's own operations.
TEST(NetAddressClash, CloneAndMoveToAnotherNodeBringAClashAbout) {
    StationBase base = NodeOf({{DeviceVirsD, 1}, {DeviceVirsSh, 2}});
    base.SelNode = 0;
    base.SelDevice = 1;
    ASSERT_EQ(base.CloneDevice(), TModelStatus::Ok);
    EXPECT_EQ(DevicesSharingNetAddress(base, 0, 2), (std::vector<int>{1}));

    // Node 1 gets a device at number 1 (the lowest free); moving node 0's
    // first device (also 1) there makes a pair.
    base.SelNode = 1;
    ASSERT_EQ(base.InsertDevice(0), TModelStatus::Ok);
    base.Devices[1][0].DeviceType = DeviceVirsD2;
    ASSERT_EQ(base.Devices[1][0].NetAddress, 1);
    EXPECT_TRUE(NetAddressClashes(base, 1).empty());
    ASSERT_EQ(base.MoveDevice(0, 0, 1, 0), TModelStatus::Ok);
    ASSERT_EQ(NetAddressClashes(base, 1).size(), 1u);
    EXPECT_EQ(NetAddressClashes(base, 1)[0].NetAddress, 1);
    EXPECT_EQ(NetAddressClashes(base, 1)[0].Devices, (std::vector<int>{0, 1}));
}

} // namespace
} // namespace virs
