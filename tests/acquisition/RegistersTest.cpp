// Field decoders at the byte offsets of the register tables. Images are built
// byte by byte here, independently of the decoders.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include <gtest/gtest.h>

#include "acquisition/Registers.h"

namespace virs {
namespace {

void Put16(std::uint8_t* im, std::size_t o, std::uint16_t v) {
    im[o] = static_cast<std::uint8_t>(v);
    im[o + 1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* im, std::size_t o, std::uint32_t v) {
    Put16(im, o, static_cast<std::uint16_t>(v));
    Put16(im, o + 2, static_cast<std::uint16_t>(v >> 16));
}
void PutFloat(std::uint8_t* im, std::size_t o, float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    Put32(im, o, v);
}

TEST(ImageReader, LittleEndianAtAnyOffsetAndZeroOutside) {
    const std::uint8_t bytes[7] = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07};
    TImageReader r(bytes);
    EXPECT_EQ(r.U8(6), 0x07);
    EXPECT_EQ(r.U16(1), 0x0302);
    EXPECT_EQ(r.U32(3), 0x07060504u);
    EXPECT_EQ(r.U8(7), 0);
    EXPECT_EQ(r.U16(6), 0);
    EXPECT_EQ(r.U32(4), 0u);
    EXPECT_EQ(r.U32(std::numeric_limits<std::size_t>::max() - 1), 0u);
    const TImageReader sub = r.Sub(5, 10);
    EXPECT_EQ(sub.Length(), 2u);
    EXPECT_EQ(sub.U16(0), 0x0706);
    EXPECT_EQ(r.Sub(9, 4).Length(), 0u);
}

TEST(ShCurrent, FieldsAtTheirOffsets) {
    TShCurrentBlock b{};
    Put16(b.Bytes, 0, 0x0287);
    PutFloat(b.Bytes, 2, 12.5f);
    PutFloat(b.Bytes, 6, -0.25f);
    Put32(b.Bytes, 10, 0);
    Put32(b.Bytes, 14, 1);
    Put32(b.Bytes, 18, 7200);
    Put32(b.Bytes, 22, 86400);
    Put16(b.Bytes, 26, 36526);
    Put16(b.Bytes, 28, 0x0905);
    Put16(b.Bytes, 30, 360);
    Put16(b.Bytes, 32, 54321);
    Put16(b.Bytes, 34, 40000);
    Put16(b.Bytes, 36, 105);
    Put16(b.Bytes, 38, 41000);
    Put16(b.Bytes, 40, 0xFFFF);
    Put16(b.Bytes, 42, 12);
    const TShCurrentValues v = DecodeShCurrent(b);
    EXPECT_EQ(v.State, 0x0287);
    EXPECT_EQ(v.Flow, 12.5f);
    EXPECT_EQ(v.Velocity, -0.25f);
    EXPECT_EQ(v.VolumeCount, 4294967296ull);
    EXPECT_DOUBLE_EQ(v.VolumeM3(), 4294.967296);
    EXPECT_EQ(v.OperatingSeconds, 7200u);
    EXPECT_EQ(v.IdleSeconds, 86400u);
    EXPECT_EQ(v.DeviceDay, 36526);
    EXPECT_EQ(v.DeviceHour, 9);
    EXPECT_EQ(v.DeviceMinute, 5);
    EXPECT_EQ(v.Battery, 360);
    EXPECT_EQ(v.SerialNumber, 54321);
    EXPECT_EQ(v.MadeDay, 40000);
    EXPECT_EQ(v.Firmware, 105);
    EXPECT_EQ(v.FirmwareLoadDay, 41000);
    EXPECT_EQ(v.AdapterFirmware, 12);
}

TEST(ShCurrent, VolumeUsesAllSixtyFourBits) {
    TShCurrentBlock b{};
    Put32(b.Bytes, 10, 0xFFFFFFFFu);
    Put32(b.Bytes, 14, 0xFFFFFFFFu);
    EXPECT_EQ(DecodeShCurrent(b).VolumeCount, 0xFFFFFFFFFFFFFFFFull);
}

TEST(ShCurrent, FlowValidOnlyWithLowFiveBitsSeven) {
    EXPECT_TRUE(ShFlowValid(0x0007));
    EXPECT_TRUE(ShFlowValid(0xFFE7));
    EXPECT_FALSE(ShFlowValid(0x000F));
    EXPECT_FALSE(ShFlowValid(0x0017));
    EXPECT_FALSE(ShFlowValid(0x0006));
    EXPECT_FALSE(ShFlowValid(0x0000));
}

struct ScaleByteCase {
    float Code;
    int Byte;
};
class ScaleCodeByteTest : public ::testing::TestWithParam<ScaleByteCase> {};
TEST_P(ScaleCodeByteTest, RoundsHalfToEvenAndTakesTheLowByte) {
    EXPECT_EQ(ScaleCodeByte(GetParam().Code), GetParam().Byte) << GetParam().Code;
}
INSTANTIATE_TEST_SUITE_P(Codes, ScaleCodeByteTest,
                         ::testing::Values(ScaleByteCase{2.0f, 2}, ScaleByteCase{2.5f, 2},
                                           ScaleByteCase{3.5f, 4}, ScaleByteCase{0.5f, 0},
                                           ScaleByteCase{1.5f, 2}, ScaleByteCase{4.5f, 4},
                                           ScaleByteCase{4.4999f, 4}, ScaleByteCase{4.5001f, 5},
                                           ScaleByteCase{-0.5f, 0}, ScaleByteCase{-1.5f, 254},
                                           ScaleByteCase{255.0f, 255}, ScaleByteCase{256.0f, 0},
                                           ScaleByteCase{258.4f, 2},
                                           ScaleByteCase{std::nanf(""), 0},
                                           ScaleByteCase{std::numeric_limits<float>::infinity(), 0},
                                           ScaleByteCase{1e30f, 0}, ScaleByteCase{-1e30f, 0}));

TEST(DCurrent, CountersWithTheirMultipliers) {
    EXPECT_DOUBLE_EQ(ScaledCounter(12345, 0), 123450.0);
    EXPECT_DOUBLE_EQ(ScaledCounter(12345, 1), 12345.0);
    EXPECT_DOUBLE_EQ(ScaledCounter(12345, 2), 1234.5);
    EXPECT_DOUBLE_EQ(ScaledCounter(12345, 3), 123.45);
    EXPECT_DOUBLE_EQ(ScaledCounter(12345, 4), 12.345);
    EXPECT_DOUBLE_EQ(ScaledCounter(12345, 5), 123450.0);
    EXPECT_DOUBLE_EQ(ScaledCounter(12345, 255), 123450.0);
    EXPECT_DOUBLE_EQ(ScaledCounter(0xFFFFFFFFu, 0), 42949672950.0);
}

TEST(DCurrent, FieldsAtTheirOffsets) {
    TDCurrentBlock b{};
    for (int k = 0; k < 4; ++k) {
        Put32(b.Bytes, 0 + 4 * k, 1000u + k);
        Put32(b.Bytes, 16 + 4 * k, 2000u + k);
        PutFloat(b.Bytes, 80 + 4 * k, 1.5f + k);
        PutFloat(b.Bytes, 96 + 4 * k, 0.5f * k);
        PutFloat(b.Bytes, 112 + 4 * k, 4.0f - k);
    }
    Put32(b.Bytes, 32, 0xDEADBEEF); // registers 16..39: not shown
    const TDCurrentValues v = DecodeDCurrent(b);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(v.Counters[k], 1000u + k);
        EXPECT_EQ(v.Times[k], 2000u + k);
        EXPECT_EQ(v.Flows[k], 1.5f + k);
        EXPECT_EQ(v.FlowStates[k], 0.5f * k);
        EXPECT_EQ(v.ScaleCodes[k], 4.0f - k);
    }
}

TEST(DCurrent, ChannelValidity) {
    EXPECT_FALSE(DChannelValid(0.99f));
    EXPECT_TRUE(DChannelValid(1.0f));
    EXPECT_FALSE(DChannelValid(std::nanf("")));
    EXPECT_FALSE(DChannelValid(-std::numeric_limits<float>::infinity()));
}

TEST(DSettings, FloatsByRegisterNumber) {
    TDSettingsBlock b{};
    PutFloat(b.Bytes, (408 - 400) * 2, 120.0f);
    PutFloat(b.Bytes, (662 - 400) * 2, -7.5f);
    PutFloat(b.Bytes, (738 - 400) * 2, 3.0f);
    EXPECT_EQ(DSettingsValue(b, 408), 120.0f);
    EXPECT_EQ(DSettingsValue(b, 662), -7.5f);
    EXPECT_EQ(DSettingsValue(b, 738), 3.0f);
    EXPECT_EQ(DSettingsValue(b, 739), 0.0f); // half a float left: reads as 0
    EXPECT_EQ(DSettingsValue(b, 399), 0.0f);
    EXPECT_EQ(DSettingsValue(b, 740), 0.0f);
    EXPECT_EQ(DChannelBase[2], 582);
}

TEST(D2Current, FieldsAtTheirOffsets) {
    TD2Image im{};
    im.Bytes[2] = 0x01;
    im.Bytes[3] = 0xFE;
    im.Bytes[4] = 0x03;
    im.Bytes[5] = 0x00;
    for (int k = 0; k < 4; ++k) {
        PutFloat(im.Bytes, 6 + 4 * k, 10.0f + k);
        PutFloat(im.Bytes, 22 + 4 * k, 1000.0f * k);
    }
    Put16(im.Bytes, 38, 0x020F);
    im.Bytes[40] = 23;
    im.Bytes[41] = 12;
    im.Bytes[42] = 31;
    Put16(im.Bytes, 44, 777);
    im.Bytes[46] = 19;
    im.Bytes[47] = 2;
    im.Bytes[48] = 28;
    for (int k = 0; k < 4; ++k)
        for (int f = 0; f < 6; ++f)
            Put32(im.Bytes, 50 + 24 * k + 4 * f, 100u * k + f);
    const std::uint8_t clock[6] = {7, 3, 1, 8, 4, 9};
    std::memcpy(im.Bytes + 178, clock, 6);
    im.Bytes[184] = 4;
    im.Bytes[185] = 99;

    const TD2CurrentValues v = DecodeD2Current(im);
    EXPECT_EQ(v.ChannelStates[0], 0x01);
    EXPECT_EQ(v.ChannelStates[1], 0xFE);
    EXPECT_TRUE(D2ChannelValid(v.ChannelStates[0]));
    EXPECT_FALSE(D2ChannelValid(v.ChannelStates[1]));
    EXPECT_TRUE(D2ChannelValid(v.ChannelStates[2]));
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(v.Flows[k], 10.0f + k);
        EXPECT_EQ(v.Pressures[k], 1000.0f * k);
        EXPECT_EQ(v.Totals[k].ForwardWhole, 100u * k);
        EXPECT_EQ(v.Totals[k].ForwardFraction, 100u * k + 1);
        EXPECT_EQ(v.Totals[k].ForwardSeconds, 100u * k + 2);
        EXPECT_EQ(v.Totals[k].ReverseWhole, 100u * k + 3);
        EXPECT_EQ(v.Totals[k].ReverseFraction, 100u * k + 4);
        EXPECT_EQ(v.Totals[k].ReverseSeconds, 100u * k + 5);
    }
    EXPECT_EQ(v.FirmwareMajor, 2);
    EXPECT_EQ(v.FirmwareMinor, 15);
    EXPECT_EQ(v.FirmwareLoad.Year, 23);
    EXPECT_EQ(v.FirmwareLoad.Month, 12);
    EXPECT_EQ(v.FirmwareLoad.Day, 31);
    EXPECT_EQ(v.SerialNumber, 777);
    EXPECT_EQ(v.Made.Year, 19);
    EXPECT_EQ(v.Made.Month, 2);
    EXPECT_EQ(v.Made.Day, 28);
    EXPECT_EQ(v.Clock.Year, 7);
    EXPECT_EQ(v.Clock.Month, 3);
    EXPECT_EQ(v.Clock.Day, 1);
    EXPECT_EQ(v.Clock.Hour, 8);
    EXPECT_EQ(v.Clock.Minute, 4);
    EXPECT_EQ(v.Clock.Second, 9);
    EXPECT_EQ(v.ChannelScheme, 4);
}

