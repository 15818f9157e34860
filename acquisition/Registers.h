#pragma once
// Decoding the fields of the register blocks into plain values. Every decoder
// reads through TImageReader, so a short or damaged image gives zeros, never a
// read outside it; the images themselves are never changed.

#include <cstdint>

#include "acquisition/RegisterImage.h"
#include "acquisition/WorkArea.h"

namespace virs {

using u64 = std::uint64_t;

// ---- ВИРС-Ш ----

// State word bits. Bits 0..2 are healthy when set; 3..6, 8 and 9 report a fault
// when set; bit 7 is the mode (set = programming).
inline constexpr u16 ShStateAnalogOk = 1u << 0;
inline constexpr u16 ShStateSensorsOk = 1u << 1;
inline constexpr u16 ShStateFlowOk = 1u << 2;
inline constexpr u16 ShStateBatteryLow = 1u << 3;
inline constexpr u16 ShStateNoTdc = 1u << 4;
inline constexpr u16 ShStateNoArchive = 1u << 5;
inline constexpr u16 ShStateUartActive = 1u << 6;
inline constexpr u16 ShStateProgramming = 1u << 7;
inline constexpr u16 ShStateEconomy = 1u << 8;
inline constexpr u16 ShStatePulseOverflow = 1u << 9;

// The instantaneous flow is valid only with bits 0, 1, 2 set and 3, 4 clear.
inline bool ShFlowValid(u16 state) {
    return (state & 0x1F) == 0x07;
}

struct TShCurrentValues {
    u16 State = 0;
    float Flow = 0;      // m3/h
    float Velocity = 0;  // m/s
    u64 VolumeCount = 0; // 10^-6 m3
    u32 OperatingSeconds = 0;
    u32 IdleSeconds = 0;
    u16 DeviceDay = 0; // day number, 0 = 30.12.1899
    u8 DeviceHour = 0;
    u8 DeviceMinute = 0;
    u16 Battery = 0; // 1/100 V
    u16 SerialNumber = 0;
    u16 MadeDay = 0;
    u16 Firmware = 0;
    u16 FirmwareLoadDay = 0;
    u16 AdapterFirmware = 0;

    double VolumeM3() const { return static_cast<double>(VolumeCount) / 1e6; }
};
TShCurrentValues DecodeShCurrent(TImageReader block);
inline TShCurrentValues DecodeShCurrent(const TShCurrentBlock& block) {
    return DecodeShCurrent(TImageReader(block.Bytes));
}

// ---- ВИРС-Д, ВИРС-ДК ----

// A ScaleCode float rounded to the nearest integer (halves to even) and taken as
// a byte (its low eight bits). A NaN, an infinity or a value beyond the 64-bit
// range has no integer and gives the byte 0.
u8 ScaleCodeByte(float code);
// Decimals shown for a counter: the code itself.
inline int ScaleDecimals(u8 code) {
    return code;
}
// A counter in m3: count × 10^(1 - S) for S = 0..4, count × 10 for any other S.
double ScaledCounter(u32 count, u8 code);

// A ВИРС-Д / ВИРС-ДК flow is valid when its state is at least 1.0 (NaN is not).
inline bool DChannelValid(float state) {
    return state >= 1.0f;
}

struct TDCurrentValues {
    u32 Counters[4] = {}; // V1..V4 (ВИРС-Д: V1, V2, -V1, -V2)
    u32 Times[4] = {};    // hours × 10^4
    float Flows[4] = {};
    float FlowStates[4] = {};
    float ScaleCodes[4] = {};
};
TDCurrentValues DecodeDCurrent(TImageReader block);
inline TDCurrentValues DecodeDCurrent(const TDCurrentBlock& block) {
    return DecodeDCurrent(TImageReader(block.Bytes));
}

// A float of DSettingsBlock by its register number (400..739); 0 outside.
float DSettingsValue(const TDSettingsBlock& block, int reg);
// First register of the fifteen floats of flow channel 1..4.
inline constexpr int DChannelBase[4] = {402, 502, 582, 662};

// ---- ВИРС-Д2 ----

inline bool D2ChannelValid(u8 state) {
    return (state & 1) != 0;
}

struct TD2Date { // two-digit year, month, day as the device keeps them
    u8 Year = 0, Month = 0, Day = 0;
};
struct TD2Clock {
    u8 Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

struct TD2ChannelTotals {
    u32 ForwardWhole = 0;    // m3
    u32 ForwardFraction = 0; // 10^-6 m3
    u32 ForwardSeconds = 0;
    u32 ReverseWhole = 0;
    u32 ReverseFraction = 0;
    u32 ReverseSeconds = 0;

