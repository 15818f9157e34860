#pragma once
// Building register images by hand for the view tests: values are put at the
// byte offsets of the register tables, little-endian, with no help from the
// program's own decoders.

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "model/Records.h"

namespace virs::test {

inline void PutU8(std::uint8_t* image, std::size_t offset, std::uint8_t v) {
    image[offset] = v;
}
inline void PutU16(std::uint8_t* image, std::size_t offset, std::uint16_t v) {
    image[offset] = static_cast<std::uint8_t>(v);
    image[offset + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU32(std::uint8_t* image, std::size_t offset, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        image[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
}
inline void PutF32(std::uint8_t* image, std::size_t offset, float f) {
    std::uint32_t v;
    std::memcpy(&v, &f, 4);
    PutU32(image, offset, v);
}

inline TDevice MakeDevice(std::uint8_t type, const std::string& name = "", std::uint8_t net = 1) {
    TDevice d = NewDeviceRecord();
    d.DeviceType = type;
    d.NetAddress = net;
    d.NameSlot.Value.Set(name);
    std::memset(d.DataImage, 0, sizeof d.DataImage);
    d.DataReadAt = 0;
    return d;
}

inline std::string Sp(int n) {
    return std::string(static_cast<std::size_t>(n), ' ');
}

// Lines of a text joined with '\n', so a failing comparison shows the whole text.
inline std::string Joined(const std::vector<std::string>& lines) {
    std::string s;
    for (const std::string& l : lines)
        s += l + "\n";
    return s;
}

} // namespace virs::test
