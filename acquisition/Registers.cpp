#include "acquisition/Registers.h"

#include <cmath>

namespace virs {

TShCurrentValues DecodeShCurrent(TImageReader b) {
    using B = TShCurrentBlock;
    TShCurrentValues v;
    v.State = b.U16(B::State);
    v.Flow = b.F32(B::Flow);
    v.Velocity = b.F32(B::Velocity);
    v.VolumeCount = (static_cast<u64>(b.U32(B::VolumeHigh)) << 32) | b.U32(B::VolumeLow);
    v.OperatingSeconds = b.U32(B::OperatingTime);
    v.IdleSeconds = b.U32(B::IdleTime);
    v.DeviceDay = b.U16(B::DeviceDate);
    v.DeviceHour = b.U8(B::DeviceTime + 1);
    v.DeviceMinute = b.U8(B::DeviceTime);
    v.Battery = b.U16(B::Battery);
    v.SerialNumber = b.U16(B::SerialNumber);
    v.MadeDay = b.U16(B::MadeDate);
    v.Firmware = b.U16(B::Firmware);
    v.FirmwareLoadDay = b.U16(B::FirmwareLoadDate);
    v.AdapterFirmware = b.U16(B::AdapterFirmware);
    return v;
}

u8 ScaleCodeByte(float code) {
    double v = code;
    if (!std::isfinite(v))
        return 0;
    double low = std::floor(v);
    double diff = v - low;
    double r = low;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(low, 2.0) != 0.0))
        r = low + 1;
    if (std::fabs(r) >= 9.2e18)
        return 0;
    return static_cast<u8>(static_cast<u64>(static_cast<std::int64_t>(r)) & 0xFF);
}

double ScaledCounter(u32 count, u8 code) {
    // Divide rather than multiply by 0.1, 0.01, 0.001: the quotient is the double
    // nearest the decimal value, so the rounding for display sees the true value.
    switch (code) {
    case 1:
        return count;
    case 2:
        return count / 10.0;
    case 3:
        return count / 100.0;
    case 4:
        return count / 1000.0;
    default: // 0 and every code outside the table
        return count * 10.0;
    }
}

TDCurrentValues DecodeDCurrent(TImageReader b) {
    using B = TDCurrentBlock;
    TDCurrentValues v;
    for (int k = 0; k < 4; ++k) {
        v.Counters[k] = b.U32(B::Counters + 4 * k);
        v.Times[k] = b.U32(B::Times + 4 * k);
        v.Flows[k] = b.F32(B::Flows + 4 * k);
        v.FlowStates[k] = b.F32(B::FlowStates + 4 * k);
        v.ScaleCodes[k] = b.F32(B::ScaleCodes + 4 * k);
    }
    return v;
}

float DSettingsValue(const TDSettingsBlock& block, int reg) {
    if (reg < TDSettingsBlock::FirstRegister || reg > TDSettingsBlock::LastRegister)
        return 0;
    return TImageReader(block.Bytes).F32(TDSettingsBlock::OffsetOf(reg));
}

TD2ChannelTotals DecodeD2ChannelTotals(TImageReader r) {
    TD2ChannelTotals t;
    t.ForwardWhole = r.U32(0);
    t.ForwardFraction = r.U32(4);
    t.ForwardSeconds = r.U32(8);
    t.ReverseWhole = r.U32(12);
    t.ReverseFraction = r.U32(16);
    t.ReverseSeconds = r.U32(20);
    return t;
}

namespace {
TD2Date DateAt(TImageReader b, std::size_t offset) {
    return {b.U8(offset), b.U8(offset + 1), b.U8(offset + 2)};
}
} // namespace

TD2CurrentValues DecodeD2Current(TImageReader b) {
    using B = TD2CurrentBlock;
    TD2CurrentValues v;
    for (int k = 0; k < 4; ++k) {
        v.ChannelStates[k] = b.U8(B::ChannelStates + k);
        v.Flows[k] = b.F32(B::Flows + 4 * k);
        v.Pressures[k] = b.F32(B::Pressures + 4 * k);
        v.Totals[k] = DecodeD2ChannelTotals(b.Sub(B::Totals + B::TotalsSize * k, B::TotalsSize));
    }
    v.FirmwareMinor = b.U8(B::Firmware);
    v.FirmwareMajor = b.U8(B::Firmware + 1);
    v.FirmwareLoad = DateAt(b, B::FirmwareLoadDate);
    v.SerialNumber = b.U16(B::SerialNumber);
    v.Made = DateAt(b, B::MadeDate);
    v.Clock = {b.U8(B::Clock),     b.U8(B::Clock + 1), b.U8(B::Clock + 2),
               b.U8(B::Clock + 3), b.U8(B::Clock + 4), b.U8(B::Clock + 5)};
    v.ChannelScheme = b.U8(B::ChannelScheme);
    return v;
}

TD2SettingsValues DecodeD2Settings(TImageReader b) {
    using B = TD2SettingsBlock;
    TD2SettingsValues v;
    v.ChannelScheme = b.U8(B::ChannelScheme);
    v.NetAddress = b.U8(B::NetAddress);
    v.BaudCode = b.U8(B::BaudCode);
    v.StopBits = b.U8(B::StopBits);
    v.Parity = b.U8(B::Parity);
    for (int k = 0; k < 4; ++k) {
        TImageReader c = b.Sub(B::Channels + B::ChannelSize * k, B::ChannelSize);
        TD2ChannelSettings& ch = v.Channels[k];
        ch.MinFlow = c.F32(0);
        ch.MaxFlow = c.F32(4);
        ch.Threshold = c.F32(8);
        ch.PulseWeight = c.U32(12);
        ch.ReverseAccounting = c.U8(16);
        ch.OutputType = c.U8(17);
        ch.FlowUnit = c.U8(18);

        TImageReader p = b.Sub(B::Pairs + B::PairSize * k, B::PairSize);
        TD2SensorPairSettings& pair = v.Pairs[k];
        pair.Diameter = p.U16(0);
        pair.Base = p.U16(2);
        pair.Angle = p.U16(4);
        pair.Mounting = p.U8(6);
        pair.SensorKind = p.U8(7);
        pair.CableLength = p.U16(8);
        pair.ZeroOffset = p.F32(10);
        pair.K = p.F32(14);
        pair.A = p.F32(18);
        pair.B = p.F32(22);
        pair.C = p.F32(26);
        pair.Window = p.U16(30);
        pair.Filter = p.U8(32);

        TImageReader s = b.Sub(B::PressureInputs + B::PressureSize * k, B::PressureSize);
        TD2PressureSensorSettings& in = v.PressureInputs[k];
        in.Unit = s.U8(0);
        in.CurrentOutput = s.U8(1);
        in.UpperValue = s.U16(2);
        in.Shunt = s.U16(4);
    }
    return v;
}

TChannelSchemeLayout ChannelSchemeLayout(u8 scheme) {
    switch (scheme) {
    case 0:
        return {{0b0001, 0, 0, 0}};
    case 1:
        return {{0b0001, 0b0010, 0, 0}};
    case 2:
        return {{0b0011, 0, 0, 0}};
    case 3:
        return {{0b0001, 0b0010, 0b0100, 0b1000}};
    case 4:
        return {{0b0011, 0, 0b0100, 0b1000}};
    case 5:
        return {{0b0011, 0, 0b1100, 0}};
    case 6:
        return {{0b1111, 0, 0, 0}};
    default:
        return {{0b0001, 0b0010, 0b0100, 0b1000}};
    }
}

} // namespace virs