TEST(D2Current, TotalsWholeAndFraction) {
    std::uint8_t rec[24] = {};
    Put32(rec, 0, 5);
    Put32(rec, 4, 250000);
    Put32(rec, 12, 0xFFFFFFFFu);
    Put32(rec, 16, 999999);
    const TD2ChannelTotals t = DecodeD2ChannelTotals(TImageReader(rec));
    EXPECT_DOUBLE_EQ(t.ForwardM3(), 5.25);
    EXPECT_DOUBLE_EQ(t.ReverseM3(), 4294967295.999999);
}

TEST(D2Settings, RecordsAtTheirOffsets) {
    std::uint8_t s[260] = {};
    s[0] = 5;
    s[1] = 17;
    s[2] = 9;
    s[3] = 1;
    s[4] = 2;
    for (int k = 0; k < 4; ++k) {
        const std::size_t c = 16 + 20 * static_cast<std::size_t>(k);
        PutFloat(s, c, 1.0f + k);
        PutFloat(s, c + 4, 100.0f + k);
        PutFloat(s, c + 8, 0.5f + k);
        Put32(s, c + 12, 2500u + k);
        s[c + 16] = static_cast<std::uint8_t>(k);
        s[c + 17] = static_cast<std::uint8_t>(k + 1);
        s[c + 18] = static_cast<std::uint8_t>(k + 2);
        const std::size_t p = 96 + 34 * static_cast<std::size_t>(k);
        Put16(s, p, static_cast<std::uint16_t>(1000 + k));
        Put16(s, p + 2, static_cast<std::uint16_t>(2000 + k));
        Put16(s, p + 4, static_cast<std::uint16_t>(450 + k));
        s[p + 6] = static_cast<std::uint8_t>(k);
        s[p + 7] = static_cast<std::uint8_t>(3 - k);
        Put16(s, p + 8, static_cast<std::uint16_t>(25 + k));
        PutFloat(s, p + 10, -0.5f * k);
        PutFloat(s, p + 14, 1.0f + k);
        PutFloat(s, p + 18, 2.0f + k);
        PutFloat(s, p + 22, 3.0f + k);
        PutFloat(s, p + 26, 4.0f + k);
        Put16(s, p + 30, static_cast<std::uint16_t>(120 + k));
        s[p + 32] = static_cast<std::uint8_t>(5 + k);
    }
    // Packed pressure records: the second starts at 239, its upper value is the
    // u16 of bytes 241 (low) and 242 (high).
    s[232] = 1;
    s[233] = 0;
    Put16(s, 234, 16);
    Put16(s, 236, 1000);
    s[238] = 0xAA; // not shown
    s[239] = 0;
    s[240] = 1;
    s[241] = 0x34;
    s[242] = 0x12;
    s[243] = 0x78;
    s[244] = 0x56;
    Put16(s, 255, 0xBEEF); // fourth record's upper value at 253 + 2
    Put16(s, 253 + 4, 0x0102);

    const TD2SettingsValues v = DecodeD2Settings(TImageReader(s));
    EXPECT_EQ(v.ChannelScheme, 5);
    EXPECT_EQ(v.NetAddress, 17);
    EXPECT_EQ(v.BaudCode, 9);
    EXPECT_EQ(v.StopBits, 1);
    EXPECT_EQ(v.Parity, 2);
    for (int k = 0; k < 4; ++k) {
        const TD2ChannelSettings& c = v.Channels[k];
        EXPECT_EQ(c.MinFlow, 1.0f + k);
        EXPECT_EQ(c.MaxFlow, 100.0f + k);
        EXPECT_EQ(c.Threshold, 0.5f + k);
        EXPECT_EQ(c.PulseWeight, 2500u + k);
        EXPECT_EQ(c.ReverseAccounting, k);
        EXPECT_EQ(c.OutputType, k + 1);
        EXPECT_EQ(c.FlowUnit, k + 2);
        const TD2SensorPairSettings& p = v.Pairs[k];
        EXPECT_EQ(p.Diameter, 1000 + k);
        EXPECT_EQ(p.Base, 2000 + k);
        EXPECT_EQ(p.Angle, 450 + k);
        EXPECT_EQ(p.Mounting, k);
        EXPECT_EQ(p.SensorKind, 3 - k);
        EXPECT_EQ(p.CableLength, 25 + k);
        EXPECT_EQ(p.ZeroOffset, -0.5f * k);
        EXPECT_EQ(p.K, 1.0f + k);
        EXPECT_EQ(p.A, 2.0f + k);
        EXPECT_EQ(p.B, 3.0f + k);
        EXPECT_EQ(p.C, 4.0f + k);
        EXPECT_EQ(p.Window, 120 + k);
        EXPECT_EQ(p.Filter, 5 + k);
    }
    EXPECT_EQ(v.PressureInputs[0].Unit, 1);
    EXPECT_EQ(v.PressureInputs[0].CurrentOutput, 0);
    EXPECT_EQ(v.PressureInputs[0].UpperValue, 16);
    EXPECT_EQ(v.PressureInputs[0].Shunt, 1000);
    EXPECT_EQ(v.PressureInputs[1].Unit, 0);
    EXPECT_EQ(v.PressureInputs[1].CurrentOutput, 1);
    EXPECT_EQ(v.PressureInputs[1].UpperValue, 0x1234);
    EXPECT_EQ(v.PressureInputs[1].Shunt, 0x5678);
    EXPECT_EQ(v.PressureInputs[3].UpperValue, 0xBEEF);
    EXPECT_EQ(v.PressureInputs[3].Shunt, 0x0102);
}