    double ForwardM3() const { return ForwardWhole + ForwardFraction / 1e6; }
    double ReverseM3() const { return ReverseWhole + ReverseFraction / 1e6; }
};
// A D2ChannelTotals record (24 bytes) at the start of `record`.
TD2ChannelTotals DecodeD2ChannelTotals(TImageReader record);

struct TD2CurrentValues {
    u8 ChannelStates[4] = {};
    float Flows[4] = {};     // m3/h
    float Pressures[4] = {}; // Pa
    u8 FirmwareMajor = 0, FirmwareMinor = 0;
    TD2Date FirmwareLoad;
    u16 SerialNumber = 0;
    TD2Date Made;
    TD2ChannelTotals Totals[4];
    TD2Clock Clock;
    u8 ChannelScheme = 0;
};
// `image` is the ВИРС-Д2 image from register 64 (D2CurrentBlock and beyond).
TD2CurrentValues DecodeD2Current(TImageReader image);
inline TD2CurrentValues DecodeD2Current(const TD2Image& image) {
    return DecodeD2Current(TImageReader(image.Bytes));
}

struct TD2ChannelSettings {
    float MinFlow = 0, MaxFlow = 0, Threshold = 0; // m3/h
    u32 PulseWeight = 0;                           // millilitres
    u8 ReverseAccounting = 0;                      // 0 = no
    u8 OutputType = 0;                             // 0 pulse, 1 frequency, 2 current, other relay
    u8 FlowUnit = 0;                               // 0 = m3/h, other = l/min
};
struct TD2SensorPairSettings {
    u16 Diameter = 0;    // 1/10 mm
    u16 Base = 0;        // 1/10 mm
    u16 Angle = 0;       // 1/10
    u8 Mounting = 0;     // 0 axial, other along a chord
    u8 SensorKind = 0;   // 0 = type 6, other = type 3
    u16 CableLength = 0; // 1/10 m
    float ZeroOffset = 0, K = 0, A = 0, B = 0, C = 0;
    u16 Window = 0; // µs
    u8 Filter = 0;  // s
};
struct TD2PressureSensorSettings {
    u8 Unit = 0;          // 0 kPa, other MPa
    u8 CurrentOutput = 0; // 0 = 0-5 mA, other 4-20 mA
    u16 UpperValue = 0;   // 1/10 of the unit
    u16 Shunt = 0;        // 1/10 ohm
};
struct TD2SettingsValues {
    u8 ChannelScheme = 0;
    u8 NetAddress = 0;
    u8 BaudCode = 0; // 0 off, 1..9 = 2400..115200
    u8 StopBits = 0; // 0 = one, other = two
    u8 Parity = 0;   // 0 none, 1 even, 2 odd
    TD2ChannelSettings Channels[4];
    TD2SensorPairSettings Pairs[4];
    TD2PressureSensorSettings PressureInputs[4];
};
// `block` is D2SettingsBlock (from register 156).
TD2SettingsValues DecodeD2Settings(TImageReader block);

// How the four sensor pairs form flow channels. Codes above 6 have no layout of
// their own; they are read as four channels of one pair each, so nothing the
// device holds is hidden.
inline constexpr u8 ChannelSchemeCount = 7;
struct TChannelSchemeLayout {
    u8 PairsOf[4]; // per flow channel F1..F4: mask of its sensor pairs (bit 0 = pair 1); 0 = not
                   // shown
};
TChannelSchemeLayout ChannelSchemeLayout(u8 scheme);

} // namespace virs
