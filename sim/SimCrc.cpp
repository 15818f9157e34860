#include "sim/SimCrc.h"

namespace virs::sim {

u16 FrameCrc(const u8* data, std::size_t count) {
    u16 crc = 0xFFFF;
    for (std::size_t i = 0; i < count; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<u16>((crc >> 1) ^ 0xA001) : static_cast<u16>(crc >> 1);
    }
    return crc;
}

void AppendCrc(Bytes& frame) {
    const u16 crc = FrameCrc(frame.data(), frame.size());
    frame.push_back(static_cast<u8>(crc & 0xFF));
    frame.push_back(static_cast<u8>(crc >> 8));
}

bool CrcMatches(const Bytes& frame) {
    if (frame.size() < 3)
        return false;
    const u16 crc = FrameCrc(frame.data(), frame.size() - 2);
    return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

const char* MeterKindName(TMeterKind kind) {
    switch (kind) {
    case TMeterKind::Sh:
        return "ВИРС-Ш";
    case TMeterKind::D:
        return "ВИРС-Д";
    case TMeterKind::DK:
        return "ВИРС-ДК";
    case TMeterKind::D2:
        return "ВИРС-Д2";
    }
    return "?";
}

} // namespace virs::sim