TEST(D2Settings, ShortImageReadsZeros) {
    std::uint8_t s[240];
    std::memset(s, 0xFF, sizeof s);
    const TD2SettingsValues v = DecodeD2Settings(TImageReader(s));
    EXPECT_EQ(v.PressureInputs[1].Unit, 0xFF);    // byte 239 is inside
    EXPECT_EQ(v.PressureInputs[1].UpperValue, 0); // bytes 241-242 are not
    EXPECT_EQ(v.PressureInputs[3].Shunt, 0);
}

TEST(ChannelSchemes, PairsOfEachFlowChannel) {
    struct Row {
        std::uint8_t Scheme;
        std::uint8_t Pairs[4];
    };
    const Row rows[] = {
        {0, {0x1, 0, 0, 0}},       {1, {0x1, 0x2, 0, 0}},     {2, {0x3, 0, 0, 0}},
        {3, {0x1, 0x2, 0x4, 0x8}}, {4, {0x3, 0, 0x4, 0x8}},   {5, {0x3, 0, 0xC, 0}},
        {6, {0xF, 0, 0, 0}},       {7, {0x1, 0x2, 0x4, 0x8}}, {255, {0x1, 0x2, 0x4, 0x8}},
    };
    for (const Row& r : rows) {
        const TChannelSchemeLayout layout = ChannelSchemeLayout(r.Scheme);
        for (int k = 0; k < 4; ++k)
            EXPECT_EQ(layout.PairsOf[k], r.Pairs[k]) << int(r.Scheme) << " F" << k + 1;
    }
}

} // namespace
} // namespace virs
