#include <gtest/gtest.h>

#include <cstring>

#include "model/StationBase.h"

namespace virs {
namespace {

// A base with the given device counts per node; device d of node k gets the
// network number 10·k + d + 1 and a name that tells where it came from.
StationBase MakeBase(std::initializer_list<int> deviceCounts) {
    StationBase base;
    int k = 0;
    for (int count : deviceCounts) {
        EXPECT_EQ(base.InsertNode(k), TModelStatus::Ok);
        base.Nodes[k].NameSlot.Value.Set("узел " + std::to_string(k));
        for (int d = 0; d < count; ++d) {
            base.SelNode = static_cast<u8>(k);
            EXPECT_EQ(base.InsertDevice(d), TModelStatus::Ok);
            base.Devices[k][d].NetAddress = static_cast<u8>(10 * k + d + 1);
            base.Devices[k][d].NameSlot.Value.Set(std::to_string(k) + "/" + std::to_string(d));
        }
        ++k;
    }
    return base;
}

std::string Name(const StationBase& base, int k, int d) {
    return base.Devices[k][d].NameSlot.Value.Get();
}

void ExpectCountsConsistent(const StationBase& base) {
    ASSERT_EQ(base.Nodes.size(), base.Devices.size());
    for (int k = 0; k < base.NodeCount(); ++k)
        EXPECT_EQ(base.Nodes[k].DeviceCount, base.Devices[k].size()) << "node " << k;
}

TEST(NewRecords, NodeAndDeviceDefaults) {
    const TNode node = NewNodeRecord();
    EXPECT_EQ(node.NameSlot.Label.Get(), "NODE_NAME");
    EXPECT_EQ(node.NameSlot.Caption.Get(), "Имя");
    EXPECT_EQ(node.NameSlot.Value.Get(), "новый узел");
    EXPECT_EQ(node.NameSlot.Used, 1);
    EXPECT_EQ(node.NameSlot.LabelEditable, 0);
    EXPECT_EQ(node.LinkType, LinkDirect);
    EXPECT_EQ(node.ComPort, 0);
    EXPECT_EQ(node.BaudIndex, 3);
    EXPECT_EQ(node.Retries, 3);
    EXPECT_EQ(node.ReplyTimeoutMs, 3000);
    EXPECT_EQ(node.ModemInit.Get(), "AT&FE0V1");
    EXPECT_EQ(node.Phone.Length, 0);
    // The bytes of the name slot as the file holds them: length, then Windows-1251.
    const auto* raw = reinterpret_cast<const unsigned char*>(&node);
    EXPECT_EQ(raw[1], 9);
    EXPECT_EQ(std::memcmp(raw + 2, "NODE_NAME", 9), 0);
    EXPECT_EQ(raw[1 + 42], 10);   // "новый узел"
    EXPECT_EQ(raw[1 + 43], 0xED); // 'н'
    EXPECT_EQ(raw[384] | raw[385] << 8, 3000);

    const TDevice device = NewDeviceRecord();
    EXPECT_EQ(device.NameSlot.Label.Get(), "POINT_NAME");
    EXPECT_EQ(device.NameSlot.Value.Get(), "новый прибор");
    EXPECT_EQ(device.DeviceType, DeviceOff);
    EXPECT_EQ(device.ReportTemplate.Length, 0);
    EXPECT_EQ(device.DataReadAt, 0.0);

    const TParamSlot slot = NewParamSlot();
    EXPECT_EQ(slot.Label.Get(), "NEW_LABEL");
    EXPECT_EQ(slot.Caption.Get(), "новый параметр");
    EXPECT_EQ(slot.Value.Get(), "новое содержание");
    EXPECT_EQ(slot.LabelEditable, 1);
    EXPECT_EQ(slot.Used, 1);
}

TEST(StationModel, TreePositionsAndItemsAgree) {
    StationBase base = MakeBase({2, 0, 3});
    EXPECT_EQ(base.TreePosition(0), 0);
    EXPECT_EQ(base.TreePosition(0, 1), 2);
    EXPECT_EQ(base.TreePosition(1), 3);
    EXPECT_EQ(base.TreePosition(2), 4);
    EXPECT_EQ(base.TreePosition(2, 2), 7);
    EXPECT_EQ(base.TreeItemCount(), 8);
    for (int position = 0; position < base.TreeItemCount(); ++position) {
        int node = -1, device = -1;
        ASSERT_TRUE(base.ItemAt(position, node, device));
        EXPECT_EQ(base.TreePosition(node, device), position);
    }
    int node, device;
    EXPECT_FALSE(base.ItemAt(8, node, device));
}

TEST(StationModel, InsertNodeAfterCurrentKeepsDeviceArrays) {
    StationBase base = MakeBase({1, 2});
    base.SelNode = 0;
    ASSERT_EQ(base.InsertNode(base.SelNode + 1), TModelStatus::Ok);
    ExpectCountsConsistent(base);
    EXPECT_EQ(base.SelNode, 1);
    EXPECT_EQ(base.SelDevice, NoDevice);
    EXPECT_EQ(base.Nodes[1].NameSlot.Value.Get(), "новый узел");
    EXPECT_TRUE(base.Devices[1].empty());
    EXPECT_EQ(base.Nodes[2].NameSlot.Value.Get(), "узел 1");
    EXPECT_EQ(Name(base, 2, 1), "1/1");
}

TEST(StationModel, LowestFreeNetworkNumber) {
    StationBase base = MakeBase({0});
    base.SelNode = 0;
    ASSERT_EQ(base.InsertDevice(0), TModelStatus::Ok);
    EXPECT_EQ(base.Devices[0][0].NetAddress, 1); // empty node: 1
    for (u8 address : {2, 4}) {
        ASSERT_EQ(base.InsertDevice(base.DeviceCount(0)), TModelStatus::Ok);
        base.Devices[0].back().NetAddress = address;
    }
    ASSERT_EQ(base.InsertDevice(1), TModelStatus::Ok); // 1, 2 and 4 used
    EXPECT_EQ(base.Devices[0][1].NetAddress, 3);
    EXPECT_EQ(base.SelDevice, 1);
    ExpectCountsConsistent(base);
}

TEST(StationModel, CloneCopiesEverythingAndSelectsTheCopy) {
    StationBase base = MakeBase({3});
    base.Devices[0][1].DataImage[100] = 0x5A;
    base.Devices[0][1].DataReadAt = 45000.5;
    base.SelNode = 0;
    base.SelDevice = 1;
    ASSERT_EQ(base.CloneDevice(), TModelStatus::Ok);
    ExpectCountsConsistent(base);
    EXPECT_EQ(base.SelDevice, 2);
    EXPECT_EQ(std::memcmp(&base.Devices[0][1], &base.Devices[0][2], sizeof(TDevice)), 0);
    EXPECT_EQ(base.Devices[0][2].NetAddress, 2); // copied unchanged, not made unique
    EXPECT_EQ(Name(base, 0, 3), "0/2");
}

TEST(StationModel, DeleteNodeTakesItsDevices) {
    StationBase base = MakeBase({1, 2, 1});
    ASSERT_EQ(base.DeleteNode(1), TModelStatus::Ok);
    ExpectCountsConsistent(base);
    ASSERT_EQ(base.NodeCount(), 2);
    EXPECT_EQ(Name(base, 1, 0), "2/0");
    ASSERT_EQ(base.DeleteDevice(0, 0), TModelStatus::Ok);
    EXPECT_EQ(base.Nodes[0].DeviceCount, 0);
    EXPECT_EQ(base.DeleteDevice(0, 0), TModelStatus::BadIndex);
}

struct MoveCase {
    const char* Name;
    int FromNode, From, ToNode, To;
    std::vector<std::vector<std::string>> Expected;
    int SelNode, SelDevice;
};

class DeviceMoves : public ::testing::TestWithParam<MoveCase> {};

TEST_P(DeviceMoves, LandAtTheTargetIndex) {
    const MoveCase& c = GetParam();
    StationBase base = MakeBase({4, 2});
    ASSERT_EQ(base.MoveDevice(c.FromNode, c.From, c.ToNode, c.To), TModelStatus::Ok);
    ExpectCountsConsistent(base);
    for (int k = 0; k < 2; ++k) {
        std::vector<std::string> names;
        for (int d = 0; d < base.DeviceCount(k); ++d)
            names.push_back(Name(base, k, d));
        EXPECT_EQ(names, c.Expected[k]) << "node " << k;
    }
    EXPECT_EQ(base.SelNode, c.SelNode);
    EXPECT_EQ(base.SelDevice, c.SelDevice);
}

INSTANTIATE_TEST_SUITE_P(
    StationModel, DeviceMoves,
    ::testing::Values(
        MoveCase{
            "DownWithinNode", 0, 0, 0, 2, {{"0/1", "0/2", "0/0", "0/3"}, {"1/0", "1/1"}}, 0, 2},
        MoveCase{"UpWithinNode", 0, 3, 0, 1, {{"0/0", "0/3", "0/1", "0/2"}, {"1/0", "1/1"}}, 0, 1},
        MoveCase{"OntoItself", 0, 2, 0, 2, {{"0/0", "0/1", "0/2", "0/3"}, {"1/0", "1/1"}}, 0, 2},
        MoveCase{"OntoOtherNode", 0, 1, 1, 0, {{"0/0", "0/2", "0/3"}, {"0/1", "1/0", "1/1"}}, 1, 0},
        MoveCase{"OntoOtherNodesDevice",
                 1,
                 1,
                 0,
                 2,
                 {{"0/0", "0/1", "1/1", "0/2", "0/3"}, {"1/0"}},
                 0,
                 2},
        MoveCase{"OntoOwnNodeBecomesFirst",
                 0,
                 3,
                 0,
                 0,
                 {{"0/3", "0/0", "0/1", "0/2"}, {"1/0", "1/1"}},
                 0,
                 0}),
    [](const auto& p) { return std::string(p.param.Name); });

TEST(StationModel, MoveNodeCarriesItsDevices) {
    StationBase base = MakeBase({1, 2, 3});
    ASSERT_EQ(base.MoveNode(0, 2), TModelStatus::Ok);
    ExpectCountsConsistent(base);
    EXPECT_EQ(base.Nodes[2].NameSlot.Value.Get(), "узел 0");
    EXPECT_EQ(Name(base, 2, 0), "0/0");
    EXPECT_EQ(Name(base, 0, 1), "1/1");
    EXPECT_EQ(base.SelNode, 2);
    ASSERT_EQ(base.MoveNode(2, 0), TModelStatus::Ok);
    EXPECT_EQ(Name(base, 0, 0), "0/0");
    EXPECT_EQ(Name(base, 2, 2), "2/2");
}

TEST(StationModel, LimitsAreRefusedNotWrapped) {
    StationBase base;
    for (int k = 0; k < MaxNodes; ++k)
        ASSERT_EQ(base.InsertNode(k), TModelStatus::Ok);
    EXPECT_EQ(base.InsertNode(0), TModelStatus::TooManyNodes);
    EXPECT_EQ(base.NodeCount(), 255);
    base.SelNode = 0;
    ASSERT_EQ(base.InsertDevice(0), TModelStatus::Ok); // 256 items now
    EXPECT_EQ(base.InsertDevice(0), TModelStatus::TooManyTreeItems);
    base.SelDevice = 0;
    EXPECT_EQ(base.CloneDevice(), TModelStatus::TooManyTreeItems);
    EXPECT_EQ(base.TreeItemCount(), 256);
    EXPECT_NE(std::string(ModelStatusText(TModelStatus::TooManyTreeItems)), "");

    StationBase one = MakeBase({0});
    one.SelNode = 0;
    for (int d = 0; d < MaxDevicesPerNode; ++d)
        ASSERT_EQ(one.InsertDevice(d), TModelStatus::Ok) << d;
    EXPECT_EQ(one.Devices[0].back().NetAddress, 255);
    EXPECT_EQ(one.InsertDevice(0), TModelStatus::TooManyDevices);
    EXPECT_EQ(one.Nodes[0].DeviceCount, 255);
}

TEST(StationModel, FreedParameterSlotIsReusedInPlace) {
    StationBase base = MakeBase({1});
    base.SelNode = 0;
    base.SelDevice = 0;
    for (int i = 0; i < 4; ++i) {
        int slot = -1;
        ASSERT_EQ(base.AddParam(&slot), TModelStatus::Ok);
        EXPECT_EQ(slot, i);
    }
    TParamSlot& second = base.Devices[0][0].Params[1];
    second.Value.Set("текст, который был длинным");
    ASSERT_EQ(base.RemoveParam(1), TModelStatus::Ok);
    EXPECT_EQ(second.Used, 0);
    EXPECT_EQ(second.Value.Get(), "текст, который был длинным"); // text stays in place
    int slot = -1;
    ASSERT_EQ(base.AddParam(&slot), TModelStatus::Ok);
    EXPECT_EQ(slot, 1);
    EXPECT_EQ(second.Value.Get(), "новое содержание");
    // Bytes behind the new, shorter value are left as they were.
    EXPECT_EQ(second.Value.Chars[17], Utf8ToCp1251("текст, который был длинным")[17]);

    base.SelDevice = NoDevice; // the node's own nine slots
    for (int i = 0; i < NodeParamSlots; ++i)
        ASSERT_EQ(base.AddParam(), TModelStatus::Ok);
    EXPECT_EQ(base.AddParam(), TModelStatus::NoFreeParamSlot);
}

} // namespace
} // namespace virs
